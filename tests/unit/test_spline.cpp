// The spline routines: evaluation at and between the knots and from the saved interval, the
// penalised fit against its minimiser found in another basis, the automatic knots on a line,
// a noisy curve, weightless points and at the capacity, and the texts they print.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tools/spline/spline_routines.h"

namespace {

// Two cubic pieces joined at x = 1 with equal value, slope and curvature.
double piece(double x, bool right) {
  return 1 + x - x * x * x + (right ? 2 * std::pow(x - 1, 3) : 0.0);
}
double curve(double x) {
  return piece(x, x > 1);
}
double slope(double x) {
  return 1 - 3 * x * x + (x > 1 ? 6 * (x - 1) * (x - 1) : 0.0);
}

// Arrays of a fit for m points and up to n knots.
struct Fit {
  std::vector<double> xd, yd, wd, rd, xn, fn, gn, dn, theta, w;
  int m, n;
  Fit(int points, int knots)
      : xd(points),
        yd(points),
        wd(points, 1.0),
        rd(points),
        xn(knots),
        fn(knots),
        gn(knots),
        dn(knots),
        theta(knots),
        w(vc03ad_work_size(points, knots)),
        m(points),
        n(knots) {}
  void auto_knots(int iprint = 0) {
    vc03ad(m, n, xd.data(), yd.data(), wd.data(), rd.data(), xn.data(), fn.data(), gn.data(),
           dn.data(), theta.data(), iprint, w.data());
  }
  bool on_knots(int iprint = 0) {
    return vb06ad(m, n, xd.data(), yd.data(), wd.data(), rd.data(), xn.data(), fn.data(), gn.data(),
                  dn.data(), theta.data(), iprint, w.data());
  }
  double at(double x) { return tg01bd(-1, std::abs(n), xn.data(), fn.data(), gn.data(), x); }
};

// Normally distributed noise of a fixed sequence.
struct Noise {
  unsigned state = 12345;
  double uniform() {
    state = state * 1103515245u + 12345u;
    return ((state >> 8) + 0.5) / 16777216.0;
  }
  double gauss() { return std::sqrt(-2 * std::log(uniform())) * std::cos(2 * M_PI * uniform()); }
};

}  // namespace

TEST(Tg01bd, ValuesAtBetweenAndBeyondTheKnots) {
  const std::vector<double> xn{0, 1, 2.5, 4};
  std::vector<double> fn, gn;
  for (double x : xn) fn.push_back(curve(x)), gn.push_back(slope(x));
  const struct {
    double x, want;
  } cases[] = {{0, curve(0)},      {0.4, curve(0.4)},   {1, curve(1)}, {1.7, curve(1.7)},
               {2.5, curve(2.5)},  {3.99, curve(3.99)}, {4, curve(4)}, {4 - 1e-9, curve(4 - 1e-9)},
               {-1e-15, curve(0)}, {-0.01, 0.0},        {4.01, 0.0}};
  for (int ix : {-1, 1})
    for (const auto& c : cases)
      EXPECT_NEAR(tg01bd(ix, 4, xn.data(), fn.data(), gn.data(), c.x), c.want, 1e-12)
          << c.x << " ix " << ix;
  // Continuing at a smaller x inside the last interval's upper bound keeps that interval's
  // cubic: at 0.5 the right piece, not the curve; a fresh search finds the left one.
  tg01bd(-1, 4, xn.data(), fn.data(), gn.data(), 2.0);
  EXPECT_NEAR(tg01bd(1, 4, xn.data(), fn.data(), gn.data(), 0.5), piece(0.5, true), 1e-12);
  EXPECT_NEAR(tg01bd(-1, 4, xn.data(), fn.data(), gn.data(), 0.5), curve(0.5), 1e-12);
}

