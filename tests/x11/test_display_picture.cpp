// Pictures and the items drawn over them, read back from the screen: a raster shows exactly
// its colour indices where it belongs, series of maps, refusals, panning, the zoom window, the
// overlay area, marks; boxes, circles, ellipses, segments, points and texts (one or many at a
// time) set the top bit of exactly their pixels, and removing them gives the picture back.
#include <algorithm>
#include <cmath>
#include <set>

#include "tests/x11/probe.h"

using namespace probe;

namespace {

using Pixels = std::set<std::pair<int, int>>;  // (x, y) window positions
constexpr uint8_t kBackground = 127;           // the cell round and behind the pictures

Pixels outline(int x1, int y1, int x2, int y2) {
  Pixels out;
  for (int x = x1; x <= x2; ++x) out.insert({x, y1}), out.insert({x, y2});
  for (int y = y1; y <= y2; ++y) out.insert({x1, y}), out.insert({x2, y});
  return out;
}

// Expected zoom window contents around picture position (px, py) of a raster.
std::vector<uint8_t> magnified(const std::string& name, int w, int h, int px, int py, int f,
                               int size) {
  std::vector<uint8_t> out;
  for (int v = 0; v < size; ++v)
    for (int u = 0; u < size; ++u) {
      const int x = u / f + px - size / (2 * f), y = v / f + py - size / (2 * f);
      out.push_back(x >= 0 && x < w && y >= 0 && y < h ? value(name, x, y, w) : kBackground);
    }
  return out;
}

class Picture : public ProbeTest {
 protected:
  // Middle-button drag by (dx, dy) from picture position (x, y).
  void drag(int button, int x, int y, int dx, int dy, bool ctrl = false) {
    move(x, y);
    user->press(button, ctrl);
    for (int i = 1; i <= 4; ++i) move(x + dx * i / 4, y + dy * i / 4);
    user->release(button, ctrl);
  }
  // Right click at picture position (x, y): the zoom window of the given size opens there,
  // showing `content` once exposed (when given).
  WindowInfo open_zoom(int x, int y, int size, const std::vector<uint8_t>& content = {}) {
    WindowInfo zoom;
    click_at(x, y, 3, 0, [&] {
      zoom = box(size, 0);
      return zoom.id &&
             (content.empty() || xdrive::read_pixels(dpy(), zoom.id, 0, 0, size, size) == content);
    });
    return zoom;
  }
  // The pixels of a region that differ from the ramp picture (kNx wide, shifted by dx, dy);
  // each must differ by the top bit only.
  Pixels marked(int x0, int y0, int w, int h, int dx = 0, int dy = 0) {
    const auto seen = shown(x0, y0, w, h);
    Pixels out;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        const int px = x - dx, py = y - dy;
        const uint8_t want =
            px < 0 || py < 0 || px >= kNx || py >= kNy ? kBackground : value("ramp", px, py, kNx);
        const uint8_t got = seen[(y - y0) * w + x - x0];
        if (got == want) continue;
        EXPECT_EQ(got, want | 128) << "at " << x << "," << y;
        out.insert({x, y});
      }
    return out;
  }
  static constexpr int kNx = 600, kNy = 400;  // the ramp the item tests draw
};

}  // namespace

