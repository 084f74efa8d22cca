// The project parameter file DATAFILE.dat in the working directory: a text file with
// one value per line, lines counted from 1. The program reads it (the start menu, the
// lattice and CTF tools) and changes it only through kelvane.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kDatafileName = "DATAFILE.dat";
inline constexpr int kDatafileWidth = 80;  // characters read of each line

// The lines the program uses.
namespace datafile_line {
inline constexpr int kImageName = 12;          // the project's image name
inline constexpr int kMagnification = 15;      // magnification of the micrograph
inline constexpr int kSamplingStep = 16;       // scanner step on the micrograph
inline constexpr int kProjectType = 23;        // integer in columns 1-6; 2 = diffraction project
inline constexpr int kCornerDefocus = 25;      // 25-28: defocus of the top-left, top-right,
                                               // bottom-left and bottom-right corner images
inline constexpr int kFirstLattice = 32;       // first ("good") lattice: ax, ay, bx, by
inline constexpr int kDefocus = 34;            // defocus 1, defocus 2, astigmatism angle
inline constexpr int kSecondLattice = 35;      // second ("bad") lattice, laid out as line 32
inline constexpr int kLatticeOrigin = 58;      // lattice origin x0, y0
inline constexpr int kAmplitudeContrast = 93;  // amplitude contrast fraction
inline constexpr int kAberrationVoltage = 97;  // spherical aberration, accelerating voltage
}  // namespace datafile_line

// Reads the first `count` lines of DATAFILE.dat, each cut to kDatafileWidth characters;
// lines missing at the end of a short file are empty, and `present` (when given) tells how
// many the file held. False when there is no such file, or when it is no regular file (a line
// on the terminal says what it is).
bool read_datafile_lines(int count, std::vector<std::string>& lines, int* present = nullptr);
