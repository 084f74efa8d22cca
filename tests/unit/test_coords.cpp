// Conversions between screen positions, map pixels and transform indices.
#include <gtest/gtest.h>

#include <array>

#include "driver/coords.h"
#include "driver/records.h"

namespace {

using Pair = std::array<int, 2>;

Pair to_screen(int x, int y) {
  Pair s{};
  convert_to_screen(x, y, s[0], s[1]);
  return s;
}
Pair to_image(int sx, int sy) {
  Pair p{};
  convert_to_image(sx, sy, p[0], p[1]);
  return p;
}
Pair to_transform(int h, int k) {
  Pair p{-9, -9};
  convert_to_transform(h, k, p[0], p[1]);
  return p;
}

}  // namespace

TEST(Coords, ImagePixelsWithCompression) {
  gen = GenRecord{};
  gen.is_image = 1;
  gen.compression = 2;
  gen.area_x1 = 100, gen.area_y1 = 50, gen.first_x = 20, gen.first_y = 30;
  EXPECT_EQ(to_screen(23, 31), (Pair{102, 51}));  // 1.5 and 0.5 round up
  EXPECT_EQ(to_screen(19, 27), (Pair{99, 48}));   // -0.5 rounds away from zero
  EXPECT_EQ(to_image(105, 57), (Pair{30, 44}));
  EXPECT_EQ(to_screen(30, 44), (Pair{105, 57}));
  EXPECT_EQ(to_transform(4, 4), (Pair{-9, -9}));  // no effect on an image
  gen.compression = 0;                            // an unset factor is taken as no compression
  EXPECT_EQ(to_image(101, 51), (Pair{21, 31}));
}

TEST(Coords, TransformIndicesAndTheirWordsInTheStoredHalf) {
  gen = GenRecord{};
  gen.centre_x = 300, gen.centre_y = 200, gen.ny = 256;
  EXPECT_EQ(to_image(297, 205), (Pair{-3, 5}));
  EXPECT_EQ(to_screen(-3, 5), (Pair{297, 205}));
  // Only h >= 0 is stored: a point with negative h is read at its Friedel mate.
  EXPECT_EQ(to_transform(-3, 5), (Pair{7, 123}));
  EXPECT_EQ(to_transform(3, 5), (Pair{7, 133}));
  gen.ny = 255;  // an odd row count: the origin row is truncated
  EXPECT_EQ(to_transform(0, -2), (Pair{1, 125}));
}