TEST_F(Picture, OneMapShowsExactlyItsIndicesAndRefusalsDoNotStick) {
  EXPECT_EQ(number_after(p->cmd("draw 300 200 0 noise"), "ierr "), 0);
  EXPECT_EQ(shown(0, 0, 300, 200), pattern_bytes("noise", 300, 200));
  for (auto [x, y] : {std::pair{300, 0}, {0, 200}})  // the rest is the background
    for (uint8_t v : shown(x, y, 50, 50)) ASSERT_EQ(v, kBackground);
  // An all-zero raster is shown and flagged; clearing blanks the picture.
  EXPECT_EQ(number_after(p->cmd("draw 300 200 0 zero"), "ierr "), 3);
  for (uint8_t v : shown(0, 0, 300, 200)) ASSERT_EQ(v, 0);
  p->cmd("clear");
  for (uint8_t v : shown(0, 0, 50, 40)) ASSERT_EQ(v, kBackground);

  // Two maps of 100 x 80 are centred in the image area and switched.
  EXPECT_EQ(number_after(p->cmd("check 100 80 2"), "ierr "), 0);
  p->cmd("draw 100 80 0 ramp");
  p->cmd("draw 100 80 1 noise");
  const int x0 = (image.width - 100) / 2, y0 = (image.height - 80) / 2;
  EXPECT_EQ(shown(x0, y0, 100, 80), pattern_bytes("noise", 100, 80));
  // Items and pointer readings are placed on the centred picture, not on the margin.
  move(x0 + 30, y0 + 20);
  EXPECT_EQ(p->cmd("pointer"), std::vector<std::string>{"pointer 30 20"});
  p->cmd("point 10 15");
  p->cmd("show 1");  // redrawn from the stored picture: in the same place
  EXPECT_EQ(at(x0 + 10, y0 + 15), value("noise", 10, 15, 100) | 128);
  p->cmd("rmall");
  p->cmd("show 0");
  EXPECT_EQ(shown(x0, y0, 100, 80), pattern_bytes("ramp", 100, 80));
  // With two maps the middle and right buttons do nothing.
  acting([&] { drag(2, 600, 480, 50, 20), user->click(3); });
  EXPECT_EQ(shown(x0, y0, 100, 80), pattern_bytes("ramp", 100, 80));
  EXPECT_EQ(boxes().size(), 0u);
  // What the buffers cannot hold is refused, and later requests are served.
  for (const char* refused :
       {"draw 16385 1 0 diagonal", "draw 10 10 200 diagonal", "overlay 100 100 3000 3000 diagonal",
        "zoom 8 8 2000 2000", "zoom 0 3 100 100", "check 100 80 200"})
    EXPECT_EQ(number_after(p->cmd(refused), "ierr "), 1) << refused;
  p->cmd("draw 300 200 0 noise");  // a single picture after a refused series is shown
  EXPECT_EQ(shown(0, 0, 300, 200), pattern_bytes("noise", 300, 200));
  EXPECT_EQ(number_after(p->cmd("check 100 80 2"), "ierr "), 0);
  EXPECT_EQ(number_after(p->cmd("draw 16384 2 0 diagonal"), "ierr "), 0);
}

TEST_F(Picture, MiddleButtonPansPastTenPixelsAndReadingsSubtractThePan) {
  p->cmd("draw 600 500 0 noise");
  const auto noise = pattern_bytes("noise", 600, 500);
  // The drag is measured from where the probe first reads the pointer: a drag of 9 pixels
  // moves nothing, wherever that is.
  acting([&] { drag(2, 300, 250, 8, 1); });
  EXPECT_EQ(shown(0, 0, 600, 500), noise);
  // Dragged on pixel by pixel, the picture follows once the pointer went past 10 pixels.
  int moved = 0;
  acting([&] {
    move(300, 250);
    user->press(2);
    while (moved < 60 && shown(0, 0, 600, 500) == noise) move(300 + ++moved, 250);
    user->release(2);
  });
  int pan = 11;
  while (pan <= moved && shown(pan, 0, 600, 500) != noise) ++pan;
  ASSERT_LE(pan, moved) << "the picture did not follow the drag";
  for (uint8_t v : shown(0, 0, pan, 500)) ASSERT_EQ(v, kBackground);  // nothing stale left
  move(pan + 100, 50);
  EXPECT_EQ(p->cmd("pointer"), std::vector<std::string>{"pointer 100 50"});

  // A pan set by the program shows at once, and the overlay moves with the picture: a reading
  // over it is turned into the same raster position, mirrored or not.
  p->cmd("overlay 300 200 64 32 ramp");
  p->cmd("pan 20 10");
  EXPECT_EQ(shown(20, 10, 600, 150), pattern_bytes("noise", 600, 150));  // above the overlay
  const WindowInfo o = box(64, 32);  // centred on its position, moved by the pan
  EXPECT_EQ(std::pair(o.x - image.x, o.y - image.y), std::pair(300 - 32 + 20, 200 - 16 + 10));
  move(300 - 32 + 20 + 5, 200 - 16 + 10 + 7);
  EXPECT_EQ(p->cmd("overlaypos"), std::vector<std::string>{"raster 5 7 1"});
  p->cmd("origin");
  EXPECT_EQ(p->cmd("overlaypos"), std::vector<std::string>{"raster 5 7 1"});
  move(10, 10);
  EXPECT_EQ(p->cmd("overlaypos"), std::vector<std::string>{"raster -278 -184 0"});
}

