// What follows the mouse: rubber-band boxes, circles and line chains dragged with Ctrl and the
// left button, the double click, the position read-out, the giant cross-hair and the cursor
// shapes; and the PostScript dump of what is on the screen.

#include <cmath>
#include <filesystem>
#include <set>
#include <tuple>

#include "tests/x11/probe.h"

using namespace probe;

namespace {

class Pointer : public ProbeTest {
 protected:
  uint8_t ramp(int x, int y) { return value("ramp", x, y, 0); }
  static constexpr unsigned long kApart = 400;  // ms: longer than a double click takes
  // A Ctrl + left drag from (x1, y1) to (x2, y2), until the probe meets job code `job`.
  std::vector<std::string> ctrl_drag(int x1, int y1, int x2, int y2, int job) {
    auto drag = [&] {
      move(x1, y1), user->press(1, true, kApart);
      for (int i = 1; i <= 6; ++i) move(x1 + (x2 - x1) * i / 6, y1 + (y2 - y1) * i / 6);
      user->release(1, true);
    };
    return acting(drag, job);
  }
  std::vector<std::string> double_click(int x, int y) {
    return acting([&] { move(x, y), user->click(1, false, kApart), user->click(1); }, 105);
  }
};

}  // namespace

TEST_F(Pointer, RubberShapesAreDrawnAndReportedWithTheirJobCodes) {
  p->cmd("draw 300 200 0 ramp");
  // A box dragged from (50, 60) to (10, 20) has those corners.
  p->cmd("rubber 2");
  ctrl_drag(50, 60, 10, 20, 105);
  EXPECT_EQ(p->cmd("rubberread"), std::vector<std::string>{"rubber 50 60 10 20"});
  for (auto [x, y, edge] : {std::tuple{10, 20, 1}, {50, 40, 1}, {30, 40, 0}, {51, 40, 0}})
    EXPECT_EQ(at(x, y), ramp(x, y) | (edge ? 128 : 0)) << x << "," << y;
  p->cmd("rubber 2");  // letting go of Ctrl before the button ends the drag all the same
  auto ctrl_first = [&] {
    move(150, 150), user->press(1, true, kApart), move(160, 170);
    XTestFakeKeyEvent(dpy(), XKeysymToKeycode(dpy(), XK_Control_L), False, CurrentTime);
    user->release(1);
  };
  acting(ctrl_first, 105);
  EXPECT_EQ(p->cmd("rubberread"), std::vector<std::string>{"rubber 150 150 160 170"});
  // The rubber ellipse only shows while it is dragged.
  const auto clean = shown(200, 100, 90, 90);
  p->cmd("rubber 4");
  ctrl_drag(240, 140, 260, 150, 105);
  EXPECT_EQ(shown(200, 100, 90, 90), clean);
  // A circle centred on the anchor through the release point (radius 5).
  p->cmd("rubber 3");
  ctrl_drag(100, 100, 103, 104, 105);
  int n = 0;
  double sum_x = 0, sum_y = 0;
  const auto region = shown(90, 90, 21, 21);
  for (int i = 0; i < 21 * 21; ++i)
    if (region[i] & 128) ++n, sum_x += 90 + i % 21, sum_y += 90 + i / 21;
  ASSERT_GT(n, 10);
  EXPECT_NEAR(sum_x / n, 100, 0.6);
  EXPECT_NEAR(sum_y / n, 100, 0.6);
  // A line chain: each drag gives 104 and a segment from where the last one ended.
  p->cmd("rubber 1");
  EXPECT_FALSE(contains(ctrl_drag(20, 150, 80, 150, 104), "job 105"));
  p->cmd("lines 1 250 20 260 20");  // drawn by the program meanwhile: the chain goes on
  ctrl_drag(200, 180, 120, 190, 104);
  for (int x = 20; x <= 80; ++x) ASSERT_EQ(at(x, 150), ramp(x, 150) | 128) << x;
  EXPECT_EQ(at(100, 170), ramp(100, 170) | 128);  // on the segment from (80, 150) to (120, 190)
  EXPECT_EQ(at(150, 185), ramp(150, 185));        // nothing where the button went down
  // A double click ends the chain with a segment from its end, and nothing else changes.
  double_click(160, 190);
  EXPECT_EQ(p->cmd("rubberread"), std::vector<std::string>{"rubber 120 190 160 190"});
  p->cmd("redraw");
  for (auto [x, y, mark] : {std::tuple{100, 170, 1}, {140, 190, 1}, {120, 170, 0}, {170, 190, 0}})
    EXPECT_EQ(at(x, y), ramp(x, y) | (mark ? 128 : 0)) << x << "," << y;
  const auto before = shown(0, 0, 300, 200);
  ctrl_drag(200, 20, 250, 60, 0);  // once finished a drag records nothing
  EXPECT_EQ(shown(0, 0, 300, 200), before);

  // A double click on an armed box finishes one of size zero at the pointer; with mirrored y
  // it comes back mirrored.
  p->cmd("rubber 2");
  double_click(70, 80);
  EXPECT_EQ(p->cmd("rubberread"), std::vector<std::string>{"rubber 70 80 70 80"});
  p->cmd("origin");
  EXPECT_EQ(p->cmd("rubberread"), std::vector<std::string>{"rubber 70 894 70 894"});
  // A full list is not extended by a rubber shape: the list's message instead.
  p->cmd("many box 9999 5 5 0");
  p->cmd("rubber 2");
  EXPECT_TRUE(contains(double_click(90, 95), "Too many boxes, max_boxes too small."));
}

