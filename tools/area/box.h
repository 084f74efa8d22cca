// The box record: the outline an area tool leaves for the tools that read, write or mask
// the area (averaging, boxing, the interactive FFT, lattice display, straightening).
//
// Vertices are screen coordinates counted from 1; after an outline is accepted the entry
// behind the last vertex repeats vertex 1, so the arrays hold, besides the unused entry 0, two
// entries beyond the vertex limit (the double click may add a final end vertex after the limit
// test).
#pragma once

#include <cstdint>

#include "driver/records.h"

constexpr int kMaxVertices = 20000;
constexpr int kBoxLineLength = 32768;  // reals in the row buffer

struct BoxRecord {
  int32_t float_flag;       // 1: the boxed image is floated
  int32_t screen_flag;      // 0: map area (data of the map), 1: screen area (the picture)
  int32_t whole_flag;       // 1: the whole screen is taken
  int32_t zero_flag;        // 1: the boxed area is set to zero
  int32_t postscript_flag;  // 1: PostScript output; earlier overlay items stay
  int32_t circle_flag, polygon_flag, rectangle_flag;  // the outline kind (exactly one is 1)
  int32_t x[kMaxVertices + 3], y[kMaxVertices + 3];   // vertices, [1] .. [nvert + 1]
  int32_t nvert;
  int32_t circle_x, circle_y, radius;  // circle centre and radius, screen pixels
  int32_t npx, npy;                    // size of the output raster
  int32_t cx, cy;                      // centre of the boxed image in the output raster
  int32_t xmin, xmax, ymin, ymax;      // bounding box of the outline, screen coordinates
  int32_t nbx, nby;                    // bounding-box size in map pixels, always even
  float line[kBoxLineLength];          // one map row
  char output_file[kFileNameLength];
};

extern BoxRecord box;
