// Least-squares cubic splines y = f(x): the machine constants, evaluation, the penalised
// weighted fit on given knots and the fit with automatic knot placement.
//
// A spline on n knots is held in Hermite form: knots xn (strictly increasing), values fn and
// first derivatives gn at the knots; dn holds the jump of the third derivative at each knot
// (0 at the two end knots) and theta the penalty weight of each interior knot. The fit
// minimises  sum (wd(i) (yd(i) - s(xd(i))))^2 + sum (theta(k) dn(k))^2  over the cubic splines
// on the knots that are twice continuously differentiable.
//
// Arrays are passed by their first element: element i of the description (counted from 1) is
// array[i - 1]. Residuals rd are weighted, wd(i) (yd(i) - s(xd(i))), so a point of weight 0
// has residual 0. Messages go to standard output as whole lines.
#pragma once

#include <cstdint>

// Machine constant inum (1..5): relative precision, half of it, the smallest normalised
// number (twice) and the largest number. Any other index stops the program.
double fd05ad(int inum);

// The spline at x, 0 beyond the knot range by more than a rounding tolerance. ix < 0 starts
// a fresh search for the interval of x; ix >= 0 continues from the interval of the previous
// call (callers evaluating at increasing x pass -1 first and 1 afterwards).
double tg01bd(int ix, int n, const double* xn, const double* fn, const double* gn, double x);

// The penalised weighted least-squares spline on the knots xn(1..n) with penalty weights
// theta. Knots that are not strictly increasing are removed (xn and theta together, n
// reduced); data points below the abscissa of the previous kept point (the first knot, for
// the first point) are removed (xd, yd, wd together, m reduced) and a kept abscissa beyond
// the last knot is set to it. Returns false without a fit when fewer than two knots remain.
// iprint > 0 prints the listing of the fit; iprint < 0 keeps the note about insufficient
// data to itself. w is not used (the solver keeps its own storage).
bool vb06ad(int& m, int& n, double* xd, double* yd, double* wd, double* rd, double* xn, double* fn,
            double* gn, double* dn, double* theta, int iprint, double* w);

// The smooth spline through m data points with automatic knots: five even knots over the
// range of the points, then knots added at the middle of the intervals whose residuals run
// in one direction, until no interval fails or the capacity n (given on entry, at least 5)
// is reached. On return n is the number of knots; at the capacity it is returned negated
// with the last fit in the arrays. Points of weight 0 other than the first and the last are
// set aside during the fit and put back where they were. xd must not decrease. w needs
// vc03ad_work_size(m, n) elements.
void vc03ad(int m, int& n, double* xd, double* yd, double* wd, double* rd, double* xn, double* fn,
            double* gn, double* dn, double* theta, int iprint, double* w);

constexpr int64_t vc03ad_work_size(int m, int n) {
  return 3 * int64_t{m} + 3 * int64_t{n};
}

// Prints the listing of a fit: the knots with values, derivatives, third-derivative jumps
// and penalty weights, then the data with the fitted values and residuals.
void print_spline_listing(int m, const double* xd, const double* yd, const double* wd,
                          const double* rd, int n, const double* xn, const double* fn,
                          const double* gn, const double* dn, const double* theta);
