// Section display dialogues: scaling and placement of one picture, row layouts, the
// centre questions, scrolling and the movie, against the scripted display.
#include <array>
#include <cmath>
#include <fstream>
#include <limits>

#include "dialogue.h"
#include "driver/answerfile.h"
#include "driver/sections.h"

namespace {

using namespace prog;
using test_maps::expected_index;

float ramp(int x, int y, int) {
  return static_cast<float>(x + 10 * y + 1);
}

class Sections : public DisplayTest {
 protected:
  // A map of nz sections written and shown from the given limits.
  static void start(int nx, int ny, int nz, const std::function<float(int, int, int)>& f,
                    const Limits& l) {
    test_maps::close_map();
    test_maps::write_image("map.map", nx, ny, nz, f);
    as_started("map.map", l);
  }
  static bool run() { return walk(imread); }
};

// Every pixel of the single picture: the section's indices at their rectangle (map
// row first_y lowest on the screen), zero elsewhere.
TEST_F(Sections, OnePictureScalesAndPlacesEveryPixel) {
  auto density = [](int x, int y, int) -> float {
    if (y == 0 && x == 0) return 125.0f;  // 62.5 rounds up to 63
    if (y == 0 && x == 1) return 300.0f;  // above amax: 125
    if (y == 0 && x == 2) return -10.0f;  // below amin: 0
    return 31.5f * x + 17.25f * y + 2.0f;
  };
  start(7, 5, 1, density, {0, 6, 0, 4, 0, 0, 1, 40, 30, 0.0f, 250.0f});
  script::answer("");
  ASSERT_TRUE(run());

  EXPECT_EQ(gen.centre_x, 20);
  EXPECT_EQ(gen.centre_y, 15);
  EXPECT_EQ(gen.area_x1, 17);
  EXPECT_EQ(gen.area_y1, 13);
  EXPECT_EQ(gen.display_count, 1);
  EXPECT_EQ(gen.new_display, 0);
  EXPECT_TRUE(script::shown(" section    0 enter center of image:"));
  const auto& p = picture();
  ASSERT_EQ(p.nx, 40);
  ASSERT_EQ(p.ny, 30);
  EXPECT_EQ(p.at(17, 17), 63);
  EXPECT_EQ(p.at(18, 17), 125);
  EXPECT_EQ(p.at(19, 17), 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const int i = x - 17, j = 17 - y;  // screen row 17 holds map row 0
      const bool inside = i >= 0 && i < 7 && j >= 0 && j < 5;
      const int want = inside ? expected_index(density(i, j, 0), 0.0, 250.0) : 0;
      ASSERT_EQ(p.at(x, y), want) << "x " << x << " y " << y;
    }
}

// Compression 2 on a 5 x 5 area gives 2 x 2 block means; the area's last column and
// row (marked huge here) belong to no block.
TEST_F(Sections, CompressionAveragesWholeBlocks) {
  start(7, 7, 1,
        [](int x, int y, int) {
          return (x == 5 || y == 5) ? 1e6f : static_cast<float>(x * 10 + y + 1);
        },
        {1, 5, 1, 5, 0, 0, 2, 20, 20, 0.0f, 125.0f});
  EXPECT_EQ(gen.shown_width, 2);
  script::answer("10,10");
  ASSERT_TRUE(run());
  const auto& p = picture();
  int nonzero = 0;
  for (int v : p.raster) nonzero += v != 0;
  EXPECT_EQ(nonzero, 4);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      // Mean of columns 1+2i, 2+2i and rows 1+2j, 2+2j: 17.5 + 20i + 2j.
      EXPECT_EQ(p.at(9 + i, 11 - j), 18 + 20 * i + 2 * j) << i << "," << j;
    }
}

// Typed centre, "0,0" with a pointer mark, and a centre that leaves the raster.
TEST_F(Sections, CentreAnswersPlaceTheSection) {
  start(11, 9, 1, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0.0f, 125.0f});

  script::answer("300,200");
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.area_x1, 295);
  EXPECT_EQ(gen.area_x2, 305);
  EXPECT_EQ(gen.area_y1, 196);
  EXPECT_EQ(gen.area_y2, 204);
  EXPECT_EQ(picture().at(300, 200), 5 + 40 + 1);  // the centre shows map column 5, row 4
  EXPECT_EQ(picture().at(295, 204), 1);           // lower-left corner: map 0,0

  script::reset();
  gen.new_display = 1;
  script::answer("0,0");
  script::mark(40, 30);
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown("Mark cursor position bottom left corner"));
  EXPECT_EQ(gen.centre_x, 45);
  EXPECT_EQ(gen.centre_y, 34);
  EXPECT_EQ(picture().at(40, 400 - 30), 1);
  EXPECT_FALSE(script::state().label_shown);

  script::reset();
  gen.new_display = 1;
  script::answer("2,2");
  script::answer("");
  ASSERT_TRUE(run());
  const auto prompts = script::log_with("iobox");
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_NE(prompts[1].find("| these values for centre take image out of bounds|"),
            std::string::npos);
  EXPECT_EQ(gen.centre_x, 300);
  EXPECT_EQ(gen.centre_y, 200);
}

