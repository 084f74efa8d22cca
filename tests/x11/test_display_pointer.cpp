// What follows the mouse, driven as a user would with XTest: rubber-band boxes,
// circles and line chains with Ctrl and the left button, the double click on an
// armed shape, the position read-out, the giant cross-hair and the cursor
// shapes; and the PostScript dump of the picture, checked line by line and by
// rendering it with Ghostscript.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ghostscript.h"
#include "tests/x11/probe_client.h"
#include "tests/x11/probe_patterns.h"

using probe::contains;
using probe::number_after;

namespace {

class Pointer : public probe::ProbeTest {
 protected:
  std::vector<uint8_t> shown(int x, int y, int w, int h) {
    return x11test::read_pixels(user->dpy(), image.id, x, y, w, h);
  }
  uint8_t at(int x, int y) { return shown(x, y, 1, 1)[0]; }
  void move(int x, int y) { user->move(image.x + x, image.y + y); }
  // Lets the probe handle events while the user acts; returns what it reported.
  template <class Act>
  std::vector<std::string> while_pumping(double seconds, Act act) {
    p->process().write_line("pump " + std::to_string(seconds));
    act();
    return p->finish(seconds + 30);
  }
  // A Ctrl + left drag from (x1, y1) to (x2, y2), held still for a moment at the end.
  std::vector<std::string> ctrl_drag(int x1, int y1, int x2, int y2) {
    return while_pumping(2, [&] {
      move(x1, y1);
      user->pause(0.1);
      user->press(1, true);
      for (int i = 1; i <= 6; ++i) {
        move(x1 + (x2 - x1) * i / 6, y1 + (y2 - y1) * i / 6);
        user->pause(0.03);
      }
      user->pause(0.2);
      user->release(1, true);
    });
  }
  std::vector<std::string> entries() { return p->cmd("entries"); }
};

uint8_t ramp(int x, int y) {
  return static_cast<uint8_t>(probe::pattern_value("ramp", x, y, 0));
}

}  // namespace

TEST_F(Pointer, RubberBoxCircleAndLineChainAreRecordedWithTheirJobCodes) {
  p->cmd("draw 300 200 0 ramp");

  // A box dragged from (50, 60) to (10, 20) is recorded by its top-left corner.
  p->cmd("rubber 2");
  auto jobs = ctrl_drag(50, 60, 10, 20);
  EXPECT_TRUE(contains(jobs, "job 105"));
  auto recorded = entries();
  EXPECT_TRUE(contains(recorded, "box 10 20 40 40 0"))
      << testing::PrintToString(recorded) << testing::PrintToString(jobs);
  EXPECT_TRUE(contains(p->cmd("rubberread"), "rubber 50 60 10 20"));
  EXPECT_EQ(at(10, 20), ramp(10, 20) | 128);
  EXPECT_EQ(at(50, 40), ramp(50, 40) | 128);
  EXPECT_EQ(at(30, 40), ramp(30, 40));  // inside the outline
  EXPECT_EQ(p->ints("rubber")[0], 0);

  // A circle centred on the anchor through the release point.
  p->cmd("rubber 3");
  jobs = ctrl_drag(100, 100, 103, 104);
  EXPECT_TRUE(contains(jobs, "job 105"));
  EXPECT_TRUE(contains(entries(), "circle 95 95 10 0"));

  // A line chain: each Ctrl-drag gives 104 and one segment; the next starts
  // where the last ended, wherever the button goes down.
  p->cmd("rubber 1");
  jobs = ctrl_drag(20, 150, 80, 150);
  EXPECT_TRUE(contains(jobs, "job 104"));
  EXPECT_FALSE(contains(jobs, "job 105"));
  EXPECT_TRUE(contains(entries(), "line 20 150 80 150"));
  EXPECT_EQ(p->ints("rubber")[0], 3);
  jobs = ctrl_drag(200, 180, 120, 190);
  EXPECT_TRUE(contains(jobs, "job 104"));
  EXPECT_TRUE(contains(entries(), "line 80 150 120 190"));
  for (int x = 20; x <= 80; ++x) ASSERT_EQ(at(x, 150), ramp(x, 150) | 128) << x;
  // Nothing is left of the rubber line where the pointer went down.
  EXPECT_EQ(at(150, 185), ramp(150, 185));

  // The double click ends the chain.
  jobs = while_pumping(1.5, [&] {
    move(120, 190);
    user->double_click(1);
  });
  EXPECT_TRUE(contains(jobs, "job 105"));
  EXPECT_EQ(p->ints("rubber")[0], 0);
  // Once finished, a Ctrl-drag records nothing.
  auto before = p->ints("counts");
  jobs = ctrl_drag(200, 20, 250, 60);
  EXPECT_EQ(p->ints("counts"), before);
  EXPECT_FALSE(contains(jobs, "job 104"));
}

