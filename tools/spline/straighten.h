// Straightening a boxed area of the map on stream 1 along a fitted centre line x = xc(y):
// every box row is resampled so that the centre line becomes the vertical line at column m
// of the output, either by shifting the row (shear) or by sampling along the normals of the
// curve at unit steps of its length (bi-linear bending). The output goes into the float
// raster of the spline record (column i of row j at j * kSplineRasterWidth + i, both from 0);
// pixels whose source lies outside the box take the background density.
#pragma once

#include <cstdint>

// The box in map coordinates: first column and row, size (at most 2048 x 4096), and the
// section the rows are read from.
struct StraightenBox {
  int x0 = 0, y0 = 0, nx = 0, ny = 0, section = 0;
  float background = 0.0f;  // density of pixels with no source in the box
};

// The centre line of the spline on `knots` knots at the box rows: xc[j] = s(j) for
// j = 0 .. ny - 1 (column offset from the box's left edge), angle[j] = atan(xc[j] - xc[j - 1])
// and angle[0] = angle[1]. Values the fit cannot give (not finite, or far outside any box)
// are kept within +-1e6.
void centre_line(int knots, const double* xn, const double* fn, const double* gn, int ny, float* xc,
                 float* angle);

// Shear: row j of the output is box row j shifted by xc[j] - m, interpolated linearly between
// neighbouring columns. Returns false when a row could not be read.
bool straighten_shear(const StraightenBox& box, const float* xc, float m);

// Bi-linear bending: output row j is taken along the normal of the centre line at arc length
// j from the bottom, the output column at distance d from column m lying at distance d from
// the curve; the box is held as 16-bit integers over its own density range meanwhile.
// Returns false when a row could not be read.
bool straighten_bilinear(const StraightenBox& box, const float* xc, const float* angle, float m);