// The check lets the last column fall on raster column raster_width and the lowest
// row on raster row raster_height; both are dropped, nothing is written outside.
TEST_F(Sections, EdgePlacementsStayInsideTheRaster) {
  start(11, 9, 1, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0.0f, 125.0f});
  script::answer("595,200");  // columns 590..600
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.area_x2, 600);
  for (int y = 0; y < 400; ++y) ASSERT_EQ(picture().at(0, y), 0) << y;
  EXPECT_EQ(picture().at(599, 200), 9 + 40 + 1);

  // A section exactly as tall as the raster, at the automatic centre.
  script::reset();
  start(8, 10, 1, ramp, {0, 7, 0, 9, 0, 0, 1, 20, 10, 0.0f, 125.0f});
  const int64_t end = 20 * 10;
  for (int i = 0; i < 40; ++i) map.raster[end + i] = 77;
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.area_y1, 0);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(map.raster[end + i], 77) << i;
  EXPECT_EQ(picture().at(6, 1), 91);  // top row of the screen: map row 9
  EXPECT_EQ(picture().at(6, 9), 11);  // map row 1
  for (int x = 0; x < 20; ++x) EXPECT_EQ(picture().at(x, 0), 0);
}

// A flat density range (amax = amin): above amin is 125, at or below it 0, and a
// density that is not a number 0.
TEST_F(Sections, FlatDensityRangeGivesTwoLevels) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  start(4, 1, 1,
        [&](int x, int, int) {
          return std::array<float, 4>{5, 10, 15, nan}[x];
        },
        {0, 3, 0, 0, 0, 0, 1, 10, 10, 10.0f, 10.0f});
  script::answer("5,5");
  ASSERT_TRUE(run());
  EXPECT_EQ(picture().at(3, 5), 0);
  EXPECT_EQ(picture().at(4, 5), 0);
  EXPECT_EQ(picture().at(5, 5), 125);
  EXPECT_EQ(picture().at(6, 5), 0);
}

// A map shorter than its header says: the rows read are kept and the label says so.
TEST_F(Sections, MapEndingEarlyKeepsTheRowsRead) {
  const std::string name = "short.map";
  test_maps::write_image(name, 6, 6, 1, ramp);
  std::filesystem::resize_file(name, 1024 + 3 * 6 * 4);
  as_started(name, {0, 5, 0, 5, 0, 0, 1, 20, 20, 0.0f, 125.0f});
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown(std::string(kFileEndedWarning)));
  const auto& p = picture();  // area_x1 = 7, area_y1 = 7: map row j at screen row 13 - j
  EXPECT_EQ(p.at(7, 13), 1);
  EXPECT_EQ(p.at(7, 11), 21);
  EXPECT_EQ(p.at(7, 10), 0);
  EXPECT_EQ(p.at(7, 8), 0);
}

// Sections whose values are their section number x 10 + 1.
float by_section(int, int, int z) {
  return static_cast<float>(z * 10 + 1);
}

// Auto layout: 10 sections of width 95 per line of 1000, first centre at x = 52,
// the second line one step lower.
TEST_F(Sections, AutoLayoutFillsLinesFromTheTopLeft) {
  start(95, 20, 12, by_section, {0, 94, 0, 19, 0, 11, 1, 1000, 300, 0.0f, 125.0f});
  script::menu(1);
  ASSERT_TRUE(run());
  EXPECT_EQ(script::last_menu().size(), 6u);
  EXPECT_EQ(gen.multi_layout, 1);
  EXPECT_EQ(gen.ref_centre_x, 52);
  EXPECT_EQ(gen.ref_centre_y, 285);
  EXPECT_EQ(gen.step_x, 100);
  EXPECT_EQ(gen.step_y, 25);
  EXPECT_TRUE(script::log_with("iobox").empty());
  const auto& p = picture();
  for (int k = 0; k < 12; ++k) {
    const int x = 52 + 100 * (k % 10), y = 285 - 25 * (k / 10);
    EXPECT_EQ(p.at(x, 300 - y), 10 * k + 1) << "section " << k;
  }
  EXPECT_EQ(p.at(102, 15), 0);  // the gap between the first two sections
}

