// The text files of the demo project: DATAFILE.dat, the spot list and the peak list.
#pragma once

#include <string>
#include <vector>

#include "samples/demo_model.h"

namespace demo {

// The lines of DATAFILE.dat (line 1 first) for the simulated project.
std::vector<std::string> datafile_lines(const Model& m);

// A reflection of the first layer that stands out in the transform.
struct Spot {
  int h, k;
  int dx, dy;  // its position from the transform origin, whole transform pixels
};

// The reflections (h >= 0; for h = 0 only k > 0) whose peak in the stored
// half-plane transform of the n x n image rises clearly above its surroundings,
// in the order h = 0 .. 50 and, within h, k = -50 .. 50.
std::vector<Spot> visible_spots(const Model& m, const std::vector<float>& transform, int n);

// Spot list: "h,k" with each number right-aligned in 6 columns.
std::vector<std::string> spot_list_lines(const std::vector<Spot>& spots);
// Peak list: the offsets dx, dy from the lattice origin, two integers a line.
std::vector<std::string> peak_list_lines(const std::vector<Spot>& spots);

// Writes lines, each followed by a newline, replacing any earlier file.
void write_lines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace demo
