// The penalised weighted least-squares cubic spline on given knots, and its listing.
//
// The spline is written in the cubic B-spline basis of the knots (the end knots taken four
// times): n + 2 functions, each non-zero on at most four intervals, whose combinations are
// exactly the twice continuously differentiable cubic splines on the knots. A data point is
// then one row of four basis values, the third-derivative jump at an interior knot one row
// of five coefficients, and the fit the least-squares solution of all these rows. Its normal
// equations form a band of half-width four; the sparse Cholesky (LDL') factorisation in the
// band's own order solves them in time linear in the number of knots. The B-spline basis is
// well conditioned whatever the knot spacing, so forming the normal equations costs little
// accuracy; a pivot that vanishes means the data and penalties do not fix the spline.
#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "textio/format.h"
#include "textio/stop.h"
#include "tools/spline/spline_routines.h"

namespace {

constexpr int kDegree = 3;
// Pivots of the normal equations below this share of the largest count as zero.
constexpr double kPivotShare = 1e-13;

void message(std::initializer_list<std::string_view> lines) {
  print_line();
  for (std::string_view line : lines) print_line(line);
  print_line();
}

// Knot k (from 0) of the extended knot sequence: the end knots repeated four times.
struct ExtendedKnots {
  const double* xn;
  int n;
  double operator()(int k) const { return xn[std::clamp(k - kDegree, 0, n - 1)]; }
};

// Values and derivatives up to `nder` of the four basis functions non-zero on the interval
// from knot jj to jj + 1 (from 0) at x: ders[k][r] is derivative k of basis function jj + r.
void basis_derivatives(const ExtendedKnots& t, int jj, double x, int nder, double ders[4][4]) {
  const int s = jj + kDegree;
  double ndu[4][4], left[4], right[4], a[2][4];
  ndu[0][0] = 1.0;
  for (int j = 1; j <= kDegree; ++j) {
    left[j] = x - t(s + 1 - j);
    right[j] = t(s + j) - x;
    double saved = 0.0;
    for (int r = 0; r < j; ++r) {
      ndu[j][r] = right[r + 1] + left[j - r];
      const double temp = ndu[r][j - 1] / ndu[j][r];
      ndu[r][j] = saved + right[r + 1] * temp;
      saved = left[j - r] * temp;
    }
    ndu[j][j] = saved;
  }
  for (int j = 0; j <= kDegree; ++j) ders[0][j] = ndu[j][kDegree];
  for (int r = 0; r <= kDegree; ++r) {
    int s1 = 0, s2 = 1;
    a[0][0] = 1.0;
    for (int k = 1; k <= nder; ++k) {
      double d = 0.0;
      const int rk = r - k, pk = kDegree - k;
      if (r >= k) {
        a[s2][0] = a[s1][0] / ndu[pk + 1][rk];
        d = a[s2][0] * ndu[rk][pk];
      }
      const int j1 = rk >= -1 ? 1 : -rk;
      const int j2 = r - 1 <= pk ? k - 1 : kDegree - r;
      for (int j = j1; j <= j2; ++j) {
        a[s2][j] = (a[s1][j] - a[s1][j - 1]) / ndu[pk + 1][rk + j];
        d += a[s2][j] * ndu[rk + j][pk];
      }
      if (r <= pk) {
        a[s2][k] = -a[s1][k - 1] / ndu[pk + 1][r];
        d += a[s2][k] * ndu[r][pk];
      }
      ders[k][r] = d;
      std::swap(s1, s2);
    }
  }
  double factor = kDegree;
  for (int k = 1; k <= nder; ++k) {
    for (int j = 0; j <= kDegree; ++j) ders[k][j] *= factor;
    factor *= kDegree - k;
  }
}

// Removes knots that do not increase (with their penalty weights); returns how many remain.
int compact_knots(int n, double* xn, double* theta) {
  int kept = n > 0 ? 1 : 0;
  for (int k = 1; k < n; ++k) {
    if (xn[k] > xn[kept - 1]) {
      xn[kept] = xn[k];
      theta[kept] = theta[k];
      ++kept;
    }
  }
  return kept;
}

// Removes data points below the previous kept abscissa and sets abscissae beyond the last
// knot to it; returns how many points remain.
int compact_data(int m, double* xd, double* yd, double* wd, double first, double last) {
  int kept = 0;
  double previous = first;
  for (int i = 0; i < m; ++i) {
    if (!(xd[i] >= previous)) continue;
    xd[kept] = std::min(xd[i], last);
    yd[kept] = yd[i];
    wd[kept] = wd[i];
    previous = xd[kept];
    ++kept;
  }
  return kept;
}

}  // namespace

