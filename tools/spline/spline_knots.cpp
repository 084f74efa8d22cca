// The smooth spline with automatic knots: start from five even knots, fit, and add a knot
// in the middle of every interval whose residuals still run in one direction, until the
// residuals look like noise everywhere or the knot arrays are full.
#include <algorithm>
#include <cmath>
#include <limits>

#include "textio/format.h"
#include "textio/stop.h"
#include "tools/spline/spline_routines.h"

namespace {

// Penalty on a third-derivative jump, per unit of the data's weight per unit length and per
// seventh power of the span of the knot: with it the penalty holds one basis function with
// about a two-thousandth of the hold the data in its span have on it, so it settles only
// what the data leave open (intervals without points, the ends) and does not smooth a fit
// the knots are fine enough for.
constexpr double kPenaltyShare = 2.5e-8;
constexpr double kLog4 = 1.386294;  // neighbouring intervals' measures differ by 4 at most

void array_sizes_too_small(int n) {
  for (int i = 0; i < 3; ++i) print_line();
  print_line("ARRAY SIZES TOO SMALL.  N =" + fmt_i(n, 6));
  for (int i = 0; i < 3; ++i) print_line();
}

// Interval k (from 1) of the knots xn holds the points from just above knot k - 1 up to and
// including knot k; the first also holds a point on the first knot.
struct IntervalWalk {
  const double* xd;
  int m, i;
  // The points of the interval closing at knot xk (the last takes all that remain).
  template <typename Visit>
  void next(double xk, bool last, Visit visit) {
    for (; i < m && (last || xd[i] <= xk); ++i) visit(i);
  }
};

// Penalty weights of the interior knots from the data's weight per unit length in the
// intervals on either side, evened out so that neighbours differ by a factor 4 at most.
void penalty_weights(int m, int first, const double* xd, const double* wd, int n, const double* xn,
                     double* theta, double* measure) {
  IntervalWalk walk{xd, m, first};
  bool any = false;
  for (int k = 1; k < n; ++k) {
    double sum = 0.0;
    walk.next(xn[k], k == n - 1, [&](int i) { sum += wd[i] * wd[i]; });
    const double h = xn[k] - xn[k - 1];
    measure[k] = sum > 0 ? std::log(sum / h) : -std::numeric_limits<double>::infinity();
    any = any || sum > 0;
  }
  for (int k = 1; k < n; ++k) {
    if (!any) measure[k] = 0.0;
    if (k > 1) measure[k] = std::max(measure[k], measure[k - 1] - kLog4);
  }
  for (int k = n - 2; k >= 1; --k) measure[k] = std::max(measure[k], measure[k + 1] - kLog4);
  theta[0] = theta[n - 1] = 0.0;
  for (int k = 1; k < n - 1; ++k) {
    const double span = xn[k + 1] - xn[k - 1];
    const double density = 0.5 * (std::exp(measure[k]) + std::exp(measure[k + 1]));
    const double value = std::log(kPenaltyShare * density) + 8.0 * std::log(span);
    theta[k] = std::sqrt(std::exp(value) / span);
  }
}

// Scores of the intervals whose residuals run in one direction (0 for the others); returns
// the largest. Within an interval P sums the products of neighbouring residuals, Q their
// squares, c counts the products; residuals that are independent noise give P near zero.
double residual_runs(int m, int first, const double* xd, const double* wd, const double* yd,
                     const double* rd, int n, const double* xn, double* score) {
  // Residuals within the rounding of the data fit as well as any can.
  double rounding = 0.0;
  for (int i = first; i < m; ++i) rounding = std::max(rounding, std::fabs(wd[i] * yd[i]));
  rounding *= 64 * fd05ad(1);
  IntervalWalk walk{xd, m, first};
  bool previous_passed = true;
  int pending = 0;
  double pending_score = 0.0, largest = 0.0;
  for (int k = 1; k < n; ++k) {
    double p = 0.0, q = 0.0, before = 0.0;
    int c = -1;
    walk.next(xn[k], k == n - 1, [&](int i) {
      if (wd[i] == 0.0) return;
      p += before * rd[i];
      q += rd[i] * rd[i];
      before = rd[i];
      ++c;
    });
    score[k] = 0.0;
    const double ratio = p > 0 ? q / p : 0.0;
    if (p <= 0 || c - ratio * ratio <= 0 || q <= (c + 1) * rounding * rounding) {
      previous_passed = true;
      pending = 0;
      continue;
    }
    const double s = std::sqrt(p / c);
    if (previous_passed && c - 2 * ratio * ratio <= 0) {
      // A marginal failure after a pass counts only if the next interval fails too.
      pending = k;
      pending_score = s;
    } else {
      if (pending > 0) score[pending] = pending_score;
      pending = 0;
      score[k] = s;
    }
    previous_passed = false;
  }
  for (int k = 1; k < n; ++k) largest = std::max(largest, score[k]);
  return largest;
}

// Marks the intervals that get a new knot: those scoring above half the largest score, and
// intervals more than 1.5 times as long as a marked neighbour. When there is no room for all,
// the best scores win. Returns the number of new knots.
int mark_new_knots(int n, const double* xn, double* score, double largest, int room) {
  auto length = [xn](int k) { return xn[k] - xn[k - 1]; };
  for (int k = 1; k < n; ++k) score[k] = score[k] > 0.5 * largest ? score[k] : 0.0;
  for (int k = 2; k < n; ++k)
    if (score[k] == 0 && score[k - 1] > 0 && length(k) > 1.5 * length(k - 1))
      score[k] = score[k - 1];
  for (int k = n - 2; k >= 1; --k)
    if (score[k] == 0 && score[k + 1] > 0 && length(k) > 1.5 * length(k + 1))
      score[k] = score[k + 1];
  // A midpoint that rounds onto a knot cannot be added.
  int count = 0;
  for (int k = 1; k < n; ++k) {
    const double mid = (xn[k - 1] + xn[k]) * 0.5;
    if (!(mid > xn[k - 1] && mid < xn[k])) score[k] = 0.0;
    if (score[k] > 0) ++count;
  }
  while (count > room) {
    int weakest = 0;
    for (int k = 1; k < n; ++k)
      if (score[k] > 0 && (weakest == 0 || score[k] < score[weakest])) weakest = k;
    score[weakest] = 0.0;
    --count;
  }
  return count;
}

}  // namespace

