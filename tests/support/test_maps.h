// Small map files for the tests, written with the map-file operations (the header carries the
// data's own minimum, maximum and mean) or by python's mrcfile, opened on stream 1 as start-up
// opens the map on display, and the colour index a density should get.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "tests/support/child.h"

namespace test_maps {

// Runs body with standard output sent to /dev/null: the map-file layer prints every
// header it reads or writes.
template <typename F>
void quietly(F body) {
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  close(null);
  body();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
}

// Writes a new map on stream 2: the rows of every section, then the header with the
// minimum, maximum and mean of what was written (amplitudes for complex modes).
inline void write_rows_to_stream2(const std::string& file, int nx, int ny, int nz, int mode,
                                  const std::function<void(int y, int z, float* row)>& fill) {
  const int nxyz[3] = {nx, ny, nz};
  imopen(2, file, "new");
  icrhdr(2, nxyz, nxyz, mode, nullptr, 0);
  const bool complex = mode == 3 || mode == 4;
  std::vector<float> row(static_cast<size_t>(complex ? 2 * nx : nx));
  double lo = 0, hi = 0, sum = 0;
  bool first = true;
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y) {
      std::fill(row.begin(), row.end(), 0.0f);
      fill(y, z, row.data());
      for (int x = 0; x < nx; ++x) {
        const double v = complex ? std::hypot(row[2 * x], row[2 * x + 1]) : row[x];
        lo = first ? v : std::min(lo, v);
        hi = first ? v : std::max(hi, v);
        first = false;
        sum += v;
      }
      iwrlin(2, row.data());
    }
  char title[kTitleLength];
  std::memset(title, ' ', sizeof title);
  std::memcpy(title, "test map", 8);
  iwrhdr(2, title, 0, static_cast<float>(lo), static_cast<float>(hi),
         static_cast<float>(sum / (double(nx) * ny * nz)));
  imclose(2);
}

inline void write_rows(const std::string& file, int nx, int ny, int nz, int mode,
                       const std::function<void(int y, int z, float* row)>& fill) {
  std::filesystem::remove(file);
  quietly([&] { write_rows_to_stream2(file, nx, ny, nz, mode, fill); });
}

// An image (mode 2) with density f(x, y, z).
inline void write_image(const std::string& file, int nx, int ny, int nz,
                        const std::function<float(int x, int y, int z)>& f) {
  write_rows(file, nx, ny, nz, 2, [&](int y, int z, float* row) {
    for (int x = 0; x < nx; ++x) row[x] = f(x, y, z);
  });
}

// A transform (mode 4): nx complex values per row, f(h, row) = (re, im).
inline void write_transform(const std::string& file, int nx, int ny,
                            const std::function<std::pair<float, float>(int h, int row)>& f) {
  write_rows(file, nx, ny, 1, 4, [&](int y, int, float* row) {
    for (int h = 0; h < nx; ++h) {
      auto [re, im] = f(h, y);
      row[2 * h] = re;
      row[2 * h + 1] = im;
    }
  });
}

// Rewrites a map of reals with python's mrcfile (Debian's python3-mrcfile) in mode 6 or 12, big-
// or little-endian, keeping the other header fields. Returns what it said when it failed.
inline std::string rewrite_with_mrcfile(const std::string& file, int mode, bool big) {
  const std::string script = std::filesystem::path(__FILE__).replace_filename("mrcfile_map.py");
  const testsupport::Finished r = testsupport::run(
      {"/usr/bin/python3", script, file, std::to_string(mode), big ? "big" : "little"});
  return r.status == 0 ? "" : r.out + r.err;
}

// Opens the map on stream 1 read-only and takes its sizes into gen, as start-up does.
inline void open_map(const std::string& file) {
  int nxyz[3], mxyz[3], mode;
  float dmin, dmax, dmean;
  quietly([&] {
    imopen(1, file, "ro");
    irdhdr(1, nxyz, mxyz, mode, dmin, dmax, dmean);
  });
  gen.nx = nxyz[0];
  gen.ny = nxyz[1];
  gen.nz = nxyz[2];
  gen.map_mode = mode;
  gen.is_image = is_image_mode(mode) ? 1 : 0;
}

inline void close_map() {
  quietly([] { imclose(1); });
}

// Colour index computed independently of the program: 125 levels over amin..amax,
// halves rounded away from zero, in double precision.
inline int expected_index(double density, double amin, double amax) {
  double v = (density - amin) * 125.0 / (amax - amin);
  v = std::clamp(v, 0.0, 125.0);
  return static_cast<int>(std::floor(v + 0.5));
}

}  // namespace test_maps