bool vb06ad(int& m, int& n, double* xd, double* yd, double* wd, double* rd, double* xn, double* fn,
            double* gn, double* dn, double* theta, int iprint, double* /*w*/) {
  const int knots = compact_knots(n, xn, theta);
  if (knots < n) message({"SOME KNOTS HAVE BEEN DELETED BY VB06AD"});
  n = knots;
  if (n <= 1) {
    message({"THE EXECUTION OF VB06AD HAS BEEN STOPPED", "BECAUSE THERE ARE TOO FEW KNOTS"});
    return false;
  }
  const int points = compact_data(std::max(m, 0), xd, yd, wd, xn[0], xn[n - 1]);
  if (points < m) message({"SOME DATA POINTS HAVE BEEN DELETED BY VB06AD"});
  m = points;

  const ExtendedKnots t{xn, n};
  const int intervals = n - 1, columns = n + 2;
  // Third derivative of each basis function on each interval (constant there).
  std::vector<double> third(4 * static_cast<size_t>(intervals));
  std::vector<Eigen::Triplet<double>> entries;
  entries.reserve(4 * static_cast<size_t>(m) + 5 * static_cast<size_t>(n));
  Eigen::VectorXd rhs(m + n);
  rhs.setZero();
  int row = 0;
  double ders[4][4];
  for (int jj = 0; jj < intervals; ++jj) {
    basis_derivatives(t, jj, xn[jj], 3, ders);
    for (int r = 0; r < 4; ++r) third[4 * jj + r] = ders[3][r];
  }
  // The data rows: weight times the basis values at the point.
  std::vector<int> interval_of(static_cast<size_t>(m));
  for (int i = 0, jj = 0; i < m; ++i) {
    while (jj < intervals - 1 && xd[i] > xn[jj + 1]) ++jj;
    interval_of[i] = jj;
    if (wd[i] == 0.0) continue;
    basis_derivatives(t, jj, xd[i], 0, ders);
    for (int r = 0; r < 4; ++r) entries.emplace_back(row, jj + r, wd[i] * ders[0][r]);
    rhs[row++] = wd[i] * yd[i];
  }
  // The penalty rows: theta times the jump of the third derivative at each interior knot.
  for (int k = 1; k < n - 1; ++k) {
    if (theta[k] == 0.0) continue;
    double jump[5] = {0, 0, 0, 0, 0};
    for (int r = 0; r < 4; ++r) {
      jump[r + 1] += third[4 * k + r];
      jump[r] -= third[4 * (k - 1) + r];
    }
    for (int r = 0; r < 5; ++r) entries.emplace_back(row, k - 1 + r, theta[k] * jump[r]);
    ++row;
  }
  Eigen::SparseMatrix<double> design(row, columns);
  design.setFromTriplets(entries.begin(), entries.end());
  const Eigen::SparseMatrix<double> normal = design.transpose() * design;
  Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Lower, Eigen::NaturalOrdering<int>>
      ldlt(normal);
  Eigen::VectorXd c = Eigen::VectorXd::Zero(columns);
  bool unique = ldlt.info() == Eigen::Success;
  if (unique) {
    c = ldlt.solve(design.transpose() * rhs.head(row));
    // A pivot that vanishes against the largest means a basis function the data and the
    // penalties do not fix.
    const Eigen::VectorXd& pivots = ldlt.vectorD();
    unique = c.allFinite() &&
             pivots.minCoeff() > kPivotShare * std::max(pivots.cwiseAbs().maxCoeff(), 1e-300);
  }
  if (!unique && iprint >= 0)
    message({"THE RESULTS FROM VB06AD ARE UNRELIABLE BECAUSE",
             "THERE IS INSUFFICIENT DATA TO DEFINE THE SPLINE UNIQUELY"});
  if (!c.allFinite()) c.setZero();

  // Hermite form: value and slope at each knot from the interval it starts (the last knot
  // from the end of the last interval), and the jumps of the third derivative.
  double previous_third = 0.0;
  for (int jj = 0; jj < intervals; ++jj) {
    basis_derivatives(t, jj, xn[jj], 3, ders);
    double d[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k)
      for (int r = 0; r < 4; ++r) d[k] += c[jj + r] * ders[k][r];
    fn[jj] = d[0];
    gn[jj] = d[1];
    dn[jj] = jj == 0 ? 0.0 : d[3] - previous_third;
    previous_third = d[3];
    if (jj == intervals - 1) {
      const double h = xn[jj + 1] - xn[jj];
      fn[jj + 1] = d[0] + h * (d[1] + h * (d[2] / 2 + h * d[3] / 6));
      gn[jj + 1] = d[1] + h * (d[2] + h * d[3] / 2);
      dn[jj + 1] = 0.0;
    }
  }
  for (int i = 0; i < m; ++i) {
    basis_derivatives(t, interval_of[i], xd[i], 0, ders);
    double fit = 0.0;
    for (int r = 0; r < 4; ++r) fit += c[interval_of[i] + r] * ders[0][r];
    rd[i] = wd[i] * (yd[i] - fit);
  }
  if (iprint > 0) print_spline_listing(m, xd, yd, wd, rd, n, xn, fn, gn, dn, theta);
  return true;
}

void print_spline_listing(int m, const double* xd, const double* yd, const double* wd,
                          const double* rd, int n, const double* xn, const double* fn,
                          const double* gn, const double* dn, const double* theta) {
  auto heading = [](std::initializer_list<std::string_view> names) {
    std::string line = "    I";
    for (std::string_view name : names)
      line += std::string(23 - name.size(), ' ') + std::string(name);
    print_line(line);
  };
  auto numbers = [](int i, std::initializer_list<double> values) {
    std::string line = fmt_i(i, 5);
    for (double v : values) line += fmt_e(v, 23, 14);
    print_line(line);
  };
  print_line();
  print_line("SPLINE APPROXIMATION OBTAINED BY VB06AD");
  print_line();
  heading({"XN(I)", "FN(I)", "GN(I)", "3RD DERIV CHANGE", "THETA(I)"});
  for (int k = 0; k < n; ++k) numbers(k + 1, {xn[k], fn[k], gn[k], dn[k], theta[k]});
  print_line();
  heading({"XD(I)", "YD(I)", "WD(I)", "FIT", "RESIDUAL"});
  for (int i = 0; i < m; ++i) {
    const double fit = tg01bd(i == 0 ? -1 : 1, n, xn, fn, gn, xd[i]);
    numbers(i + 1, {xd[i], yd[i], wd[i], fit, rd[i]});
  }
  print_line();
}
