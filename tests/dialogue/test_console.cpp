// The console helpers: reading numbers with the re-typing dialogue, the file check,
// crosses, boxes and clipped lines, the text-string tool and the zoom menu.
#include "dialogue.h"
#include "display/tolpix.h"
#include "textio/strings.h"

namespace {

using namespace prog;

Answer typed(const std::string& text) {
  Answer a;
  a.set(text);
  return a;
}

TEST_F(ProgramTest, NumbersAreReadOrAskedForAgain) {
  gen.message_lines = 1;
  set_message_line(1, "title");
  // Values not given keep what the caller had.
  Ints6 v = {7, 7, 7, 7, 7, 7};
  Answer a = typed("10,200");
  extract_integers(4, a, v);
  EXPECT_EQ(v, (Ints6{10, 200, 7, 7, 7, 7}));
  a = typed("1,,3");
  extract_integers(3, a, v);
  EXPECT_EQ(v, (Ints6{1, 200, 3, 7, 7, 7}));
  a = typed("3*5");
  extract_integers(3, a, v);
  EXPECT_EQ(v, (Ints6{5, 5, 5, 7, 7, 7}));

  // Letters: asked again; an empty answer then means zero everywhere.
  script::answer("");
  a = typed("a,b");
  extract_integers(2, a, v);
  EXPECT_EQ(v, (Ints6{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(script::last_prompt(),
            (std::vector<std::string>{"title", "Typing error, re-type 2 integers..."}));

  // A re-typed answer that reads is taken.
  script::answer("x");
  script::answer("4 5");
  v = {};
  a = typed("4;5");
  extract_integers(2, a, v);
  EXPECT_EQ(v[0], 4);
  EXPECT_EQ(v[1], 5);
  EXPECT_EQ(script::log_with("iobox|").size(), 3u);

  Reals6 r{};
  a = typed("1e3,2000.");
  extract_reals(2, a, r);
  EXPECT_FLOAT_EQ(r[0], 1000);
  EXPECT_FLOAT_EQ(r[1], 2000);
  script::answer("/");
  a = typed("1.5.2");
  extract_reals(1, a, r);
  EXPECT_FLOAT_EQ(r[0], 0);
  EXPECT_EQ(script::last_prompt().back(), "Typing error, re-type 1 reals...");
  EXPECT_EQ(gen.message_lines, 1);
}

TEST_F(ProgramTest, FileCheckAsksUntilTheNameSuits) {
  write_lines("here.txt", {"x"});
  gen.message_lines = 1;
  set_message_line(1, "title");
  char name[kFileNameLength];
  set_field(name, "here.txt");
  gen.must_exist = 0;  // an output file that must not exist yet
  script::answer("new.txt");
  check_file(name, kFileNameLength);
  EXPECT_EQ(std::string(field_text(name)), "new.txt");
  EXPECT_EQ(script::log_with("iobox|").front(),
            "iobox|title|File already present please re-type :|>here.txt");
  gen.must_exist = 1;
  script::answer("");  // an empty name is checked like any other
  script::answer("here.txt");
  check_file(name, kFileNameLength);
  EXPECT_EQ(std::string(field_text(name)), "here.txt");
  EXPECT_EQ(script::last_prompt().back(), "File cannot be found, please retype it :");
}

TEST_F(ProgramTest, CrossesBoxesAndClippedLines) {
  draw_cross(100, 50, 9);  // half size 4
  EXPECT_EQ(script::overlay().lines,
            (std::vector<script::Segment>{{96, 46, 104, 54}, {96, 54, 104, 46}}));
  remove_cross(100, 50, 9);
  EXPECT_TRUE(script::overlay().lines.empty());
  int32_t a[4] = {10, 30, 10, 10}, b[4] = {20, 20, 40, 20}, c[4] = {30, 30, 30, 10},
          d[4] = {20, 40, 40, 40};
  tolpixdrawlines(a, b, c, d, 4);
  remove_box(10, 20, 30, 40);
  EXPECT_TRUE(script::overlay().lines.empty());

  gen.area_x1 = 0, gen.area_x2 = 100, gen.area_y1 = 0, gen.area_y2 = 50;
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  draw_line(1, 0, x1, y1, x2, y2, 30, 7, 0, 0);  // b = 0: vertical at x = 30
  EXPECT_EQ((std::array<int, 4>{x1, y1, x2, y2}), (std::array<int, 4>{30, 0, 30, 50}));
  draw_line(0, 1, x1, y1, x2, y2, 30, 7, 0, 0);  // a = 0: horizontal at y = 7
  EXPECT_EQ((std::array<int, 4>{x1, y1, x2, y2}), (std::array<int, 4>{0, 7, 100, 7}));
  // Slope 1 through (50, 25): leaves through the bottom and the top.
  draw_line(1, 1, x1, y1, x2, y2, 0, 0, 50, 25);
  EXPECT_EQ((std::array<int, 4>{x1, y1, x2, y2}), (std::array<int, 4>{25, 0, 75, 50}));
  // Slope -0.25 through (50, 25): crosses the whole width.
  draw_line(-1, 4, x1, y1, x2, y2, 0, 0, 50, 25);
  EXPECT_EQ((std::array<int, 4>{x1, y1, x2, y2}), (std::array<int, 4>{0, 37, 100, 12}));
  // Slope -2 through (10, 45): enters at the top, leaves at the bottom.
  draw_line(-2, 1, x1, y1, x2, y2, 0, 0, 10, 45);
  EXPECT_EQ((std::array<int, 4>{x1, y1, x2, y2}), (std::array<int, 4>{7, 50, 32, 0}));
  EXPECT_EQ(script::overlay().lines.size(), 5u);
}

TEST_F(ProgramTest, TextStringWithTheFontListInPages) {
  std::vector<std::string> fonts;
  for (int i = 1; i <= 60; ++i) fonts.push_back("font" + std::to_string(i));
  script::config().fonts = fonts;
  gen.message_lines = 1;
  set_message_line(1, "title");
  script::menu(2);     // select a new font
  script::mark(1, 1);  // next page
  script::menu(3);     // third name of page 2
  script::mark(40, 60);
  script::answer("Hello");
  draw_string();
  EXPECT_EQ(script::state().font, 28);
  auto menus = script::log_with("menu|font");
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(std::count(menus[0].begin(), menus[0].end(), '|'), 25);
  EXPECT_NE(menus[1].find("|font26|font27|font28|"), std::string::npos);
  EXPECT_TRUE(script::shown("Click in main window to continue list"));
  ASSERT_EQ(script::overlay().texts.size(), 1u);
  EXPECT_EQ(script::overlay().texts[0].text, "Hello");
  EXPECT_EQ(script::overlay().texts[0].x, 40);
  EXPECT_EQ(script::overlay().texts[0].y, 60);

  // A font the display refuses: told in the entry box, the list starts again.
  script::reset();
  script::config().fonts = fonts;
  script::config().bad_fonts = {2};
  script::menu(2);
  script::menu(2);
  script::answer("");
  script::menu(4);
  script::mark(0, 0);
  script::answer("x");
  draw_string();
  EXPECT_EQ(script::state().font, 4);
  EXPECT_TRUE(script::shown("font2"));
  EXPECT_TRUE(script::shown("Font type not available, type cr to continue"));

  // Return main menu draws nothing.
  script::reset();
  script::menu(3);
  draw_string();
  EXPECT_TRUE(script::overlay().texts.empty());
}

}  // namespace
