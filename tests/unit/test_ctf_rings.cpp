// CTF fitting's arithmetic: the rings over each transform of the demo project, from the values
// of its DATAFILE.dat, against the transfer function the demo was simulated with; and what the
// buttons do to the values fitted.
#include <gtest/gtest.h>

#include "samples/demo_model.h"
#include "tests/support/child.h"
#include "tools/transform/ctf_rings.h"

TEST(CtfRings, LieWhereTheDemoSimulationsTransferChangesSign) {
  const auto lines = testsupport::read_lines(TOLSVIK_DEMO_DIR "/DATAFILE.dat");
  CtfSettings s;
  std::vector<std::string> problems;
  ASSERT_TRUE(read_ctf_settings(lines, int(lines.size()), s, problems));
  const demo::Model m;
  const double half = (m.scope.defocus1 - m.scope.defocus2) / 2;
  // Transform kind, central flag, nx, corner (1 to 4: top left, top right, bottom left, bottom
  // right quarter, whose centre's defocus it has) and binning of the demo's transforms.
  const int cases[][5] = {{1, 0, 513, 0, 1}, {2, 0, 257, 0, 2}, {1, 1, 129, 0, 2},
                          {1, 0, 257, 1, 1}, {1, 0, 257, 2, 1}, {1, 0, 257, 3, 1},
                          {1, 0, 257, 4, 1}};
  for (const auto& [kind, central, nx, corner, binned] : cases) {
    const CtfOptics o = ctf_optics(s, kind, central, nx);
    const DefocusFit f = start_fit(s, corner);
    const ThonRings rings = thon_rings(o, f.d1, f.d2);
    const double x = corner == 0 ? 511.5 : corner % 2 ? 255.5 : 767.5;
    const double mean = demo::defocus_at(m, x, corner == 0 ? 511.5 : corner <= 2 ? 767.5 : 255.5);
    const double n_pixel = o.size * demo::pixel_angstrom(m) * binned;
    for (auto [r, d] : {std::pair{rings.r1, mean + half}, {rings.r2, mean - half}}) {
      // Radius j for a zero between samples j - 1 and j; the first ring marks the origin.
      auto negative = [&](int j) {
        return demo::transfer(m.scope, j * j / n_pixel / n_pixel, d) < 0;
      };
      std::vector<int> expected = {2}, drawn;
      for (int j = 2; j < o.size / 2; ++j)
        if (negative(j - 1) != negative(j)) expected.push_back(j);
      for (int i = 0; i < rings.count && r[i] < o.size / 2; ++i) drawn.push_back(r[i]);
      EXPECT_GT(expected.size(), 6u);
      EXPECT_EQ(drawn, expected) << nx << " corner " << corner;
    }
  }
}

TEST(CtfRings, ButtonsChangeTheValuesFitted) {
  // Corner menu or not, item, D1, D2, angle before and after: in the whole image's menu a
  // negative defocus is divided, in a corner's multiplied like any other.
  // clang-format off
  const float cases[][8] = {
      {0, 3, 1000, -1000, 5, 1040, -960.392f, 5},  {0, 4, 1000, -1000, 5, 930, -1072.632f, 5},
      {0, 5, 1000, -1000, 5, 1500, -533.333f, 5},  {0, 6, 1000, -1000, 5, 380, -1770.588f, 5},
      {0, 7, 1000, 2000, 5, 1020, 1970, 5},        {0, 8, 1000, 2000, 5, 950, 2080, 5},
      {0, 9, 1000, 2000, 35, 1500, 1500, 0},       {0, 10, 1, 2, 179, 1, 2, 1},
      {0, 11, 1, 2, 1, 1, 2, 178.2f},              {0, 12, 1, 2, 175, 1, 2, 5},
      {0, 13, 1, 2, 5, 1, 2, 175},                 {1, 7, -1000, 2000, 5, -1003, 2036, 5},
      {1, 8, 1000, 2000, 5, 960, 1930, 5},         {1, 9, 1000, -2000, 5, 1200, -2100, 5},
      {1, 10, 1000, 2000, 5, 800, 1700, 5}};
  // clang-format on
  for (const auto& c : cases) {
    DefocusFit f{c[2], c[3], c[4]};
    c[0] == 1 ? corner_button(int(c[1]), f) : whole_image_button(int(c[1]), f);
    EXPECT_NEAR(f.d1, c[5], 1e-3) << c[1];
    EXPECT_NEAR(f.d2, c[6], 1e-3) << c[1];
    EXPECT_NEAR(f.angle, c[7], 1e-4) << c[1];
  }
  for (auto [angle, in_range] : {std::pair{400.f, 40.f}, {-190.f, 170.f}, {180.f, 0.f}})
    EXPECT_EQ(angle_in_range(angle), in_range);
  // A corner starts from its own line, or line 34's mean while its line holds none.
  CtfSettings s{.defocus = {10500, 9500, 215}, .corner = {9417}, .corner_known = {true}};
  for (auto [corner, d1, d2] : {std::tuple{0, 10500, 9500}, {1, 9917, 8917}, {4, 10500, 9500}})
    EXPECT_EQ(start_fit(s, corner), (DefocusFit{float(d1), float(d2), 35})) << corner;
}