TEST_F(Pointer, DoubleClickOnAnArmedShapeFinishesAZeroSizeShapeAtThePointer) {
  p->cmd("draw 300 200 0 ramp");
  p->cmd("rubber 2");
  auto jobs = while_pumping(1.5, [&] {
    move(70, 80);
    user->double_click(1);
  });
  EXPECT_TRUE(contains(jobs, "job 105"));
  EXPECT_TRUE(contains(entries(), "box 70 80 0 0 0"));
  EXPECT_TRUE(contains(p->cmd("rubberread"), "rubber 70 80 70 80"));

  p->cmd("rubber 1");  // an armed line that never started records nothing
  jobs = while_pumping(1.5, [&] { user->double_click(1); });
  EXPECT_TRUE(contains(jobs, "job 105"));
  EXPECT_EQ(p->ints("counts")[3], 0);

  // A full list is not extended by a rubber shape: the list's message instead.
  p->cmd("manyboxes 9999 5 5");
  EXPECT_EQ(p->ints("counts")[0], 10000);
  p->cmd("rubber 2");
  jobs = while_pumping(1.5, [&] {
    move(90, 95);
    user->double_click(1);
  });
  EXPECT_TRUE(contains(jobs, "Too many boxes, max_boxes too small."));
  EXPECT_TRUE(contains(jobs, "job 105"));
  EXPECT_EQ(p->ints("counts")[0], 10000);

  // With mirrored y the shape comes back mirrored.
  p->cmd("origin");
  const int height = p->ints("mirror")[2];
  EXPECT_TRUE(contains(p->cmd("rubberread"), "rubber 90 " + std::to_string(height - 95) + " 90 " +
                                                 std::to_string(height - 95)));
}

TEST_F(Pointer, ReadOutShowsShiftedAndMirroredPositionAndIsErased) {
  p->cmd("draw 1230 200 0 ramp");       // under the read-out too
  auto tracking = p->ints("tracking");  // level, text position x y
  const int tx = tracking[1], ty = tracking[2];
  const auto clean = shown(tx - 2, ty - 20, 100, 26);

  p->cmd("trackon 5 6");
  while_pumping(1, [&] {
    move(40, 40);
    user->pause(0.05);
    move(10, 12);
  });
  EXPECT_EQ(p->state()["pointer_text"], "[15 18]");
  EXPECT_NE(shown(tx - 2, ty - 20, 100, 26), clean);
  p->cmd("trackoff");
  EXPECT_EQ(shown(tx - 2, ty - 20, 100, 26), clean);
  EXPECT_EQ(p->ints("tracking")[0], 0);

  // Mirrored: the reference height minus the row, plus the shift.
  p->cmd("origin");
  const int height = p->ints("mirror")[2];
  p->cmd("trackon 100 200");
  while_pumping(1, [&] {
    move(30, 30);
    user->pause(0.05);
    move(10, 12);
  });
  EXPECT_EQ(p->state()["pointer_text"], "[110 " + std::to_string(height - 12 + 200) + "]");
  p->cmd("trackoff");
  EXPECT_EQ(shown(tx - 2, ty - 20, 100, 26), clean);
}

