// "Splinefit image" walked through the scripted display: the box and its limits, marking with
// its refusals, the fit, both straightenings, corrections and refit, and the output map.
#include <algorithm>
#include <cmath>
#include <ctime>

#include "dialogue.h"
#include "tools/area/box.h"
#include "tools/spline/splinefit.h"

namespace {

using namespace prog;

constexpr int kNx = 60, kNy = 80, kLeft = 100, kBottom = 50;  // the map and its screen place

double axis(double y, bool curved) {
  return curved ? 30 + 12 * std::sin(y / 12) : 25;
}

class Splinefit : public DisplayTest {
 protected:
  // A 16-bit map: background 10 and a line of density 110 along the axis.
  void start(bool curved) {
    test_maps::write_rows("line.map", kNx, kNy, 1, 1, [curved](int y, int, float* row) {
      for (int x = 0; x < kNx; ++x)
        row[x] = std::round(10 + 100 * std::exp(-0.5 * std::pow(x - axis(y, curved), 2)));
    });
    as_started("line.map", {0, kNx - 1, 0, kNy - 1, 0, 0, 1, 400, 300, 0.0f, 125.0f});
    gen.area_x1 = kLeft, gen.area_y1 = kBottom;
    gen.scale = 1.0f, gen.dmean = 10.0f;
  }
  static bool run() { return walk(splinefit); }
  // A mark: the wait's job, whose position the pointer read after it gives.
  static void mark(int x, int y) { script::mark(x, y); }
  // The whole map boxed and accepted, then points on the axis every `step` rows from row 4.
  static void box_and_marks(bool curved, int step) {
    script::rubber(kLeft, kBottom, kLeft + kNx - 1, kBottom + kNy - 1);
    script::menu(1);
    for (int y = 4; y < kNy; y += step)
      mark(kLeft + int(std::lround(axis(y, curved))), kBottom + y);
    script::menu(3);
  }
  // Columns of the densest value of each straightened row, and the row of the fewest.
  static std::pair<int, int> densest_columns() {
    int low = kNx, high = -1;
    for (int j = 0; j < kNy; ++j) {
      const float* row = spline.raster + j * kSplineRasterWidth;
      const int at = int(std::max_element(row, row + kNx) - row);
      low = std::min(low, at), high = std::max(high, at);
    }
    return {low, high};
  }
};

TEST_F(Splinefit, BoxLimitsAndRoadsOut) {
  start(false);
  const struct {
    int x1, y1, x2, y2;
    const char* shown;
  } boxes[] = {
      {0, 0, 2048, 9, "Spline area too large, cannot proceed. Type any key to return main menu"},
      {0, 0, 9, 4096, "Spline area too large, cannot proceed. Type any key to return main menu"},
      {0, 0, 2047, 2052, "Spline area too large, cannot proceed. Type any key to return main menu"},
      {0, 0, 2047, 2051, "Box out of bounds, please re-specify"},
      {0, 0, 9, 4095, "Box out of bounds, please re-specify"},
      {kLeft + 40, kBottom + 70, kLeft + 10, kBottom + 5, "Accept box"},
  };
  for (const auto& b : boxes) {
    script::reset();
    script::rubber(b.x1, b.y1, b.x2, b.y2);
    if (b.shown[0] == 'S') script::answer("x");
    EXPECT_EQ(run(), b.shown[0] == 'S') << b.shown;
    EXPECT_TRUE(script::shown(b.shown) || script::last_menu()[0] == b.shown) << b.shown;
  }
  // Dragged backwards, the box has its corners sorted; a mark leaves.
  EXPECT_TRUE(box.xmin == kLeft + 10 && box.ymax == kBottom + 70 && box.nbx == 31);
  script::reset();
  script::rubber(kLeft, kBottom, kLeft + 9, kBottom + 9), script::mark(0, 0);
  EXPECT_TRUE(run());
  EXPECT_EQ(script::log().back(), "rmvectors");
  // Re-start, then "Return main menu" from the box menu.
  script::reset();
  script::menu(1), script::menu(2);
  EXPECT_TRUE(run());
  EXPECT_EQ(script::log_with("rubberenable 2").size(), 2u);
  EXPECT_FALSE(script::state().menu_shown || script::state().label_shown);
}

TEST_F(Splinefit, MarkingRefusesDeletesRestartsAndWantsFour) {
  start(false);
  script::rubber(kLeft, kBottom + 10, kLeft + 50, kBottom + 70);
  script::menu(1);
  mark(kLeft + 25, kBottom + 20);
  mark(kLeft + 26, kBottom + 15), mark(kLeft + 55, kBottom + 30);  // below, outside
  mark(kLeft + 24, kBottom + 30);                                  // taken as point 2
  mark(kLeft + 25, kBottom + 40);
  script::menu(1);  // deletes point 3
  script::menu(3);  // two points are too few
  mark(kLeft + 27, kBottom + 50), mark(kLeft + 25, kBottom + 60);
  script::menu(3);  // four are enough: the straightening menu waits
  EXPECT_FALSE(run());
  for (const char* line : {"Points must go from bottom to top, repeat this one",
                           "Point outside the box, repeat this one",
                           "Please input some more points - must have at least 4"})
    EXPECT_TRUE(script::shown(line)) << line;
  EXPECT_EQ(script::log_with("rmcircle 125 90 2").size(), 1u);
  EXPECT_EQ(script::last_menu()[0], "Shear - linear interpolation each line");
  // Points 2 .. 5 in the arrays (column and row offsets in the box), the end point after them.
  const double rows[] = {0, 10, 20, 40, 50, 61}, columns[] = {0, 25, 24, 27, 25, 0};
  for (int i = 0; i < 6; ++i)
    EXPECT_TRUE(spline.xd[i] == rows[i] && spline.yd[i] == columns[i]) << i;
  EXPECT_EQ(spline.wd[0] + spline.wd[5], 0.0);
  EXPECT_EQ(script::overlay().circles.size(), 4u);  // the two kept points drawn again
  // Re-start forgets the points on the screen and in the count.
  script::reset();
  script::rubber(kLeft, kBottom, kLeft + 50, kBottom + 70);
  script::menu(1);
  mark(kLeft + 25, kBottom + 20);
  script::menu(2), script::menu(4);
  EXPECT_TRUE(run());
  EXPECT_TRUE(script::overlay().circles.empty());
  EXPECT_EQ(gen.status, 1);
}

TEST_F(Splinefit, StraightLineShearAndBendingAgree) {
  start(false);
  box_and_marks(false, 20);
  script::menu(1);
  EXPECT_FALSE(run());
  EXPECT_EQ(densest_columns(), std::make_pair(25, 25));
  const std::vector<float> shear(spline.raster, spline.raster + kNy * kSplineRasterWidth);
  script::reset();
  box_and_marks(false, 20);
  script::menu(2);
  EXPECT_FALSE(run());
  // The last row lies beyond the box's rows in the bending (its source starts at 0.01).
  for (int j = 0; j < kNy - 1; ++j)
    for (int i = 0; i < kNx; ++i)
      ASSERT_NEAR(spline.raster[j * kSplineRasterWidth + i], shear[j * kSplineRasterWidth + i],
                  0.01)
          << i << "," << j;
}

TEST_F(Splinefit, CurveStraightenedCorrectedAndWritten) {
  start(true);
  box_and_marks(true, 8);
  // The centre line: one segment per row, from the bottom row to the top.
  EXPECT_FALSE(run());
  ASSERT_EQ(script::overlay().lines.size(), size_t(kNy - 1));
  EXPECT_NEAR(script::overlay().lines[0].x1, kLeft + 30, 1);
  EXPECT_EQ(script::overlay().lines.back().y2, kBottom + kNy - 1);

  for (int method : {1, 2}) {
    script::reset();
    box_and_marks(true, 8);
    script::menu(method);
    EXPECT_FALSE(run());
    const auto [low, high] = densest_columns();
    EXPECT_LE(high - low, 2) << method;
    // Beside the box, top row first: the colour steps of the straightened rows.
    const script::OverlayPicture& shown = script::overlay_picture();
    EXPECT_TRUE(shown.shown && shown.nx == kNx && shown.ny == kNy);
    EXPECT_TRUE(shown.x == kNx / 2 + kLeft + kNx - 1 + 10 && shown.y == kNy / 2 + kBottom - 5);
    EXPECT_EQ(shown.at(low, kNy - 1 - 40),
              std::lround(spline.raster[40 * kSplineRasterWidth + low]));
  }

  // Point 3 moved to column 45 and back to the straightening menu; a point number that does
  // not exist changes nothing.
  script::reset();
  box_and_marks(true, 8);
  script::menu(3);
  script::answer("3,45"), script::answer("11,1"), script::answer("");
  EXPECT_FALSE(run());
  EXPECT_EQ(spline.yd[3], 45);
  EXPECT_TRUE(script::shown("      3 x=  45.00 y=  20.00"));
  EXPECT_EQ(script::overlay().circles.size(), 10u);
  EXPECT_EQ(script::last_menu()[2], "Refit spline");

  // Written: no name writes nothing; a name gets the straightened rows as the 16-bit map holds
  // them and the statistics of what was written.
  script::reset();
  box_and_marks(true, 8);
  script::menu(1), script::menu(1), script::answer(""), script::menu(1), script::answer("out.map");
  script::menu(3);
  EXPECT_TRUE(run());
  EXPECT_FALSE(script::overlay_picture().shown);
  test_maps::close_map();
  test_maps::open_map("out.map");
  int nxyz[3], mxyz[3], mode;
  float dmin, dmax, dmean;
  MapTitle labels[kMaxTitles];
  int nl = 0;
  test_maps::quietly([&] { irdhdr(1, nxyz, mxyz, mode, dmin, dmax, dmean); });
  irtlab(1, labels, nl);
  ASSERT_EQ(nl, 2);
  char date[16];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%a %b ", std::localtime(&now));
  EXPECT_EQ(std::string(labels[1], 39), "Tolsvik splinefit: straightened" + std::string(date));
  std::vector<float> row(kNx);
  double sum = 0;
  float low = 1e9f, high = -1e9f;
  for (int j = 0; j < kNy; ++j) {
    irdlin(1, row.data());
    for (int i = 0; i < kNx; ++i) {
      ASSERT_EQ(row[i], std::round(spline.raster[j * kSplineRasterWidth + i])) << i << "," << j;
      sum += row[i], low = std::min(low, row[i]), high = std::max(high, row[i]);
    }
  }
  EXPECT_EQ(mode, 1);
  EXPECT_TRUE(dmin == low && dmax == high) << dmin << " " << dmax;
  EXPECT_FLOAT_EQ(dmean, float(sum / (kNx * kNy)));
}

}  // namespace
