// The generated demo project, read back the way the program reads it: maps through
// the map-file layer, DATAFILE.dat and the lists through the list-directed reader.
// The checks tie the files to each other: the transforms to the image, the peaks
// to the lattice of line 32, the Thon rings to the defocus of lines 34 and 25-28.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "mapfile/mapfile.h"
#include "textio/listread.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const std::string kDemo = TOLSVIK_DEMO_DIR;

struct Map {
  int nx = 0, ny = 0, nz = 0, mode = -1;
  float dmin = 0, dmax = 0, dmean = 0;
  std::vector<float> data;  // rows of nx reals, or of 2 nx for complex modes

  bool complex() const { return mode >= 3; }
  // Amplitude at transform position (h, k), through the Friedel mate for h < 0.
  double amplitude(int h, int k) const {
    if (h < 0) h = -h, k = -k;
    int row = ny / 2 + k;
    if (h >= nx || row < 0 || row >= ny) return -1.0;
    size_t i = (static_cast<size_t>(row) * nx + h) * 2;
    return std::hypot(data[i], data[i + 1]);
  }
};

Map read_map(const std::string& name) {
  Map m;
  int nxyz[3], mxyz[3];
  imopen(1, kDemo + "/" + name, "RO");
  irdhdr(1, nxyz, mxyz, m.mode, m.dmin, m.dmax, m.dmean);
  m.nx = nxyz[0], m.ny = nxyz[1], m.nz = nxyz[2];
  const size_t row = static_cast<size_t>(m.nx) * (m.complex() ? 2 : 1);
  m.data.resize(row * m.ny * m.nz);
  for (int r = 0; r < m.ny * m.nz; ++r) EXPECT_EQ(irdlin(1, m.data.data() + r * row), 0) << name;
  imclose(1);
  return m;
}

