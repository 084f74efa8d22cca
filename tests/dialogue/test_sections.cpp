// Section display dialogues: scaling and placement of one picture, row layouts, the centre
// questions, scrolling and the movie, against the scripted display.
#include <array>
#include <cmath>
#include <limits>

#include "dialogue.h"
#include "driver/answerfile.h"
#include "driver/sections.h"

namespace {

using namespace prog;
using Density = std::function<float(int, int, int)>;
using Pixel = std::array<int, 3>;  // x, y (rows from the top), colour index

float ramp(int x, int y, int) {
  return static_cast<float>(x + 10 * y + 1);
}
float by_section(int, int, int z) {
  return static_cast<float>(z * 10 + 1);
}
float by_section_and_row(int, int y, int z) {
  return static_cast<float>(z * 10 + y + 1);
}

class Sections : public DisplayTest {
 protected:
  // A map of nz sections written and shown from the given limits.
  static void start(int nx, int ny, int nz, const Density& f, const Limits& l) {
    test_maps::close_map();
    test_maps::write_image("map.map", nx, ny, nz, f);
    as_started("map.map", l);
  }
  static bool run() { return walk(imread); }
  static void expect_pixels(const std::vector<Pixel>& pixels, int picture_number = 0) {
    for (auto [x, y, v] : pixels) EXPECT_EQ(picture(picture_number).at(x, y), v) << x << "," << y;
  }
};

// Every pixel of a picture: the section's indices at their rectangle (map row first_y lowest
// on the screen), zero elsewhere.
TEST_F(Sections, OnePictureScalesAndPlacesEveryPixel) {
  auto density = [](int x, int y, int) -> float {
    if (y == 0 && x < 3) return std::array{125.f, 300.f, -10.f}[x];  // 62.5 gives 63; clamped
    return 31.5f * x + 17.25f * y + 2.0f;
  };
  start(7, 5, 1, density, {0, 6, 0, 4, 0, 0, 1, 40, 30, 0.0f, 250.0f});
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_EQ(std::vector<int>({gen.centre_x, gen.centre_y, gen.area_x1, gen.area_y1,
                              gen.display_count, gen.new_display}),
            std::vector<int>({20, 15, 17, 13, 1, 0}));
  EXPECT_TRUE(script::shown(" section    0 enter center of image:"));
  expect_pixels({{17, 17, 63}, {18, 17, 125}, {19, 17, 0}});
  ASSERT_EQ(picture().nx, 40);
  ASSERT_EQ(picture().ny, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const int i = x - 17, j = 17 - y;  // screen row 17 holds map row 0
      const bool inside = i >= 0 && i < 7 && j >= 0 && j < 5;
      ASSERT_EQ(picture().at(x, y),
                inside ? test_maps::expected_index(density(i, j, 0), 0, 250) : 0)
          << x << "," << y;
    }
}

// Where the centre answers put a section, and what is drawn there.
TEST_F(Sections, CentreAnswersPlaceTheSectionInsideTheRaster) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::string what;
    int nx, ny;
    Density f;
    Limits limits;
    std::vector<std::string> answers;
    std::vector<int> area;  // x1, x2, y1, y2
    std::vector<Pixel> pixels;
  } cases[] = {
      // clang-format off
      {"typed", 11, 9, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0, 125}, {"300,200"},
       {295, 305, 196, 204}, {{300, 200, 5 + 40 + 1}, {295, 204, 1}}},
      {"out of bounds, asked again", 11, 9, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0, 125},
       {"2,2", ""}, {295, 305, 196, 204}, {}},
      // The check lets the last column fall on raster column 600: it is dropped.
      {"at the right edge", 11, 9, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0, 125}, {"595,200"},
       {590, 600, 196, 204}, {{599, 200, 9 + 40 + 1}, {0, 200, 0}}},
      // As tall as the raster: the lowest row falls on raster row 10 and is dropped.
      {"as tall as the raster", 8, 10, ramp, {0, 7, 0, 9, 0, 0, 1, 20, 10, 0, 125}, {""},
       {6, 13, 0, 9}, {{6, 1, 91}, {6, 9, 11}, {6, 0, 0}}},
      // Compression 2 of a 5 x 5 area: 2 x 2 block means 17.5 + 20 i + 2 j; the last column
      // and row (huge here) belong to no block.
      {"compressed", 7, 7,
       [](int x, int y, int) { return x == 5 || y == 5 ? 1e6f : x * 10 + y + 1.f; },
       {1, 5, 1, 5, 0, 0, 2, 20, 20, 0, 125}, {"10,10"}, {9, 10, 9, 10},
       {{9, 11, 18}, {10, 11, 38}, {9, 10, 20}, {10, 10, 40}, {8, 11, 0}, {11, 11, 0}, {9, 9, 0}}},
      // A flat density range: above amin 125, at or below it 0, not a number 0.
      {"flat range", 4, 1, [&](int x, int, int) { return std::array{5.f, 10.f, 15.f, nan}[x]; },
       {0, 3, 0, 0, 0, 0, 1, 10, 10, 10, 10}, {"5,5"}, {3, 6, 5, 5},
       {{3, 5, 0}, {4, 5, 0}, {5, 5, 125}, {6, 5, 0}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    start(c.nx, c.ny, 1, c.f, c.limits);
    map.raster[int64_t{gen.raster_width} * gen.raster_height] = 77;  // just past the raster
    for (const auto& a : c.answers) script::answer(a);
    ASSERT_TRUE(run());
    EXPECT_EQ(std::vector<int>({gen.area_x1, gen.area_x2, gen.area_y1, gen.area_y2}), c.area);
    expect_pixels(c.pixels);
    EXPECT_EQ(map.raster[int64_t{gen.raster_width} * gen.raster_height], 77);
    int drawn = 0;
    for (int v : picture().raster) drawn += v != 0;
    EXPECT_LE(drawn, (c.area[1] - c.area[0] + 1) * (c.area[3] - c.area[2] + 1));
    if (c.answers.size() > 1) {
      EXPECT_NE(script::log_with("iobox").at(1).find(
                    "| these values for centre take image out of bounds|"),
                std::string::npos);
    }
  }
  // "0,0" centres the section's lower left corner on a mark.
  fresh();
  start(11, 9, 1, ramp, {0, 10, 0, 8, 0, 0, 1, 600, 400, 0, 125});
  script::answer("0,0");
  script::mark(40, 30);
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown("Mark cursor position bottom left corner"));
  EXPECT_EQ(std::vector<int>({gen.centre_x, gen.centre_y}), std::vector<int>({45, 34}));
  expect_pixels({{40, 400 - 30, 1}});
  EXPECT_FALSE(script::state().label_shown);
  // A map shorter than its header says: the rows read are kept and the label says so.
  fresh();
  test_maps::write_image("short.map", 6, 6, 1, ramp);
  std::filesystem::resize_file("short.map", 1024 + 3 * 6 * 4);
  as_started("short.map", {0, 5, 0, 5, 0, 0, 1, 20, 20, 0, 125});
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown(std::string(kFileEndedWarning)));
  expect_pixels({{7, 13, 1}, {7, 11, 21}, {7, 10, 0}, {7, 8, 0}});  // map row j at 13 - j
}