void vc03ad(int m, int& n, double* xd, double* yd, double* wd, double* rd, double* xn, double* fn,
            double* gn, double* dn, double* theta, int iprint, double* w) {
  const int capacity = n;
  if (capacity < 5) {
    array_sizes_too_small(5);
    n = -5;
    return;
  }
  m = std::max(m, 0);
  double* aside_x = w;
  double* aside_y = w + m;
  double* aside_at = w + 2 * int64_t{m};
  double* old_knots = w + 3 * int64_t{m};
  double* measure = old_knots + capacity;
  double* score = measure + capacity;

  // Points of weight 0 between the first and the last take no part: they wait behind the
  // kept points until the fit is done.
  int kept = std::min(m, 1), aside = 0;
  for (int i = 1; i < m; ++i) {
    if (wd[i] == 0.0 && i < m - 1) {
      aside_x[aside] = xd[i];
      aside_y[aside] = yd[i];
      aside_at[aside++] = i;
    } else {
      xd[kept] = xd[i];
      yd[kept] = yd[i];
      wd[kept++] = wd[i];
    }
  }
  for (int a = 0; a < aside; ++a) {
    xd[kept + a] = aside_x[a];
    yd[kept + a] = aside_y[a];
    wd[kept + a] = 0.0;
  }
  const int first = kept > 0 && wd[0] == 0.0 ? 1 : 0;

  int knots = 5;
  const double low = kept > 0 ? xd[0] : 0.0, high = kept > 0 ? xd[kept - 1] : 0.0;
  xn[0] = low;
  xn[4] = high;
  xn[2] = (xn[0] + xn[4]) * 0.5;
  xn[1] = (xn[0] + xn[2]) * 0.5;
  xn[3] = (xn[2] + xn[4]) * 0.5;
  int fitted = kept;
  while (true) {
    std::copy(xn, xn + knots, old_knots);
    penalty_weights(kept, first, xd, wd, knots, xn, theta, measure);
    int in_fit = kept, used = knots;
    const bool fit = vb06ad(in_fit, used, xd, yd, wd, rd, xn, fn, gn, dn, theta, -iprint, w);
    fitted = in_fit;
    if (!fit || used != knots || in_fit != kept) {
      // The routine had to drop knots or points: there is nothing sound to refine.
      knots = fit ? used : 0;
      break;
    }
    const double largest = residual_runs(kept, first, xd, wd, yd, rd, knots, xn, score);
    if (largest <= 0) break;
    if (knots >= capacity) {
      array_sizes_too_small(knots);
      knots = -knots;
      break;
    }
    const int added = mark_new_knots(knots, xn, score, largest, capacity - knots);
    if (added == 0) break;
    int next = 0;
    for (int k = 0; k < knots; ++k) {
      if (k > 0 && score[k] > 0) xn[next++] = (old_knots[k - 1] + old_knots[k]) * 0.5;
      xn[next++] = old_knots[k];
    }
    knots = next;
  }
  n = knots;

  // Every point back where the caller had it: the kept ones (as many as the fit kept) in
  // order, the set-aside ones at their own places with weight and residual 0.
  for (int pos = m - 1, a = aside - 1, k = fitted - 1; pos >= 0; --pos) {
    if (a >= 0 && static_cast<int>(aside_at[a]) == pos) {
      xd[pos] = aside_x[a];
      yd[pos] = aside_y[a];
      wd[pos] = rd[pos] = 0.0;
      --a;
    } else if (k >= 0) {
      xd[pos] = xd[k];
      yd[pos] = yd[k];
      wd[pos] = wd[k];
      rd[pos] = rd[k];
      --k;
    }
  }
  if (iprint > 0 && n != 0)
    print_spline_listing(m, xd, yd, wd, rd, std::abs(n), xn, fn, gn, dn, theta);
}
