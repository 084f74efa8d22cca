#include "samples/demo_model.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "samples/demo_fft.h"

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// Gaussian deviates from the standard Mersenne twister (whose sequence is fixed
// by the standard) through Box-Muller, so the project is the same everywhere.
class Noise {
 public:
  explicit Noise(uint32_t seed) {
    state_[0] = seed;
    for (uint32_t i = 1; i < 624; ++i)
      state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
  }
  double gauss() {
    if (have_spare_) {
      have_spare_ = false;
      return spare_;
    }
    double u1 = uniform_open();
    double u2 = uniform_open();
    double r = std::sqrt(-2.0 * std::log(u1));
    spare_ = r * std::sin(2.0 * kPi * u2);
    have_spare_ = true;
    return r * std::cos(2.0 * kPi * u2);
  }

 private:
  // Uniform in (0, 1]: never 0, so the logarithm is finite.
  double uniform_open() { return (static_cast<double>(next()) + 1.0) / 4294967296.0; }
  // MT19937 in its reference form.
  uint32_t next() {
    if (index_ >= 624) twist();
    uint32_t y = state_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
  }
  void twist() {
    for (int i = 0; i < 624; ++i) {
      uint32_t y = (state_[i] & 0x80000000u) | (state_[(i + 1) % 624] & 0x7fffffffu);
      state_[i] = state_[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
    }
    index_ = 0;
  }
  uint32_t state_[624];
  int index_ = 624;
  bool have_spare_ = false;
  double spare_ = 0.0;
};

Vec2 rotated(Vec2 v, double degrees) {
  double c = std::cos(degrees * kDegree), s = std::sin(degrees * kDegree);
  return {c * v.x - s * v.y, s * v.x + c * v.y};
}

// Weight of a soft-edged ellipse: 1 inside, a half cosine over `edge` pixels
// outside the boundary, 0 beyond.
float ellipse_weight(const Model& m, double x, double y, double grow, double edge) {
  double c = std::cos(m.crystal_angle_degrees * kDegree);
  double s = std::sin(m.crystal_angle_degrees * kDegree);
  double dx = x - m.crystal_centre.x, dy = y - m.crystal_centre.y;
  double u = c * dx + s * dy, v = -s * dx + c * dy;
  double rx = m.crystal_radius_x + grow, ry = m.crystal_radius_y + grow;
  double rho = std::sqrt((u / rx) * (u / rx) + (v / ry) * (v / ry));
  // Distance beyond the boundary, measured along the ray from the centre.
  double beyond = (rho - 1.0) * std::sqrt(u * u + v * v) / std::max(rho, 1e-9);
  if (beyond <= 0.0) return 1.0f;
  if (beyond >= edge) return 0.0f;
  return static_cast<float>(0.5 * (1.0 + std::cos(kPi * beyond / edge)));
}

// Adds a Gaussian blob to an nx x ny raster.
void add_blob(std::vector<float>& raster, int nx, int ny, double cx, double cy, double sigma,
              double height) {
  int reach = static_cast<int>(std::ceil(3.5 * sigma));
  int x0 = std::max(0, static_cast<int>(std::floor(cx)) - reach);
  int x1 = std::min(nx - 1, static_cast<int>(std::floor(cx)) + reach + 1);
  int y0 = std::max(0, static_cast<int>(std::floor(cy)) - reach);
  int y1 = std::min(ny - 1, static_cast<int>(std::floor(cy)) + reach + 1);
  double scale = -0.5 / (sigma * sigma);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      raster[static_cast<size_t>(y) * nx + x] += static_cast<float>(height * std::exp(r2 * scale));
    }
}

