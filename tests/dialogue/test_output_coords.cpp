// "Output map coordinates" on a 100 x 100 ramp (density x + 10 y) shown at screen (10, 20) ..
// (109, 119) of a 300 x 200 raster, and on a transform whose origin is at screen (150, 100).
#include <filesystem>

#include "dialogue.h"
#include "tools/area/coord_files.h"
#include "tools/area/coords.h"

namespace {

using namespace prog;
using V = std::vector<std::string>;
const std::string kTitle = std::string("label|") + kTitleLine + "|";
const std::string kMark = "Mark cursor positions with left hand mouse button";
const std::string kHeader = "        x         y      density";

class Coords : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    write_ramp("ramp.map", 100, 100);
    as_started("ramp.map", {0, 99, 0, 99, 0, 0, 1, 300, 200, 0, 1000});
    gen.display_count = 1, gen.area_x1 = 10, gen.area_y1 = 20;
    map.raster[(200 - 54) * 300 + 22] = 77;
  }
  static std::string label() { return script::log_with("label|").back(); }
  static long files() { return std::distance(std::filesystem::directory_iterator("."), {}); }
};

// Screen only with several sections shown (no densities); a new file of two positions (a mark
// on each far edge of the raster taken and deleted, marks beyond refused); the file read back and
// drawn, unchanged when the program ends while marking, and extended when the list is written.
TEST_F(Coords, PositionsAreMarkedWrittenReadBackAndExtended) {
  gen.display_count = 2;
  script::menu(1), script::mark(22, 54), script::menu(3);
  ASSERT_TRUE(walk(output_coords));
  EXPECT_TRUE(script::shown("Warning - this option cannot find map values"));
  EXPECT_EQ(label(), kTitle + kMark + "|Screen coordinates =     22    54 colour  =  77");
  gen.display_count = 1;
  script::menu(2), script::answer("pos.dat"), script::menu(2);       // nothing to delete
  script::mark(22, 54), script::mark(300, 50), script::mark(50, 0);  // two out of bounds
  script::mark(299, 200), script::mark(0, 1), script::menu(2), script::menu(2);
  script::mark(10, 20), script::menu(3);
  ASSERT_TRUE(walk(output_coords));
  const V shown = script::lines_shown();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Out of bounds, try again!"), 2);
  EXPECT_EQ(script::log_with("rmbox").size(), 2u);  // not for the delete with nothing left
  V file = {kHeader, "        12        34       352.0", "         0         0         0.0"};
  EXPECT_EQ(read_lines("pos.dat"), file);

  script::reset();
  script::menu(2), script::answer("pos.dat"), script::mark(60, 80);
  EXPECT_FALSE(walk(output_coords));
  EXPECT_EQ(read_lines("pos.dat"), file);
  EXPECT_EQ(label(), kTitle + "Reading from an existing file...|" + kMark +
                         "|Screen coordinates =     22    54|Map coordinates =     12    34 "
                         "density =    352.0|Screen coordinates =     10    20|Map coordinates = "
                         "     0     0 density =      0.0|Screen coordinates =     60    80 colour "
                         " =   0|Map coordinates =     50    60 density =    650.0");
  EXPECT_EQ(script::log_with("text"), (V{"text 25 57|1", "text 13 23|2", "text 63 83|3"}));
  script::menu(2), script::answer("pos.dat"), script::mark(60, 80), script::menu(3);
  ASSERT_TRUE(walk(output_coords));
  file.push_back("        50        60       650.0");
  EXPECT_EQ(read_lines("pos.dat"), file);
  EXPECT_EQ(files(), 2);
}

// The click mode takes the standard layout and "tvkclick.dat"; a transform position shows the
// phase atan(re / im), 0 where im is 0, and has the value 0 outside the stored half.
TEST_F(Coords, ClickModeOnATransformWritesIntensitiesAndAmplitudes) {
  test_maps::close_map();
  test_maps::write_transform("ft.map", 9, 16, [](int h, int row) {
    return std::pair{float(h), float(row - 8)};
  });
  as_started("ft.map", {0, 8, 0, 15, 0, 0, 1, 300, 200, 0, 100}, false);
  gen.centre_x = 150, gen.centre_y = 100, datafile.click_mode = 1;
  script::accept();
  script::mark(153, 104), script::mark(152, 100), script::mark(170, 100), script::menu(3);
  ASSERT_TRUE(walk(output_coords));
  EXPECT_EQ(datafile.click_mode, 0);
  for (const char* line :
       {"Transform origin f(0,0) =     3    4 int,amp,phase =          25.      5.  0.64",
        "Transform origin f(0,0) =     2    0 int,amp,phase =           4.      2.  0.00"})
    EXPECT_TRUE(script::shown(line)) << line;
  EXPECT_EQ(read_lines("tvkclick.dat"), (V{"        x         y    intensity   amplitude",
                                           "         3         4        25.0         5.0",
                                           "         2         0         4.0         2.0",
                                           "        20         0         0.0         0.0"}));
}

// The first three lines stay while the list scrolls by two lines a position.
TEST_F(Coords, TheLabelScrollsBelowItsFirstThreeLines) {
  script::menu(2), script::answer("pos.dat");
  for (int k = 1; k <= 30; ++k) script::mark(10 + k, 20 + k);
  EXPECT_FALSE(walk(output_coords));
  const std::string shown = label();
  EXPECT_TRUE(shown.starts_with(kTitle + "Opening a new file...|" + kMark +
                                "|Screen coordinates =     13    23 colour  =   0|"));
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '|'), 59);
  EXPECT_TRUE(
      shown.ends_with("|Screen coordinates =     40    50 colour  =   0|Map coordinates ="
                      "     30    30 density =    330.0"));
}

// A file too long, one that fills up with a click, and one with a line that is no record (then
// cancelled at the name and at the format menu): each is kept as it was.
TEST_F(Coords, AFileNotTakenOrNotWrittenIsKeptAsItWas) {
  for (int records : {kMaxPositions + 1, kMaxPositions, 2}) {
    script::reset();
    V lines(records + 1u, "1 2 3");
    lines[0] = kHeader;
    if (records == 2) lines.push_back("x y");
    write_lines("pos.dat", lines);
    script::menu(2), script::answer("pos.dat");
    if (records == kMaxPositions) script::mark(22, 54);
    script::answer("");
    if (records == 2) script::menu(5);
    EXPECT_TRUE(walk(output_coords));
    EXPECT_TRUE(script::shown(records == 2
                                  ? "Line 4 is no coordinate record, please re-type :"
                                  : "Too many spots for program, <cr> to return main menu"));
    EXPECT_EQ(read_lines("pos.dat"), lines);
    EXPECT_EQ(files(), 2);
  }
}

}  // namespace
