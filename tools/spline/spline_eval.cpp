// Machine constants and the evaluation of a spline in Hermite form.
#include <algorithm>
#include <cmath>

#include "textio/format.h"
#include "textio/stop.h"
#include "tools/spline/spline_routines.h"

double fd05ad(int inum) {
  static constexpr double kConstants[5] = {2.220446049250314e-16, 1.110223024625158e-16,
                                           2.225073858507206e-308, 2.225073858507206e-308,
                                           1.797693134862312e+308};
  if (inum < 1 || inum > 5) {
    print_line(" INUM =" + fmt_i(inum, 3));
    print_line(" OUT OF RANGE IN FD05AD.");
    print_line(" EXECUTION TERMINATED.");
    fatal_stop();
  }
  return kConstants[inum - 1];
}

namespace {

// The interval of the previous evaluation, kept so that evaluations at increasing x
// step on from it instead of searching again.
struct SavedInterval {
  int j = 0;           // interval from knot j to knot j + 1 (counted from 1)
  bool valid = false;  // j and the coefficients below belong to the last spline evaluated
  double h = 0, a = 0, b = 0, q1 = 0, q2 = 0;  // width, scaled end derivatives, cubic terms
  double eps = 0, z = 0;                       // tolerance, normalised position
};
SavedInterval saved;

}  // namespace

double tg01bd(int ix, int n, const double* xn, const double* fn, const double* gn, double x) {
  if (n < 2) return n == 1 && x == xn[0] ? fn[0] : 0.0;
  // Knots and values are counted from 1 here, as the interval index is.
  auto XN = [xn](int k) { return xn[k - 1]; };
  saved.eps = 4.0 * fd05ad(1) * std::max(std::fabs(XN(1)), std::fabs(XN(n)));
  int j = saved.j;
  bool fresh = true;
  if (x < XN(1)) {
    if (x <= XN(1) - saved.eps) {
      saved.valid = false;
      return 0.0;
    }
    j = 1;
  } else if (x > XN(n)) {
    if (x >= XN(n) + saved.eps) {
      saved.valid = false;
      return 0.0;
    }
    j = n - 1;
  } else if (ix >= 0 && saved.valid && j >= 1 && j <= n - 1) {
    if (x <= XN(j + 1)) {
      fresh = false;  // the saved coefficients serve as they are
    } else {
      while (j < n - 1 && x > XN(j + 1)) ++j;
    }
  } else {
    const double span = XN(n) - XN(1);
    j = span > 0 ? static_cast<int>(1 + (n - 1) * (std::fabs(x - XN(1)) / span)) : 1;
    j = std::clamp(j, 1, n - 1);
    while (j > 1 && x < XN(j)) --j;
    while (j < n - 1 && x > XN(j + 1)) ++j;
  }
  if (fresh) {
    saved.j = j;
    saved.valid = true;
    saved.h = XN(j + 1) - XN(j);
    saved.a = gn[j - 1] * saved.h;
    saved.b = gn[j] * saved.h;
    const double c = fn[j] - fn[j - 1];
    saved.q1 = 3.0 * c - 2.0 * saved.a - saved.b;
    saved.q2 = saved.a + saved.b - 2.0 * c;
  }
  j = saved.j;
  saved.z = saved.h != 0 ? (x - XN(j)) / saved.h : 0.0;
  const double z = saved.z;
  return fn[j - 1] + z * (saved.a + z * (saved.q1 + z * saved.q2));
}