TEST_F(Pointer, GiantCrossHairFollowsThePointerAndLeavesNoMarks) {
  p->cmd("draw 600 400 0 ramp");
  p->cmd("box 100 100 200 150");
  p->cmd("cursor 3");
  EXPECT_EQ(p->ints("tracking")[0], 2);
  // The cross-hair through the box: four arms with a gap of 9 pixels round the pointer.
  while_pumping(1, [&] {
    move(120, 100);
    user->pause(0.05);
    move(150, 125);
  });
  auto row = shown(0, 125, 600, 1);
  for (int x = 0; x < 600; ++x) {
    bool arm = x <= 145 || x >= 155;
    ASSERT_EQ(row[x], ramp(x, 125) | (arm ? 128 : 0)) << x;
  }
  auto column = shown(150, 0, 1, 400);
  for (int y = 0; y < 400; ++y) {
    bool mark = y <= 120 || y >= 130 || y == 100 || y == 150;
    ASSERT_EQ(column[y], ramp(150, y) | (mark ? 128 : 0)) << y;
  }

  // Once the cross-hair has gone more than 10 pixels from where the items were
  // last drawn, erasing it redraws them: the box comes back where it was crossed.
  while_pumping(1, [&] { move(400, 300); });
  EXPECT_EQ(at(50, 125), ramp(50, 125));
  EXPECT_EQ(at(150, 50), ramp(150, 50));
  EXPECT_EQ(at(50, 300), ramp(50, 300) | 128);
  for (auto [x, y] : {std::pair{100, 125}, {200, 125}, {150, 100}, {150, 150}})
    EXPECT_EQ(at(x, y), ramp(x, y) | 128) << x << "," << y;

  // Another shape ends the cross-hair: the picture is left with just the box.
  p->cmd("cursor 0");
  EXPECT_EQ(p->ints("tracking")[0], 0);
  auto all = shown(0, 0, 600, 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 600; ++x) {
      bool outline = ((x == 100 || x == 200) && y >= 100 && y <= 150) ||
                     ((y == 100 || y == 150) && x >= 100 && x <= 200);
      ASSERT_EQ(all[static_cast<size_t>(y) * 600 + x], ramp(x, y) | (outline ? 128 : 0))
          << x << "," << y;
    }
}

namespace {

// The cursor the server shows at the pointer, as ARGB pixels with its hot spot.
struct CursorImage {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<unsigned long> pixels;
  bool operator==(const CursorImage&) const = default;
};

CursorImage current_cursor(Display* dpy) {
  XSync(dpy, False);
  usleep(50000);
  CursorImage c;
  XFixesCursorImage* image = XFixesGetCursorImage(dpy);
  if (image == nullptr) return c;
  c.width = image->width;
  c.height = image->height;
  c.xhot = image->xhot;
  c.yhot = image->yhot;
  // ARGB in the low 32 bits of each element.
  for (int i = 0; i < c.width * c.height; ++i) c.pixels.push_back(image->pixels[i] & 0xffffffffUL);
  XFree(image);
  return c;
}

// A 15 x 15 bitmap cursor as the server should show it: green where shape and
// mask are set, black where only the mask is, transparent elsewhere.
CursorImage bitmap_cursor(const std::string& shape_hex, const std::string& mask_hex) {
  auto bit = [](const std::string& hex, int x, int y) {
    int byte = std::stoi(hex.substr(2 * (y * 2 + x / 8), 2), nullptr, 16);
    return (byte >> (x % 8)) & 1;
  };
  CursorImage c{15, 15, 7, 7, {}};
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x)
      c.pixels.push_back(!bit(mask_hex, x, y)   ? 0UL
                         : bit(shape_hex, x, y) ? 0xff00ff00UL
                                                : 0xff000000UL);
  return c;
}

}  // namespace

