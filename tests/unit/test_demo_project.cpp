// The generated demo project, read back through the map-file layer the way the program reads
// it: every map of the project with its size, mode and header statistics, the masked image
// made from the image, and the stored transform the transform of the masked image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <string>
#include <vector>

#include "mapfile/mapfile.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const std::string kDemo = TOLSVIK_DEMO_DIR;

struct Map {
  int nx = 0, ny = 0, nz = 0, mode = -1;
  float dmin = 0, dmax = 0, dmean = 0;
  std::vector<float> data;  // rows of nx reals, or of 2 nx for complex modes

  bool complex() const { return !is_image_mode(mode); }
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
    EXPECT_EQ(std::vector<int>({m.nx, m.ny, m.nz, m.mode}),
              std::vector<int>({e.nx, e.ny, e.nz, e.mode}));
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

}  // namespace
