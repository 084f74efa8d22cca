#include "samples/demo_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "textio/format.h"

namespace demo {

namespace {

// Numbers of the parameter file are written as the program's own savlat and
// CTF fitting write them: a fixed field with its blanks removed.
std::string number(double value, int width, int decimals) {
  std::string text = fmt_f(value, width, decimals);
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

std::string joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

std::string lattice_line(Vec2 astar, Vec2 bstar) {
  return joined(
      {number(astar.x, 9, 3), number(astar.y, 9, 3), number(bstar.x, 9, 3), number(bstar.y, 9, 3)});
}

// Amplitude of the stored transform at integer transform position (x, y),
// through the Friedel mate for x < 0; -1 outside the stored half.
double amplitude(const std::vector<float>& transform, int n, int x, int y) {
  if (x < 0) x = -x, y = -y;
  int row = n / 2 + y;
  if (x > n / 2 || row < 0 || row >= n) return -1.0;
  size_t i = (static_cast<size_t>(row) * (n / 2 + 1) + x) * 2;
  return std::hypot(transform[i], transform[i + 1]);
}

}  // namespace

std::vector<std::string> datafile_lines(const Model& m) {
  const Microscope& s = m.scope;
  std::vector<std::string> lines(200);
  lines[0] = "Tolsvik demo project: synthetic two-dimensional crystal";
  lines[1] = "Image, transforms and the values below come from one simulation";
  lines[11] = "mdemo";                         // image name
  lines[14] = number(s.magnification, 10, 1);  // magnification
  lines[15] = number(s.step_um, 10, 1);        // scanner step, micrometres
  lines[22] = fmt_i(0, 6);                     // project type: an image
  // Mean defocus at the centres of the four quarter-size corner areas: top left,
  // top right, bottom left, bottom right (top is the high rows).
  const double low = 0.25 * m.size - 0.5, high = 0.75 * m.size - 0.5;
  const double corner_x[4] = {low, high, low, high};
  const double corner_y[4] = {high, high, low, low};
  for (int c = 0; c < 4; ++c) lines[24 + c] = number(defocus_at(m, corner_x[c], corner_y[c]), 9, 0);
  Vec2 astar, bstar;
  reciprocal(m, astar, bstar);
  lines[31] = lattice_line(astar, bstar);  // first ("good") lattice
  lines[33] =
      joined({number(s.defocus1, 9, 2), number(s.defocus2, 9, 2), number(s.astig_degrees, 9, 3)});
  reciprocal(m, astar, bstar, true);
  lines[34] = lattice_line(astar, bstar);  // second ("bad") lattice: the upper layer
  lines[57] = joined({number(0.0, 9, 3), number(0.0, 9, 3)});  // lattice origin
  lines[92] = number(s.amplitude_contrast, 10, 2);
  lines[96] = joined({number(s.cs_mm, 10, 1), number(s.kilovolts, 10, 1)});
  return lines;
}

std::vector<Spot> visible_spots(const Model& m, const std::vector<float>& transform, int n) {
  Vec2 astar, bstar;
  reciprocal(m, astar, bstar);
  std::vector<Spot> spots;
  for (int h = 0; h <= 50; ++h)
    for (int k = -50; k <= 50; ++k) {
      if (h == 0 && k <= 0) continue;
      double x = (h * astar.x + k * bstar.x) * n / m.size;
      double y = (h * astar.y + k * bstar.y) * n / m.size;
      if (std::hypot(x, y) > 0.4 * n) continue;
      int px = static_cast<int>(std::lround(x)), py = static_cast<int>(std::lround(y));
      double peak = 0.0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          peak = std::max(peak, amplitude(transform, n, px + dx, py + dy));
      // Surroundings: the ring 5 to 9 pixels around the reflection.
      double sum = 0.0;
      int count = 0;
      for (int dy = -9; dy <= 9; ++dy)
        for (int dx = -9; dx <= 9; ++dx) {
          int r2 = dx * dx + dy * dy;
          if (r2 < 25 || r2 > 81) continue;
          double a = amplitude(transform, n, px + dx, py + dy);
          if (a >= 0) sum += a, ++count;
        }
      if (count > 0 && peak > 8.0 * sum / count) spots.push_back({h, k, px, py});
      if (spots.size() == 200) return spots;  // the most a peak list may hold
    }
  return spots;
}

std::vector<std::string> spot_list_lines(const std::vector<Spot>& spots) {
  std::vector<std::string> lines;
  for (const Spot& s : spots) lines.push_back(fmt_i(s.h, 6) + "," + fmt_i(s.k, 6));
  return lines;
}

std::vector<std::string> peak_list_lines(const std::vector<Spot>& spots) {
  std::vector<std::string> lines;
  for (const Spot& s : spots) lines.push_back(fmt_i(s.dx, 6) + fmt_i(s.dy, 6));
  return lines;
}

void write_lines(const std::string& path, const std::vector<std::string>& lines) {
  FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) throw std::runtime_error("cannot write " + path);
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace demo