// The fit minimises sum (w (y - s))^2 + sum (theta jump)^2 over splines on the knots: here the
// minimiser in the basis 1, x, x^2, x^3, (x - k)^3 for the interior knots k (whose coefficient
// is a sixth of the third-derivative jump), from its normal equations.
TEST(Vb06ad, IsTheMinimiserOfThePenalisedSumOfSquares) {
  Fit fit(8, 4);
  fit.xn = {0, 1, 2.5, 4};
  fit.theta = {0, 0.3, 0.7, 0};
  for (int i = 0; i < 8; ++i)
    fit.xd[i] = 0.5 * i + 0.2, fit.yd[i] = std::sin(fit.xd[i]) + (i % 3), fit.wd[i] = 1 + 0.1 * i;
  auto basis = [&](double x, int j) {
    return j < 4 ? std::pow(x, j) : std::pow(std::max(x - fit.xn[j - 3], 0.0), 3);
  };
  double a[6][7] = {};
  for (int i = 0; i < 8; ++i)
    for (int r = 0; r < 6; ++r) {
      const double w2 = fit.wd[i] * fit.wd[i];
      for (int c = 0; c < 6; ++c) a[r][c] += w2 * basis(fit.xd[i], r) * basis(fit.xd[i], c);
      a[r][6] += w2 * basis(fit.xd[i], r) * fit.yd[i];
    }
  for (int k = 1; k <= 2; ++k) a[3 + k][3 + k] += 36 * fit.theta[k] * fit.theta[k];
  for (int p = 0; p < 6; ++p)  // Gauss-Jordan elimination, the matrix being positive definite
    for (int r = 0; r < 6; ++r)
      if (r != p)
        for (int c = 6; c >= p; --c) a[r][c] -= a[r][p] / a[p][p] * a[p][c];
  auto s = [&](double x, int derivative) {
    double v = 0;
    for (int j = 0; j < 6; ++j) {
      const double h = 1e-6;
      const double b =
          derivative == 0 ? basis(x, j) : (basis(x + h, j) - basis(x - h, j)) / (2 * h);
      v += a[j][6] / a[j][j] * b;
    }
    return v;
  };
  ASSERT_TRUE(fit.on_knots());
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(fit.fn[k], s(fit.xn[k], 0), 1e-9) << k;
    EXPECT_NEAR(fit.gn[k], s(fit.xn[k], 1), 1e-6) << k;
    EXPECT_NEAR(fit.dn[k], k == 0 || k == 3 ? 0.0 : 6 * a[3 + k][6] / a[3 + k][3 + k], 1e-9) << k;
  }
  for (int i = 0; i < 8; ++i)
    EXPECT_NEAR(fit.rd[i], fit.wd[i] * (fit.yd[i] - s(fit.xd[i], 0)), 1e-9) << i;
}

TEST(Vc03ad, LinesCurvesWeightlessPointsAndTheCapacity) {
  // A line is reproduced exactly, whatever knots are placed.
  Fit line(20, 20);
  for (int i = 0; i < 20; ++i) line.xd[i] = i, line.yd[i] = 3 + 0.5 * i;
  line.auto_knots();
  ASSERT_GE(line.n, 5);
  for (int k = 0; k < line.n; ++k) {
    EXPECT_NEAR(line.fn[k], 3 + 0.5 * line.xn[k], 1e-9);
    EXPECT_NEAR(line.gn[k], 0.5, 1e-9);
    EXPECT_NEAR(line.dn[k], 0.0, 1e-9);
  }
  EXPECT_EQ(line.xn[0], 0);
  EXPECT_EQ(line.xn[line.n - 1], 19);

  // A smooth curve with noise of 0.5: residuals at the noise level, the curve within it.
  Noise noise;
  auto truth = [](double x) { return 10 * std::sin(x / 7) + 0.02 * x * x; };
  Fit noisy(200, 200);
  for (int i = 0; i < 200; ++i)
    noisy.xd[i] = 0.5 * i, noisy.yd[i] = truth(0.5 * i) + 0.5 * noise.gauss();
  noisy.auto_knots();
  double squares = 0, worst = 0;
  for (int i = 0; i < 200; ++i) {
    squares += noisy.rd[i] * noisy.rd[i];
    worst = std::max(worst, std::fabs(noisy.at(noisy.xd[i]) - truth(noisy.xd[i])));
  }
  EXPECT_GT(noisy.n, 5);
  EXPECT_NEAR(std::sqrt(squares / 200), 0.5, 0.1);
  EXPECT_LT(worst, 0.6);

  // Weightless first and last points set the knot range only; a weightless point inside is
  // set aside (a wild value changes nothing) and everything comes back where it was.
  Fit ends(12, 12), without(11, 11);
  for (int i = 0; i < 12; ++i) ends.xd[i] = i, ends.yd[i] = truth(i);
  ends.wd[0] = ends.wd[11] = ends.wd[5] = 0;
  ends.yd[0] = ends.yd[11] = ends.yd[5] = 1000;
  for (int i = 0, j = 0; i < 12; ++i)
    if (i != 5)
      without.xd[j] = ends.xd[i], without.yd[j] = ends.yd[i], without.wd[j++] = ends.wd[i];
  const Fit given = ends;
  ends.auto_knots();
  without.auto_knots();
  EXPECT_TRUE(ends.xd == given.xd && ends.yd == given.yd && ends.wd == given.wd);
  EXPECT_TRUE(ends.rd[0] == 0 && ends.rd[5] == 0 && ends.rd[11] == 0);
  ASSERT_EQ(ends.n, without.n);
  EXPECT_TRUE(ends.xn[0] == 0 && ends.xn[ends.n - 1] == 11);
  for (int x = 1; x <= 10; ++x) EXPECT_NEAR(ends.at(x), without.at(x), 1e-9) << x;
  EXPECT_LT(std::fabs(ends.at(5) - truth(5)), 0.05);

  // At the capacity the count comes back negated with the last fit in place.
  Fit full(60, 5);
  for (int i = 0; i < 60; ++i) full.xd[i] = i, full.yd[i] = std::sin(i / 3.0);
  full.auto_knots();
  EXPECT_EQ(full.n, -5);
  for (int i = 0; i < 60; ++i) EXPECT_NEAR(full.at(i), full.yd[i] - full.rd[i], 1e-9) << i;
}