TEST_F(Pointer, CursorShapes) {
  int event_base = 0, error_base = 0;
  ASSERT_TRUE(XFixesQueryExtension(user->dpy(), &event_base, &error_base));
  move(600, 500);

  std::vector<CursorImage> shapes;
  for (int s = 0; s <= 8; ++s) {
    EXPECT_TRUE(contains(p->cmd("cursor " + std::to_string(s)), "cursor " + std::to_string(s)));
    shapes.push_back(current_cursor(user->dpy()));
  }
  for (int a = 0; a <= 8; ++a)
    for (int b = a + 1; b <= 8; ++b) EXPECT_FALSE(shapes[a] == shapes[b]) << a << " " << b;

  // The cursor-font shapes, compared with the glyphs shown on a window of our own.
  Display* dpy = user->dpy();
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  Window own = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 40, 40, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
  XMapRaised(dpy, own);
  const unsigned glyphs[] = {XC_top_left_arrow, XC_crosshair, XC_circle,
                             XC_hand2,          XC_gobbler,   XC_pirate};
  const int shape_of_glyph[] = {0, 4, 5, 6, 7, 8};
  user->move(20, 20);
  for (int i = 0; i < 6; ++i) {
    Cursor c = XCreateFontCursor(dpy, glyphs[i]);
    XDefineCursor(dpy, own, c);
    EXPECT_TRUE(current_cursor(dpy) == shapes[shape_of_glyph[i]]) << "glyph " << glyphs[i];
    XFreeCursor(dpy, c);
  }
  XDestroyWindow(dpy, own);
  move(600, 500);

  // The bitmap shapes in this server's bit order (least significant bit first).
  const std::string shape1_lsb = "febffddffbeff7f7effbdffdffffffffffffdffdeffbf7f7fbeffddffebf0000";
  const std::string shape1_msb = "0140022004100808100420020000000000002002100408080410022001400000";
  const std::string zeros(64, '0'), ones(64, 'f');
  EXPECT_EQ(p->ints("msbfirst")[0], 0);
  EXPECT_TRUE(shapes[1] == bitmap_cursor(shape1_lsb, shape1_lsb));
  EXPECT_TRUE(shapes[2] ==
              bitmap_cursor("3f7e3f7e3f7e3f7e0f78ef7be003e003e003ef7b0f783f7e3f7e3f7e3f7e0000",
                            "1f7c1f7c1f7c1f7c0f78e003e003e003e003e0030f781f7c1f7c1f7c1f7c0000"));
  EXPECT_TRUE(shapes[3] == bitmap_cursor(zeros, ones));

  // Above 8 is 8; a negative shape flips the bit order and is made positive.
  EXPECT_TRUE(contains(p->cmd("cursor 12"), "cursor 8 msbfirst 0"));
  EXPECT_TRUE(current_cursor(dpy) == shapes[8]);
  EXPECT_TRUE(contains(p->cmd("cursor -1"), "cursor 1 msbfirst 1"));
  EXPECT_TRUE(current_cursor(dpy) == bitmap_cursor(shape1_msb, shape1_msb));
  p->cmd("cursor 3");
  EXPECT_TRUE(current_cursor(dpy) == bitmap_cursor(zeros, zeros));
  EXPECT_TRUE(contains(p->cmd("cursor -2"), "cursor 2 msbfirst 0"));
  EXPECT_TRUE(current_cursor(dpy) == shapes[2]);
}

namespace {

// The probe runs in a folder of its own, where it writes Tolpix.ps.
class Dump : public Pointer {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("tolsvik-ps-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    Pointer::SetUp();
  }
  void TearDown() override {
    p.reset();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(folder_);
  }
  std::string ps_path() const { return (folder_ / "Tolpix.ps").string(); }
  std::vector<std::string> ps_lines() const {
    std::ifstream in(ps_path());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::filesystem::path folder_, previous_;
};

std::string hex_row(const std::vector<int>& values) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (int v : values) {
    s += digits[v / 16];
    s += digits[v % 16];
  }
  return s;
}

// The hexadecimal lines that follow the last header line ("image" or
// "false 3 colorimage") joined per row of `columns` pixels.
std::vector<std::string> hex_rows(const std::vector<std::string>& lines, const std::string& last,
                                  int columns) {
  std::vector<std::string> rows;
  size_t i = 0;
  while (i < lines.size() && lines[i] != last) ++i;
  std::string row;
  for (++i; i < lines.size() && lines[i] != "end"; ++i) {
    row += lines[i];
    if (static_cast<int>(row.size()) == 2 * columns) {
      rows.push_back(row);
      row.clear();
    }
  }
  return rows;
}

}  // namespace