TEST_F(Picture, RightButtonOpensTheZoomWindowOfTheChosenSize) {
  p->cmd("draw 600 500 0 noise");
  const auto content = magnified("noise", 600, 500, 200, 150, 8, 136);
  WindowInfo zoom = open_zoom(200, 150, 136, content);  // 17 magnified pixels of 8
  ASSERT_NE(zoom.id, 0u);
  EXPECT_EQ(zoom.x - image.x, 200 - 68);  // centred on the pointer
  EXPECT_EQ(zoom.y - image.y, 150 - 68);
  EXPECT_EQ(xdrive::read_pixels(dpy(), zoom.id, 0, 0, 136, 136), content);
  user->move(zoom.x + 68 + 8 * 3, zoom.y + 68 - 8 * 2);  // reads the position it magnifies
  EXPECT_EQ(p->cmd("pointer"), std::vector<std::string>{"pointer 203 148"});
  p->cmd("zoomhide");
  EXPECT_EQ(boxes().size(), 0u);

  // Factors and sizes are made even and odd multiples; the new size is what opens next.
  const struct {
    const char* request;
    int w, h;
  } sizes[] = {
      {"zoom 5 5 200 200", 204, 204}, {"zoom 1 1 200 200", 200, 200}, {"zoom 3 2 101 40", 102, 42}};
  for (const auto& s : sizes) {
    EXPECT_EQ(number_after(p->cmd(s.request), "ierr "), 0);
    EXPECT_EQ(open_zoom(300, 300, s.w).height, s.h) << s.request;
    p->cmd("zoomhide");
  }
}

TEST_F(Picture, OverlayShowsItsRasterAndMarksAreMirroredOnRequest) {
  p->cmd("draw 600 974 0 ramp");
  EXPECT_EQ(number_after(p->cmd("overlay 300 200 64 32 noise"), "ierr "), 0);
  WindowInfo overlay = box(64, 32);
  ASSERT_NE(overlay.id, 0u);
  const auto noise = pattern_bytes("noise", 64, 32);
  acting([] {}, 0, true,  // copied to the screen when exposed
         [&] { return xdrive::read_pixels(dpy(), overlay.id, 0, 0, 64, 32) == noise; });
  EXPECT_EQ(xdrive::read_pixels(dpy(), overlay.id, 0, 0, 64, 32), noise);
  p->cmd("overlayhide");
  EXPECT_EQ(boxes().size(), 0u);

  EXPECT_EQ(click_at(123, 45), std::vector<std::string>{"job 0"});
  EXPECT_EQ(p->cmd("pointer"), std::vector<std::string>{"pointer 123 45"});
  // Mirrored y runs up from the image area's height for a smaller picture, for marks and
  // for items: box corners are mirrored before they are sorted.
  p->cmd("origin");
  EXPECT_EQ(p->cmd("pointer"), std::vector<std::string>{"pointer 123 929"});
  p->cmd("box 10 12 30 20");
  EXPECT_EQ(at(10, 954), value("ramp", 10, 954, 600) | 128);
  p->cmd("lines 1 5 12 20 12");
  EXPECT_EQ(at(5, 962), value("ramp", 5, 962, 600) | 128);
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 5 12 20 12"));
  p->cmd("rmbox 30 12 10 20");
  EXPECT_EQ(at(10, 954), value("ramp", 10, 954, 600));
  p->send("readpointer");
  p->child().read_until("waiting");
  move(10, 474);
  user->click(1);
  EXPECT_TRUE(contains(p->finish(), "pointer 10 500"));
}

