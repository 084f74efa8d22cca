// Lattice refinement, the peak list and the spot list editor on a 100 x 100 image shown at
// screen (10, 20) .. (109, 119): map position (x, y) is screen (x + 10, y + 20).
#include <filesystem>

#include "dialogue.h"
#include "textio/strings.h"
#include "tools/transform/editor.h"
#include "tools/transform/lattice.h"
#include "tools/transform/spots.h"

namespace {

using namespace prog;
using V = std::vector<std::string>;

V operator+(V a, const V& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class Lattice : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    write_ramp("ramp.map", 100, 100);
    as_started("ramp.map", {0, 99, 0, 99, 0, 0, 1, 300, 200, 0, 1000});
    gen.is_image = 1, gen.nx = gen.ny = 100;
    gen.area_x1 = 10, gen.area_x2 = 109, gen.area_y1 = 20, gen.area_y2 = 119;
    set_field(latref.map_file, "ramp.map");
  }
  void TearDown() override {
    use_editor_program("");
    DisplayTest::TearDown();
  }
  // Runs a tool with standard output into out.txt; true when it returned by itself.
  static bool run_tool(void (*tool)() = lattice) {
    bool returned = false;
    redirected([&] { returned = walk(tool); }, "out.txt");
    return returned;
  }
  // A mark on map position (x, y) and the indices typed for it.
  static void spot(int x, int y, const std::string& indices) {
    script::mark(x + 10, y + 20);
    script::answer(indices);
  }
  static bool printed(const std::string& line) {
    const V out = read_lines("out.txt");
    return std::find(out.begin(), out.end(), line) != out.end();
  }
  static V logged(const std::string& prefix) { return script::log_with(prefix); }
};

// Spots of the lattice origin (10, 10), A (20, 5), B (-4, 25); boxes of one size around the
// tilt axis, whose question comes again after the lattice was fitted again.
TEST_F(Lattice, MarkedSpotsAreRefinedDrawnAndStoredWithAnEditorThatFailsOnce) {
  write_datafile("img");
  const V before = read_lines("DATAFILE.dat");
  write_lines("stand-in", {"#!/bin/sh", "[ -e failed ] && exec " + editor_program() + " \"$@\"",
                           "touch failed", "exit 3"});
  std::filesystem::permissions("stand-in", std::filesystem::perms::owner_all);
  use_editor_program("./stand-in");
  auto draw = [] {
    script::menu(3), script::answer("25,25");  // variable boxes, all of half size 13
    script::answer("0"), script::menu(2);      // horizontal tilt axis through the origin
  };
  script::answer("");  // origin (0, 0)
  script::menu(1);
  spot(10, 10, "");
  spot(30, 15, "0");  // one character takes the proposal, (0, 0), which is taken
  script::answer("1,0");
  spot(6, 35, "0,1");
  spot(26, 40, "1 1");
  script::menu(5);
  script::answer("3");        // orders
  script::answer("fit.txt");  // result file
  draw();
  for (const char* yes : {"x", "0", "1", "1"}) script::menu(6), script::answer(yes);
  script::menu(3);  // add a spot: the fitted lattice proposes (2, 2)
  spot(42, 70, "");
  script::menu(5), script::answer("3"), script::answer("");
  draw();
  script::menu(8);
  ASSERT_TRUE(run_tool()) << script::log().back();

  EXPECT_TRUE(script::shown("Type h,k indices for this spot (def=   0,   0)"));
  EXPECT_TRUE(script::shown("Indices     0    0 already used, please retype"));
  EXPECT_TRUE(script::shown("Type h,k indices for this spot (def=   2,   2)"));
  EXPECT_EQ(latref.spot_count, 5);
  EXPECT_EQ(logged("circle"), V{"circle 10 20 50"});
  const V result = {" Origin, lattice errors:    10.0    10.0    20.0     5.0    -4.0    25.0",
                    "  Lattice dimensions :    20.000     5.000    -4.000    25.000",
                    "   Length of A    20.616 RLU",
                    " Angle     14.036 Degrees",
                    " Length of B    25.318 RLU",
                    " Angle      99.090 Degrees",
                    " Included angle     85.054 Degrees",
                    " RMS error for this pass =    0.00000"};
  V file = read_lines("fit.txt");
  for (auto& line : file) line = std::string(field_text(line));
  EXPECT_EQ(file, (V{" ramp.map"} + result));
  // Boxes strictly inside the picture, at screen (20 + 20 h - 4 k, 30 + 5 h + 25 k).
  V boxes;
  for (int h = -3; h <= 3; ++h)
    for (int k = -3; k <= 3; ++k) {
      const int x = 20 + 20 * h - 4 * k, y = 30 + 5 * h + 25 * k;
      if (x > 23 && x < 96 && y > 33 && y < 106)
        boxes.push_back("box " + std::to_string(x - 13) + " " + std::to_string(y - 13) + " " +
                        std::to_string(x + 13) + " " + std::to_string(y + 13));
    }
  EXPECT_EQ(boxes.size(), 9u);
  EXPECT_EQ(logged("box"), boxes + boxes);
  EXPECT_EQ(logged("lines 1: 10 30 109 30").size(), 2u);  // the tilt axis, asked for twice
  EXPECT_EQ(logged("menu|Select centre with cursor").size(), 2u);
  EXPECT_TRUE(script::shown(
      "Failed (exit status 3): kelvane 4 DATAFILE.dat 32 20.000,5.000,-4.000,25.000"));
  EXPECT_TRUE(script::shown("Lattice into DATAFILE.dat inserted."));
  EXPECT_TRUE(printed(" Running: kelvane 6 DATAFILE.dat"));
  EXPECT_TRUE(printed(" ERROR in SAVLAT. DATAFILE.dat not changed."));
  EXPECT_TRUE(script::shown("Nothing done, DATAFILE.dat not changed."));
  V after = before;
  after[31] = "20.000,5.000,-4.000,25.000", after[57] = "10.000,10.000";
  EXPECT_EQ(read_lines("DATAFILE.dat"), after);
  EXPECT_EQ(read_lines("datafile.backup"), before);
  EXPECT_TRUE(script::overlay().lines.empty() && script::overlay().boxes.empty());
}

