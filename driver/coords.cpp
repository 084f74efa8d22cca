#include "coords.h"

#include <cmath>
#include <cstdlib>

#include "records.h"

namespace {
int compression_factor() {
  return gen.compression > 0 ? gen.compression : 1;
}
}  // namespace

void convert_to_image(int sx, int sy, int& x, int& y) {
  if (gen.is_image == 1) {
    x = (sx - gen.area_x1) * compression_factor() + gen.first_x;
    y = (sy - gen.area_y1) * compression_factor() + gen.first_y;
  } else {
    x = sx - gen.centre_x;
    y = sy - gen.centre_y;
  }
}

void convert_to_screen(int x, int y, int& sx, int& sy) {
  if (gen.is_image == 1) {
    // Nearest screen pixel, halves rounded away from zero.
    const double c = compression_factor();
    sx = static_cast<int>(std::lround((x - gen.first_x) / c)) + gen.area_x1;
    sy = static_cast<int>(std::lround((y - gen.first_y) / c)) + gen.area_y1;
  } else {
    sx = x + gen.centre_x;
    sy = y + gen.centre_y;
  }
}

void convert_to_transform(int h, int k, int& column, int& row) {
  if (gen.is_image == 1) return;
  // Only h >= 0 is stored; a point with negative h is read at its Friedel mate.
  column = 2 * std::abs(h) + 1;
  row = h >= 0 ? gen.ny / 2 + k : gen.ny / 2 - k;
}
