// Overlay items on the picture: boxes, circles, ellipses, segments, points and
// texts set the top bit of exactly their pixels in the image window (and the
// zoom window), removal gives the picture's own values back, removal finds the
// recorded item, the lists hold their stated number of items, mirrored y, and
// input far outside the window's coordinate range.
#include <X11/Xlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/x11/probe_client.h"
#include "tests/x11/probe_patterns.h"

using probe::contains;
using probe::number_after;

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (x, y) window positions

constexpr int kNx = 600, kNy = 400;  // the ramp picture most tests draw

uint8_t picture(int x, int y) {
  if (x < 0 || y < 0 || x >= kNx || y >= kNy) return 254;  // the black cell around it
  return static_cast<uint8_t>(probe::pattern_value("ramp", x, y, kNx));
}

// The outline of the rectangle (x1, y1)-(x2, y2), both corners included.
Pixels outline(int x1, int y1, int x2, int y2) {
  Pixels out;
  for (int x = x1; x <= x2; ++x) out.insert({x, y1}), out.insert({x, y2});
  for (int y = y1; y <= y2; ++y) out.insert({x1, y}), out.insert({x2, y});
  return out;
}

class Vectors : public probe::ProbeTest {
 protected:
  void SetUp() override {
    probe::ProbeTest::SetUp();
    ASSERT_EQ(number_after(p->cmd("draw 600 400 0 ramp"), "ierr "), 0);
  }
  std::vector<uint8_t> shown(int x, int y, int w, int h) {
    return x11test::read_pixels(user->dpy(), image.id, x, y, w, h);
  }
  // The pixels of a window region that differ from the picture shifted by
  // (dx, dy); each must differ only by the top bit.
  Pixels marked(int x0, int y0, int w, int h, int dx = 0, int dy = 0) {
    auto seen = shown(x0, y0, w, h);
    Pixels out;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        uint8_t want = picture(x - dx, y - dy), got = seen[(y - y0) * w + x - x0];
        if (got == want) continue;
        EXPECT_EQ(got, want | 128) << "at " << x << "," << y;
        out.insert({x, y});
      }
    return out;
  }
  std::string counts() { return p->state()["counts"]; }
  std::vector<std::string> entries() { return p->cmd("entries"); }
  // Right click over image-window position (x, y): the zoom window opens there.
  x11test::WindowInfo open_zoom(int x, int y) {
    user->move(image.x + x, image.y + y);
    p->process().write_line("pump 1");
    user->click(3);
    p->process().read_until("<<done>>");
    return x11test::window_info(user->dpy(), p->window("zoom"));
  }
  void expect_no_x_error() {
    EXPECT_TRUE(p->process().running());
    EXPECT_EQ(p->process().stderr_text().find("Error detected"), std::string::npos);
  }
};

// The largest distance of a set of pixels from a point, and the smallest.
std::pair<double, double> distance_range(const Pixels& set, double cx, double cy) {
  double lo = 1e9, hi = 0;
  for (auto [x, y] : set) {
    double d = std::hypot(x - cx, y - cy);
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  }
  return {lo, hi};
}

}  // namespace