// Adds one crystal layer: the motif repeated on the lattice (a, b) through
// `origin`, each unit cell weighted by weight(x, y).
template <typename Weight>
void add_layer(std::vector<float>& raster, int nx, int ny, const std::vector<Blob>& motif, Vec2 a,
               Vec2 b, Vec2 origin, double strength, Weight weight) {
  // Indices whose cells can reach the raster: solve corner = origin + n a + m b.
  double det = a.x * b.y - a.y * b.x;
  double nlo = 1e9, nhi = -1e9, mlo = 1e9, mhi = -1e9;
  for (double cx : {-20.0, nx + 20.0})
    for (double cy : {-20.0, ny + 20.0}) {
      double px = cx - origin.x, py = cy - origin.y;
      double n = (px * b.y - py * b.x) / det, m = (a.x * py - a.y * px) / det;
      nlo = std::min(nlo, n), nhi = std::max(nhi, n), mlo = std::min(mlo, m),
      mhi = std::max(mhi, m);
    }
  for (int n = static_cast<int>(std::floor(nlo)) - 1; n <= static_cast<int>(std::ceil(nhi)); ++n)
    for (int m = static_cast<int>(std::floor(mlo)) - 1; m <= static_cast<int>(std::ceil(mhi)); ++m)
      for (const Blob& blob : motif) {
        double u = n + blob.u, v = m + blob.v;
        double cx = origin.x + u * a.x + v * b.x, cy = origin.y + u * a.y + v * b.y;
        if (cx < -20 || cy < -20 || cx > nx + 20 || cy > ny + 20) continue;
        double w = weight(cx, cy) * strength * blob.amplitude;
        if (w > 1e-4) add_blob(raster, nx, ny, cx, cy, blob.sigma, w);
      }
}

// Images the object: every frequency is multiplied by the transfer function and
// the envelope. The mean defocus is a plane over the image (the specimen is
// tilted), so the object is imaged at a ladder of defocus levels 100 Angstrom
// apart and each pixel takes the two levels around its own defocus, weighted
// linearly.
std::vector<float> image_through_microscope(const Model& m, const std::vector<float>& object) {
  const int n = m.size;
  const int half = n / 2 + 1;
  Fft2 fft(n);
  const size_t reals = fft.reals();
  const size_t complexes = fft.complexes();
  std::copy(object.begin(), object.end(), fft.real());
  fft.forward();
  const std::vector<std::complex<float>> spectrum(fft.spectrum(), fft.spectrum() + complexes);
  float* real = fft.real();
  std::complex<float>* work = fft.spectrum();

  // Per frequency: s^2, the astigmatic share of the defocus and the envelope.
  const double p = pixel_angstrom(m);
  const Microscope& scope = m.scope;
  const double astig_half = 0.5 * (scope.defocus1 - scope.defocus2);
  std::vector<float> s2(complexes), astig(complexes), envelope(complexes);
  for (int r = 0; r < n; ++r) {
    int k = r < n / 2 ? r : r - n;
    for (int h = 0; h < half; ++h) {
      size_t i = static_cast<size_t>(r) * half + h;
      double f2 = (static_cast<double>(h) * h + static_cast<double>(k) * k) / (n * p * n * p);
      double alpha = std::atan2(static_cast<double>(k), static_cast<double>(h));
      s2[i] = static_cast<float>(f2);
      astig[i] =
          static_cast<float>(astig_half * std::cos(2.0 * (alpha - scope.astig_degrees * kDegree)));
      envelope[i] = static_cast<float>(std::exp(-scope.envelope_b * f2) / reals);
    }
  }

  std::vector<float> local(reals);
  double lowest = 1e30, highest = -1e30;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      double d = defocus_at(m, x, y);
      local[static_cast<size_t>(y) * n + x] = static_cast<float>(d);
      lowest = std::min(lowest, d);
      highest = std::max(highest, d);
    }
  const double step = 100.0;
  const int levels = static_cast<int>(std::ceil((highest - lowest) / step)) + 1;

  std::vector<float> image(reals, 0.0f);
  for (int level = 0; level < levels; ++level) {
    double defocus = lowest + level * step;
    for (size_t i = 0; i < complexes; ++i) {
      float c = static_cast<float>(transfer(scope, s2[i], defocus + astig[i])) * envelope[i];
      work[i] = spectrum[i] * c;
    }
    fft.backward();
    for (size_t i = 0; i < reals; ++i) {
      float w = 1.0f - static_cast<float>(std::fabs(local[i] - defocus) / step);
      if (w > 0.0f) image[i] += w * real[i];
    }
  }
  return image;
}

}  // namespace

