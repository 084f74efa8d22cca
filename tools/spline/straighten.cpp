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
// Rows of the 16-bit copy of the box: a stride of a whole number of 4 KiB would put the
// same column of every row into the same few cache sets, which the bending, reading along
// slanted lines, would keep evicting; one more cache line per row spreads them.
int source_stride = kSplineRasterWidth;
int16_t* source_row(int j) {
  return spline.int_raster + static_cast<int64_t>(j) * source_stride;
}
void choose_source_stride(int nx, int ny) {
  const int padded = (nx + 63) / 32 * 32;
  source_stride = int64_t{padded} * ny <= kSplineRasterSize ? padded : kSplineRasterWidth;
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

namespace {

// The 16-bit copy of the box: density v is held as level (v - low) / step - 32767, rounded.
struct Levels {
  float low = 0, step = 1;
};

// Quantises box rows into the 16-bit copy over the density range low .. high, densities
// beyond it held at its ends; `outside` tells whether there were any. False when a row
// cannot be read.
bool quantise_box(const StraightenBox& b, float low, float high, Levels& levels, bool& outside) {
  constexpr float kLevels = 65534.0f, kLowest = -32767.0f;
  const double range = double{high} - double{low};
  const float to_level = range > 0 && range < 1e30 ? float(kLevels / range) : 1.0f;
  levels = {low, 1.0f / to_level};
  outside = false;
  for (int j = 0; j < b.ny; ++j) {
    if (!read_row(b, j)) return false;
    const float* row = box.line + b.x0;
    int16_t* q = source_row(j);
    for (int i = 0; i < b.nx; ++i) {
      float level = (row[i] - low) * to_level;
      if (!(level >= 0.0f && level <= kLevels)) {
        // Half a level beyond the ends is rounding; a density that is no number counts as
        // the lowest.
        outside |= std::isfinite(row[i]) && !(level > -0.5f && level < kLevels + 0.5f);
        level = level > kLevels ? kLevels : 0.0f;
      }
      // From a level kept positive truncation rounds to the nearest.
      q[i] = static_cast<int16_t>(static_cast<int>(level + 0.5f) + static_cast<int>(kLowest));
    }
  }
  return true;
}

// The box's own density range, from its rows.
bool box_range(const StraightenBox& b, float& low, float& high) {
  low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
  for (int j = 0; j < b.ny; ++j) {
    if (!read_row(b, j)) return false;
    for (const float* v = box.line + b.x0; v < box.line + b.x0 + b.nx; ++v)
      if (std::isfinite(*v)) low = std::min(low, *v), high = std::max(high, *v);
  }
  if (low > high) low = high = 0.0f;
  return true;
}

// One output row along its normal: column i samples the 16-bit copy at (x + i c, y - i s).
void bend_row(const StraightenBox& b, const Levels& levels, double x, double y, double c, double s,
              float* out) {
  const int last_row = b.ny - 1;
  auto inside = [&](int i) {
    const double px = x + i * c, py = y - i * s;
    return px >= 0.0 && py >= 0.0 && px < b.nx - 1 && py < last_row;
  };
  // The columns whose four neighbours lie in the box form one run: bounds from the four
  // edges, then settled by the same test the samples would meet.
  auto column = [&b](double v) { return static_cast<int>(std::clamp(v, -2.0, b.nx + 1.0)); };
  int first = 0, last = b.nx - 1;
  if (c > 0) first = std::max(first, column(std::ceil(-x / c)) - 1);
  if (c > 0) last = std::min(last, column(std::floor((b.nx - 1 - x) / c)) + 1);
  if (s > 0) last = std::min(last, column(std::floor(y / s)) + 1);
  if (s > 0) first = std::max(first, column(std::ceil((y - last_row) / s)) - 1);
  if (s < 0) first = std::max(first, column(std::ceil(y / s)) - 1);
  if (s < 0) last = std::min(last, column(std::floor((y - last_row) / s)) + 1);
  first = std::max(first, 0), last = std::min(last, b.nx - 1);
  while (first <= last && !inside(first)) ++first;
  while (last >= first && !inside(last)) --last;
  std::fill(out, out + std::max(first, 0), b.background);
  const float base = levels.low + 32767.0f * levels.step, step = levels.step;
  for (int i = first; i <= last; ++i) {
    const double px = x + i * c, py = y - i * s;
    const int u = static_cast<int>(px), v = static_cast<int>(py);
    const float fx = static_cast<float>(px - u), fy = static_cast<float>(py - v);
    const int16_t* q0 = source_row(v) + u;
    const int16_t* q1 = q0 + source_stride;
    const float level =
        (1.0f - fy) * ((1.0f - fx) * q0[0] + fx * q0[1]) + fy * ((1.0f - fx) * q1[0] + fx * q1[1]);
    out[i] = base + level * step;
  }
  std::fill(out + std::max(last + 1, first), out + b.nx, b.background);
}

}  // namespace

bool straighten_bilinear(const StraightenBox& b, const float* xc, const float* angle, float m) {
  if (!box_fits(b)) return false;
  // The box as 16-bit integers over the density range of the map's header; when the data
  // leave that range, over the box's own range.
  choose_source_stride(b.nx, b.ny);
  Levels levels;
  bool outside = false;
  const int slot = imcom.lstream[1];
  const float* header = imcom.denmmm[slot >= 1 && slot <= kMaxSlots ? slot : 0];
  if (!quantise_box(b, header[0], header[1], levels, outside)) return false;
  if (outside) {
    float low = 0, high = 0;
    if (!box_range(b, low, high) || !quantise_box(b, low, high, levels, outside)) return false;
  }
  // Walk up the curve in unit steps of its length: s is the box row (from 0) reached, the
  // centre there is interpolated between rows, and the normal is that of the nearest row.
  // Output column i lies at distance d = i - m from the centre along the normal.
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
    bend_row(b, levels, centre - m * c, s + m * sn, c, sn, output_row(j));
  }
  return true;
}