TEST_F(Vectors, EachItemMarksExactlyItsPixelsAndRemovalRestoresThePicture) {
  p->cmd("box 10 20 50 60");
  EXPECT_EQ(marked(0, 0, 80, 90), outline(10, 20, 50, 60));
  p->cmd("rmbox 10 20 50 60");
  EXPECT_TRUE(marked(0, 0, 80, 90).empty());

  // A horizontal and a diagonal segment, and a point.
  p->cmd("lines 2 100 200 160 200 100 220 140 260");
  p->cmd("point 300 150");
  Pixels want;
  for (int x = 100; x <= 160; ++x) want.insert({x, 200});
  for (int i = 0; i <= 40; ++i) want.insert({100 + i, 220 + i});
  EXPECT_EQ(marked(90, 190, 80, 80), want);
  EXPECT_EQ(marked(290, 140, 20, 20), (Pixels{{300, 150}}));
  p->cmd("rmlines 2 100 200 160 200 100 220 140 260");
  p->cmd("rmpoint 300 150");
  EXPECT_TRUE(marked(90, 190, 80, 80).empty());
  EXPECT_TRUE(marked(290, 140, 20, 20).empty());

  // A circle of radius 20 lies in its square, on the radius.
  p->cmd("circle 300 200 20");
  Pixels circle = marked(270, 170, 61, 61);
  EXPECT_GT(circle.size(), 80u);
  for (auto [x, y] : circle) {
    EXPECT_TRUE(x >= 280 && x <= 320 && y >= 180 && y <= 220) << x << "," << y;
  }
  auto [near, far] = distance_range(circle, 300, 200);
  EXPECT_GE(near, 18.5);
  EXPECT_LE(far, 21.5);
  p->cmd("rmcircle 300 200 20");
  EXPECT_TRUE(marked(270, 170, 61, 61).empty());

  // An ellipse of half-axes 30 and 10 is wide; turned by 90 degrees it is tall.
  auto extent = [](const Pixels& set) {
    int x1 = 9999, x2 = -1, y1 = 9999, y2 = -1;
    for (auto [x, y] : set)
      x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
    return std::vector<int>{x1, y1, x2, y2};
  };
  p->cmd("elipse 400 200 30 10 0");
  EXPECT_EQ(extent(marked(360, 160, 81, 81)), (std::vector<int>{370, 190, 430, 210}));
  p->cmd("rmall");
  EXPECT_TRUE(marked(360, 160, 81, 81).empty());
  p->cmd("elipse 400 200 30 10 90");
  EXPECT_EQ(extent(marked(360, 160, 81, 81)), (std::vector<int>{390, 170, 410, 230}));
  p->cmd("rmall");
  // A positive angle turns the long axis counter-clockwise on the screen: up
  // to the right, down to the left.
  p->cmd("elipse 400 200 30 10 45");
  Pixels turned = marked(360, 160, 81, 81);
  EXPECT_TRUE(turned.count({421, 179}) || turned.count({420, 179}) || turned.count({421, 180}));
  for (auto [x, y] : turned) EXPECT_FALSE(x > 415 && y > 215) << x << "," << y;
  p->cmd("rmall");

  // A text starts at its base line and rises above it.
  p->cmd("text 200 300 Hello");
  Pixels text = marked(180, 260, 120, 60);
  EXPECT_GT(text.size(), 20u);
  int above = 0;
  for (auto [x, y] : text) {
    EXPECT_TRUE(x >= 200 && y <= 303) << x << "," << y;
    above += y < 300;
  }
  EXPECT_GT(above, 20);
  p->cmd("rmtext 200 300 anything");
  EXPECT_TRUE(marked(180, 260, 120, 60).empty());

  // Items move with the panned picture; new ones go to image position + pan.
  p->cmd("box 10 20 50 60");
  p->cmd("pan 20 10");
  p->cmd("show 0");
  p->cmd("point 300 150");
  Pixels panned;
  for (auto [x, y] : outline(10, 20, 50, 60)) panned.insert({x + 20, y + 10});
  EXPECT_EQ(marked(20, 10, 80, 90, 20, 10), panned);
  EXPECT_EQ(marked(310, 150, 20, 20, 20, 10), (Pixels{{320, 160}}));
  p->cmd("rmbox 10 20 50 60");
  p->cmd("rmpoint 300 150");
  EXPECT_TRUE(marked(20, 10, 80, 90, 20, 10).empty());
  EXPECT_TRUE(marked(310, 150, 20, 20, 20, 10).empty());
}