// Row layouts: automatic (10 sections of width 95 per line of 1000, first centre x = 52,
// the next line one step lower), sections that do not fit re-specified (or, in a replay,
// cut to those that fit), and semi-automatic with the number per line asked until it is 1 or
// more and layouts leaving the screen refused, the first centre measured from the top.
TEST_F(Sections, RowLayoutsFillLinesFromTheTopLeft) {
  const struct {
    int nx, ny, nz, screen_w, screen_h;
    std::function<void()> script;
    std::vector<int> layout;  // section_count, last_z, menus shown, entry boxes shown
    std::vector<Pixel> pixels;
    std::vector<std::string> lines;
  } cases[] = {
      // clang-format off
      {95, 20, 12, 1000, 300, [] { script::menu(1); }, {12, 11, 1, 0},
       {{52, 15, 1}, {152, 15, 11}, {952, 15, 91}, {52, 40, 101}, {152, 40, 111}, {102, 15, 0}},
       {}},
      {95, 20, 6, 200, 50,
       [] { script::menu(1), script::answer("0,9"), script::answer("0,3"), script::menu(1); },
       {4, 3, 2, 2}, {{152, 40, 31}},
       {"Too many sections, re-specify start and end sections",
        "Sections run from 0 to 5, please re-enter:"}},
      {95, 20, 8, 200, 50, [] { gen.defaults_unit = 11; }, {4, 3, 0, 0}, {{152, 40, 31}}, {}},
      {50, 40, 4, 300, 200, [] {
         script::menu(2);
         for (const char* a : {"30,25,60,50,0", "30,25,60,50,6"}) script::answer(a);  // 356 > 300
         script::menu(2);
         script::answer("30,25,60,200,2");  // 175 - 200 - 20 + 1 < 0
         script::menu(2);
         script::answer("30,25,60,50,2"); },
       {4, 3, 3, 4}, {{30, 25, 1}, {90, 25, 11}, {30, 75, 21}, {90, 75, 31}},
       {" number of points (x,y,z)=   50   40    4", " max screen width, height =  300  200",
        "These values take image out of bounds in x",
        "These values take image out of bounds in y"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nz);
    fresh();
    start(c.nx, c.ny, c.nz, by_section,
          {0, c.nx - 1, 0, c.ny - 1, 0, c.nz - 1, 1, c.screen_w, c.screen_h, 0, 125});
    c.script();
    ASSERT_TRUE(run());
    EXPECT_EQ(
        std::vector<int>({gen.section_count, gen.last_z, int(script::log_with("menu|").size()),
                          int(script::log_with("iobox").size())}),
        c.layout);
    expect_pixels(c.pixels);
    for (const auto& line : c.lines) EXPECT_TRUE(script::shown(line)) << line;
  }
  EXPECT_EQ(std::vector<int>({gen.multi_layout, gen.step_x}), std::vector<int>({1, 60}));
}

// Scrolling: one stored image per section (map row first_y at the top), the slider picks
// image round(v x N / 100) within 0..N-1, a mark ends scrolling and "Read another map"
// returns with a negative count.
TEST_F(Sections, ScrollingStoresImagesAndFollowsTheSlider) {
  start(10, 6, 8, by_section_and_row, {0, 9, 0, 5, 0, 7, 1, 100, 80, 0, 125});
  script::menu(4);
  script::menu(1);
  for (float v : {100.f, 50.f, 56.f, 6.25f}) script::slider(1, v);  // 7, 4, 4 again, 1
  script::job(102);  // not the scroll slider: ignored
  script::mark(5, 5);
  script::menu(3);
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.display_count, -8);
  EXPECT_EQ(script::shown_images(), (std::vector<int>{7, 4, 1}));
  EXPECT_TRUE(script::shown("Pan/zoom disabled for scrolling"));
  ASSERT_EQ(script::pictures().size(), 8u);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(std::vector<int>({picture(k).nx, picture(k).ny}), std::vector<int>({10, 6}));
    expect_pixels({{3, 0, 10 * k + 1}, {3, 5, 10 * k + 6}}, k);
  }
}

