// Map files and transforms of the demo project, written with the map-file layer.
//
// A transform file holds one half of the transform of a real n x n image as a
// mode-4 map of n/2 + 1 complex columns (h = 0 .. n/2) and n rows over k, the
// origin row at n/2: stored row r holds k = r - n/2, so k runs from -n/2 at the
// bottom row to n/2 - 1 at the top. With the image's row 0 at the bottom of the
// screen, the transform display (which puts row n/2 + k at k pixels above the
// origin) then shows every reflection in the direction of its wave vector in the
// image: a row of blobs along x gives spots along h, a column of blobs along y
// spots along k. The coefficients are
//   F(h, k) = sum over x, y of f(x, y) exp(-2 pi i (h x + k y) / n) / n,
// the plain discrete transform scaled by 1/n, so that a white-noise image of
// standard deviation 1 gives amplitudes around 1 whatever its size.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace demo {

// Writes nz sections of nx x ny densities (row after row from the bottom) in
// mode 0, 1 or 2. The cell is the size in Angstrom when `pixel` is positive.
void write_image(const std::string& path, const std::vector<float>& data, int nx, int ny, int nz,
                 int mode, double pixel, std::string_view title);

// The half-plane transform of an n x n image in the stored layout above:
// n rows of 2 (n/2 + 1) reals (real and imaginary part of each element).
std::vector<float> half_plane_transform(const std::vector<float>& image, int n);

// Writes the transform of an n x n image and returns it in the stored layout.
std::vector<float> write_transform(const std::string& path, const std::vector<float>& image, int n,
                                   std::string_view title);

// The image reduced to half size by averaging blocks of 2 x 2 pixels.
std::vector<float> bin2(const std::vector<float>& image, int n);
// The size x size area of an n x n image whose lower-left pixel is (x0, y0).
std::vector<float> cut(const std::vector<float>& image, int n, int x0, int y0, int size);
// Blends the border of an n x n area into its mean over `width` pixels with a
// half cosine, so that the area's edges do not streak its transform.
void taper_edges(std::vector<float>& area, int n, int width);

}  // namespace demo