// Fits refused and offered again; then the vectors file, written with a scale factor that
// leaves the lattice itself as fitted.
TEST_F(Lattice, FailedFitsOfferTheSpotsAgainAndTheVectorsFileIsScaled) {
  script::answer("");
  script::menu(1);
  spot(25, 5, "2,0"), spot(45, 5, "4,0");
  script::menu(5), script::answer("1");
  script::menu(2), spot(65, 5, "6,0");  // "Add/remove spots"
  script::menu(5), script::answer("1");
  script::menu(2), spot(25, 25, "2,2");
  script::menu(5), script::answer("1");  // no spot within one order
  script::answer("2");
  script::answer("");
  script::menu(1), script::answer("");  // standard boxes
  script::menu(1), script::answer("vec.txt"), script::answer("2");
  script::menu(2);
  ASSERT_TRUE(run_tool());
  for (const char* line :
       {" Less than 3 reflections found, refinement impossible",
        " Selection of indices too symmetric", "Indices do not match number of orders requested",
        "Lattice vectors written to :vec.txt"})
    EXPECT_TRUE(script::shown(line)) << line;
  EXPECT_EQ(logged("menu|Start spot selection again|Add/remove spots|").size(), 2u);
  EXPECT_EQ(latref.refined, 1);
  EXPECT_EQ(std::vector({latref.x0, latref.ax, latref.ay, latref.bx, latref.by}),
            std::vector({5.0f, 10.0f, 0.0f, 0.0f, 10.0f}));
  EXPECT_EQ(read_lines("vec.txt"),
            (V{" ramp.map", "       200       200 Array size (for refinement)",
               "   20.0000    0.0000    0.0000   20.0000 Lattice vectors",
               "     10.0000     10.0000 Lattice centre (in image)",
               "     10.0000     10.0000 Error from centre",
               "        25         0 Symbol sizes in pixels", " Spot number  H    K      X       Y",
               "          1    2    0    50.0    10.0", "          2    4    0    90.0    10.0",
               "          3    6    0   130.0    10.0", "          4    2    2    50.0    50.0"}));
}

