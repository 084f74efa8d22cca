// Conversions between screen positions, map pixels and transform indices.
#include <gtest/gtest.h>

#include "driver/coords.h"
#include "driver/records.h"

namespace {
void image_geometry(int compression) {
  gen = GenRecord{};
  gen.is_image = 1;
  gen.compression = compression;
  gen.area_x1 = 100;
  gen.area_y1 = 50;
  gen.first_x = 20;
  gen.first_y = 30;
}
}  // namespace

TEST(Coords, ImageRoundingAndRoundTrip) {
  image_geometry(2);
  int sx = 0, sy = 0;
  convert_to_screen(gen.first_x + 3, gen.first_y + 1, sx, sy);
  EXPECT_EQ(sx, 102);  // 1.5 rounds to 2
  EXPECT_EQ(sy, 51);   // 0.5 rounds to 1
  convert_to_screen(gen.first_x - 1, gen.first_y - 3, sx, sy);
  EXPECT_EQ(sx, 99);  // -0.5 rounds away from zero
  EXPECT_EQ(sy, 48);

  int x = 0, y = 0;
  convert_to_image(105, 57, x, y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 44);
  convert_to_screen(x, y, sx, sy);
  EXPECT_EQ(sx, 105);
  EXPECT_EQ(sy, 57);

  image_geometry(0);  // an unset factor is taken as no compression
  convert_to_image(101, 51, x, y);
  EXPECT_EQ(x, 21);
  EXPECT_EQ(y, 31);
}

TEST(Coords, TransformIndices) {
  gen = GenRecord{};
  gen.is_image = 0;
  gen.centre_x = 300;
  gen.centre_y = 200;
  gen.ny = 256;
  int h = 0, k = 0, sx = 0, sy = 0;
  convert_to_image(297, 205, h, k);
  EXPECT_EQ(h, -3);
  EXPECT_EQ(k, 5);
  convert_to_screen(h, k, sx, sy);
  EXPECT_EQ(sx, 297);
  EXPECT_EQ(sy, 205);

  int column = 0, row = 0;
  convert_to_transform(-3, 5, column, row);
  EXPECT_EQ(column, 7);
  EXPECT_EQ(row, 123);
  convert_to_transform(3, 5, column, row);
  EXPECT_EQ(column, 7);
  EXPECT_EQ(row, 133);
  gen.ny = 255;  // odd row count: the origin row is truncated
  convert_to_transform(0, -2, column, row);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(row, 125);

  gen.is_image = 1;  // no effect on an image
  column = row = -9;
  convert_to_transform(4, 4, column, row);
  EXPECT_EQ(column, -9);
  EXPECT_EQ(row, -9);
}