TEST_F(Picture, EachItemMarksExactlyItsPixelsAndRemovalRestoresThePicture) {
  p->cmd("draw 600 400 0 ramp");
  Pixels segments;
  for (int x = 100; x <= 160; ++x) segments.insert({x, 200});
  for (int i = 0; i <= 40; ++i) segments.insert({100 + i, 220 + i});
  const struct {
    std::string draw, remove;
    int x, y, w, h;
    Pixels want;
  } items[] = {
      {"box 10 20 50 60", "rmbox 10 20 50 60", 0, 0, 80, 90, outline(10, 20, 50, 60)},
      {"box 590 390 620 420", "rmbox 590 390 620 420", 580, 380, 50, 50,
       outline(590, 390, 620, 420)},  // erased over the background, it stays background
      {"box 50 60 10 20", "rmbox 10 20 50 60", 0, 0, 80, 90, outline(10, 20, 50, 60)},
      {"lines 2 100 200 160 200 100 220 140 260", "rmlines 2 100 200 160 200 100 220 140 260", 90,
       190, 80, 80, segments},
      {"point 300 150", "rmpoint 300 150", 290, 140, 20, 20, {{300, 150}}},
      {"lines 1 -100000 5 100000 5", "rmall", 0, 0, kNx, 10, outline(0, 5, kNx - 1, 5)},
      {"box -2147483648 5 2147483647 8", "rmall", 0, 0, kNx, 12,
       [] {
         Pixels rows = outline(0, 5, kNx - 1, 5);
         rows.merge(outline(0, 8, kNx - 1, 8));
         return rows;
       }()},
  };
  // Each is drawn twice: it is one item on the screen, and after its removal a redraw of the
  // recorded items does not bring it back.
  for (const auto& item : items) {
    p->cmd(item.draw), p->cmd(item.draw);
    EXPECT_EQ(marked(item.x, item.y, item.w, item.h), item.want) << item.draw;
    p->cmd(item.remove), p->cmd("redraw");
    EXPECT_TRUE(marked(item.x, item.y, item.w, item.h).empty()) << item.remove;
  }

  // A circle of radius 20 lies on its radius.
  p->cmd("circle 300 200 20"), p->cmd("circle 300 200 20");
  const Pixels circle = marked(270, 170, 61, 61);
  EXPECT_GT(circle.size(), 80u);
  for (auto [x, y] : circle) EXPECT_NEAR(std::hypot(x - 300, y - 200), 20, 1.5) << x << "," << y;
  p->cmd("rmcircle 300 200 20"), p->cmd("redraw");
  EXPECT_TRUE(marked(270, 170, 61, 61).empty());

  // Ellipses of half-axes 30 and 10: wide, tall when turned by 90 degrees, and turned
  // counter-clockwise on the screen by a positive angle (up on the right).
  auto extent = [](const Pixels& set) {
    int x1 = 9999, x2 = -1, y1 = 9999, y2 = -1;
    for (auto [x, y] : set)
      x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
    return std::vector<int>{x1, y1, x2, y2};
  };
  const struct {
    int angle;
    std::vector<int> extent;
  } ellipses[] = {{0, {370, 190, 430, 210}}, {90, {390, 170, 410, 230}}};
  for (const auto& e : ellipses) {
    p->cmd("elipse 400 200 30 10 " + std::to_string(e.angle));
    EXPECT_EQ(extent(marked(360, 160, 81, 81)), e.extent) << e.angle;
    p->cmd("rmall");
  }
  p->cmd("elipse 400 200 30 10 45");
  const Pixels turned = marked(360, 160, 81, 81);
  EXPECT_TRUE(turned.count({421, 179}) || turned.count({420, 179}) || turned.count({421, 180}));
  for (auto [x, y] : turned) EXPECT_FALSE(x > 415 && y > 215) << x << "," << y;
  p->cmd("rmall");

  // A text starts at its base line and rises above it; it is removed by its position.
  p->cmd("text 200 300 Hello"), p->cmd("text 200 300 Hello");
  const Pixels text = marked(180, 260, 120, 60);
  EXPECT_GT(text.size(), 20u);
  for (auto [x, y] : text) EXPECT_TRUE(x >= 200 && y <= 303) << x << "," << y;
  p->cmd("rmtext 201 300 Hello");
  EXPECT_EQ(marked(180, 260, 120, 60), text) << "removed by a position one off";
  p->cmd("rmtext 200 300 anything"), p->cmd("redraw");
  EXPECT_TRUE(marked(180, 260, 120, 60).empty());

  // Many points, circles or boxes in one call mark what as many single calls do, and go
  // in one call.
  for (const std::string kind : {"point", "circle", "box"}) {
    p->cmd("many " + kind + " 20 100 300 10 single");
    const Pixels single = marked(90, 290, 220, 20);
    p->cmd("rmall");
    p->cmd("many " + kind + " 20 100 300 10");
    EXPECT_EQ(marked(90, 290, 220, 20), single) << kind;
    p->cmd("many " + kind + " 20 100 300 10 rm"), p->cmd("redraw");
    EXPECT_TRUE(marked(90, 290, 220, 20).empty()) << kind;
  }

  // Items move with the panned picture; new ones go to their position plus the pan.
  p->cmd("box 10 20 50 60");
  p->cmd("pan 20 10");
  p->cmd("point 300 150");
  Pixels panned = {{320, 160}};
  for (auto [x, y] : outline(10, 20, 50, 60)) panned.insert({x + 20, y + 10});
  EXPECT_EQ(marked(20, 10, 320, 160, 20, 10), panned);
  p->cmd("rmbox 10 20 50 61");  // one coordinate off: nothing removed
  EXPECT_EQ(marked(20, 10, 320, 160, 20, 10), panned);
  p->cmd("rmbox 10 20 50 60");
  p->cmd("rmpoint 300 150");
  EXPECT_TRUE(marked(20, 10, 320, 160, 20, 10).empty());
}

