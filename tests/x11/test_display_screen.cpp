// The boxes over the picture as the user meets them: the stacking of label, entry box, sliders
// and menu, menu clicks, typed answers, sliders and the keys that bring hidden boxes back; the
// colour cells; and the X errors.
#include <algorithm>

#include "tests/x11/probe.h"

using namespace probe;

namespace {

int top(const WindowInfo& w) {
  return w.y - w.border;
}
int bottom(const WindowInfo& w) {
  return w.y + w.height + w.border;
}
std::string reply(const std::string& text) {
  return "reply [" + text + std::string(80 - text.size(), ' ') + "]";
}

class Widgets : public ProbeTest {};

}  // namespace

TEST_F(Widgets, BoxesStackUnderOneAnotherInTheirOrder) {
  p->cmd("draw 600 500 0 ramp");
  const int form_top = top(image) - 4;
  p->cmd("label First line|Second line");
  p->cmd("slider 1 0.5 0");
  p->cmd("menu 5 One|Two|Three|Four|Five");
  WindowInfo sliders = box(0, 0), label{}, m = menu(5);
  for (const WindowInfo& w : boxes()) {
    if (w.id != m.id && top(w) == form_top + 4) label = w;
    if (w.id != m.id && w.id != label.id) sliders = w;
  }
  ASSERT_NE(label.id, 0u);
  EXPECT_EQ(top(sliders), bottom(label) + 1);
  EXPECT_EQ(top(m), bottom(sliders) + 1);
  EXPECT_EQ(label.x, m.x);
  // Without the label the sliders go to the top and the menu follows; without sliders the
  // menu goes to the top.
  p->cmd("labelhide");
  EXPECT_EQ(top(xdrive::window_info(dpy(), sliders.id)), form_top + 1);
  EXPECT_EQ(top(menu(5)), bottom(xdrive::window_info(dpy(), sliders.id)) + 1);
  p->cmd("sliderhide");
  EXPECT_EQ(top(menu(5)), form_top + 4);
  // The entry box takes the label's place: three prompt lines give four line heights and 24.
  p->cmd("slider 1 0.5 0");
  const WindowInfo io = open_iobox("-|One|Two|Three");
  const int line = window->menu_row_pitch() - 1;  // the font height and one pixel
  EXPECT_EQ(io.height, 4 * line + 24);
  EXPECT_EQ(top(io), form_top + 4);
  user->key_return();
  EXPECT_TRUE(contains(p->finish(), reply("")));
  EXPECT_FALSE(xdrive::window_info(dpy(), io.id).mapped);
  // A menu of 120 items is cut at 100; 60 lines of 80 letters are more than the label holds.
  p->cmd("menu 120");
  EXPECT_NE(menu(100).id, 0u);
  p->cmd("label 60");
  EXPECT_TRUE(p->child().running());
}

TEST_F(Widgets, MenuClicksGiveTheItemNumberAndCtrlKeysBringBoxesBack) {
  p->cmd("menu 5 One|Two|Three|Four|Five");
  const WindowInfo m = menu(5);
  const auto before = xdrive::read_pixels(dpy(), m.id, 0, 0, m.width, m.height);
  const auto jobs = acting([&] { window->click_item(m, 3); }, 3);
  EXPECT_EQ(jobs, std::vector<std::string>{"job 3"});
  // The list is as high as its rows (and its margin of 2 pixels): no dead area below them.
  EXPECT_EQ(acting([&] { user->move(m.x + 5, m.y + m.height - 3), user->click(1); }, 5),
            std::vector<std::string>{"job 5"});
  for (double end = xdrive::now_seconds() + 10;
       xdrive::read_pixels(dpy(), m.id, 0, 0, m.width, m.height) != before;)
    ASSERT_LT(xdrive::now_seconds(), end) << "the chosen item stays highlighted";

  p->cmd("label Some words");
  p->cmd("slider 1 0.5 0");
  for (const char* hide : {"menuhide", "labelhide", "sliderhide"}) p->cmd(hide);
  EXPECT_EQ(boxes().size(), 0u);
  acting([&] { move(400, 400), user->ctrl_key('m'), user->ctrl_key('l'), user->ctrl_key('s'); });
  EXPECT_EQ(boxes().size(), 3u);
}