TEST_F(Vectors, RemovalFindsTheRecordedItem) {
  // One coordinate off: nothing is removed. Corners in any order are the same box.
  p->cmd("box 50 20 10 60");
  EXPECT_TRUE(contains(entries(), "box 10 20 40 40 0"));
  p->cmd("rmbox 10 20 50 61");
  EXPECT_EQ(counts(), "1 0 0 0 0 0");
  EXPECT_EQ(marked(0, 0, 80, 90), outline(10, 20, 50, 60));
  p->cmd("rmbox 10 60 50 20");
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
  EXPECT_TRUE(marked(0, 0, 80, 90).empty());

  // Two identical circles: one removal takes one entry, and both are gone from
  // the screen because they share every pixel.
  p->cmd("circle 100 100 10");
  p->cmd("circle 100 100 10");
  p->cmd("rmcircle 100 100 10");
  EXPECT_EQ(counts(), "0 1 0 0 0 0");
  EXPECT_TRUE(marked(85, 85, 31, 31).empty());
  p->cmd("rmcircle 100 100 10");
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
  // Only the first match goes, however many there are.
  for (int i = 0; i < 3; ++i) p->cmd("circle 100 100 10");
  p->cmd("rmcircle 100 100 10");
  EXPECT_EQ(counts(), "0 2 0 0 0 0");
  p->cmd("rmall");

  // A real radius: the square's corner is the centre less the whole radius,
  // the diameter the whole part of twice the radius.
  p->cmd("circlef 100 100 7.6");
  EXPECT_TRUE(contains(entries(), "circle 93 93 15 0"));

  // Text loses its trailing blanks; it is removed by its position alone.
  p->cmd("text 200 300 abc   ");
  EXPECT_TRUE(contains(entries(), "text 200 300 3 [abc]"));
  p->cmd("rmtext 201 300 abc");
  EXPECT_EQ(counts(), "0 1 0 0 0 1");
  p->cmd("rmtext 200 300 xyz");
  EXPECT_EQ(counts(), "0 1 0 0 0 0");
  EXPECT_TRUE(marked(190, 270, 60, 40).empty());
  // Removing the first of two texts moves the second, string and all, into its place.
  p->cmd("text 20 300 first");
  p->cmd("text 20 340 second one");
  p->cmd("rmtext 20 300 x");
  EXPECT_TRUE(contains(entries(), "text 20 340 10 [second one]"));
}

TEST_F(Vectors, ListsHoldTheirNumberOfItems) {
  auto lines = p->cmd("manyboxes 10000 500 300", 300);
  EXPECT_FALSE(contains(lines, "Too many boxes"));
  EXPECT_TRUE(contains(p->cmd("box 1 1 5 5"), "Too many boxes, max_boxes too small."));
  EXPECT_EQ(counts(), "10000 0 0 0 0 0");
  EXPECT_EQ(marked(0, 0, 10, 10).size(), 0u);  // the refused box is not drawn
  p->cmd("rmall", 120);

  EXPECT_FALSE(contains(p->cmd("manylines 8192 10 10", 120), "Too many"));
  EXPECT_FALSE(contains(p->cmd("manylines 8190 10 10", 120), "Too many"));
  // Two of the three fit; the third is refused with a message.
  lines = p->cmd("lines 3 100 200 110 200 100 202 110 202 100 204 110 204");
  EXPECT_TRUE(contains(lines, "Too many lines, max_lines too small."));
  EXPECT_EQ(counts(), "0 0 0 16384 0 0");
  EXPECT_TRUE(contains(entries(), "line 100 202 110 202 0"));
  // Recorded segments are on the screen: a recorded segment that is not shown
  // would appear only on some later redraw.
  Pixels two;
  for (int x = 100; x <= 110; ++x) two.insert({x, 200}), two.insert({x, 202});
  EXPECT_EQ(marked(95, 195, 20, 15), two) << "segments recorded but not drawn";
  p->cmd("rmall", 120);

  // More segments than one call takes: the call is refused as a whole.
  EXPECT_TRUE(contains(p->cmd("manylines 8193 10 10", 120), "Too many lines for program"));
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
  EXPECT_TRUE(marked(5, 5, 20, 70).empty());

  // Removing "the most recent" hands it back; on an empty list nothing happens.
  p->cmd("lines 2 100 200 160 200 120 250 130 260");
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 120 250 130 260"));
  EXPECT_TRUE(contains(entries(), "line 100 200 160 200 0"));
  EXPECT_EQ(counts(), "0 0 0 1 0 0");
  EXPECT_TRUE(marked(115, 245, 20, 20).empty());
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 100 200 160 200"));
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 0 0 0 0 0"));
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
}

