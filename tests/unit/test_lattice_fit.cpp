// Lattice arithmetic (fit, proposed indices, included angle, residual), the spot list layout,
// and the DATAFILE.dat editor's command lines as built and as run.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "tests/support/child.h"
#include "textio/textfile.h"
#include "tools/transform/editor.h"
#include "tools/transform/lattice_fit.h"
#include "tools/transform/spot_files.h"

namespace {

using testsupport::read_lines;
using testsupport::write_lines;

struct Spots {
  std::vector<int32_t> h, k;
  std::vector<float> x, y;
  void add(int hh, int kk, double xx, double yy) {
    h.push_back(hh), k.push_back(kk), x.push_back(float(xx)), y.push_back(float(yy));
  }
  SpotsView view() const { return {int(h.size()), h.data(), k.data(), x.data(), y.data()}; }
};

// Spots on the lattice l at the given indices, displaced by up to `noise` pixels.
Spots on_lattice(const Lattice& l, int count, int lo, int hi, double noise) {
  std::mt19937 random(7);
  auto index = [&] { return lo + int(random() % (hi - lo + 1)); };
  auto shift = [&] { return noise * (int(random() % 2001) - 1000) / 1000.0; };
  Spots s;
  while (int(s.h.size()) < count) {
    const int h = index(), k = index();
    s.add(h, k, l.x(h, k) + shift(), l.y(h, k) + shift());
  }
  return s;
}

TEST(LatticeFit, RecoversLatticesAndRefusesDegenerateSelections) {
  Spots square, line, two;
  for (auto [h, k] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) square.add(h, k, 10 * h, 10 * k);
  for (int h : {1, 2, 3}) line.add(h, 0, 10 * h, 0);
  two.add(0, 0, 0, 0), two.add(1, 0, 10, 0);
  const Lattice far{8000.3, 2519.77, 20.37, 3.11, -4.29, 19.83};
  const struct {
    const char* what;
    Spots spots;
    FitOutcome outcome;
    Lattice want;
    double tolerance;
  } cases[] = {
      {"four-spot square", square, FitOutcome::Ok, {0, 0, 10, 0, 0, 10}, 1e-9},
      {"indices on a line", line, FitOutcome::TooSymmetric, {}, 0},
      {"two spots", two, FitOutcome::TooFewSpots, {}, 0},
      {"noisy lattice", on_lattice(far, 300, -20, 20, 0.5), FitOutcome::Ok, far, 0.05},
      {"far from the origin", on_lattice(far, 800, 40, 50, 0), FitOutcome::Ok, far, 2e-3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const LatticeSolution<double> f = fit_lattice<double>(c.spots.view());
    ASSERT_EQ(f.outcome, c.outcome);
    const double got[] = {f.x0, f.y0, f.ax, f.ay, f.bx, f.by}, again[] = {f.a1, f.a2, f.b1, f.b2};
    const double want[] = {c.want.x0, c.want.y0, c.want.ax, c.want.ay, c.want.bx, c.want.by};
    for (int i = 0; i < 6 && c.outcome == FitOutcome::Ok; ++i)
      EXPECT_NEAR(got[i], want[i], c.tolerance);
    for (int i = 0; i < 4 && c.outcome == FitOutcome::Ok; ++i)
      EXPECT_NEAR(again[i], want[2 + i], c.tolerance);
  }
  // The same sums in single precision lose whole pixels on the lattice far from the origin.
  const LatticeSolution<float> f = fit_lattice<float>(cases[4].spots.view());
  EXPECT_GT(std::max(std::fabs(f.x0 - far.x0), std::fabs(f.y0 - far.y0)), 1.0);
}

TEST(LatticeFit, ProposedIndicesAngleAndResidual) {
  const Lattice l{5, 5, 20, 0, 0, 10};
  const struct {
    double x, y;
    int h, k;
  } near[] = {{5, 5, 0, 0}, {46, 24, 2, 2}, {15, 10, 0, 0}, {-4000, 9000, -50, 50}};
  for (const auto& n : near) {
    int h = 9, k = 9;
    nearest_indices(l, n.x, n.y, h, k);
    EXPECT_EQ(std::pair(h, k), std::pair(n.h, n.k)) << n.x << "," << n.y;
  }
  const double angles[][3] = {{170, -170, 20}, {10, 100, 90}, {-90, 90, 180}, {45, 45, 0}};
  for (const auto& a : angles) EXPECT_NEAR(included_angle(a[0], a[1]), a[2], 1e-9);
  EXPECT_NEAR(direction_degrees(0, 2), 90, 1e-4);
  // Index pair (1, 0) twice: the later spot (3 and 4 pixels off) counts, once.
  Spots s;
  s.add(0, 0, 5, 5), s.add(1, 0, 25, 5), s.add(0, 1, 5, 15), s.add(1, 0, 22, 1), s.add(5, 5, 0, 0);
  const Residual r = lattice_residual(s.view(), l, 1);
  EXPECT_EQ(r.count, 3);
  EXPECT_NEAR(r.rms, std::sqrt(25.0 / 3), 1e-9);
  EXPECT_EQ(lattice_residual(s.view(), Lattice{0, 0, 20, 0, 0, 10}, 0).count, 1);
}

TEST(SpotList, LinesWrittenAndReadBack) {
  testsupport::TempFolder dir(true);
  EXPECT_EQ(spot_list_line(3, -2), "     3,    -2");
  write_lines("list.spt", {spot_list_line(3, -2), "", "-3 2 7", "0,-4", "12,5,", "x,1", "1,1"});
  std::vector<std::array<int, 3>> got;
  TextReader in("list.spt");
  EXPECT_FALSE(read_spot_list(in, [&](int h, int k, int v) { got.push_back({h, k, v}); }));
  EXPECT_EQ(got, (std::vector<std::array<int, 3>>{{3, -2, 1}, {-3, 2, 7}, {0, -4, 1}, {12, 5, 1}}));
  // Mates share one entry: (-3, 2) is (3, -2), (0, -4) is (0, 4).
  clear_spotlist();
  *spot_entry(-3, 2) = 5, *spot_entry(0, -4) = 6;
  EXPECT_EQ(spotlist.value[-2 + 50][3], 5);
  EXPECT_EQ(spotlist.value[4 + 50][0], 6);
  EXPECT_EQ(spot_entry(51, 0), nullptr);
}

// ---- The editor's command lines ----

std::vector<std::string> lines_of(const std::vector<EditorCommand>& c) {
  std::vector<std::string> out;
  for (const auto& e : c) {
    std::string argv;
    for (const auto& a : e.argv) argv += "[" + a + "]";
    out.push_back(e.line + " " + argv);
  }
  return out;
}

TEST(Editor, CommandLinesAsEchoedAndAsPassed) {
  using V = std::vector<std::string>;
  EXPECT_EQ(
      lines_of(lattice_save_commands(1, 24.102f, 9.738f, -4.324f, 20.342f, 10.5f, -3.25f)),
      (V{"cp -f DATAFILE.dat datafile.backup [cp][-f][DATAFILE.dat][datafile.backup]",
         "kelvane 4 DATAFILE.dat 32 24.102,9.738,-4.324,20.342 "
         "[kelvane][4][DATAFILE.dat][32][24.102,9.738,-4.324,20.342]",
         "kelvane 5 DATAFILE.dat  32 43 M [kelvane][5][DATAFILE.dat][32][43][M]",
         "kelvane 4 DATAFILE.dat 58 10.500,-3.250 [kelvane][4][DATAFILE.dat][58][10.500,-3.250]",
         "kelvane 5 DATAFILE.dat 58 43 M [kelvane][5][DATAFILE.dat][58][43][M]",
         "kelvane 6 DATAFILE.dat [kelvane][6][DATAFILE.dat]"}));
  const auto bad = lines_of(lattice_save_commands(2, 1, 2, 3, 4, 0, 0));
  EXPECT_EQ(bad.size(), 4u);
  EXPECT_EQ(bad[1],
            "kelvane 4 DATAFILE.dat 35 1.000,2.000,3.000,4.000 "
            "[kelvane][4][DATAFILE.dat][35][1.000,2.000,3.000,4.000]");
}

TEST(Editor, RunsWithoutShellAndStopsAtTheFirstFailure) {
  testsupport::TempFolder dir(true);
  const std::vector<std::string> before(60, "x");
  write_lines("DATAFILE.dat", before);
  write_lines("stand-in", {"#!/bin/sh", "echo \"$@\" >> called", "exit 3"});
  std::filesystem::permissions("stand-in", std::filesystem::perms::owner_all);
  const auto save = lattice_save_commands(1, 20, 0, 0, 25, 1.5f, 2);
  const struct {
    std::string editor, failure, called;
  } cases[] = {
      {"./stand-in", "Failed (exit status 3): kelvane 4 DATAFILE.dat 32 20.000,0.000,0.000,25.000",
       "4 DATAFILE.dat 32 20.000,0.000,0.000,25.000\n"},
      {"./missing", "Failed (cannot start ./missing, No such file or directory): kelvane 4", ""},
      {"", "", ""},  // kelvane beside this program
  };
  for (const auto& c : cases) {
    std::filesystem::remove("called");
    const testsupport::Finished r = testsupport::run([&] {
      use_editor_program(c.editor);
      std::string failure;
      const bool ok = run_editor_commands(save, failure);
      std::printf("%d|%s\n", ok, failure.c_str());
      std::exit(0);
    });
    SCOPED_TRACE(c.editor + "\n" + r.out);
    EXPECT_EQ(r.out.find(" Running: cp -f DATAFILE.dat datafile.backup\n"), 0u);
    EXPECT_NE(r.out.find(c.failure.empty() ? "1|\n" : "0|" + c.failure), std::string::npos);
    EXPECT_EQ(c.failure.empty(), r.out.find("Running: kelvane 6") != std::string::npos);
    EXPECT_EQ(testsupport::read_text("called"), c.called);
  }
  EXPECT_EQ(read_lines("datafile.backup"), before);
  EXPECT_EQ(read_lines("DATAFILE.dat")[31], "20.000,0.000,0.000,25.000");
  EXPECT_EQ(read_lines("DATAFILE.dat")[57], "1.500,2.000");
  // A number too large for its field is never written: nothing runs.
  std::string failure;
  EXPECT_FALSE(run_editor_commands(lattice_save_commands(2, 1e7f, 0, 0, 1, 0, 0), failure));
  EXPECT_EQ(failure,
            "Failed (a number does not fit its field): kelvane 4 DATAFILE.dat 35 "
            "*********,0.000,0.000,1.000");
}

}  // namespace
