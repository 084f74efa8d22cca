// The arithmetic of CTF fitting: the microscope and defocus values read from DATAFILE.dat,
// the sampling of the transform on display, the Thon rings (the zeros of the contrast
// transfer function) as ellipse radii in transform pixels, and what each defocus and angle
// button does to the values being fitted.
#pragma once

#include <array>
#include <string>
#include <vector>

// The defocus pair (Angstrom, the first along `angle`, the second across it) and the
// astigmatism angle in degrees from the h axis towards the k axis, kept in 0 <= angle < 180.
struct DefocusFit {
  float d1 = 0, d2 = 0, angle = 0;
  bool operator==(const DefocusFit&) const = default;
};

// What DATAFILE.dat gives CTF fitting.
struct CtfSettings {
  float magnification = 0;             // line 15
  float sampling = 0;                  // line 16: scanner step in micrometres
  DefocusFit defocus;                  // line 34
  float amplitude_contrast = 0;        // line 93: fraction w, 0 to 1
  float cs = 0;                        // line 97: spherical aberration in millimetres ...
  float kilovolts = 0;                 // ... and accelerating voltage in kilovolts
  std::array<float, 4> corner{};       // lines 25-28: top left, top right, bottom left,
  std::array<bool, 4> corner_known{};  // bottom right; known when the line could be read
};

// Reads the settings from the lines of DATAFILE.dat (lines[n - 1] holds line n; the file
// held `present` lines). Every value that is missing, unreadable or impossible gives one
// line naming the line of the file and the problem; false when there was any. Unreadable
// corner lines only leave their corner unknown.
bool read_ctf_settings(const std::vector<std::string>& lines, int present, CtfSettings& s,
                       std::vector<std::string>& problems);

// The microscope and the sampling of the transform on display.
struct CtfOptics {
  double wavelength = 0;          // Angstrom
  double cs = 0;                  // Angstrom
  double amplitude_contrast = 0;  // w
  double pixel = 0;               // Angstrom per image pixel of the transformed area
  int size = 0;                   // N: the side of the transformed area, 2 nx - 2
};

// Wavelength in Angstrom of electrons accelerated through `volts`.
double electron_wavelength(double volts);
// The optics of a transform of nx complex columns: the sampling step is doubled for the
// reduced central transform (central_flag 1) and multiplied by the transform kind (2 for a
// reduced transform), then divided by the magnification.
CtfOptics ctf_optics(const CtfSettings& s, int transform_kind, int central_flag, int nx);

// The contrast transfer at transform radius j (pixels) for `defocus` (Angstrom):
// -sqrt(1 - w^2) sin(chi) - w cos(chi), chi = pi lambda D s^2 - pi/2 Cs lambda^3 s^4 at
// spatial frequency s = j / (N pixel).
double ctf_value(const CtfOptics& o, int j, double defocus);

constexpr int kCtfSamples = 2048;  // radii 1 .. 2048 are sampled
constexpr int kMaxRings = 99;

// The rings: radius j + 1 wherever the transfer changes sign between radii j and j + 1,
// the sample at radius 1 taken as 1.0 (so the first ring, at radius 2, marks the origin);
// r1 from d1 and r2 from d2, `count` the smaller number found.
struct ThonRings {
  int count = 0;
  std::array<int, kMaxRings> r1{}, r2{};
};
ThonRings thon_rings(const CtfOptics& o, float d1, float d2);

// The angle brought into 0 <= angle < 180 by whole half turns.
float angle_in_range(float angle);
// The values the fitting starts from: line 34 for the whole image; for corner 1 to 4 the
// corner's defocus (line 34's mean while the corner's line holds none) with the
// astigmatism of line 34.
DefocusFit start_fit(const CtfSettings& s, int corner);
// Items 3 to 13 of the whole-image menu (defocus, astigmatism and angle buttons).
void whole_image_button(int item, DefocusFit& f);
// Items 7 to 10 of the corner menu (defocus buttons that keep the astigmatism).
void corner_button(int item, DefocusFit& f);
