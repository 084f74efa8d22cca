// What the user does with the boxes: menu clicks, typed answers in the entry
// box, slider moves, and the keys that bring hidden boxes back.
#include <X11/Xlib.h>

#include <string>

#include "tests/x11/probe_client.h"

using probe::contains;
using probe::number_after;
using probe::Probe;

namespace {

class Input : public probe::ProbeTest {
 protected:
  void SetUp() override {
    ProbeTest::SetUp();
    p->cmd("draw 600 500 0 ramp");
  }
};

std::string reply_line(const std::string& text) {
  return "reply [" + text + std::string(80 - text.size(), ' ') + "]";
}

}  // namespace

TEST_F(Input, MenuClickGivesTheItemNumberAndLeavesNoHighlight) {
  p->cmd("menu 5 One|Two|Three|Four|Five");
  auto menu = x11test::window_info(user->dpy(), p->window("menu"));
  ASSERT_TRUE(menu.mapped);
  auto before = x11test::read_pixels(user->dpy(), menu.id, 0, 0, menu.width, menu.height);
  const int row = std::stoi(p->state()["font_height"]) + 2;  // the list's row pitch
  user->move(menu.x + 15, menu.y + 2 + 2 * row + row / 2);
  user->click(1);
  EXPECT_TRUE(contains(p->cmd("wait 5"), "job 3"));
  p->cmd("pump 0.3");
  EXPECT_EQ(x11test::read_pixels(user->dpy(), menu.id, 0, 0, menu.width, menu.height), before);

  // Hidden with the menu gone from the picture, and back with Ctrl+m.
  p->cmd("menuhide");
  EXPECT_FALSE(mapped("menu"));
  user->move(image.x + 400, image.y + 400);
  user->ctrl_key('m');
  p->cmd("pump 0.5");
  EXPECT_TRUE(mapped("menu"));
}

TEST_F(Input, ReturnInTheEntryBoxGivesTheTypedTextBlankPadded) {
  open_iobox("abc|Give a name");
  user->type("de");
  user->key_return();
  EXPECT_TRUE(contains(p->process().read_until("<<done>>"), reply_line("abcde")));

  // An all-blank default shows an empty field; Return alone gives all blanks.
  open_iobox("-|Nothing to type");
  user->key_return();
  EXPECT_TRUE(contains(p->process().read_until("<<done>>"), reply_line("")));

  // More than the field holds is cut at 79 characters.
  open_iobox("-|Type a lot");
  user->type(std::string(90, 'x'));
  user->key_return();
  EXPECT_TRUE(contains(p->process().read_until("<<done>>"), reply_line(std::string(79, 'x'))));
}

TEST_F(Input, EntryBoxEndedByAMenuItemKeepsTheDefault) {
  p->cmd("menu 3 One|Two|Three");
  Window menu_id = p->window("menu");
  auto box = open_iobox("xyz|Answer or pick");
  // The library moves the menu under the entry box after mapping the box: wait for it.
  auto [below, tree] = x11test::wait_for_tree(user->dpy(), menu_id, [&](const auto& windows) {
    return !windows.empty() && windows[0].y > box.y + box.height;
  });
  ASSERT_TRUE(below) << "the menu did not move under the entry box";
  auto menu = tree[0];
  user->move(menu.x + 15, menu.y + 12);
  user->click(1);
  auto lines = p->process().read_until("<<done>>");
  EXPECT_TRUE(contains(lines, " Error in tolpixwait, job = "));
  EXPECT_TRUE(contains(lines, "reply [xyz@" + std::string(76, ' ') + "]"));
  EXPECT_FALSE(mapped("iobox"));
}

TEST_F(Input, SlidersGiveTheirJobCodesAndPercentages) {
  p->cmd("slider 2 0.2 0.7");
  p->cmd("bars");
  auto tree = x11test::window_tree(user->dpy(), p->window("slider"));
  // The two scroll bars are the children of the slider box that are neither
  // the label nor a colour bar.
  Window bar1 = p->window("bar1"), bar2 = p->window("bar2");
  std::vector<x11test::WindowInfo> scrollbars;
  for (const auto& w : tree)
    if (w.level == 1 && w.id != bar1 && w.id != bar2 && w.width == 128) scrollbars.push_back(w);
  ASSERT_EQ(scrollbars.size(), 2u);
  if (scrollbars[0].x > scrollbars[1].x) std::swap(scrollbars[0], scrollbars[1]);

  user->move(scrollbars[1].x + 64, scrollbars[1].y + 12);
  user->click(2);
  EXPECT_TRUE(contains(p->cmd("wait 5"), "job 102"));
  double value = std::stod(p->cmd("sliderread")[0].substr(7));
  EXPECT_NEAR(value, 50.0, 1.0);

  user->move(scrollbars[0].x + 32, scrollbars[0].y + 12);
  user->click(2);
  EXPECT_TRUE(contains(p->cmd("wait 5"), "job 101"));
  value = std::stod(p->cmd("sliderread")[0].substr(7));
  EXPECT_NEAR(value, 25.0, 1.0);

  // The colour bars show cells 0 to 127 from left to right.
  auto bar = x11test::read_pixels(user->dpy(), bar1, 0, 10, 128, 1);
  for (int x = 0; x < 128; ++x) ASSERT_EQ(bar[x], x);

  // Hidden and shown again with Ctrl+s; the label comes back with Ctrl+l.
  p->cmd("label Some words");
  p->cmd("labelhide");
  p->cmd("sliderhide");
  EXPECT_FALSE(mapped("slider"));
  user->move(image.x + 400, image.y + 400);
  user->ctrl_key('s');
  user->ctrl_key('l');
  p->cmd("pump 0.5");
  EXPECT_TRUE(mapped("slider"));
  EXPECT_TRUE(mapped("label"));
}

TEST_F(Input, ReadPointerReportsAnotherActionInsteadOfAPosition) {
  p->cmd("menu 2 One|Two");
  auto menu = x11test::window_info(user->dpy(), p->window("menu"));
  p->process().write_line("readpointer");
  p->process().read_until("waiting");
  user->move(menu.x + 15, menu.y + 12);
  user->click(1);
  auto lines = p->process().read_until("<<done>>");
  EXPECT_TRUE(contains(lines, " error in tolpixwait, job = 1"));
  EXPECT_TRUE(contains(lines, "pointer -7 -7"));  // left as they were
}
