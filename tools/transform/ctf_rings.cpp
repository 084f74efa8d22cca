#include "tools/transform/ctf_rings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "driver/datafile.h"
#include "textio/listread.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string without_trailing_blanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// Reads n reals from line `number` of the file into out; "" when that worked, else what
// is wrong with the line.
std::string read_reals(const std::vector<std::string>& lines, int present, int number, int n,
                       float* out) {
  if (number > present) return "missing, the file ends after line " + std::to_string(present);
  const std::string text = without_trailing_blanks(lines.at(number - 1));
  // An empty field or a short list leaves its value NaN, which no number read can be.
  std::fill_n(out, n, std::numeric_limits<float>::quiet_NaN());
  const ListResult r = list_read_reals(text, n, out);
  if (!r.error && std::all_of(out, out + n, [](float v) { return std::isfinite(v); })) return "";
  if (text.find_first_not_of(' ') == std::string::npos) return "blank";
  // Short enough for a label line with the longest name below.
  return std::string("not ") + (n == 1 ? "a number" : std::to_string(n) + " numbers") + ": \"" +
         text.substr(0, 20) + "\"";
}

// D multiplied by `factor`, or divided by it when D is negative, then moved by `step`.
float scaled(float d, float factor, float step) {
  return (d < 0 ? d / factor : d * factor) + step;
}

}  // namespace

bool read_ctf_settings(const std::vector<std::string>& lines, int present, CtfSettings& s,
                       std::vector<std::string>& problems) {
  namespace line = datafile_line;
  const size_t problems_before = problems.size();
  auto note = [&problems](int number, const char* what, const std::string& problem) {
    if (!problem.empty())
      problems.push_back("DATAFILE.dat line " + std::to_string(number) + " (" + what +
                         "): " + problem);
  };
  auto value = [&](int number, const char* what, int n, float* out) {
    const std::string problem = read_reals(lines, present, number, n, out);
    note(number, what, problem);
    return problem.empty();
  };
  if (value(line::kMagnification, "magnification", 1, &s.magnification) && !(s.magnification > 0))
    note(line::kMagnification, "magnification", "must be above 0");
  if (value(line::kSamplingStep, "sampling step", 1, &s.sampling) && !(s.sampling > 0))
    note(line::kSamplingStep, "sampling step", "must be above 0");
  float defocus[3];
  if (value(line::kDefocus, "defocus, angle", 3, defocus))
    s.defocus = {defocus[0], defocus[1], defocus[2]};
  if (value(line::kAmplitudeContrast, "amplitude contrast", 1, &s.amplitude_contrast) &&
      !(s.amplitude_contrast >= 0 && s.amplitude_contrast <= 1))
    note(line::kAmplitudeContrast, "amplitude contrast", "must lie between 0 and 1");
  float cs_kv[2];
  if (value(line::kAberrationVoltage, "Cs, voltage", 2, cs_kv)) {
    s.cs = cs_kv[0];
    s.kilovolts = cs_kv[1];
    if (!(s.kilovolts > 0))
      note(line::kAberrationVoltage, "Cs, voltage", "voltage must be above 0");
  }
  for (int c = 0; c < 4; ++c)
    s.corner_known[c] =
        read_reals(lines, present, line::kCornerDefocus + c, 1, &s.corner[c]).empty();
  return problems.size() == problems_before;
}

double electron_wavelength(double volts) {
  return 12.3 / std::sqrt(volts + volts * volts / 1.0e6);
}

CtfOptics ctf_optics(const CtfSettings& s, int transform_kind, int central_flag, int nx) {
  CtfOptics o;
  o.wavelength = electron_wavelength(s.kilovolts * 1000.0);
  o.cs = s.cs * 1.0e7;
  o.amplitude_contrast = s.amplitude_contrast;
  const double step = s.sampling * (central_flag == 1 ? 2.0 : 1.0) * 10000.0;
  o.pixel = transform_kind * step / s.magnification;
  o.size = 2 * nx - 2;
  return o;
}