std::vector<std::string> read_lines(const std::string& name) {
  std::ifstream in(kDemo + "/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<double> reals(const std::string& text, int n) {
  std::vector<double> v(n, std::nan(""));
  ListResult r = list_read_doubles(text, n, v.data());
  EXPECT_FALSE(r.error) << text;
  EXPECT_EQ(r.fields, n) << text;
  return v;
}

// The project parameters, read from DATAFILE.dat as the tools read them.
struct Project {
  std::vector<std::string> lines;
  std::vector<double> corner, lattice, second;
  double magnification, step, cs, kilovolts, w, d1, d2, phi;

  explicit Project(const std::vector<std::string>& text) : lines(text) {
    magnification = reals(line(15), 1)[0], step = reals(line(16), 1)[0];
    for (int c = 0; c < 4; ++c) corner.push_back(reals(line(25 + c), 1)[0]);
    lattice = reals(line(32), 4), second = reals(line(35), 4);
    std::vector<double> v = reals(line(34), 3);
    d1 = v[0], d2 = v[1], phi = v[2];
    w = reals(line(93), 1)[0];
    v = reals(line(97), 2);
    cs = v[0], kilovolts = v[1];
  }
  std::string line(int n) const { return n <= static_cast<int>(lines.size()) ? lines[n - 1] : ""; }
  // Angstrom per pixel of the image a transform was computed from: the CTF
  // tool's sampling, reduction times scanner step over magnification.
  double pixel(double reduction) const { return reduction * step * 1.0e4 / magnification; }
  // The CTF tool's transfer function at spatial frequency squared s2 (1/A^2).
  double transfer(double s2, double defocus) const {
    double v = kilovolts * 1000.0, lambda = 12.3 / std::sqrt(v + v * v / 1.0e6);
    double chi =
        kPi * lambda * defocus * s2 - 0.5 * kPi * cs * 1.0e7 * std::pow(lambda, 3) * s2 * s2;
    return -w * std::sin(chi) - (1.0 - w) * std::cos(chi);
  }
};

const Project& project() {
  static const Project p(read_lines("DATAFILE.dat"));
  return p;
}

// Strength of the peak near transform position (x, y): the largest amplitude of
// the 3 x 3 pixels there over the mean amplitude 5 to 9 pixels around.
double peak_ratio(const Map& t, double x, double y) {
  int px = static_cast<int>(std::lround(x)), py = static_cast<int>(std::lround(y));
  double peak = 0, sum = 0;
  int count = 0;
  for (int dy = -9; dy <= 9; ++dy)
    for (int dx = -9; dx <= 9; ++dx) {
      int r2 = dx * dx + dy * dy;
      double a = t.amplitude(px + dx, py + dy);
      if (r2 <= 2) peak = std::max(peak, a);
      if (r2 >= 25 && r2 <= 81 && a >= 0) sum += a, ++count;
    }
  return peak / (sum / count);
}

// Fits the mean defocus to the Thon rings of a transform: the defocus whose
// squared transfer function (with the astigmatism of line 34 around it) best
// matches the ring pattern of the log power between radii rlo and rhi. Both are
// compared ring by ring, after removing each one's mean over its radius bin, so
// that the fall of the power with radius does not count.
struct RingFit {
  double defocus, score;
  bool operator<(const RingFit& other) const { return score < other.score; }
};
RingFit fit_defocus(const Map& t, double pixel, double half_astig, double phi, double rlo,
                    double rhi, double dlo, double dhi) {
  const int n = 2 * t.nx - 2;
  struct Sample {
    float s2, astig, power;
    int bin;
  };
  std::vector<Sample> samples;
  const int bins = static_cast<int>(rhi) + 1;
  std::vector<double> bin_sum(bins, 0.0);
  std::vector<int> bin_count(bins, 0);
  for (int k = -n / 2; k < n / 2; ++k)
    for (int h = 0; h < t.nx; ++h) {
      double r = std::hypot(h, k);
      if (r < rlo || r > rhi) continue;
      double a = t.amplitude(h, k);
      double alpha = std::atan2(k, h);
      Sample s{static_cast<float>(r * r / (n * pixel * n * pixel)),
               static_cast<float>(half_astig * std::cos(2 * (alpha - phi * kPi / 180))),
               static_cast<float>(std::log(a * a + 1e-12)), static_cast<int>(r)};
      samples.push_back(s);
      bin_sum[s.bin] += s.power;
      ++bin_count[s.bin];
    }
  for (Sample& s : samples) s.power -= static_cast<float>(bin_sum[s.bin] / bin_count[s.bin]);

  const Project& p = project();
  auto score = [&](double defocus) {
    std::vector<double> m1(bins, 0.0), m2(bins, 0.0);
    double cross = 0;
    for (const Sample& s : samples) {
      double c = p.transfer(s.s2, defocus + s.astig);
      double m = c * c;
      cross += s.power * m;
      m1[s.bin] += m;
      m2[s.bin] += m * m;
    }
    double spread = 0;
    for (int b = 0; b < bins; ++b)
      if (bin_count[b] > 0) spread += m2[b] - m1[b] * m1[b] / bin_count[b];
    return cross / std::sqrt(spread);
  };
  RingFit best{dlo, -1e30};
  for (double d = dlo; d <= dhi; d += 25.0) best = std::max(best, RingFit{d, score(d)});
  for (double d = best.defocus - 20.0; d <= best.defocus + 20.0; d += 5.0)
    best = std::max(best, RingFit{d, score(d)});
  return best;
}

TEST(DemoProject, DatafileHoldsOneConsistentSetOfParameters) {
  const Project& p = project();
  ASSERT_GE(p.lines.size(), 160u);
  for (size_t i = 0; i < p.lines.size(); ++i) EXPECT_LE(p.lines[i].size(), 80u) << "line " << i + 1;
  EXPECT_EQ(p.line(12), "mdemo");
  EXPECT_EQ(p.line(23), "     0");
  EXPECT_EQ(reals(p.line(58), 2), std::vector<double>({0.0, 0.0}));

  // Line 32 is the reciprocal lattice in transform pixels of the 1024 image;
  // back in real space it is the simulated cell: 40 and 50 pixels, 100 degrees.
  const double* l = p.lattice.data();
  double det = l[0] * l[3] - l[1] * l[2];
  double ax = 1024 * l[3] / det, ay = -1024 * l[2] / det;
  double bx = -1024 * l[1] / det, by = 1024 * l[0] / det;
  EXPECT_NEAR(std::hypot(ax, ay), 40.0, 0.1);
  EXPECT_NEAR(std::hypot(bx, by), 50.0, 0.1);
  double angle = std::acos((ax * bx + ay * by) / std::hypot(ax, ay) / std::hypot(bx, by));
  EXPECT_NEAR(angle * 180 / kPi, 100.0, 0.2);

  // A flat tilted specimen: the corner defoci lie on a plane (tl + br = tr + bl,
  // up to the whole-Angstrom rounding) centred on the mean defocus of line 34,
  // and they differ, since the specimen is tilted.
  const std::vector<double>& c = p.corner;
  EXPECT_NEAR(c[0] + c[3], c[1] + c[2], 2.0);
  EXPECT_NEAR((c[0] + c[1] + c[2] + c[3]) / 4, (p.d1 + p.d2) / 2, 2.0);
  EXPECT_GT(*std::max_element(c.begin(), c.end()) - *std::min_element(c.begin(), c.end()), 500.0);
}

TEST(DemoProject, MapsHaveTheSizesModesAndStatisticsTheProjectNeeds) {
  struct Expected {
    const char* name;
    int nx, ny, nz, mode;
  };
  const Expected files[] = {
      {"demo.tvk", 1024, 1024, 1, 2},
      {"mdemo.tvk", 1024, 1024, 1, 2},
      {"FFTIR/mdemo.fft.tvk", 513, 1024, 1, 4},
      {"FFTIR/mdemo.red.fft.tvk", 257, 512, 1, 4},
      {"CUT/mdemo.red.center.fft.tvk", 129, 256, 1, 4},
      {"CUT/demo.tl.fft.tvk", 257, 512, 1, 4},
      {"CUT/demo.tr.fft.tvk", 257, 512, 1, 4},
      {"CUT/demo.bl.fft.tvk", 257, 512, 1, 4},
      {"CUT/demo.br.fft.tvk", 257, 512, 1, 4},
      {"stack.tvk", 256, 256, 6, 2},
      {"filament.tvk", 384, 768, 1, 2},
      {"tvkclick.tvk", 128, 128, 1, 0},
  };
  for (const Expected& e : files) {
    SCOPED_TRACE(e.name);
    Map m = read_map(e.name);
    EXPECT_EQ(m.nx, e.nx);
    EXPECT_EQ(m.ny, e.ny);
    EXPECT_EQ(m.nz, e.nz);
    EXPECT_EQ(m.mode, e.mode);
    // The header statistics are those of the data (amplitudes for transforms).
    std::vector<double> values;
    if (m.complex())
      for (size_t i = 0; i < m.data.size(); i += 2)
        values.push_back(std::hypot(m.data[i], m.data[i + 1]));
    else
      values.assign(m.data.begin(), m.data.end());
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    double mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    EXPECT_NEAR(m.dmin, *lo, 1e-4 * std::fabs(*lo) + 1e-6);
    EXPECT_NEAR(m.dmax, *hi, 1e-4 * std::fabs(*hi));
    EXPECT_NEAR(m.dmean, mean, 1e-4 * std::fabs(mean));
    EXPECT_LT(*lo, *hi);
  }

  // The masked image keeps the crystal and sets its surroundings to the mean of
  // the whole image.
  Map image = read_map("demo.tvk"), masked = read_map("mdemo.tvk");
  EXPECT_EQ(image.data[512 * 1024 + 512], masked.data[512 * 1024 + 512]);
  for (int i : {0, 1023, 1023 * 1024, 1024 * 1024 - 1})
    EXPECT_FLOAT_EQ(masked.data[i], image.dmean);
}

TEST(DemoProject, StoredTransformIsTheHalfPlaneTransformOfTheMaskedImage) {
  Map image = read_map("mdemo.tvk"), t = read_map("FFTIR/mdemo.fft.tvk");
  const int n = image.nx;
  // F(h, k) = sum f(x, y) exp(-2 pi i (h x + k y) / n) / n at row n/2 + k, column h,
  // computed directly: this pins the row of k (and its sign), the column of h and
  // the scale.
  const int coefficients[][2] = {{0, 0},      {3, -7},     {24, 10}, {5, 100},
                                 {100, -300}, {512, -512}, {1, 511}};
  for (const auto& hk : coefficients) {
    int h = hk[0], k = hk[1];
    std::vector<std::complex<double>> ex(n), ey(n);
    for (int i = 0; i < n; ++i) {
      ex[i] = std::polar(1.0, -2 * kPi * ((static_cast<long>(h) * i) % n) / n);
      ey[i] = std::polar(1.0, -2 * kPi * ((static_cast<long>(k + n) * i) % n) / n);
    }
    std::complex<double> sum = 0;
    for (int y = 0; y < n; ++y) {
      std::complex<double> row = 0;
      for (int x = 0; x < n; ++x)
        row += static_cast<double>(image.data[static_cast<size_t>(y) * n + x]) * ex[x];
      sum += row * ey[y];
    }
    sum /= n;
    size_t i = (static_cast<size_t>(n / 2 + k) * t.nx + h) * 2;
    double tolerance = 0.05 + 1e-5 * std::abs(sum);
    EXPECT_NEAR(t.data[i], sum.real(), tolerance) << h << "," << k;
    EXPECT_NEAR(t.data[i + 1], sum.imag(), tolerance) << h << "," << k;
  }
}

TEST(DemoProject, ReflectionsLieOnTheLatticesOfLines32And35) {
  const Project& p = project();
  Map t = read_map("FFTIR/mdemo.fft.tvk");
  // Count the low orders of a lattice that show a peak, and the points halfway
  // between them that do (which none should).
  auto count_peaks = [&t](const double* l, double offset, int& tried) {
    int found = 0;
    tried = 0;
    for (int h = -6; h <= 6; ++h)
      for (int k = -6; k <= 6; ++k) {
        double x = (h + offset) * l[0] + (k + offset) * l[2];
        double y = (h + offset) * l[1] + (k + offset) * l[3];
        double r = std::hypot(x, y);
        if (r < 15 || r > 110 || x < 0) continue;
        ++tried;
        if (peak_ratio(t, x, y) > 4.0) ++found;
      }
    return found;
  };
  int tried = 0;
  int on = count_peaks(p.lattice.data(), 0.0, tried);
  EXPECT_GT(tried, 20);
  EXPECT_GT(on, tried / 2) << on << " of " << tried << " orders show peaks";
  int between = count_peaks(p.lattice.data(), 0.5, tried);
  EXPECT_LE(between, tried / 20) << between << " of " << tried << " midpoints show peaks";
  // The weaker second layer still shows its strongest orders.
  int second = count_peaks(p.second.data(), 0.0, tried);
  EXPECT_GT(second, tried / 5) << second << " of " << tried;
}

TEST(DemoProject, SpotAndPeakListsNameVisibleReflections) {
  const Project& p = project();
  std::vector<std::string> spots = read_lines("mdemo.spt"), peaks = read_lines("demo.pk");
  ASSERT_GE(spots.size(), 15u);
  ASSERT_LE(spots.size(), 200u);
  ASSERT_EQ(peaks.size(), spots.size());
  Map full = read_map("FFTIR/mdemo.fft.tvk"), reduced = read_map("FFTIR/mdemo.red.fft.tvk");
  for (size_t i = 0; i < spots.size(); ++i) {
    SCOPED_TRACE(spots[i]);
    // The spot list editor's layout: two integers right-aligned in 6 columns.
    ASSERT_EQ(spots[i].size(), 13u);
    EXPECT_EQ(spots[i][6], ',');
    int hk[2], d[2];
    ASSERT_TRUE(list_read_ints(spots[i], 2, hk).complete());
    ASSERT_TRUE(list_read_ints(peaks[i], 2, d).complete());
    EXPECT_TRUE(hk[0] > 0 || (hk[0] == 0 && hk[1] > 0));
    double x = hk[0] * p.lattice[0] + hk[1] * p.lattice[2];
    double y = hk[0] * p.lattice[1] + hk[1] * p.lattice[3];
    EXPECT_LE(std::fabs(d[0] - x), 0.5);
    EXPECT_LE(std::fabs(d[1] - y), 0.5);
    EXPECT_GT(peak_ratio(full, x, y), 4.0);
    // The reduced transform keeps the frequency of a transform pixel (half the
    // size, twice the pixel), so the reflection sits at the same position.
    EXPECT_GT(peak_ratio(reduced, x, y), 3.0);
  }
}

TEST(DemoProject, ThonRingsFollowTheDefocusOfLine34) {
  const Project& p = project();
  Map t = read_map("FFTIR/mdemo.fft.tvk");
  const double mean = 0.5 * (p.d1 + p.d2), half = 0.5 * (p.d1 - p.d2);
  auto fit = [&](const Map& m, double pixel, double astig, double phi, double rlo, double rhi) {
    return fit_defocus(m, pixel, astig, phi, rlo, rhi, 0.8 * mean, 1.2 * mean);
  };
  RingFit best = fit(t, p.pixel(1), half, p.phi, 30, 200);
  EXPECT_NEAR(best.defocus, mean, 0.02 * mean);
  // The astigmatism lies the way line 34 says: the same rings with the two
  // principal defoci swapped, or with the angle mirrored (k the other way), fit worse.
  EXPECT_GT(best.score, 1.3 * fit(t, p.pixel(1), -half, p.phi, 30, 200).score);
  EXPECT_GT(best.score, 1.3 * fit(t, p.pixel(1), half, -p.phi, 30, 200).score);

  // The central transform is reduced 2 x 2: its pixel is twice the scanner step.
  EXPECT_NEAR(fit(read_map("CUT/mdemo.red.center.fft.tvk"), p.pixel(2), half, p.phi, 8, 60).defocus,
              mean, 0.03 * mean);

  // Each corner transform shows its own defocus of lines 25 to 28, within 1%:
  // closer than the corners are to each other, so their order shows too.
  const char* corners[4] = {"CUT/demo.tl.fft.tvk", "CUT/demo.tr.fft.tvk", "CUT/demo.bl.fft.tvk",
                            "CUT/demo.br.fft.tvk"};
  for (int c = 0; c < 4; ++c)
    EXPECT_NEAR(fit(read_map(corners[c]), p.pixel(1), half, p.phi, 15, 120).defocus, p.corner[c],
                0.01 * p.corner[c])
        << corners[c];
}

}  // namespace
