// Resampling a boxed area along its centre line. One row of the map is read per box row
// into the box record's line buffer; each output row is then one pass over its columns.
#include "tools/spline/straighten.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "tools/area/box.h"
#include "tools/spline/spline_routines.h"

namespace {

constexpr float kFarOutside = 1.0e6f;  // centre-line offsets are kept within this

float kept_within(double v) {
  if (!std::isfinite(v)) return 0.0f;
  return static_cast<float>(std::clamp(v, double{-kFarOutside}, double{kFarOutside}));
}

float* output_row(int j) {
  return spline.raster + static_cast<int64_t>(j) * kSplineRasterWidth;
}
int16_t* source_row(int j) {
  return spline.int_raster + static_cast<int64_t>(j) * kSplineRasterWidth;
}

// Reads box row j (map row y0 + j of the box's section) into box.line, so that map column
// x is box.line[x]; false when the map's rows are longer than the buffer or the read fails.
bool read_row(const StraightenBox& b, int j) {
  int nxyz[3], mxyz[3], start[3];
  irtsiz(1, nxyz, mxyz, start);
  if (nxyz[0] > kBoxLineLength) return false;
  imposn(1, b.section, b.y0 + j);
  return irdlin(1, box.line) == 0;
}

bool box_fits(const StraightenBox& b) {
  return b.nx >= 1 && b.ny >= 1 && b.nx <= kSplineRasterWidth && b.ny <= kSplineRasterHeight &&
         b.x0 >= 0;
}

}  // namespace

void centre_line(int knots, const double* xn, const double* fn, const double* gn, int ny, float* xc,
                 float* angle) {
  for (int j = 0; j < ny; ++j) {
    xc[j] = kept_within(tg01bd(j == 0 ? -1 : 1, knots, xn, fn, gn, double{float(j)}));
    angle[j] = j == 0 ? 0.0f : std::atan(xc[j] - xc[j - 1]);
  }
  // The first row has no row below it: it takes the direction of the second.
  if (ny >= 2) angle[0] = angle[1];
}

bool straighten_shear(const StraightenBox& b, const float* xc, float m) {
  if (!box_fits(b)) return false;
  const float* line = box.line + b.x0;
  for (int j = 0; j < b.ny; ++j) {
    if (!read_row(b, j)) return false;
    float* out = output_row(j);
    // Output column i samples box column i + shift: an integer step k and a fraction f
    // shared by the whole row. Columns with no pair of box columns to interpolate between
    // take the background.
    const float shift = xc[j] - m;
    const int k = static_cast<int>(std::floor(shift));
    const float f = shift - static_cast<float>(k), g = 1.0f - f;
    const int first = std::clamp(-k, 0, b.nx), last = std::clamp(b.nx - 1 - k, first, b.nx);
    std::fill(out, out + first, b.background);
    for (int i = first; i < last; ++i) out[i] = g * line[i + k] + f * line[i + k + 1];
    std::fill(out + last, out + b.nx, b.background);
  }
  return true;
}

bool straighten_bilinear(const StraightenBox& b, const float* xc, const float* angle, float m) {
  if (!box_fits(b)) return false;
  // The box's densities, first as they are (into the output raster, which is written
  // again below), then as 16-bit integers spread over the box's own range.
  float low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
  for (int j = 0; j < b.ny; ++j) {
    if (!read_row(b, j)) return false;
    float* row = output_row(j);
    std::copy(box.line + b.x0, box.line + b.x0 + b.nx, row);
    for (int i = 0; i < b.nx; ++i) low = std::min(low, row[i]), high = std::max(high, row[i]);
  }
  constexpr float kLevels = 65534.0f, kLowest = -32767.0f;
  const double range = double{high} - double{low};
  const float to_level = range > 0 && std::isfinite(range) ? float(kLevels / range) : 1.0f;
  const float step = 1.0f / to_level, base = low - kLowest * step;
  for (int j = 0; j < b.ny; ++j) {
    const float* row = output_row(j);
    int16_t* q = source_row(j);
    for (int i = 0; i < b.nx; ++i)
      q[i] = static_cast<int16_t>(
          std::lround(std::clamp(kLowest + (row[i] - low) * to_level, kLowest, kLowest + kLevels)));
  }

  // Walk up the curve in unit steps of its length: s is the box row (from 0) reached, the
  // centre there is interpolated between rows, and the normal is that of the nearest row.
  double s = 0.01 - 1.0;
  int k = 0;
  const int last_row = b.ny - 1;
  for (int j = 0; j < b.ny; ++j) {
    s += std::cos(angle[k]);
    k = std::clamp(static_cast<int>(std::lround(s)), 0, last_row);
    const int below = std::clamp(static_cast<int>(std::floor(s)), 0, last_row);
    const int above = std::min(below + 1, last_row);
    const double t = std::clamp(s - below, 0.0, 1.0);
    const double centre = xc[below] + t * (xc[above] - xc[below]);
    const double c = std::cos(angle[k]), sn = std::sin(angle[k]);
    // Output column i lies at distance d = i - m from the centre along the normal.
    double px = centre - m * c, py = s + m * sn;
    float* out = output_row(j);
    for (int i = 0; i < b.nx; ++i, px += c, py -= sn) {
      if (!(px >= 0.0 && py >= 0.0 && px < b.nx - 1 && py < last_row)) {
        out[i] = b.background;
        continue;
      }
      const int u = static_cast<int>(px), v = static_cast<int>(py);
      const float fx = static_cast<float>(px - u), fy = static_cast<float>(py - v);
      const int16_t* q0 = source_row(v) + u;
      const int16_t* q1 = q0 + kSplineRasterWidth;
      const float level = (1.0f - fy) * ((1.0f - fx) * q0[0] + fx * q0[1]) +
                          fy * ((1.0f - fx) * q1[0] + fx * q1[1]);
      out[i] = base + level * step;
    }
  }
  return true;
}
