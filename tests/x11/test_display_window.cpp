// The window as it comes up: sizes of the image area, the fonts, the colour
// cells, the stacking of label, entry box, sliders and menu, and what happens
// without a usable display.
#include <X11/Xlib.h>
#include <sys/stat.h>

#include <iostream>
#include <string>

#include "tests/x11/probe_client.h"
#include "tests/x11/probe_patterns.h"

using probe::contains;
using probe::number_after;
using probe::Probe;

namespace {

class Window_ : public probe::XServerTest {};

int top(const x11test::WindowInfo& w) {
  return w.y - w.border;
}
int bottom(const x11test::WindowInfo& w) {
  return w.y + w.height + w.border;
}

}  // namespace

TEST_F(Window_, ImageAreaIsTheScreenLessTheBorderOrTheRequestedSize) {
  {
    Probe p(server());
    EXPECT_TRUE(contains(p.init_lines(), "size 1230 974"));
    EXPECT_EQ(p.state()["max_zoom_size"], "1198020");
    x11test::XUser user(server().display());
    auto image = x11test::window_info(user.dpy(), p.window("image"));
    EXPECT_EQ(image.width, 1230);
    EXPECT_EQ(image.height, 974);
    EXPECT_TRUE(image.mapped);
    EXPECT_EQ(p.state()["zoom"], "8 8 136 136");  // 17 magnified pixels of 8
  }
  {
    Probe p(server(), -600, -400);
    EXPECT_TRUE(contains(p.init_lines(), "size 600 400"));
  }
  {
    Probe p(server(), 600, 400);  // a positive request still fills the screen
    EXPECT_TRUE(contains(p.init_lines(), "size 1230 974"));
  }
  {
    Probe p(server(), -1300, -400);
    EXPECT_TRUE(contains(p.init_lines(), "Requested window size too large"));
    EXPECT_TRUE(contains(p.init_lines(), "size -1300 -400"));  // caller's sizes untouched
  }
}

TEST_F(Window_, FontListIsTwentyBlankPaddedCourierNames) {
  Probe p(server());
  auto lines = p.cmd("fonts");
  EXPECT_EQ(number_after(lines, "nfonts "), 20);
  int names = 0;
  for (const std::string& line : lines) {
    if (line.rfind("font [", 0) != 0) continue;
    ++names;
    std::string name = line.substr(6, line.size() - 7);
    EXPECT_EQ(name.size(), 64u) << line;
    EXPECT_NE(name.find("courier-bold"), std::string::npos) << line;
    EXPECT_EQ(name.back(), ' ') << line;
  }
  EXPECT_EQ(names, 20);
}

TEST_F(Window_, ColourCellsFollowTheTableAndTheReservedPlan) {
  Probe p(server());
  x11test::XUser user(server().display());
  Colormap cmap = std::stoul(p.state()["colormap"]);
  std::vector<unsigned long> all(256);
  for (int i = 0; i < 256; ++i) all[i] = i;

  p.cmd("table 0 127");
  auto cells = x11test::query_colours(user.dpy(), cmap, all);
  for (int i = 0; i < 127; ++i) {
    ASSERT_EQ(cells[i].r, probe::table_red(i)) << "cell " << i;
    ASSERT_EQ(cells[i].g, probe::table_green(i)) << "cell " << i;
    ASSERT_EQ(cells[i].b, probe::table_blue(i)) << "cell " << i;
  }
  for (int i = 127; i <= 249; ++i) {  // the overlay colour, cell 127 included
    ASSERT_EQ(cells[i].r, 0) << "cell " << i;
    ASSERT_EQ(cells[i].g, 65535) << "cell " << i;
    ASSERT_EQ(cells[i].b, 0) << "cell " << i;
  }
  auto is = [&](int i, int r, int g, int b) {
    EXPECT_EQ(cells[i].r, r) << "cell " << i;
    EXPECT_EQ(cells[i].g, g) << "cell " << i;
    EXPECT_EQ(cells[i].b, b) << "cell " << i;
  };
  is(251, 0, 65535, 0);
  is(252, 0, 0, 65535);
  is(253, 65535, 0, 0);
  is(254, 0, 0, 0);
  is(255, 65535, 65535, 65535);

  // A negative start loads from cell 0 and the count still runs from the given
  // start: 133 entries, so cell 130 holds element 130 instead of green.
  p.cmd("table -5 127");
  cells = x11test::query_colours(user.dpy(), cmap, all);
  EXPECT_EQ(cells[130].r, probe::table_red(130));
  EXPECT_EQ(cells[133].g, 65535);
  // A short table is loaded as 128 entries; components keep their low 16 bits.
  p.cmd("table 0 9 big");
  cells = x11test::query_colours(user.dpy(), cmap, all);
  EXPECT_EQ(cells[100].b, probe::table_blue(100));
  EXPECT_EQ(cells[5].r >> 8, (70000 - 65536) >> 8);  // the server keeps 8 bits
  EXPECT_EQ(p.state()["ps_table"], "17 250 185");    // divided by 257 for printing
}

