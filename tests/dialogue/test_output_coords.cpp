// "Output map coordinates" on a 100 x 100 ramp (density x + 10 y) shown at screen (10, 20) ..
// (109, 119) of a 300 x 200 raster, and on a transform whose origin is at screen (150, 100).
#include <filesystem>

#include "dialogue.h"
#include "textio/strings.h"
#include "tools/area/coord_files.h"
#include "tools/area/coords.h"

namespace {

using namespace prog;
using V = std::vector<std::string>;
const std::string kMark = "Mark cursor positions with left hand mouse button";
const std::string kHeader = "        x         y      density";

class Coords : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    write_ramp("ramp.map", 100, 100);
    as_started("ramp.map", {0, 99, 0, 99, 0, 0, 1, 300, 200, 0, 1000});
    gen.display_count = 1;
    map.raster[(200 - 54) * 300 + 22] = 77;
    gen.area_x1 = 10, gen.area_x2 = 109, gen.area_y1 = 20, gen.area_y2 = 119;
  }
  static bool walk_tool() { return walk(output_coords); }
  // The lines of the last label shown.
  static V label() {
    V lines;
    std::string entry = script::log_with("label|").back().substr(6) + "|";
    for (std::size_t at; (at = entry.find('|')) != std::string::npos; entry.erase(0, at + 1))
      lines.push_back(entry.substr(0, at));
    return lines;
  }
};