// Rows that do not fit: new sections are asked and the menu shown again.
TEST_F(Sections, TooManySectionsAreReSpecified) {
  start(95, 20, 6, by_section, {0, 94, 0, 19, 0, 5, 1, 200, 50, 0.0f, 125.0f});
  script::menu(1);
  script::answer("0,3");
  script::menu(1);
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown("Too many sections, re-specify start and end sections"));
  EXPECT_EQ(script::log_with("menu|").size(), 2u);
  EXPECT_EQ(gen.last_z, 3);
  EXPECT_EQ(gen.section_count, 4);
  EXPECT_EQ(picture().at(152, 50 - 10), 31);  // section 3 ends the second line
}

// In a replay the automatic layout keeps the sections whose rows fit.
TEST_F(Sections, ReplayKeepsTheSectionsThatFit) {
  start(95, 20, 8, by_section, {0, 94, 0, 19, 0, 7, 1, 200, 50, 0.0f, 125.0f});
  gen.defaults_unit = 11;
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::log_with("menu|").empty());
  EXPECT_EQ(gen.section_count, 4);
  EXPECT_EQ(gen.last_z, 3);
  EXPECT_EQ(picture().at(152, 50 - 10), 31);
}

// Semi-auto: the number per line is asked until it is 1 or more, layouts that leave
// the screen are refused, and the typed first centre is measured from the top.
TEST_F(Sections, SemiAutoLayoutChecksTheScreen) {
  start(50, 40, 4, by_section, {0, 49, 0, 39, 0, 3, 1, 300, 200, 0.0f, 125.0f});
  gen.nx = 50;
  script::menu(2);
  script::answer("30,25,60,50,0");
  script::answer("30,25,60,50,6");  // (6-1) x 60 + 30 + 25 + 1 = 356 > 300
  script::menu(2);
  script::answer("30,25,60,200,2");  // 175 - 200 - 20 + 1 < 0
  script::menu(2);
  script::answer("30,25,60,50,2");
  ASSERT_TRUE(run());
  EXPECT_EQ(script::log_with("iobox").size(), 4u);
  EXPECT_TRUE(script::shown(" number of points (x,y,z)=   50   40    4"));
  EXPECT_TRUE(script::shown(" max screen width, height =  300  200"));
  EXPECT_TRUE(script::shown("These values take image out of bounds in x"));
  EXPECT_TRUE(script::shown("These values take image out of bounds in y"));
  EXPECT_EQ(script::log_with("menu|").size(), 3u);
  const auto& p = picture();
  EXPECT_EQ(p.at(30, 200 - 175), 1);
  EXPECT_EQ(p.at(90, 200 - 175), 11);
  EXPECT_EQ(p.at(30, 200 - 125), 21);
  EXPECT_EQ(p.at(90, 200 - 125), 31);
}

float by_section_and_row(int, int y, int z) {
  return static_cast<float>(z * 10 + y + 1);
}

// Scrolling: one stored image per section (map row first_y at the top), the slider
// picks image round(v x N / 100) within 0..N-1, a mark ends scrolling and "Read
// another map" returns with a negative count.
TEST_F(Sections, ScrollingStoresImagesAndFollowsTheSlider) {
  start(10, 6, 8, by_section_and_row, {0, 9, 0, 5, 0, 7, 1, 100, 80, 0.0f, 125.0f});
  script::menu(4);
  script::menu(1);
  script::slider(1, 100);   // 8 -> 7
  script::slider(1, 50);    // 4
  script::slider(1, 56);    // 4.48 -> 4, already shown
  script::slider(1, 6.25);  // 0.5 -> 1
  script::job(102);         // not the scroll slider: ignored
  script::mark(5, 5);
  script::menu(3);
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.display_count, -8);
  EXPECT_EQ(script::shown_images(), (std::vector<int>{7, 4, 1}));
  EXPECT_TRUE(script::shown("Pan/zoom disabled for scrolling"));
  EXPECT_EQ(script::log_with("sliderhide").size() >= 1, true);
  ASSERT_EQ(script::pictures().size(), 8u);
  for (int k = 0; k < 8; ++k) {
    const auto& p = picture(k);
    ASSERT_EQ(p.nx, 10);
    ASSERT_EQ(p.ny, 6);
    EXPECT_EQ(p.at(3, 0), 10 * k + 1) << k;
    EXPECT_EQ(p.at(3, 5), 10 * k + 6) << k;
  }
}