TEST_F(Lattice, OriginDefaults) {
  const struct {
    int type, choice;
    std::string answer, prompt;
    float x0, y0;
    V circles;
  } cases[] = {
      // clang-format off
      {0, 0, "", "Type in origin x0, y0, default (0,0)", 0, 0, {"circle 10 20 50"}},
      {0, 0, "12.5,7", "Type in origin x0, y0, default (0,0)", 12.5, 7, {"circle 22 27 50"}},
      {2, 1, "", "Type in origin x0, y0, default (30.50,9.25)", 30.5, 9.25,
       {"circle 40 29 5", "circle 40 29 15"}},
      {2, 3, "", "Type in origin x0, y0, default (50.00,50.00)", 50, 50,
       {"circle 60 70 5", "circle 60 70 15"}},
      {2, 5, "", "Type in origin x0, y0, default (0,0)", 3, 4, {"circle 13 24 5", "circle 13 24 15"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    script::reset();
    datafile.project_type = c.type, datafile.diffraction_choice = c.choice;
    datafile.param_1 = 30.5, datafile.param_2 = 9.25, latref.x0 = 3, latref.y0 = 4;
    script::answer(c.answer), script::menu(6);
    ASSERT_TRUE(run_tool());
    EXPECT_EQ(script::last_prompt().back(), c.prompt);
    EXPECT_EQ(std::pair(latref.x0, latref.y0), std::pair(c.x0, c.y0)) << c.prompt;
    EXPECT_EQ(std::pair(datafile.param_1, datafile.param_2), std::pair(c.x0, c.y0));
    EXPECT_EQ(logged("circle"), c.circles);
  }
  EXPECT_TRUE(printed(" Drawing origin at        3.000       4.000        13        24"));
}

// Spots from a file, the editor's deletion, editing and saving, and the label that keeps the
// newest spots; then a lattice far from the origin, fitted to the pixel.
TEST_F(Lattice, SpotFilesAndTheSpotEditor) {
  write_lines("spots.txt", {"0 0 5 5", "1,0,15,5", "", "0 1 5 15.5", "1 1 15 15", "2.5 0 1 1"});
  write_lines("empty.txt", {});
  script::answer("");
  script::menu(2), script::answer("empty.txt");
  script::menu(2), script::answer("spots.txt");
  script::menu(1), script::answer("1,1");                         // delete
  script::menu(1), script::answer("7,7");                         // not there
  script::menu(2), script::answer("0,1"), script::answer("0,2");  // edit
  script::menu(4), script::answer("saved.txt");
  script::menu(6);
  ASSERT_TRUE(run_tool());
  EXPECT_TRUE(script::shown("No spots found in file"));
  EXPECT_TRUE(script::shown(" Spot with indices     7    7 not found in list for refinement"));
  EXPECT_TRUE(script::shown("Indices changed from   0  1 to  0  2"));
  EXPECT_TRUE(script::shown("Spot data written to saved.txt"));
  EXPECT_EQ(read_lines("saved.txt"),
            (V{"     0     0       5.000       5.000", "     1     0      15.000       5.000",
               "     0     2       5.000      15.500"}));
  EXPECT_EQ(gen.status, 1);

  // 59 marks: the title and the first two spot lines stay, the third makes room.
  script::reset();
  script::answer(""), script::menu(1);
  for (int i = 0; i < 59; ++i) spot(i, 0, std::to_string(i) + ",0");
  script::menu(6);
  ASSERT_TRUE(run_tool());
  EXPECT_EQ(std::string(field_text(gen.message_text[3])),
            "   Spot number=  4 h=  3 k=  0 X=     3 Y=     0");
  EXPECT_EQ(std::string(field_text(gen.message_text[58])),
            "   Spot number= 59 h= 58 k=  0 X=    58 Y=     0");

  // 800 spots of indices 40 to 50 at positions in the thousands.
  V far;
  for (int i = 0; i < 800; ++i) {
    const int h = 40 + i % 11, k = 40 + (i / 11) % 11;
    far.push_back(std::to_string(h) + " " + std::to_string(k) + " " +
                  std::to_string(8000.25 + 20.5 * h - 4.25 * k) + " " +
                  std::to_string(2500.75 + 3.25 * h + 19.75 * k));
  }
  write_lines("far.txt", far);
  script::reset();
  script::answer(""), script::menu(2), script::answer("far.txt"), script::menu(5);
  script::answer("50"), script::answer(""), script::menu(8);
  ASSERT_TRUE(run_tool());
  EXPECT_NEAR(latref.x0, 8000.25, 0.01);
  EXPECT_NEAR(latref.y0, 2500.75, 0.01);
  EXPECT_NEAR(latref.ax, 20.5, 1e-4);
}

TEST_F(Lattice, VectorsTypedOrReadAndDrawnAsCirclesOrVariableBoxes) {
  // Typed vectors, circles of radius 10 divided by the spot values of a diffraction pattern.
  datafile.project_type = 2, datafile.diffraction_choice = 1;
  set_field(datafile.spot_file, "img.spt");
  write_lines("img.spt", {"1,0,3", "0, -1", "1,1,0", "-1,1"});
  script::answer("0,0"), script::menu(3);
  script::answer("10,0"), script::answer("0,10"), script::answer("1");
  script::menu(2), script::answer("20");
  script::menu(5), script::answer("");  // the spot list editor, left at once
  ASSERT_TRUE(run_tool());
  EXPECT_EQ(logged("circle"),
            (V{"circle 10 20 5", "circle 10 20 15", "circle 0 10 1", "circle 0 20 3",
               "circle 0 30 10", "circle 10 10 10", "circle 10 20 1", "circle 10 30 10",
               "circle 20 10 10", "circle 20 20 3", "circle 20 30 1"}));
  EXPECT_TRUE(script::overlay().circles.empty());

  // The vectors of line 35 (12 orders by default), boxes of 3 to 9 pixels growing away from
  // a horizontal tilt axis through the origin.
  script::reset();
  datafile.project_type = 0;
  V lines(35);
  lines[31] = "abc", lines[34] = "1,0,0,0.1";
  write_lines("DATAFILE.dat", lines);
  script::answer("50,50"), script::menu(4);  // line 32 holds no vectors
  script::menu(5), script::answer("");
  script::menu(3), script::answer("3,8"), script::answer("0"), script::menu(2);
  ASSERT_FALSE(run_tool());
  EXPECT_TRUE(script::shown("Line 32 of DATAFILE.dat does not hold four numbers"));
  EXPECT_TRUE(script::shown(" How many orders (default 12) ?"));
  EXPECT_EQ(latref.order_count, 12);
  EXPECT_EQ(std::pair(latref.ax, latref.by), std::pair(1.0f, 0.1f));
  EXPECT_EQ(logged("lines 1: 10 70 109 70").size(), 1u);  // the tilt axis
  // Lattice point (h, k) at (50 + h, 50 + 0.1 k): the one at the origin, on the axis, gets
  // the smallest box, half size (1 + 3) / 2.
  const V boxes = logged("box");
  EXPECT_NE(std::find(boxes.begin(), boxes.end(), "box 58 68 62 72"), boxes.end());
}

TEST_F(Lattice, PeakLists) {
  V many(201, "1 1");
  const struct {
    V file;
    V out;
    size_t crosses;
  } cases[] = {
      // clang-format off
      {{"1 2", "", "3,4", "-5 6"}, {"     3 peaks read from spotlist file."}, 3},
      {many, {"ERROR: too many peaks. Increase maxpeaklst.", "   200 peaks read from spotlist file."}, 200},
      {{"1 2", "x y", "3 4"}, {"ERROR while reading peaklist", "     1 peaks read from spotlist file."}, 1},
      // clang-format on
  };
  latref.x0 = 5.5;
  for (const auto& c : cases) {
    script::reset();
    write_lines("list.pk", c.file);
    script::answer("list.pk");
    ASSERT_TRUE(run_tool(show_peaks));
    EXPECT_EQ(read_lines("out.txt"), c.out);
    EXPECT_EQ(script::overlay().lines.size(), 2 * c.crosses);
  }
  // (1, 2) + origin (5.5, 0) -> map (6, 2): a cross of size 6 at screen (16, 22).
  EXPECT_EQ(logged("lines").front(), "lines 1: 13 19 19 25");
  for (const char* name : {"", "missing.pk"}) {
    script::reset();
    script::answer(name);
    ASSERT_TRUE(run_tool(show_peaks));
    EXPECT_EQ(read_lines("out.txt"), V{});
  }
}

TEST_F(Lattice, SpotListEditorTogglesReflectionsWithTheirMates) {
  latref.x0 = latref.y0 = 50, latref.ax = latref.by = 10;  // crosses of size 3
  set_field(datafile.spot_file, "img.spt");
  write_lines("img.spt", {"-3,2", "3,-2", "0,-4", "0,4", "bad"});
  script::accept();
  script::mark(90, 50), script::mark(90, 50);  // (3, -2) off and on again
  script::menu(1);
  ASSERT_TRUE(run_tool(getspo));
  EXPECT_EQ(read_lines("out.txt"), (V{" i =      7", "ERROR while reading spotlist",
                                      "     2 spots read from spotlist file.",
                                      "        2 spots written to spotlist file."}));
  EXPECT_EQ(read_lines("img.spt"), (V{"     0,     4", "     3,    -2"}));
  EXPECT_TRUE(script::shown("Number of defined spots is      1"));
  EXPECT_TRUE(script::shown("Last clicked spot was      3    -2"));
  // (3, -2) at (80, 30), (-3, 2) at (20, 70), (0, 4) at (50, 90), (0, -4) at (50, 10).
  EXPECT_EQ(logged("lines").size(), 12u);
  EXPECT_EQ(logged("rmlines").size(), 4u);
  EXPECT_EQ(logged("lines")[0], "lines 1: 89 49 91 51");
  // No list yet: nothing selected, an empty file written.
  script::reset();
  script::answer("new.spt"), script::menu(1);
  ASSERT_TRUE(run_tool(getspo));
  EXPECT_EQ(read_lines("new.spt"), V{});
  EXPECT_TRUE(printed("        0 spots written to spotlist file."));
}

}  // namespace