TEST_F(Vectors, ZoomWindowShowsTheItemsMagnifiedButNoEllipse) {
  p->cmd("box 195 145 205 155");
  p->cmd("elipse 200 150 2 1 0");
  auto zoom = open_zoom(200, 150);
  ASSERT_TRUE(zoom.mapped);
  ASSERT_EQ(zoom.width, 136);
  // Image position x appears in the middle of its magnified block, at
  // 68 + 8 (x - 200); the ellipse is left out.
  auto expected = [](const std::vector<Pixels>& boxes) {
    std::vector<uint8_t> out(136 * 136);
    for (int v = 0; v < 136; ++v)
      for (int u = 0; u < 136; ++u) out[v * 136 + u] = picture(u / 8 + 192, v / 8 + 142);
    for (const Pixels& box : boxes)
      for (auto [u, v] : box) out[v * 136 + u] |= 128;
    return out;
  };
  auto read_zoom = [&] { return x11test::read_pixels(user->dpy(), zoom.id, 0, 0, 136, 136); };
  const Pixels first = outline(28, 28, 108, 108);
  EXPECT_EQ(read_zoom(), expected({first}));

  // A box drawn while the zoom is shown goes there too, and its removal clears it.
  p->cmd("box 197 147 203 153");
  EXPECT_EQ(read_zoom(), expected({first, outline(44, 44, 92, 92)}));
  p->cmd("rmbox 197 147 203 153");
  EXPECT_EQ(read_zoom(), expected({first}));
  p->cmd("rmbox 195 145 205 155");
  EXPECT_EQ(read_zoom(), expected({}));
  p->cmd("zoomhide");
}

TEST_F(Vectors, MirroredYRunsUpFromTheImageAreaHeight) {
  ASSERT_EQ(number_after(p->cmd("draw 40 974 0 ramp"), "ierr "), 0);
  p->cmd("origin");
  EXPECT_EQ(p->state()["mirror"], "1 1230 974");
  p->cmd("point 10 12");
  auto seen = shown(10, 962, 1, 1);
  EXPECT_EQ(seen[0], probe::pattern_value("ramp", 10, 962, 40) | 128);
  EXPECT_EQ(shown(10, 12, 1, 1)[0], probe::pattern_value("ramp", 10, 12, 40));
  p->cmd("rmpoint 10 12");
  EXPECT_EQ(shown(10, 962, 1, 1)[0], probe::pattern_value("ramp", 10, 962, 40));
  // Segments come back from "most recent" removal in the caller's y.
  p->cmd("lines 1 5 12 20 12");
  EXPECT_TRUE(contains(entries(), "line 5 962 20 962 0"));
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 5 12 20 12"));
  // Box corners are mirrored before they are sorted.
  p->cmd("box 10 12 30 20");
  EXPECT_TRUE(contains(entries(), "box 10 954 20 8 0"));
  p->cmd("rmbox 30 12 10 20");
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
}