TEST_F(Pointer, ReadOutShowsTheShiftedAndMirroredPositionAndIsErased) {
  p->cmd("draw 1230 974 0 ramp");
  const auto clean = shown(0, 0, image.width, 60);  // the read-out is in the top right corner
  auto read_out = [&](const std::string& shift, int x, int y) {
    p->cmd("trackon " + shift);
    acting([&] { move(x + 30, y + 30), move(x, y); });
    const auto seen = shown(0, 0, image.width, 60);
    p->cmd("trackoff");
    EXPECT_EQ(shown(0, 0, image.width, 60), clean) << "the read-out is left behind";
    return seen;
  };
  const auto first = read_out("5 6", 10, 12);  // "15 18"
  EXPECT_NE(first, clean);
  EXPECT_EQ(read_out("0 0", 15, 18), first);
  EXPECT_NE(read_out("0 0", 16, 18), first);
  // Mirrored: the reference height less the row, plus the shift.
  const auto unmirrored = read_out("60 688", 50, 500);  // "110 1188"
  p->cmd("origin");
  EXPECT_EQ(read_out("100 226", 10, 12), unmirrored);  // 974 - 12 + 226
}

TEST_F(Pointer, GiantCrossHairFollowsThePointerAndLeavesNoMarks) {
  p->cmd("draw 600 400 0 ramp");
  p->cmd("box 100 100 200 150");
  p->cmd("cursor 3");
  // The cross-hair follows each motion once the probe has handled it.
  auto cross_at = [&](int x, int y) {
    acting([&] { move(x, y); }, 0, true, [&] { return (at(0, y) & 128) && (at(x, 0) & 128); });
  };
  cross_at(120, 100);
  cross_at(150, 125);
  // Four arms with a gap of 9 pixels round the pointer.
  const auto row = shown(0, 125, 600, 1), column = shown(150, 0, 1, 400);
  for (int x = 0; x < 600; ++x)
    ASSERT_EQ(row[x], ramp(x, 125) | (x <= 145 || x >= 155 ? 128 : 0)) << x;
  for (int y = 0; y < 400; ++y) {
    const bool mark = y <= 120 || y >= 130 || y == 100 || y == 150;
    ASSERT_EQ(column[y], ramp(150, y) | (mark ? 128 : 0)) << y;
  }
  // Once it has gone far from where the items were drawn, erasing it draws them again.
  cross_at(400, 300);
  EXPECT_EQ(at(50, 125), ramp(50, 125));
  for (auto [x, y] : {std::pair{100, 125}, {200, 125}, {150, 100}, {150, 150}})
    EXPECT_EQ(at(x, y), ramp(x, y) | 128) << x << "," << y;
  // Another shape ends it: the picture is left with just the box.
  p->cmd("cursor 0");
  const auto all = shown(0, 0, 600, 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 600; ++x) {
      const bool box = ((x == 100 || x == 200) && y >= 100 && y <= 150) ||
                       ((y == 100 || y == 150) && x >= 100 && x <= 200);
      ASSERT_EQ(all[size_t(y) * 600 + x], ramp(x, y) | (box ? 128 : 0)) << x << "," << y;
    }
}

