// The main menu: every item and its sub-menus, run through the program from start-up.
#include "dialogue.h"

namespace {

using namespace prog;

// A transform of 9 x 8 (or nx x 64) values, growing along h.
void write_transform(const std::string& name, int nx = 9, int ny = 8) {
  test_maps::write_transform(name, nx, ny, [](int h, int) { return std::pair{float(h), 0.f}; });
}

const std::string kMainMenu =
    "menu|Re-scale image|Erase vectors|Hide zoom window|Modify zoom window|Hide menu/labels|"
    "Draw text string|Change colour table|Change cursor type|Enable pointer tracking|"
    "Draw another map|Display more sections|Average boxed densities|Box/Dump an area|"
    "Output map coordinates|Compute interactive FFT|Lattice refinement|CTF fitting|"
    "Splinefit image|Center image|Display Peaklist|Return";

// Queues the answers that display ramp.map (40 x 30) with the given compression.
void open_ramp(const std::string& compression = "") {
  write_ramp("ramp.map", 40, 30);
  answers({"ramp.map", "", compression, "", ""});
}

// Log entries after the main menu was first shown.
std::vector<std::string> after_menu() {
  const auto& log = script::log();
  auto it = std::find_if(log.begin(), log.end(), [](const std::string& e) {
    return e.rfind("menu|Re-scale image", 0) == 0;
  });
  return std::vector<std::string>(it == log.end() ? log.end() : it + 1, log.end());
}

bool logged(const std::string& entry) {
  auto tail = after_menu();
  return std::find(tail.begin(), tail.end(), entry) != tail.end();
}

TEST_F(ProgramTest, MenuItemsAndTheDirectDisplayCommands) {
  open_ramp();
  script::menu(2);   // erase vectors
  script::menu(3);   // hide zoom
  script::menu(19);  // centre
  script::menu(9);   // tracking on
  script::menu(9);   // and off again
  script::job(100);  // not a menu item: the menu is shown again
  run({});
  EXPECT_EQ(script::log_with("menu|Re-scale image").size(), 7u);
  EXPECT_EQ(script::log_with("menu|Re-scale image").front(), kMainMenu);
  EXPECT_TRUE(logged("rmvectors"));
  EXPECT_TRUE(logged("zoomhide"));
  EXPECT_TRUE(logged("setpan 0 0"));  // the section is in the middle of a screen-sized raster
  // The tracking origin makes the read-out show map columns and rows.
  EXPECT_TRUE(logged("trackon " + std::to_string(gen.first_x - gen.area_x1) + " " +
                     std::to_string(gen.first_y - gen.area_y1)));
  EXPECT_TRUE(logged("trackoff"));
  auto menus = script::log_with("menu|Re-scale image");
  EXPECT_NE(menus[4].find("|Disable pointer tracking|"), std::string::npos);
  EXPECT_NE(menus[5].find("|Enable pointer tracking|"), std::string::npos);
}

TEST_F(ProgramTest, CentringMovesARasterLargerThanTheScreenBackByHalfTheExcess) {
  // A transform of 500 h values is 1000 columns wide on a screen of 600 x 400.
  script::config().screen_width = 600;
  script::config().screen_height = 400;
  write_transform("ft.map", 500, 64);
  answers({"ft.map", "", "", ""});
  script::menu(19);
  run({});
  EXPECT_EQ(gen.raster_width, 1000);
  // (600 - 2 x 500) / 2 after the display, and again for "Center image".
  EXPECT_EQ(script::log_with("setpan"),
            (std::vector<std::string>{"setpan -200 0", "setpan -200 0"}));
}

TEST_F(ProgramTest, ATransformAfterScrolledSectionsIsPictureZero) {
  write_ramp("stack.map", 20, 20, 3);
  write_transform("ft.map");
  answers({"stack.map", "", "", ""});
  script::menu(4);  // scrolling: stored images 0, 1 and 2
  script::menu(3);  // read another map
  answers({"ft.map", "", "", ""});
  run({});
  // Every later redraw shows picture 0, not the last stored image.
  EXPECT_EQ(gen.image_number, 0);
  EXPECT_EQ(script::log_with("drawimages"), std::vector<std::string>{"drawimages 0"});
}

TEST_F(ProgramTest, ToolsNotBuiltOrNotForThisDisplaySayOptionNotAvailable) {
  write_transform("ft.map");
  const struct {
    std::function<void()> start;
    std::vector<int> items;
    int refused;
  } cases[] = {
      // Later tools, and pointer tracking of a compressed display.
      {[] { open_ramp("2"); }, {9, 12, 13, 17}, 4},
      // The interactive FFT, more sections and splines of a transform: only the last two say
      // so, the FFT does nothing at all.
      {[] {
         answers({"ft.map", "", "", ""});
       },
       {15, 11, 18},
       2},
  };
  for (const auto& c : cases) {
    fresh();
    c.start();
    for (int item : c.items) script::menu(item);
    run({});
    // The line shows in place of the title: the label keeps its height, the menu its place.
    EXPECT_EQ(std::count(script::log().begin(), script::log().end(), "label|Option not available"),
              c.refused);
    EXPECT_EQ(script::log_with("menu|Re-scale image").size(), c.items.size() + 1);
    EXPECT_FALSE(script::state().tracking);
  }
}

TEST_F(ProgramTest, RescaleAsksTheDensitiesAndDrawsAgain) {
  open_ramp();
  script::menu(1);
  script::answer("100,200");
  script::answer("");  // centre
  run({});
  EXPECT_TRUE(logged("clear"));
  EXPECT_FLOAT_EQ(gen.amin, 100);
  EXPECT_FLOAT_EQ(gen.amax, 200);
  EXPECT_EQ(script::draws(), 2);
  // Density 150 (x = 0, y = 15) is half way: index 63 (62.5 rounded away from zero).
  const auto& p = script::pictures().at(0);
  EXPECT_EQ(p.at(gen.area_x1, gen.raster_height - (gen.area_y1 + 15)), 63);
}

// Black/White's re-scale draws the map again as a new display: placed at a new centre, the old
// copy is gone and the read-out counts from the new place.
TEST_F(ProgramTest, ColourTableRescaleAtANewCentreReplacesTheOldCopy) {
  open_ramp();
  script::menu(9);  // tracking on
  script::menu(7);
  script::menu(1);  // Black/White
  script::mark(5, 5);
  script::menu(1);  // Re-scale to these thresholds
  script::answer("100,100");
  run({});
  EXPECT_EQ(script::pictures().at(0).at(595 + 39, 974 - (472 + 29)), 0);  // the old top right
  EXPECT_EQ(script::pictures().at(0).at(80 + 39, 974 - (85 + 29)), 125);  // the new one
  EXPECT_EQ(script::log_with("trackon").back(), "trackon -80 -85");
}

TEST_F(ProgramTest, DrawAnotherMapClearsAddsOrReturns) {
  open_ramp();
  write_ramp("other.map", 20, 10);
  script::menu(10);
  script::menu(3);  // return main menu: the map is open again
  script::menu(1);  // re-scale reads it
  script::answer("");
  script::answer("");
  script::menu(10);
  script::menu(2);                                // add a map to the picture
  answers({"other.map", "", "", "", "100,100"});  // and its centre
  script::menu(10);
  script::menu(1);  // clear the screen: a new picture
  script::answer("other.map");
  run({});
  EXPECT_EQ(script::log_with("menu|Clear screen").front(),
            "menu|Clear screen|Add new map|Return main menu");
  EXPECT_TRUE(script::shown("Wait for map re-positioning..."));
  // The added map went into the picture that already held the first.
  const auto& p = script::pictures().at(0);
  EXPECT_EQ(p.nx, 1230);
  EXPECT_EQ(p.at(100 - 10, 974 - (100 - 5)), 0);          // other.map's lowest density
  EXPECT_GT(p.at(615 + 19, 974 - (487 - 15 + 29)), 100);  // ramp.map's top right corner
  auto boxes = script::log_with("iobox|");
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_NE(boxes[boxes.size() - 2].find("|Type in file name ...|"), std::string::npos);
}

TEST_F(ProgramTest, ReturnShowsTheStartMenuOrTheFileQuestion) {
  open_ramp();
  script::menu(21);
  run({});
  EXPECT_TRUE(logged("rmvectors"));
  EXPECT_TRUE(logged("clear"));
  EXPECT_EQ(script::last_prompt()[2], "Type in file name ...");
}

}  // namespace