TEST_F(Vectors, CoordinatesBeyondTheWindowRangeAndBadFonts) {
  // A segment reaching far past both sides crosses the whole picture on its row.
  p->cmd("lines 1 -100000 5 100000 5");
  Pixels row;
  for (int x = 0; x < kNx; ++x) row.insert({x, 5});
  EXPECT_EQ(marked(0, 0, kNx, 10), row);
  p->cmd("rmall");

  // A box with a far corner: its near edges are drawn where they belong.
  p->cmd("box 100 100 40000 300");
  Pixels edges;
  for (int x = 100; x < kNx; ++x) edges.insert({x, 100}), edges.insert({x, 300});
  for (int y = 100; y <= 300; ++y) edges.insert({100, y});
  EXPECT_EQ(marked(0, 50, kNx, 300), edges);
  p->cmd("rmall");
  // Corners at the ends of the 32-bit range: the box's width does not fit in 32
  // bits, and its long edges must still cross the picture.
  p->cmd("box -2147483648 5 2147483647 8");
  Pixels rows;
  for (int x = 0; x < kNx; ++x) rows.insert({x, 5}), rows.insert({x, 8});
  EXPECT_EQ(marked(0, 0, kNx, 12), rows) << "a box spanning the 32-bit range is not drawn";
  p->cmd("rmall");
  p->cmd("circle 300 200 1000000000");
  p->cmd("circlef 300 200 3e30");
  p->cmd("elipse 300 200 2000000000 5 45");
  expect_no_x_error();
  EXPECT_EQ(counts(), "0 2 1 0 0 0");
  p->cmd("rmall");
  EXPECT_TRUE(marked(0, 0, kNx, kNy).empty());

  // A text is kept to 80 characters.
  p->cmd("text 10 300 " + std::string(100, 'x'));
  EXPECT_TRUE(contains(entries(), "text 10 300 80 [" + std::string(80, 'x') + "]"));

  // Fonts: number 0 does not exist; one that cannot be loaded is reported and
  // the text font stays what it was.
  EXPECT_NE(p->cmd("font 0")[0].find("ierr 1"), std::string::npos);
  auto before = p->cmd("font 2");
  ASSERT_NE(before[0].find("ierr 0"), std::string::npos);
  std::string id = before[0].substr(before[0].find(" id "));
  p->cmd("badfont 4");
  auto after = p->cmd("font 4");
  EXPECT_NE(after[0].find("ierr 1"), std::string::npos);
  EXPECT_EQ(after[0].substr(after[0].find(" id ")), id);
  EXPECT_NE(p->process().stderr_text().find("Cannot load font number 4"), std::string::npos);
  expect_no_x_error();
}

TEST_F(Vectors, DashesRemoveAllAndRedraw) {
  p->cmd("dash");
  p->cmd("lines 1 100 50 300 50");
  EXPECT_TRUE(contains(entries(), "line 100 50 300 50 1"));
  size_t dashed = marked(90, 45, 220, 10).size();
  EXPECT_GT(dashed, 40u);
  EXPECT_LT(dashed, 180u);
  p->cmd("solid");
  p->cmd("rmall");

  // A segment crossing a box and then removed clears the shared pixels; a
  // redraw puts the box back whole.
  p->cmd("box 10 20 50 60");
  p->cmd("lines 1 30 0 30 100");
  p->cmd("rmlines 1 30 0 30 100");
  Pixels damaged = outline(10, 20, 50, 60);
  damaged.erase({30, 20});
  damaged.erase({30, 60});
  EXPECT_EQ(marked(0, 0, 80, 110), damaged);
  p->cmd("redraw");
  EXPECT_EQ(marked(0, 0, 80, 110), outline(10, 20, 50, 60));

  // Everything goes at once.
  p->cmd("circle 300 200 20");
  p->cmd("elipse 400 200 30 10 30");
  p->cmd("lines 2 100 200 160 200 100 220 140 260");
  p->cmd("point 500 100");
  p->cmd("text 200 300 Hello");
  EXPECT_EQ(counts(), "1 1 1 2 1 1");
  p->cmd("rmall");
  EXPECT_EQ(counts(), "0 0 0 0 0 0");
  EXPECT_TRUE(marked(0, 0, kNx, kNy).empty());
}

TEST_F(Vectors, ScreenshotOfTheOverlays) {
  p->cmd("box 40 40 200 150");
  p->cmd("box 60 60 120 110");
  p->cmd("circle 300 100 50");
  p->cmd("circle 300 100 20");
  p->cmd("elipse 450 120 80 30 30");
  p->cmd("lines 3 20 300 580 300 20 380 200 200 200 200 400 380");
  p->cmd("dash");
  p->cmd("lines 1 20 320 580 320");
  p->cmd("solid");
  for (int i = 0; i < 10; ++i) p->cmd("point " + std::to_string(500 + 5 * i) + " 250");
  p->cmd("text 250 360 Tolsvik overlays");
  p->cmd("zoom 4 4 240 240");
  auto zoom = open_zoom(522, 262);  // over the row of points and the end of a segment
  ASSERT_TRUE(zoom.mapped);
  std::string folder = std::string(TOLSVIK_BIN_DIR) + "/../screenshots";
  mkdir(folder.c_str(), 0755);
  std::string path = folder + "/display_overlays.png";
  ASSERT_TRUE(x11test::screenshot(user->dpy(), path));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 1000);
  std::cout << "screenshot: " << path << "\n";
}