// The cursor the server shows at the pointer: the nine shapes differ, a shape above 8 is 8,
// and a negative shape is made positive with the bit order of the bitmap shapes flipped.
TEST_F(Pointer, CursorShapes) {
  int event_base = 0, error_base = 0;
  ASSERT_TRUE(XFixesQueryExtension(dpy(), &event_base, &error_base));
  move(600, 500);
  auto shown_cursor = [&](int asked, int told) {
    EXPECT_EQ(p->cmd("cursor " + std::to_string(asked)),
              std::vector<std::string>{"cursor " + std::to_string(told)});
    std::vector<unsigned long> c;
    if (XFixesCursorImage* image = XFixesGetCursorImage(dpy())) {
      c.assign(image->pixels, image->pixels + image->width * image->height);
      c.push_back(image->width), c.push_back(image->xhot);
      XFree(image);
    }
    return c;
  };
  std::set<std::vector<unsigned long>> shapes;
  for (int s = 0; s <= 8; ++s) shapes.insert(shown_cursor(s, s));
  EXPECT_EQ(shapes.size(), 9u);
  EXPECT_EQ(shown_cursor(12, 8), shown_cursor(8, 8));
  const auto fine = shown_cursor(1, 1);
  EXPECT_NE(shown_cursor(-1, 1), fine);  // flipped
  EXPECT_EQ(shown_cursor(-1, 1), fine);  // and back
  // Shape 1 is a thin cross with the point aimed at left clear; shape 3 shows nothing (the
  // giant cross-hair takes its place).
  auto opaque = [](const auto& c, int x, int y) { return c[y * c[c.size() - 2] + x] >> 24; };
  EXPECT_TRUE(opaque(fine, 0, 0) && !opaque(fine, 7, 7));
  const auto none = shown_cursor(3, 3);
  for (int i = 0; i < 15 * 15; ++i) ASSERT_FALSE(opaque(none, i % 15, i / 15)) << i;
}

namespace {

// The probe runs in a folder of its own, where it writes Tolpix.ps.
class Dump : public Pointer {
 protected:
  std::vector<std::string> ps() { return testsupport::read_lines(folder / "Tolpix.ps"); }
  // The hexadecimal rows after the header line `last`, joined per row of `columns` pixels.
  std::vector<std::string> rows(const std::string& last, int columns) {
    const auto lines = ps();
    std::vector<std::string> out;
    std::string row;
    auto it = std::find(lines.begin(), lines.end(), last);
    for (++it; it < lines.end() && *it != "end"; ++it)
      if ((row += *it).size() == size_t(2 * columns)) out.push_back(row), row.clear();
    return out;
  }
  static std::string hex(int x1, int x2, int y, int factor, int special_x = -1) {
    std::string s;
    char byte[3];
    for (int x = x1; x <= x2; ++x) {
      std::snprintf(byte, sizeof byte, "%02X",
                    x == special_x ? 255 : factor * value("ramp", x, y, 0));
      s += byte;
    }
    return s;
  }
  testsupport::TempFolder folder{true};
};

}  // namespace