TEST(SplineTexts, MessagesAndListing) {
  const struct {
    std::function<void(Fit&)> run;
    std::string out;
    int status;
  } cases[] = {
      {[](Fit&) { fd05ad(6); }, " INUM =  6\n OUT OF RANGE IN FD05AD.\n EXECUTION TERMINATED.\n",
       0},
      {[](Fit& f) { f.n = 4, f.auto_knots(); }, "\n\n\nARRAY SIZES TOO SMALL.  N =     5\n\n\n\n",
       99},
      {[](Fit& f) { f.xn = {0, 0, 1, 3, 2, 4}, f.on_knots(-1); },
       "\nSOME KNOTS HAVE BEEN DELETED BY VB06AD\n\n", 99},
      {[](Fit& f) {
         f.xn = {1, 1}, f.n = 2, f.on_knots();
       },
       "\nSOME KNOTS HAVE BEEN DELETED BY VB06AD\n\n"
       "\nTHE EXECUTION OF VB06AD HAS BEEN STOPPED\nBECAUSE THERE ARE TOO FEW KNOTS\n\n",
       99},
      {[](Fit& f) { f.xd[2] = -1, f.on_knots(-1); },
       "\nSOME DATA POINTS HAVE BEEN DELETED BY VB06AD\n\n", 99},
      {[](Fit& f) { f.m = 2, f.on_knots(); },
       "\nTHE RESULTS FROM VB06AD ARE UNRELIABLE BECAUSE\n"
       "THERE IS INSUFFICIENT DATA TO DEFINE THE SPLINE UNIQUELY\n\n",
       99},
      {[](Fit& f) { f.m = 2, f.on_knots(-1); }, "", 99},
  };
  for (const auto& c : cases) {
    Fit fit(6, 6);
    fit.xn = {0, 1, 2, 3, 4, 5};
    for (int i = 0; i < 6; ++i) fit.xd[i] = i, fit.yd[i] = i * i;
    const testsupport::Finished done = testsupport::run([&] { c.run(fit); });
    EXPECT_EQ(done.out, c.out);
    EXPECT_EQ(done.status, c.status) << c.out;
  }

  // The listing: the knots, then the data with their fit, each number as E23.14.
  Fit fit(5, 2);
  fit.xn = {0, 2};
  for (int i = 0; i < 5; ++i) fit.xd[i] = 0.5 * i, fit.yd[i] = 1 + 2 * fit.xd[i];
  const std::string out = testsupport::run([&] { fit.on_knots(1); }).out;
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(out.substr(at, end - at));
  ASSERT_EQ(lines.size(), 14u) << out;
  EXPECT_EQ(lines[1], "SPLINE APPROXIMATION OBTAINED BY VB06AD");
  EXPECT_EQ(lines[3],
            "    I                  XN(I)                  FN(I)                  GN(I)"
            "       3RD DERIV CHANGE               THETA(I)");
  EXPECT_EQ(lines[7],
            "    I                  XD(I)                  YD(I)                  WD(I)"
            "                    FIT               RESIDUAL");
  const double want[][6] = {{1, 0, 1, 2, 0, 0},   {2, 2, 5, 2, 0, 0}, {}, {}, {1, 0, 1, 1, 1, 0},
                            {2, 0.5, 2, 1, 2, 0}, {3, 1, 3, 1, 3, 0}};
  for (int r : {4, 5, 8, 9, 10}) {
    ASSERT_EQ(lines[r].size(), 5u + 5 * 23) << lines[r];
    EXPECT_EQ(std::stoi(lines[r].substr(0, 5)), want[r - 4][0]);
    for (int k = 1; k <= 5; ++k) {
      const std::string field = lines[r].substr(5 + 23 * (k - 1), 23);
      EXPECT_EQ(field.substr(3, 2), "0.") << field;
      EXPECT_EQ(field[19], 'E') << field;
      EXPECT_NEAR(std::stod(field), want[r - 4][k], 1e-12) << field;
    }
  }
}