double pixel_angstrom(const Model& m) {
  return m.scope.step_um * 10000.0 / m.scope.magnification;
}

double wavelength(const Microscope& s) {
  double volts = s.kilovolts * 1000.0;
  return 12.3 / std::sqrt(volts + volts * volts / 1.0e6);
}

double transfer(const Microscope& s, double s2, double defocus) {
  double lambda = wavelength(s);
  double cs = s.cs_mm * 1.0e7;
  double chi = kPi * lambda * defocus * s2 - 0.5 * kPi * cs * lambda * lambda * lambda * s2 * s2;
  // A weak phase object: the phase contrast goes with sin(chi), the small amplitude
  // contrast w with cos(chi), so the rings lie near chi = k pi.
  double w = s.amplitude_contrast;
  return -std::sqrt(1.0 - w * w) * std::sin(chi) - w * std::cos(chi);
}

double defocus_at(const Model& m, double x, double y) {
  const Microscope& s = m.scope;
  // The defocus grows perpendicular to the tilt axis, by tan(tilt) Angstrom per
  // Angstrom of distance from the axis through the image centre.
  double direction = (s.tilt_axis_degrees - 90.0) * kDegree;
  double centre = 0.5 * (m.size - 1);
  double across = (x - centre) * std::cos(direction) + (y - centre) * std::sin(direction);
  return 0.5 * (s.defocus1 + s.defocus2) +
         std::tan(s.tilt_degrees * kDegree) * pixel_angstrom(m) * across;
}

void second_layer_vectors(const Model& m, Vec2& a2, Vec2& b2) {
  a2 = rotated(m.a, m.second_rotation_degrees);
  b2 = rotated(m.b, m.second_rotation_degrees);
}

void reciprocal(const Model& m, Vec2& astar, Vec2& bstar, bool second_layer) {
  Vec2 a = m.a, b = m.b;
  if (second_layer) second_layer_vectors(m, a, b);
  // astar . a = bstar . b = 1, astar . b = bstar . a = 0, in cycles per pixel,
  // times the image size for transform pixels.
  double det = a.x * b.y - a.y * b.x;
  double n = m.size;
  astar = {n * b.y / det, -n * b.x / det};
  bstar = {-n * a.y / det, n * a.x / det};
}

float mask_weight(const Model& m, double x, double y) {
  return ellipse_weight(m, x, y, m.mask_margin, m.mask_edge);
}

std::vector<float> crystal_image(const Model& m) {
  const int n = m.size;
  std::vector<float> object(static_cast<size_t>(n) * n, 0.0f);
  auto crystal = [&m](double x, double y) { return ellipse_weight(m, x, y, 0.0, m.crystal_edge); };
  add_layer(object, n, n, m.motif, m.a, m.b, m.origin, 1.0, crystal);
  Vec2 a2, b2;
  second_layer_vectors(m, a2, b2);
  add_layer(object, n, n, m.motif, a2, b2, {m.origin.x + 9.0, m.origin.y + 17.0}, m.second_strength,
            crystal);

  Noise noise(m.seed);
  for (float& v : object) v += static_cast<float>(m.film_sigma * noise.gauss());
  std::vector<float> image = image_through_microscope(m, object);
  for (float& v : image)
    v = static_cast<float>(m.background + m.gain * (v + m.detector_sigma * noise.gauss()));
  return image;
}

