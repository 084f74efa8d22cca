// The arithmetic of lattice refinement: the least-squares fit of origin and lattice vectors
// to indexed spots, the indices proposed for a marked spot, the angle between the vectors
// and the residual of a fit.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>

// Spots as the lattice record keeps them: indices h, k and map position x, y.
struct SpotsView {
  int n = 0;
  const int32_t* h = nullptr;
  const int32_t* k = nullptr;
  const float* x = nullptr;
  const float* y = nullptr;
};

enum class FitOutcome { Ok, TooFewSpots, TooSymmetric };

// The fit of x = x0 + h ax + k bx, y = y0 + h ay + k by: origin and vectors together
// (x0 .. by), then the vectors again about that origin (a1, a2 for A, b1, b2 for B).
template <class Real>
struct LatticeSolution {
  FitOutcome outcome = FitOutcome::TooFewSpots;
  Real x0 = 0, y0 = 0, ax = 0, ay = 0, bx = 0, by = 0;
  Real a1 = 0, a2 = 0, b1 = 0, b2 = 0;
};

// The program fits with Real = double: with hundreds of spots at positions in the
// thousands the sums below cancel to a few significant digits, and in single precision
// the fitted origin and vectors are off by whole pixels.
template <class Real>
LatticeSolution<Real> fit_lattice(const SpotsView& s) {
  LatticeSolution<Real> f;
  if (s.n < 3) return f;
  Real n = 0, sh = 0, sk = 0, sx = 0, sy = 0, shh = 0, skk = 0, shk = 0;
  Real shx = 0, skx = 0, shy = 0, sky = 0;
  for (int i = 0; i < s.n; ++i) {
    const Real h = static_cast<Real>(s.h[i]), k = static_cast<Real>(s.k[i]);
    const Real x = s.x[i], y = s.y[i];
    n += 1, sh += h, sk += k, sx += x, sy += y;
    shh += h * h, skk += k * k, shk += h * k;
    shx += h * x, skx += k * x, shy += h * y, sky += k * y;
  }
  f.outcome = FitOutcome::TooSymmetric;
  const Real p = sh * sk - n * shk, q = sk * sk - n * skk, r = sh * sh - n * shh;
  const Real det = p * p - q * r;
  if (det == 0) return f;
  const Real u = sx * sh - n * shx, v = sx * sk - n * skx;
  const Real w = sy * sk - n * sky, t = sy * sh - n * shy;
  f.ax = (v * p - u * q) / det, f.bx = (u * p - v * r) / det;
  f.x0 = (sx - sk * f.bx - sh * f.ax) / n;
  f.ay = (w * p - t * q) / det, f.by = (t * p - w * r) / det;
  f.y0 = (sy - sk * f.by - sh * f.ay) / n;
  Real xh = 0, xk = 0, yh = 0, yk = 0;
  for (int i = 0; i < s.n; ++i) {
    const Real h = static_cast<Real>(s.h[i]), k = static_cast<Real>(s.k[i]);
    xh += (s.x[i] - f.x0) * h, xk += (s.x[i] - f.x0) * k;
    yh += (s.y[i] - f.y0) * h, yk += (s.y[i] - f.y0) * k;
  }
  const Real d = shk * shk - shh * skk;
  if (d == 0) return f;
  f.a1 = (xk * shk - xh * skk) / d, f.b1 = (xh * shk - xk * shh) / d;
  f.a2 = (yk * shk - yh * skk) / d, f.b2 = (yh * shk - yk * shh) / d;
  // An exact 0 divided by a negative determinant is -0, which the label would show as -0.0.
  for (Real* v : {&f.x0, &f.y0, &f.ax, &f.ay, &f.bx, &f.by, &f.a1, &f.a2, &f.b1, &f.b2}) *v += 0;
  f.outcome = FitOutcome::Ok;
  return f;
}

// A lattice: origin and vectors in map pixels.
struct Lattice {
  double x0 = 0, y0 = 0, ax = 0, ay = 0, bx = 0, by = 0;
  double x(int h, int k) const { return h * ax + k * bx + x0; }
  double y(int h, int k) const { return h * ay + k * by + y0; }
};

// The indices, both from -50 to 50, of the lattice point nearest (x, y) by the sum of the
// distances along x and y; of equally near points the first in the order h, then k,
// ascending.
void nearest_indices(const Lattice& l, double x, double y, int& h, int& k);

// Direction of a vector in degrees, as the label shows it.
double direction_degrees(double x, double y);
// The angle between two directions (degrees), 0 to 180.
double included_angle(double angle_a, double angle_b);

// The deviation of the spots from the lattice over the indices -m .. m: each index pair
// counts once, with the last spot that carries it.
struct Residual {
  int count = 0;
  double rms = 0;
};
Residual lattice_residual(const SpotsView& s, const Lattice& l, int m);
