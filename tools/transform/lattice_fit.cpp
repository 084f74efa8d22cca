#include "tools/transform/lattice_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

void nearest_indices(const Lattice& l, double x, double y, int& h, int& k) {
  double best = 1.0e12;
  h = 0, k = 0;
  for (int i = -50; i <= 50; ++i)
    for (int j = -50; j <= 50; ++j) {
      const double d = std::fabs(l.x(i, j) - x) + std::fabs(l.y(i, j) - y);
      if (d < best) best = d, h = i, k = j;
    }
}

double direction_degrees(double x, double y) {
  return std::atan2(y, x) * 57.295776;
}

double included_angle(double angle_a, double angle_b) {
  const double d = angle_a - angle_b;
  const double e = std::min(std::fabs(d), std::fabs(d + 360.0));
  return std::min(e, std::fabs(360.0 - e));
}

Residual lattice_residual(const SpotsView& s, const Lattice& l, int m) {
  Residual r;
  if (m < 0) return r;
  // The last spot of each index pair is the first met walking the list backwards.
  const int side = 2 * m + 1;
  std::vector<bool> taken(static_cast<size_t>(side) * side, false);
  double sum = 0;
  for (int i = s.n - 1; i >= 0; --i) {
    const int h = s.h[i], k = s.k[i];
    if (h < -m || h > m || k < -m || k > m) continue;
    const size_t at = static_cast<size_t>(h + m) * side + (k + m);
    if (taken[at]) continue;
    taken[at] = true;
    const double dx = l.x(h, k) - s.x[i], dy = l.y(h, k) - s.y[i];
    sum += dx * dx + dy * dy;
    ++r.count;
  }
  if (r.count > 0) r.rms = std::sqrt(sum / r.count);
  return r;
}