// The movie steps forwards and backwards at each tick of the timer, which runs at the slider's
// delay (0 to 1 s) and is stopped around every other dialogue; other jobs draw nothing.
TEST_F(Sections, MovieStepsAtTheTimerReturnAndQuit) {
  start(4, 3, 3, by_section_and_row, {0, 3, 0, 2, 0, 2, 1, 50, 50, 0, 125});
  script::menu(5);
  script::tick(4);
  script::idle(2);
  script::mark(1, 1);
  script::tick(3);
  script::slider(1, 20);  // 0.2 s, from image 0 again
  script::tick(2);
  script::menu(2);  // hide the boxes: the entry box waits, then the movie goes on
  script::answer("");
  script::tick();
  script::menu(3);
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.display_count, -3);
  EXPECT_EQ(script::shown_images(), (std::vector<int>{0, 1, 2, 1, 0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(script::log_with("timer"),
            (std::vector<std::string>{"timer 500000", "timer 200000", "timer -1", "timer 200000",
                                      "timer -1"}));
  EXPECT_TRUE(script::shown("Use slider bar to set delay : range 0 - 1 seconds"));
  // "Return main menu" draws nothing; "Quit Tolsvik" ends the program.
  fresh();
  start(4, 3, 3, by_section_and_row, {0, 3, 0, 2, 0, 2, 1, 50, 50, 0, 125});
  script::menu(6);
  ASSERT_TRUE(run());
  EXPECT_EQ(script::draws(), 0);
  EXPECT_EQ(gen.display_count, 1);
  EXPECT_EQ(testsupport::run([] { script::menu(4), script::menu(4), run(); }).status, 0);
}

}  // namespace