TEST_F(Widgets, EntryBoxGivesTheTypedTextOrKeepsTheDefaultWhenAMenuItemEndsIt) {
  const struct {
    std::string arguments, typed, reply;
  } cases[] = {{"abc|Give a name", "de", "abcde"},
               {"-|Nothing to type", "", ""},
               {"-|Type a lot", std::string(90, 'x'), std::string(79, 'x')}};
  for (const auto& c : cases) {
    open_iobox(c.arguments);
    user->type(c.typed);
    user->key_return();
    EXPECT_TRUE(contains(p->finish(), reply(c.reply))) << c.arguments;
  }
  p->cmd("menu 3 One|Two|Three");
  const WindowInfo io = open_iobox("xyz|Answer or pick");
  WindowInfo m = menu(3);
  // The menu moves under the entry box once the box is up: wait for it.
  for (double end = xdrive::now_seconds() + 10; m.y <= io.y + io.height;) {
    ASSERT_LT(xdrive::now_seconds(), end) << "the menu did not move under the entry box";
    m = menu(3);
  }
  window->click_item(m, 1);
  const auto lines = p->finish();
  EXPECT_TRUE(contains(lines, " Error in tolpixwait, job = "));
  EXPECT_TRUE(contains(lines, "reply [xyz@" + std::string(76, ' ') + "]"));
  EXPECT_FALSE(xdrive::window_info(dpy(), io.id).mapped);

  // Waiting for a mark, another action is reported and the position left alone.
  p->send("readpointer");
  p->child().read_until("waiting");
  window->click_item(menu(3), 1);
  const auto read = p->finish();
  EXPECT_TRUE(contains(read, " error in tolpixwait, job = 1"));
  EXPECT_TRUE(contains(read, "pointer -7 -7"));
}

TEST_F(Widgets, SlidersGiveTheirJobCodesAndPercentagesBesideTheColourBars) {
  p->cmd("slider 2 0.2 0.7");
  p->cmd("bars");
  std::vector<WindowInfo> strips;  // sliders and colour bars, left to right
  for (const WindowInfo& w : xdrive::window_tree(dpy(), box(0, 0).id))
    if (w.level == 1 && w.width == 128) strips.push_back(w);
  ASSERT_EQ(strips.size(), 4u);
  std::sort(strips.begin(), strips.end(), [](auto& a, auto& b) { return a.x < b.x; });
  const struct {
    int strip, job;
    double fraction;
  } moves[] = {{2, 102, 0.5}, {0, 101, 0.25}};
  for (const auto& mv : moves) {
    const WindowInfo& s = strips[mv.strip];
    acting([&] { user->move(s.x + int(mv.fraction * 128), s.y + 12), user->click(2); }, mv.job);
    EXPECT_NEAR(std::stod(p->cmd("sliderread")[0].substr(7)), 100 * mv.fraction, 1.0);
  }
  // Each colour bar shows cells 0 to 127 from left to right.
  for (int bar : {1, 3}) {
    const auto row = xdrive::read_pixels(dpy(), strips[bar].id, 0, 10, 128, 1);
    for (int x = 0; x < 128; ++x) ASSERT_EQ(row[x], x) << "bar " << bar;
  }
}