TEST_F(Dump, BoxedRegionInGreyAndColour) {
  p->cmd("draw 300 200 0 ramp");
  p->cmd("point 20 15");
  // The region lies inside the outline of the box (8, 10)-(71, 51): x 10-69, y 11-50.
  auto reply = p->cmd("ps 0 8 71 10 51 0 0");
  EXPECT_TRUE(contains(reply, "ps ierr 0 width 270.000"));
  auto lines = ps_lines();
  ASSERT_GT(lines.size(), 12u);
  EXPECT_EQ(lines[0], "%!PS-Adobe-");
  EXPECT_EQ(lines[7], "    90 rotate    12.50 -195.00 translate   270.00  180.00 scale");
  EXPECT_EQ(lines[9], "    60    40 8");
  auto rows = hex_rows(lines, "image", 60);
  ASSERT_EQ(rows.size(), 40u);
  for (int r = 0; r < 40; ++r) {
    std::vector<int> expected;
    for (int x = 10; x < 70; ++x) {
      int v = ramp(x, 11 + r);
      expected.push_back(x == 20 && 11 + r == 15 ? 255 : 2 * v);
    }
    ASSERT_EQ(rows[r], hex_row(expected)) << "row " << r;
  }
  EXPECT_EQ(lines.back(), "%Trailer");

  // Ghostscript prints it. On the landscape page, read in portrait as rendered,
  // picture row 0 runs along the left edge of the printed image and picture
  // column 0 along its bottom edge.
  auto page = gstest::render(ps_path(), "pgmraw", 36);
  ASSERT_TRUE(page.ok()) << page.error;
  int left = page.width, right = -1, top = page.height, bottom = -1;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      if (page.at(x, y) < 255) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GT(right, left);
  // 270 x 180 mm at 36 dots per inch, turned.
  EXPECT_NEAR(bottom - top, 383, 4);
  EXPECT_NEAR(right - left, 255, 4);
  EXPECT_NEAR(page.at(left + 3, bottom - 3), 2 * ramp(10, 11), 3);   // row 0, column 0
  EXPECT_NEAR(page.at(right - 3, bottom - 3), 2 * ramp(10, 50), 3);  // row 39, column 0
  EXPECT_NEAR(page.at(left + 3, top + 3), 2 * ramp(69, 11), 3);      // row 0, column 59

  // The same rows with mirrored y: the box is given from the bottom of the
  // reference height.
  const auto grey_rows = hex_rows(lines, "image", 60);
  p->cmd("origin");
  const int height = p->ints("mirror")[2];
  p->cmd("ps 0 8 71 " + std::to_string(height - 51) + " " + std::to_string(height - 10) + " 0 0");
  EXPECT_EQ(hex_rows(ps_lines(), "image", 60), grey_rows);

  // Colour: the saved table (components / 257; the grey table here) and the
  // pixel values unchanged.
  reply = p->cmd("ps 1 8 71 " + std::to_string(height - 51) + " " + std::to_string(height - 10) +
                 " 0 0");
  EXPECT_TRUE(contains(reply, "ps ierr 0"));
  lines = ps_lines();
  EXPECT_TRUE(contains(lines, "/outpixels   180 string def"));
  auto red = std::find(lines.begin(), lines.end(), "/red [");
  ASSERT_NE(red, lines.end());
  EXPECT_EQ(*(red + 1), " 000 002 004 006 008 010 012 014 016 018 020 022 024 026 028 030");
  rows = hex_rows(lines, "false 3 colorimage", 60);
  ASSERT_EQ(rows.size(), 40u);
  std::vector<int> first;
  for (int x = 10; x < 70; ++x) first.push_back(ramp(x, 11));
  EXPECT_EQ(rows[0], hex_row(first));
  auto colour = gstest::render(ps_path(), "ppmraw", 36);
  EXPECT_TRUE(colour.ok()) << colour.error;
}

TEST_F(Dump, WholePictureOverlayAndRefusals) {
  // The whole picture: the image area, in landscape.
  p->cmd("draw 300 200 0 ramp");
  auto reply = p->cmd("ps 0 0 0 0 0 0 0");
  // Too tall for 270 mm across: 190 mm high and 1230 x 190 / 974 mm wide.
  EXPECT_TRUE(contains(reply, "ps ierr 0 width 239.938"));
  EXPECT_EQ(ps_lines()[9], "  1230   974 8");

  // The overlay area: exactly the given region, cut to the overlay raster.
  p->cmd("overlay 400 300 64 32 ramp");
  reply = p->cmd("ps 0 0 64 0 30 100 1");
  EXPECT_TRUE(contains(reply, "ps ierr 0 width 100.000"));
  auto lines = ps_lines();
  EXPECT_EQ(lines[9], "    64    31 8");
  auto rows = hex_rows(lines, "image", 64);
  ASSERT_EQ(rows.size(), 31u);
  std::vector<int> last;
  for (int x = 0; x < 64; ++x) last.push_back(2 * ramp(x, 30));
  EXPECT_EQ(rows[30], hex_row(last));

  // A picture that failed its read-back check is not printed.
  std::filesystem::remove(ps_path());
  p->cmd("draw 300 200 0 zero");
  EXPECT_TRUE(contains(p->cmd("ps 0 0 0 0 0 0 0"), "ps ierr 1"));
  EXPECT_FALSE(std::filesystem::exists(ps_path()));
  // A box too small to hold any pixel inside its outline.
  p->cmd("draw 300 200 0 ramp");
  EXPECT_TRUE(contains(p->cmd("ps 0 10 13 10 30 0 0"), "ps ierr 1"));
  EXPECT_FALSE(std::filesystem::exists(ps_path()));
}
