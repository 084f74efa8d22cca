// Conversions between screen, map and transform coordinates, from the geometry
// members of gen.
#pragma once

// Screen position to map column/row (image) or transform indices h, k.
void convert_to_image(int sx, int sy, int& x, int& y);
// Map column/row (image) or transform h, k to screen position.
void convert_to_screen(int x, int y, int& sx, int& sy);
// Transform indices h, k to the column (from 1, real part) and row of the stored
// half-plane transform; no effect for an image.
void convert_to_transform(int h, int k, int& column, int& row);