TEST_F(Widgets, ColourCellsFollowTheTableAndTheReservedPlanAndTheScreenshot) {
  const Colormap cmap = xdrive::window_info(dpy(), window->top()).colormap;
  auto cells = [&] {
    std::vector<XColor> c(256);
    for (int i = 0; i < 256; ++i) c[i].pixel = i;
    XQueryColors(dpy(), cmap, c.data(), 256);
    return c;
  };
  auto is = [](const XColor& c, int r, int g, int b) {
    return c.red == r && c.green == g && c.blue == b;
  };
  p->cmd("table 0 127");
  auto c = cells();
  for (int i = 0; i < 127; ++i)
    ASSERT_TRUE(is(c[i], table_red(i), table_green(i), table_blue(i))) << "cell " << i;
  EXPECT_TRUE(is(c[127], 0, 0, 0));  // the background
  for (int i = 128; i <= 249; ++i) ASSERT_TRUE(is(c[i], 0, 65535, 0)) << "cell " << i;
  // The frame round the image area (the form's border and the space inside it) shows it.
  EXPECT_EQ(xdrive::read_pixels(dpy(), window->top(), 0, 0, 3, 1), std::vector<uint8_t>(3, 127));
  EXPECT_TRUE(is(c[251], 0, 65535, 0));
  EXPECT_TRUE(is(c[252], 0, 0, 65535));
  EXPECT_TRUE(is(c[253], 65535, 0, 0));
  EXPECT_TRUE(is(c[254], 0, 0, 0));
  EXPECT_TRUE(is(c[255], 65535, 65535, 65535));
  // A negative start loads from cell 0, counting the entries from the given start.
  p->cmd("table -5 127");
  EXPECT_EQ(cells()[130].red, table_red(130));
  EXPECT_EQ(cells()[133].green, 65535);
  // A short table is loaded as 128 entries; components keep their low 16 bits.
  p->cmd("table 0 9 big");
  c = cells();
  EXPECT_EQ(c[100].blue, table_blue(100));
  EXPECT_EQ(c[5].red >> 8, (70000 - 65536) >> 8);

  // The screenshot of the run command colours the picture through these cells.
  p->cmd("table 0 127");
  p->cmd("draw 300 200 0 ramp");
  testsupport::TempFolder folder;
  ASSERT_TRUE(xdrive::screenshot(dpy(), folder / "shot.png", "Zevar"));
  const testsupport::RgbPicture shot = testsupport::read_png(folder / "shot.png");
  ASSERT_EQ(shot.width, 1280);
  for (auto [x, y] : {std::pair{0, 0}, {37, 11}, {299, 199}}) {
    const uint8_t* rgb = shot.at(image.x + x, image.y + y);
    const int v = value("ramp", x, y, 300);
    EXPECT_EQ((std::vector<int>{rgb[0], rgb[1], rgb[2]}),
              (std::vector<int>{table_red(v) >> 8, table_green(v) >> 8, table_blue(v) >> 8}));
  }
}

TEST_F(Widgets, ServerOutOfMemoryIsAJobCodeAnyOtherXErrorEndsTheProgram) {
  EXPECT_TRUE(contains(p->cmd("badalloc"), "error trapped "));
  EXPECT_EQ(p->cmd("job"), std::vector<std::string>{"job 999"});
  EXPECT_EQ(p->cmd("job"), std::vector<std::string>{"job -1"});  // read once
  p->send("xerror");
  EXPECT_EQ(p->child().wait_exit(), 1);
  EXPECT_NE(p->child().err().find("Error detected:\n BadPixmap"), std::string::npos)
      << p->child().err();
  EXPECT_NE(p->child().err().find("Error code: 54"), std::string::npos);  // FreePixmap

  // Without a display, or without an 8-bit PseudoColor visual, the program ends (without
  // making a window first).
  xdrive::Xvfb truecolour(800, 600, 24);
  Display* watch = XOpenDisplay(truecolour.display().c_str());
  XSelectInput(watch, DefaultRootWindow(watch), SubstructureNotifyMask), XSync(watch, False);
  for (const std::string display : {"", truecolour.display().c_str()}) {
    testsupport::Child q({std::string(TOLSVIK_BIN_DIR) + "/tolpix_probe"}, display);
    q.write_line("init 0 0");
    EXPECT_EQ(q.wait_exit(), 1);
    EXPECT_NE(q.err().find(display.empty() ? "Cannot open display" : "No matching visual"),
              std::string::npos)
        << q.err();
  }
  for (XEvent e; XSync(watch, False), XPending(watch) > 0;)
    if (XNextEvent(watch, &e), e.type == CreateNotify) ADD_FAILURE() << "a window was made";
  XCloseDisplay(watch);
}