TEST_F(Dump, TheBoxedRegionInGreyOrColourTheWholePictureOrTheOverlay) {
  p->cmd("draw 300 200 0 ramp");
  p->cmd("point 20 15");
  // The region inside the outline of the box (8, 10)-(71, 51): x 10-69, y 11-50, landscape.
  EXPECT_EQ(p->cmd("ps 0 8 71 10 51 0 0"), std::vector<std::string>{"ps ierr 0 width 270.000"});
  auto lines = ps();
  ASSERT_GT(lines.size(), 12u);
  EXPECT_EQ(lines[7], "    90 rotate    12.50 -195.00 translate   270.00  180.00 scale");
  EXPECT_EQ(lines[9], "    60    40 8");
  const auto grey = rows("image", 60);
  ASSERT_EQ(grey.size(), 40u);
  for (int r = 0; r < 40; ++r) ASSERT_EQ(grey[r], hex(10, 69, 11 + r, 2, r == 4 ? 20 : -1)) << r;
  // With mirrored y the box is given from the bottom of the reference height: same rows.
  p->cmd("origin");
  p->cmd("ps 0 8 71 923 964 0 0");
  EXPECT_EQ(rows("image", 60), grey);
  // Colour: the saved table (components / 257) and the pixel values unchanged.
  EXPECT_TRUE(contains(p->cmd("ps 1 8 71 923 964 0 0"), "ps ierr 0"));
  lines = ps();
  auto red = std::find(lines.begin(), lines.end(), "/red [");
  ASSERT_NE(red, lines.end());
  EXPECT_EQ(*(red + 1), " 000 002 004 006 008 010 012 014 016 018 020 022 024 026 028 030");
  EXPECT_EQ((red + 9)->substr(0, 8), " 000 000");  // cell 128 on: overlay green, as shown
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "/green [")[9].substr(0, 8), " 255 255");
  EXPECT_EQ(rows("false 3 colorimage", 60).at(0), hex(10, 69, 11, 1));

  // The whole picture: too tall for 270 mm across, so 190 mm high and 1230 x 190 / 974 wide.
  EXPECT_TRUE(contains(p->cmd("ps 0 0 0 0 0 0 0"), "ps ierr 0 width 239.938"));
  EXPECT_EQ(ps()[9], "  1230   974 8");
  // The overlay area: exactly the given region, cut to the overlay raster.
  p->cmd("overlay 400 300 64 32 ramp");
  EXPECT_TRUE(contains(p->cmd("ps 0 0 64 0 30 100 1"), "ps ierr 0 width 100.000"));
  EXPECT_EQ(ps()[9], "    64    31 8");
  EXPECT_EQ(rows("image", 64).at(30), hex(0, 63, 30, 2));

  // A picture that failed its read-back check, or a box with no pixel inside its outline,
  // is not printed; the overlay still is.
  p->cmd("draw 300 200 0 zero");
  EXPECT_TRUE(contains(p->cmd("ps 0 0 64 0 30 100 1"), "ps ierr 0"));
  std::filesystem::remove(folder / "Tolpix.ps");
  EXPECT_TRUE(contains(p->cmd("ps 0 0 0 0 0 0 0"), "ps ierr 1"));
  p->cmd("draw 300 200 0 ramp");
  EXPECT_TRUE(contains(p->cmd("ps 0 10 13 10 30 0 0"), "ps ierr 1"));
  EXPECT_FALSE(std::filesystem::exists(folder / "Tolpix.ps"));

  // With several pictures a box is the region of the picture it was drawn on.
  for (const char* c : {"check 100 80 2", "draw 100 80 0 ramp", "draw 100 80 1 ramp"}) p->cmd(c);
  p->cmd("ps 0 8 71 923 964 0 0");
  EXPECT_EQ(rows("image", 60).at(0), hex(10, 69, 11, 2));
}