// Too many stored images for the display: a smaller range is asked (again while the
// last section is below 1).
TEST_F(Sections, ScrollingAsksAgainWhenImagesDoNotFit) {
  start(10, 6, 8, by_section_and_row, {0, 9, 0, 5, 0, 7, 1, 100, 80, 0.0f, 125.0f});
  script::config().max_pixels = 300;
  script::menu(4);
  script::answer("0,0");
  script::answer("2,5");
  EXPECT_FALSE(run());  // the scrolling menu waits
  EXPECT_TRUE(script::shown("Insufficient memory for this request, please re-enter"));
  EXPECT_EQ(script::log_with("iobox").size(), 2u);
  EXPECT_EQ(gen.display_count, 4);
  EXPECT_EQ(script::last_menu(),
            (std::vector<std::string>{"Scroll through sections", "Change colour table",
                                      "Read another map", "Quit Tolsvik"}));
  EXPECT_EQ(picture(0).at(0, 0), 21);
  EXPECT_EQ(picture(3).at(0, 0), 51);
}

// The movie runs forwards and backwards, waits the slider's delay, restarts from
// image 0 when the slider moves, and continues after the widgets are hidden.
TEST_F(Sections, MovieRunsForwardsAndBackwards) {
  start(4, 3, 3, by_section_and_row, {0, 3, 0, 2, 0, 2, 1, 50, 50, 0.0f, 125.0f});
  script::menu(5);
  script::idle(7);
  EXPECT_FALSE(run());
  EXPECT_EQ(gen.display_count, -3);
  EXPECT_EQ(script::shown_images(), (std::vector<int>{0, 1, 2, 1, 0, 1, 2}));
  EXPECT_EQ(script::log_with("delay 500000").size(), 7u);
  EXPECT_TRUE(script::shown("Use slider bar to set delay : range 0 - 1 seconds"));

  script::reset();
  gen.first_z = 0;
  gen.last_z = 2;
  script::menu(5);
  script::idle(2);
  script::menu(2);  // hide the widgets: the movie goes on
  script::answer("");
  script::idle(1);
  script::slider(1, 20);  // 0.2 s, from image 0 again
  script::idle(2);
  script::menu(3);
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.display_count, -3);
  EXPECT_EQ(script::shown_images(), (std::vector<int>{0, 1, 2, 0, 1}));
  EXPECT_EQ(script::log_with("delay 200000").size(), 2u);
  EXPECT_TRUE(script::shown("Type ctrl/m to restore menu"));
}

TEST_F(Sections, ReturnMainMenuDrawsNothing) {
  start(4, 3, 3, by_section_and_row, {0, 3, 0, 2, 0, 2, 1, 50, 50, 0.0f, 125.0f});
  script::menu(6);
  ASSERT_TRUE(run());
  EXPECT_EQ(script::draws(), 0);
  EXPECT_EQ(gen.display_count, 1);
}

TEST_F(Sections, QuitFromTheScrollingMenuEndsTheProgram) {
  start(4, 3, 3, by_section_and_row, {0, 3, 0, 2, 0, 2, 1, 50, 50, 0.0f, 125.0f});
  EXPECT_EQ(testsupport::run([] {
              script::menu(4);
              script::menu(4);
              run();
            }).status,
            0);
}

// Replay from an answer file and recording into "Tolsvik.tmp": the centre comes
// from the file without a question and is written back as a whole answer line.
TEST_F(Sections, ReplayedCentreIsRecorded) {
  write_lines("answers.txt", {"300,200"});
  start(11, 9, 1, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0.0f, 125.0f});
  answers_from_file("answers.txt");
  ASSERT_EQ(gen.defaults_unit, 11);
  const bool returned = run();
  answers_finish();
  const std::string line = read_lines("answers.txt").at(0);
  ASSERT_TRUE(returned);
  EXPECT_TRUE(script::log_with("iobox").empty());
  EXPECT_EQ(gen.area_x1, 295);
  EXPECT_EQ(line.size(), 80u);
  EXPECT_EQ(line.substr(0, line.find_last_not_of(' ') + 1), "300,200");
}

}  // namespace