TEST_F(Picture, RemovalTakesOneRecordedItemAndTheListsHoldTheirNumber) {
  p->cmd("draw 600 400 0 ramp");
  // Removing the most recent segment hands it back; on an empty list nothing happens.
  p->cmd("rmall");
  p->cmd("lines 2 100 200 160 200 120 250 130 260");
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 120 250 130 260"));
  EXPECT_TRUE(marked(115, 245, 20, 20).empty());
  EXPECT_FALSE(marked(95, 195, 70, 10).empty());
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 1 100 200 160 200"));
  EXPECT_TRUE(contains(p->cmd("rmlines 0"), "removed 0 0 0 0 0"));

  // 10000 boxes fit, the next is refused and not drawn; 16384 segments fit, the next is
  // refused; more than 8192 in one call are refused as a whole.
  EXPECT_FALSE(contains(p->cmd("many box 10000 500 300 0"), "Too many"));
  EXPECT_TRUE(contains(p->cmd("box 1 1 5 5"), "Too many boxes, max_boxes too small."));
  EXPECT_TRUE(marked(0, 0, 10, 10).empty());
  p->cmd("rmall");
  // Items wholly off the picture are not recorded, so a lattice reaching far beyond it leaves
  // room for the marks that show; a call for more than a list holds says so once.
  EXPECT_FALSE(contains(p->cmd("many circle 10000 -900 -900 0 single"), "Too many"));
  p->cmd("circle 100 100 5");
  EXPECT_FALSE(marked(90, 90, 21, 21).empty());
  const auto full = p->cmd("many circle 10005 200 200 0");
  EXPECT_EQ(std::count(full.begin(), full.end(), "Too many circles, max_circles too small."), 1);
  p->cmd("rmall");
  EXPECT_FALSE(contains(p->cmd("manylines 8192 10 10"), "Too many"));
  EXPECT_FALSE(contains(p->cmd("manylines 8190 10 10"), "Too many"));
  EXPECT_TRUE(contains(p->cmd("lines 3 100 200 110 200 100 202 110 202 100 204 110 204"),
                       "Too many lines, max_lines too small."));
  Pixels two = outline(100, 200, 110, 200);
  two.merge(outline(100, 202, 110, 202));
  EXPECT_EQ(marked(95, 195, 20, 15), two) << "segments recorded are drawn, the refused one not";
  p->cmd("rmall");
  EXPECT_TRUE(contains(p->cmd("manylines 8193 10 10"), "Too many lines for program"));
  EXPECT_TRUE(marked(5, 5, 20, 70).empty());

  // Dashed segments mark part of their pixels; everything goes at once.
  p->cmd("dash");
  p->cmd("lines 1 100 50 300 50");
  EXPECT_NEAR(marked(90, 45, 220, 10).size(), 110, 70);
  p->cmd("solid");
  for (const char* item : {"circle 300 200 1000000000", "elipse 300 200 2000000000 5 45",
                           "circle 300 200 20", "point 500 100", "text 200 300 Hello"})
    p->cmd(item);
  p->cmd("rmall");
  EXPECT_TRUE(marked(0, 0, kNx, kNy).empty());
  EXPECT_EQ(p->child().err().find("Error detected"), std::string::npos);
  EXPECT_EQ(p->cmd("font 0"), std::vector<std::string>{"ierr 1"});  // there is no font 0
}

TEST_F(Picture, ZoomWindowShowsTheItemsMagnifiedButNoEllipse) {
  p->cmd("draw 600 400 0 ramp");
  p->cmd("box 195 145 205 155");
  p->cmd("elipse 200 150 2 1 0");
  // Picture position x shows in the middle of its block, at 68 + 8 (x - 200).
  auto expected = [](const std::vector<Pixels>& marks) {
    std::vector<uint8_t> out = magnified("ramp", kNx, kNy, 200, 150, 8, 136);
    for (const Pixels& m : marks)
      for (auto [u, v] : m) out[v * 136 + u] |= 128;
    return out;
  };
  const WindowInfo zoom = open_zoom(200, 150, 136, expected({outline(28, 28, 108, 108)}));
  ASSERT_NE(zoom.id, 0u);
  auto seen = [&] { return xdrive::read_pixels(dpy(), zoom.id, 0, 0, 136, 136); };
  EXPECT_EQ(seen(), expected({outline(28, 28, 108, 108)}));
  p->cmd("box 197 147 203 153");  // drawn while the zoom is shown: there too
  EXPECT_EQ(seen(), expected({outline(28, 28, 108, 108), outline(44, 44, 92, 92)}));
  p->cmd("rmbox 197 147 203 153");
  p->cmd("rmbox 195 145 205 155");
  EXPECT_EQ(seen(), expected({}));
}