std::vector<float> stack_image(const Model& m, int& nx, int& ny, int& nz) {
  nx = ny = 256;
  nz = 6;
  const size_t section = static_cast<size_t>(nx) * ny;
  std::vector<float> stack(section * nz, 0.0f);
  Noise noise(m.seed + 1);
  for (int z = 0; z < nz; ++z) {
    std::vector<float> plane(section, 0.0f);
    double turn = 15.0 * z;
    Vec2 a = rotated(m.a, turn), b = rotated(m.b, turn);
    Vec2 centre{0.5 * nx, 0.5 * ny};
    auto patch = [&](double x, double y) {
      double r = std::hypot(x - centre.x, y - centre.y);
      return r < 80 ? 1.0 : (r > 110 ? 0.0 : 0.5 * (1 + std::cos(kPi * (r - 80) / 30)));
    };
    add_layer(plane, nx, ny, m.motif, a, b, centre, 1.0, patch);
    for (size_t i = 0; i < section; ++i)
      stack[z * section + i] = static_cast<float>(50.0 + 20.0 * plane[i] + 2.0 * noise.gauss());
  }
  return stack;
}

std::vector<float> filament_image(const Model& m, int& nx, int& ny) {
  nx = 384;
  ny = 768;
  const double radius = 18.0, period = 27.0;
  // The axis stands well above the striation and the noise, so that straightening along the
  // curve can be seen (and measured) as a vertical line of maxima.
  constexpr double kAxisDensity = 45.0, kAxisWidth = 1.5;
  // Centre line x = c(y), its slope, and the arc length t(y) from the bottom.
  std::vector<double> centre(ny), slope(ny), arc(ny);
  for (int y = 0; y < ny; ++y) {
    double p1 = 2 * kPi * y / 1100.0 + 0.4, p2 = 2 * kPi * y / 430.0;
    centre[y] = 0.5 * nx + 70.0 * std::sin(p1) + 25.0 * std::sin(p2);
    slope[y] = 70.0 * 2 * kPi / 1100.0 * std::cos(p1) + 25.0 * 2 * kPi / 430.0 * std::cos(p2);
    arc[y] = y == 0 ? 0.0 : arc[y - 1] + std::sqrt(1.0 + slope[y] * slope[y]);
  }
  std::vector<float> image(static_cast<size_t>(nx) * ny);
  Noise noise(m.seed + 2);
  for (int y = 0; y < ny; ++y) {
    double cosine = 1.0 / std::sqrt(1.0 + slope[y] * slope[y]);
    for (int x = 0; x < nx; ++x) {
      double d = (x - centre[y]) * cosine;  // distance across the filament
      double t = arc[y] + (x - centre[y]) * slope[y] * cosine * cosine;  // along it
      double core = std::exp(-0.5 * (d / (0.55 * radius)) * (d / (0.55 * radius)));
      // Helical striation: stripes inclined across the band, one turn per period.
      double stripes = 0.6 + 0.4 * std::cos(2 * kPi * (t / period + 0.35 * d / radius));
      double axis = std::exp(-0.5 * (d / kAxisWidth) * (d / kAxisWidth));
      image[static_cast<size_t>(y) * nx + x] = static_cast<float>(
          50.0 + 30.0 * core * stripes + kAxisDensity * axis + 3.0 * noise.gauss());
    }
  }
  return image;
}

std::vector<float> click_image(int& nx, int& ny) {
  nx = ny = 128;
  std::vector<float> image(static_cast<size_t>(nx) * ny);
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x) {
      float v = 40.0f + 0.5f * static_cast<float>(x + y);  // a gentle ramp
      bool dot = (x % 16) >= 7 && (x % 16) <= 9 && (y % 16) >= 7 && (y % 16) <= 9;
      bool cross = (x == nx / 2 || y == ny / 2);
      if (cross) v = 200.0f;
      if (dot) v = 250.0f;
      image[static_cast<size_t>(y) * nx + x] = v;
    }
  return image;
}

}  // namespace demo
