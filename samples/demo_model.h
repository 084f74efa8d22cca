// The simulated specimen and microscope of the demo project: a two-dimensional
// crystal (two layers with the same cell, the second rotated and weaker) on an
// amorphous support film, imaged with a transfer function whose defocus varies
// across the tilted specimen, and the smaller sample images of the project.
//
// Image coordinates: column x and row y of the map, counted from 0; row 0 is the
// bottom row on the screen, so "top" means high rows. Frequencies (h, k) are the
// indices of the discrete transform F(h, k) = sum f(x, y) exp(-2 pi i (h x + k y) / n):
// h along columns, k along rows, in cycles per n pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

struct Vec2 {
  double x = 0;
  double y = 0;
};

// One Gaussian blob of the unit cell's motif, at fractional cell coordinates.
struct Blob {
  double u, v;       // position as fractions of the vectors a and b
  double sigma;      // width in pixels
  double amplitude;  // peak height of the projected density
};

struct Microscope {
  double magnification = 50000.0;
  double step_um = 7.0;  // scanner step on the micrograph, micrometres
  double cs_mm = 2.0;
  double kilovolts = 200.0;
  double amplitude_contrast = 0.07;
  double defocus1 = 10500.0;        // Angstrom, along the astigmatism angle
  double defocus2 = 9500.0;         // Angstrom, perpendicular to it
  double astig_degrees = 35.0;      // from the h axis towards the k axis
  double envelope_b = 6.0;          // Angstrom^2: amplitude falls as exp(-B s^2)
  double tilt_degrees = 50.0;       // specimen tilt
  double tilt_axis_degrees = 60.0;  // direction of the tilt axis in the image
};

struct Model {
  int size = 1024;  // the image is size x size pixels
  Microscope scope;
  Vec2 a{39.126, 8.316};    // real-space lattice vectors in pixels (|a| 40, |b| 50,
  Vec2 b{-18.730, 46.359};  // 100 degrees between them)
  Vec2 origin{13.0, 7.0};   // a lattice point of the first layer
  double second_rotation_degrees = 15.0;
  double second_strength = 0.35;
  std::vector<Blob> motif{{0.10, 0.20, 2.6, 2.4},
                          {0.45, 0.30, 3.2, 1.6},
                          {0.30, 0.70, 2.0, 2.0},
                          {0.75, 0.60, 2.8, 1.4}};
  // The crystal is an elliptical patch; the masked image keeps a soft-edged
  // ellipse a little larger than it.
  Vec2 crystal_centre{520.0, 500.0};
  double crystal_radius_x = 360.0;
  double crystal_radius_y = 300.0;
  double crystal_angle_degrees = 25.0;
  double crystal_edge = 40.0;
  double mask_margin = 40.0;
  double mask_edge = 40.0;
  double film_sigma = 1.0;       // amorphous support film, per pixel
  double detector_sigma = 0.15;  // noise added after imaging
  double background = 100.0;     // mean density of the image
  double gain = 10.0;            // densities per unit of contrast
  uint32_t seed = 20240611;
};

// Pixel size on the specimen in Angstrom.
double pixel_angstrom(const Model& m);
// Electron wavelength in Angstrom for the accelerating voltage.
double wavelength(const Microscope& s);
// Contrast transfer at spatial frequency s (1/Angstrom) for defocus d (Angstrom):
// c = -sqrt(1 - w^2) sin(chi) - w cos(chi), chi = pi lambda d s^2 - pi/2 Cs lambda^3 s^4,
// w the amplitude contrast fraction.
double transfer(const Microscope& s, double s2, double defocus);
// Mean defocus (the average of the two principal values) at image point (x, y);
// the tilt makes it a plane through the image centre.
double defocus_at(const Model& m, double x, double y);
// Reciprocal lattice vectors in pixels of a transform of the whole image:
// reflection (h, k) of the first layer lies at h * astar + k * bstar.
void reciprocal(const Model& m, Vec2& astar, Vec2& bstar, bool second_layer = false);
// The real-space vectors of the second layer.
void second_layer_vectors(const Model& m, Vec2& a2, Vec2& b2);

// The micrograph: size x size densities, row after row from the bottom.
std::vector<float> crystal_image(const Model& m);
// Weight 1 inside the masking ellipse, 0 outside it, a cosine edge between.
float mask_weight(const Model& m, double x, double y);

// Six sections of 256 x 256: a small crystal patch turning by 15 degrees a step.
std::vector<float> stack_image(const Model& m, int& nx, int& ny, int& nz);
// A striated, helical band along a smooth, roughly vertical curve, with a dense, narrow axis:
// across the band the density peaks on the curve in every row, whatever the striation.
std::vector<float> filament_image(const Model& m, int& nx, int& ny);
// A small byte image with a marked grid of points for clicking.
std::vector<float> click_image(int& nx, int& ny);

}  // namespace demo