TEST_F(Window_, BoxesStackWithoutOverlapInTheirOrder) {
  Probe p(server());
  x11test::XUser user(server().display());
  Display* d = user.dpy();
  p.cmd("table 0 127 grey");
  p.cmd("draw 600 500 0 ramp");
  const int iobox_height = std::stoi(p.state()["iobox_height"]);
  auto image = x11test::window_info(d, p.window("image"));
  const int form_top = top(image) - 4;

  p.cmd("label First line|Second line");
  p.cmd("slider 1 0.5 0");
  p.cmd("menu 5 One|Two|Three|Four|Five");
  auto label = x11test::window_info(d, p.window("label"));
  auto sliders = x11test::window_info(d, p.window("slider"));
  auto menu = x11test::window_info(d, p.window("menu"));
  EXPECT_EQ(top(label), form_top + 4);
  EXPECT_EQ(top(sliders), bottom(label) + 1);
  EXPECT_EQ(top(menu), bottom(sliders) + 1);
  EXPECT_EQ(menu.height, 150);  // 30 pixels per item
  EXPECT_EQ(label.x, sliders.x);
  EXPECT_EQ(label.x, menu.x);

  // Without the label the sliders move to the top and the menu follows them.
  p.cmd("labelhide");
  sliders = x11test::window_info(d, p.window("slider"));
  menu = x11test::window_info(d, p.window("menu"));
  EXPECT_FALSE(x11test::window_info(d, p.window("label")).mapped);
  EXPECT_EQ(top(sliders), form_top + 1);
  EXPECT_EQ(top(menu), bottom(sliders) + 1);

  // Without sliders the menu goes to the top.
  p.cmd("sliderhide");
  menu = x11test::window_info(d, p.window("menu"));
  EXPECT_EQ(top(menu), form_top + 4);

  // The entry box: three prompt lines give 4 line heights + 24, the menu hangs
  // under it, and both label and entry box are gone afterwards.
  p.cmd("label Back again");
  Window label_id = p.window("label");
  auto iobox = probe::open_iobox(p, user, "-|One|Two|Three");
  EXPECT_EQ(iobox.height, 4 * iobox_height + 24);
  EXPECT_EQ(top(iobox), form_top + 4);
  EXPECT_FALSE(x11test::window_info(d, label_id).mapped);
  user.key_return();
  auto reply = p.process().read_until("<<done>>");
  EXPECT_TRUE(contains(reply, "reply [" + std::string(80, ' ') + "]"));
  EXPECT_FALSE(x11test::window_info(d, iobox.id).mapped);
}

TEST_F(Window_, OversizedMenusAndLabelsAreClipped) {
  Probe p(server());
  x11test::XUser user(server().display());
  p.cmd("table 0 127 grey");
  p.cmd("menu 120");
  EXPECT_EQ(x11test::window_info(user.dpy(), p.window("menu")).height, 100 * 30);
  // 60 lines of 80 characters are more than the label text holds.
  p.cmd("longlabel 60");
  EXPECT_TRUE(x11test::window_info(user.dpy(), p.window("label")).mapped);
  EXPECT_TRUE(p.process().running());
}

TEST_F(Window_, ServerOutOfMemoryIsAJobCodeAnyOtherXErrorEndsTheProgram) {
  Probe p(server());
  auto lines = p.cmd("fakealloc");
  EXPECT_TRUE(contains(lines, "error trapped "));
  EXPECT_TRUE(contains(p.cmd("job"), "job 999"));
  EXPECT_TRUE(contains(p.cmd("job"), "job -1"));  // read once

  p.process().write_line("xerror");
  EXPECT_EQ(p.process().wait_exit(), 1);
  std::string errors = p.process().stderr_text();
  EXPECT_NE(errors.find("Error detected:\n BadPixmap"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Error code: 54"), std::string::npos) << errors;  // FreePixmap
}

TEST(WindowWithoutDisplay, NoDisplayOrNoPseudoColourEndsWithStatusOne) {
  {
    x11test::Process p({std::string(TOLSVIK_BIN_DIR) + "/tolpix_probe"}, "");
    p.write_line("init 0 0");
    EXPECT_EQ(p.wait_exit(), 1);
    EXPECT_NE(p.stderr_text().find("Cannot open display"), std::string::npos) << p.stderr_text();
  }
  {
    x11test::Xvfb truecolour(800, 600, 24);
    x11test::Process p({std::string(TOLSVIK_BIN_DIR) + "/tolpix_probe"}, truecolour.display());
    p.write_line("init 0 0");
    EXPECT_EQ(p.wait_exit(), 1);
    EXPECT_NE(p.stderr_text().find("No matching visual available"), std::string::npos)
        << p.stderr_text();
  }
}

// A picture with the entry box, the sliders and their colour bars and a menu
// together, saved as a PNG for people to look at (screenshots/ in the build
// folder), and the stacking of the entry box over the sliders and the menu.
TEST_F(Window_, ScreenshotOfTheWholeLayout) {
  Probe p(server());
  x11test::XUser user(server().display());
  Display* d = user.dpy();
  p.cmd("table 0 127 grey");
  p.cmd("draw 900 700 0 ramp");
  p.cmd("slider 2 0.3 0.8");
  p.cmd("bars");
  p.cmd("menu 6 Display another section|Zoom|Colour table|Average boxed densities|Help|Quit");
  Window sliders_id = p.window("slider"), menu_id = p.window("menu");
  auto iobox =
      probe::open_iobox(p, user, "demo.tvk|Give the name of the map file|(default shown below)");
  std::string folder = std::string(TOLSVIK_BIN_DIR) + "/../screenshots";
  mkdir(folder.c_str(), 0755);
  std::string path = folder + "/display_layout.png";
  ASSERT_TRUE(x11test::screenshot(d, path));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 1000);
  std::cout << "screenshot: " << path << "\n";

  auto sliders = x11test::window_info(d, sliders_id);
  auto menu = x11test::window_info(d, menu_id);
  EXPECT_EQ(top(sliders), bottom(iobox) + 1);
  EXPECT_EQ(top(menu), bottom(sliders) + 1);
  user.key_return();
  EXPECT_TRUE(contains(p.process().read_until("<<done>>"), "reply [demo.tvk"));

  // The same with the message label in place of the entry box.
  p.cmd("label Mark a point on the picture|or pick an item of the menu");
  ASSERT_TRUE(x11test::screenshot(d, folder + "/display_layout_label.png"));
}