double ctf_value(const CtfOptics& o, int j, double defocus) {
  const double theta = j * o.wavelength / (o.pixel * o.size);  // scattering angle
  const double a = kPi * theta * theta / o.wavelength;
  const double b = -0.5 * a * o.cs * theta * theta;
  const double chi = a * defocus + b;
  const double w = o.amplitude_contrast;
  return -std::sqrt(std::max(0.0, 1.0 - w * w)) * std::sin(chi) - w * std::cos(chi);
}

ThonRings thon_rings(const CtfOptics& o, float d1, float d2) {
  ThonRings rings;
  int n1 = 0, n2 = 0;
  double last1 = 1.0, last2 = 1.0;  // radius 1
  // A sign change between radii j - 1 and j; values that are no numbers change nothing.
  auto crossed = [](double before, double now) {
    return (before >= 0 && now < 0) || (before < 0 && now >= 0);
  };
  for (int j = 2; j <= kCtfSamples && n1 < kMaxRings && n2 < kMaxRings; ++j) {
    const double c1 = ctf_value(o, j, d1), c2 = ctf_value(o, j, d2);
    if (crossed(last1, c1)) rings.r1[n1++] = j;
    if (crossed(last2, c2)) rings.r2[n2++] = j;
    last1 = c1, last2 = c2;
  }
  rings.count = std::min(n1, n2);
  return rings;
}

float angle_in_range(float angle) {
  angle = std::fmod(angle, 180.0f);
  if (angle < 0) angle += 180.0f;
  if (angle >= 180.0f) angle -= 180.0f;  // a tiny negative angle rounds up to 180
  return angle;
}

DefocusFit start_fit(const CtfSettings& s, int corner) {
  DefocusFit f = s.defocus;
  f.angle = angle_in_range(f.angle);
  if (corner < 1 || corner > 4) return f;
  const float half = (f.d1 - f.d2) / 2.0f;
  const float centre = s.corner_known[corner - 1] ? s.corner[corner - 1] : (f.d1 + f.d2) / 2.0f;
  f.d1 = centre + half;
  f.d2 = centre - half;
  return f;
}

void whole_image_button(int item, DefocusFit& f) {
  constexpr struct {
    float factor, step;
  } kDefocus[4] = {{1.02f, 20.0f}, {0.95f, -20.0f}, {1.2f, 300.0f}, {0.68f, -300.0f}};
  constexpr float kAngleSteps[4] = {2.0f, -2.8f, 10.0f, -10.0f};
  if (item >= 3 && item <= 6) {
    const auto [factor, step] = kDefocus[item - 3];
    f.d1 = scaled(f.d1, factor, step);
    f.d2 = scaled(f.d2, factor, step);
  } else if (item == 7) {
    f.d1 = f.d1 * 1.01f + 10.0f;
    f.d2 = f.d2 * 0.99f - 10.0f;
  } else if (item == 8) {
    f.d1 = f.d1 * 0.97f - 20.0f;
    f.d2 = f.d2 * 1.03f + 20.0f;
  } else if (item == 9) {
    f.d1 = f.d2 = (f.d1 + f.d2) / 2.0f;
    f.angle = 0.0f;
  } else if (item >= 10 && item <= 13) {
    f.angle = angle_in_range(f.angle + kAngleSteps[item - 10]);
  }
}

void corner_button(int item, DefocusFit& f) {
  constexpr struct {
    float factor, step;
  } kDefocus[4] = {{1.013f, 10.0f}, {0.97f, -10.0f}, {1.1f, 100.0f}, {0.9f, -100.0f}};
  if (item < 7 || item > 10) return;
  const auto [factor, step] = kDefocus[item - 7];
  f.d1 = f.d1 * factor + step;
  f.d2 = f.d2 * factor + step;
}