// Cancelled at the format menu and at the file name; then a new file of two positions (a mark
// on each edge of the raster taken and deleted); then the file read back and drawn, left
// unchanged when the program ends while marking, and extended when the list is written.
TEST_F(Coords, ImagePositionsAreMarkedWrittenReadBackAndExtended) {
  script::menu(5);
  ASSERT_TRUE(walk_tool());
  script::menu(2), script::answer("");                               // cancelled
  script::menu(2), script::answer("pos.dat"), script::menu(2);       // nothing to delete
  script::mark(22, 54), script::mark(300, 50), script::mark(50, 0);  // two out of bounds
  script::mark(299, 200), script::mark(0, 1), script::menu(2), script::menu(2);
  script::mark(10, 20), script::menu(3);
  ASSERT_TRUE(walk_tool());
  EXPECT_EQ(script::log_with("menu|Screen only").size(), 3u);
  EXPECT_TRUE(script::shown("Opening a new file..."));
  EXPECT_EQ(script::log_with("rmbox").size(), 2u);  // not for the delete with nothing left
  EXPECT_TRUE(script::shown("Screen coordinates =     22    54 colour  =  77"));
  EXPECT_TRUE(script::shown("Map coordinates =     12    34 density =    352.0"));
  const V shown = script::lines_shown();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Out of bounds, try again!"), 2);
  const V written = {kHeader, "        12        34       352.0",
                     "         0         0         0.0"};
  EXPECT_EQ(read_lines("pos.dat"), written);
  EXPECT_EQ(script::overlay().points.size(), 2u);

  script::reset();
  script::menu(2), script::answer("pos.dat"), script::mark(60, 80);
  EXPECT_FALSE(walk_tool());
  EXPECT_EQ(read_lines("pos.dat"), written);
  EXPECT_EQ(
      label(),
      (V{kTitleLine, "Reading from an existing file...", kMark, "Screen coordinates =     22    54",
         "Map coordinates =     12    34 density =    352.0", "Screen coordinates =     10    20",
         "Map coordinates =      0     0 density =      0.0",
         "Screen coordinates =     60    80 colour  =   0",
         "Map coordinates =     50    60 density =    650.0"}));
  EXPECT_EQ(script::log_with("text"), (V{"text 25 57|1", "text 13 23|2", "text 63 83|3"}));
  script::reset();
  script::menu(2), script::answer("pos.dat"), script::mark(60, 80), script::menu(3);
  ASSERT_TRUE(walk_tool());
  EXPECT_EQ(read_lines("pos.dat"),
            (V{written[0], written[1], written[2], "        50        60       650.0"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
}

// The start menu's "tvkclick.tvk" takes the standard layout and offers the file name; on a
// transform each position shows intensity, amplitude and the phase atan(re / im), 0 where im is 0
// and the value 0 outside the stored half.
TEST_F(Coords, ClickModeOnATransformWritesIntensitiesAndAmplitudes) {
  test_maps::close_map();
  test_maps::write_transform("ft.map", 9, 16, [](int h, int row) {
    return std::pair{float(h), float(row - 8)};
  });
  as_started("ft.map", {0, 8, 0, 15, 0, 0, 1, 300, 200, 0, 100}, false);
  gen.centre_x = 150, gen.centre_y = 100;
  datafile.click_mode = 1;
  script::accept();
  script::mark(153, 104), script::mark(152, 100), script::mark(170, 100), script::menu(3);
  ASSERT_TRUE(walk_tool());
  EXPECT_EQ(datafile.click_mode, 0);
  EXPECT_TRUE(script::log_with("menu|Screen only").empty());
  EXPECT_EQ(script::log_with("iobox|").at(0),
            "iobox|" + std::string(kTitleLine) + "|Coordinate file name ...|>tvkclick.dat");
  EXPECT_TRUE(script::shown(
      "Transform origin f(0,0) =     3    4 int,amp,phase =          25.      5.  0.64"));
  EXPECT_TRUE(script::shown(
      "Transform origin f(0,0) =     2    0 int,amp,phase =           4.      2.  0.00"));
  EXPECT_EQ(read_lines("tvkclick.dat"), (V{"        x         y    intensity   amplitude",
                                           "         3         4        25.0         5.0",
                                           "         2         0         4.0         2.0",
                                           "        20         0         0.0         0.0"}));
}

// The first three lines stay while the list scrolls by two lines a position.
TEST_F(Coords, TheLabelScrollsBelowItsFirstThreeLines) {
  script::menu(2), script::answer("pos.dat");
  for (int k = 1; k <= 30; ++k) script::mark(10 + k, 20 + k);
  EXPECT_FALSE(walk_tool());
  const V shown = label();
  ASSERT_EQ(shown.size(), 59u);
  EXPECT_EQ(V(shown.begin(), shown.begin() + 4),
            (V{kTitleLine, "Opening a new file...", kMark,
               "Screen coordinates =     13    23 colour  =   0"}));
  EXPECT_EQ(shown[57], "Screen coordinates =     40    50 colour  =   0");
  EXPECT_EQ(shown[58], "Map coordinates =     30    30 density =    330.0");
}

// With several sections on the screen no density is read, and a position has one line.
TEST_F(Coords, SeveralSectionsShowNoDensities) {
  gen.display_count = 2;
  script::menu(1), script::mark(22, 54), script::mark(30, 60), script::menu(2), script::menu(3);
  ASSERT_TRUE(walk_tool());
  EXPECT_EQ(script::log_with("label|").at(0),
            "label|" + std::string(kTitleLine) +
                "|Warning - this option cannot find map "
                "values|Select output format for new or old file");
  EXPECT_EQ(label(), (V{kTitleLine, kMark, "Screen coordinates =     22    54 colour  =  77"}));
  EXPECT_FALSE(script::shown("Map coordinates =     12    34 density =    352.0"));
}

// A file too long, one that fills up with a click, and one with a line that is no record: each
// is kept as it was.
TEST_F(Coords, AFileNotTakenOrNotWrittenIsKeptAsItWas) {
  const std::string too_many = "Too many spots for program, <cr> to return main menu";
  const struct {
    int records;
    std::function<void()> user;
    std::string shown;
  } cases[] = {
      {kMaxPositions + 1, [] { script::answer(""); }, too_many},
      {kMaxPositions, [] { script::mark(22, 54), script::answer(""); }, too_many},
      {2, [] { script::answer(""), script::menu(5); },
       "Line 4 is no coordinate record, please re-type :"},
  };
  for (const auto& c : cases) {
    script::reset();
    V lines(static_cast<std::size_t>(c.records) + 1, "1 2 3");
    lines[0] = kHeader;
    if (c.records == 2) lines.push_back("x y");
    write_lines("pos.dat", lines);
    script::menu(2), script::answer("pos.dat"), c.user();
    EXPECT_TRUE(walk_tool());
    EXPECT_TRUE(script::shown(c.shown)) << c.shown;
    EXPECT_EQ(read_lines("pos.dat"), lines);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
  }
}

}  // namespace
