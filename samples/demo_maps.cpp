#include "samples/demo_maps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "mapfile/mapfile.h"
#include "samples/demo_fft.h"

namespace demo {

namespace {

constexpr int kStream = 3;
constexpr double kPi = 3.14159265358979323846;

struct Stats {
  float min, max, mean;
};

Stats statistics(const float* values, size_t count) {
  double lo = values[0], hi = values[0], sum = 0.0;
  for (size_t i = 0; i < count; ++i) {
    lo = std::min<double>(lo, values[i]);
    hi = std::max<double>(hi, values[i]);
    sum += values[i];
  }
  return {static_cast<float>(lo), static_cast<float>(hi), static_cast<float>(sum / count)};
}

// Opens a new map file, replacing one left by an earlier run, and writes its
// header; the data rows follow with iwrlin.
void start_map(const std::string& path, const int nxyz[3], int mode, const float cell[6],
               std::string_view title, Stats stats) {
  std::filesystem::remove(path);
  imopen(kStream, path, "NEW");
  icrhdr(kStream, nxyz, nxyz, mode, nullptr, 0);
  if (cell != nullptr) ialcel(kStream, cell);
  char text[kTitleLength];
  std::memset(text, ' ', sizeof text);
  std::memcpy(text, title.data(), std::min(title.size(), sizeof text));
  iwrhdr(kStream, text, 0, stats.min, stats.max, stats.mean);
}

}  // namespace

void write_image(const std::string& path, const std::vector<float>& data, int nx, int ny, int nz,
                 int mode, double pixel, std::string_view title) {
  const int nxyz[3] = {nx, ny, nz};
  float cell[6] = {static_cast<float>(nx * pixel),
                   static_cast<float>(ny * pixel),
                   static_cast<float>(nz * pixel),
                   90.0f,
                   90.0f,
                   90.0f};
  // Integer modes store each value rounded half away from zero; the header
  // statistics describe what is stored.
  std::vector<float> stored = data;
  if (mode == 0 || mode == 1)
    for (float& v : stored) v = std::round(v);
  start_map(path, nxyz, mode, pixel > 0 ? cell : nullptr, title,
            statistics(stored.data(), stored.size()));
  for (int row = 0; row < ny * nz; ++row)
    iwrlin(kStream, stored.data() + static_cast<size_t>(row) * nx);
  imclose(kStream);
}

std::vector<float> half_plane_transform(const std::vector<float>& image, int n) {
  const int half = n / 2 + 1;
  Fft2 fft(n);
  std::copy(image.begin(), image.end(), fft.real());
  fft.forward();
  const std::complex<float>* out = fft.spectrum();

  // FFTW holds k = r for r < n/2 and k = r - n above; the stored row of k is n/2 + k.
  std::vector<float> stored(static_cast<size_t>(n) * 2 * half);
  const float scale = 1.0f / static_cast<float>(n);
  for (int row = 0; row < n; ++row) {
    int k = row - n / 2;
    int source = (k + n) % n;
    for (int h = 0; h < half; ++h) {
      size_t i = static_cast<size_t>(source) * half + h;
      size_t o = (static_cast<size_t>(row) * half + h) * 2;
      stored[o] = out[i].real() * scale;
      stored[o + 1] = out[i].imag() * scale;
    }
  }
  return stored;
}

std::vector<float> write_transform(const std::string& path, const std::vector<float>& image, int n,
                                   std::string_view title) {
  std::vector<float> stored = half_plane_transform(image, n);
  const int half = n / 2 + 1;
  // The header statistics of a transform are those of the amplitudes.
  std::vector<float> amplitude(stored.size() / 2);
  for (size_t i = 0; i < amplitude.size(); ++i)
    amplitude[i] = std::hypot(stored[2 * i], stored[2 * i + 1]);
  const int nxyz[3] = {half, n, 1};
  start_map(path, nxyz, 4, nullptr, title, statistics(amplitude.data(), amplitude.size()));
  for (int row = 0; row < n; ++row)
    iwrlin(kStream, stored.data() + static_cast<size_t>(row) * 2 * half);
  imclose(kStream);
  return stored;
}

std::vector<float> bin2(const std::vector<float>& image, int n) {
  const int m = n / 2;
  std::vector<float> out(static_cast<size_t>(m) * m);
  for (int y = 0; y < m; ++y)
    for (int x = 0; x < m; ++x) {
      const float* p = image.data() + static_cast<size_t>(2 * y) * n + 2 * x;
      out[static_cast<size_t>(y) * m + x] = 0.25f * (p[0] + p[1] + p[n] + p[n + 1]);
    }
  return out;
}

std::vector<float> cut(const std::vector<float>& image, int n, int x0, int y0, int size) {
  std::vector<float> out(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y)
    std::copy_n(image.data() + static_cast<size_t>(y0 + y) * n + x0, size,
                out.data() + static_cast<size_t>(y) * size);
  return out;
}

void taper_edges(std::vector<float>& area, int n, int width) {
  double sum = 0.0;
  for (float v : area) sum += v;
  const float mean = static_cast<float>(sum / area.size());
  std::vector<float> ramp(n, 1.0f);
  for (int i = 0; i < width && i < n / 2; ++i) {
    float w = static_cast<float>(0.5 * (1.0 - std::cos(kPi * (i + 0.5) / width)));
    ramp[i] = w;
    ramp[n - 1 - i] = w;
  }
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      float& v = area[static_cast<size_t>(y) * n + x];
      v = mean + ramp[x] * ramp[y] * (v - mean);
    }
}

}  // namespace demo
