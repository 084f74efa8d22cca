// Pictures as the user sees them: a drawn raster reads back from the window as
// exactly its colour indices, series of maps, the read-back flags, limits,
// panning with the middle button, the zoom window and the overlay area.
#include <X11/Xlib.h>

#include <string>

#include "tests/x11/probe_client.h"
#include "tests/x11/probe_patterns.h"

using probe::contains;
using probe::number_after;
using probe::Probe;

namespace {

class Picture : public probe::ProbeTest {
 protected:
  // Pixels of the image area, window coordinates.
  std::vector<uint8_t> shown(int x, int y, int w, int h) {
    return x11test::read_pixels(user->dpy(), image.id, x, y, w, h);
  }
};

std::vector<uint8_t> bytes(const std::vector<int32_t>& raster) {
  return std::vector<uint8_t>(raster.begin(), raster.end());
}

// Expected zoom window contents around image position (px, py).
std::vector<uint8_t> magnified(const std::string& name, int width, int height, int px, int py,
                               int factor, int size) {
  std::vector<uint8_t> out(static_cast<size_t>(size) * size);
  for (int v = 0; v < size; ++v)
    for (int u = 0; u < size; ++u) {
      int sx = u / factor + px - size / (2 * factor), sy = v / factor + py - size / (2 * factor);
      bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
      out[static_cast<size_t>(v) * size + u] =
          inside ? static_cast<uint8_t>(probe::pattern_value(name, sx, sy, width)) : 0;
    }
  return out;
}

}  // namespace

TEST_F(Picture, SingleMapShowsExactlyItsIndicesInTheTopLeftCorner) {
  EXPECT_EQ(number_after(p->cmd("draw 300 200 0 noise"), "ierr "), 0);
  EXPECT_EQ(shown(0, 0, 300, 200), bytes(probe::pattern("noise", 300, 200)));
  EXPECT_EQ(p->state()["pixmap"], "1230 974 at 0 0");
  // The rest of the image area is the black cell.
  for (uint8_t v : shown(300, 0, 50, 50)) ASSERT_EQ(v, 254);
  for (uint8_t v : shown(0, 200, 50, 50)) ASSERT_EQ(v, 254);

  // An all-zero raster is shown and flagged; a normal one is not.
  EXPECT_EQ(number_after(p->cmd("draw 300 200 0 zero"), "ierr "), 3);
  for (uint8_t v : shown(0, 0, 300, 200)) ASSERT_EQ(v, 0);
  EXPECT_EQ(number_after(p->cmd("draw 50 40 0 dot"), "ierr "), 0);

  // Clearing blanks the picture.
  p->cmd("clear");
  for (uint8_t v : shown(0, 0, 50, 40)) ASSERT_EQ(v, 254);
  EXPECT_NE(p->state()["flags"].find("image 0"), std::string::npos);
}

TEST_F(Picture, SeveralMapsAreCentredAndSwitched) {
  EXPECT_EQ(number_after(p->cmd("check 100 80 2"), "ierr "), 0);
  EXPECT_EQ(number_after(p->cmd("draw 100 80 0 ramp"), "ierr "), 0);
  EXPECT_EQ(number_after(p->cmd("draw 100 80 1 noise"), "ierr "), 0);
  EXPECT_EQ(p->state()["pixmap"], "100 80 at 565 447");
  EXPECT_EQ(shown(565, 447, 100, 80), bytes(probe::pattern("noise", 100, 80)));
  p->cmd("show 0");
  EXPECT_EQ(shown(565, 447, 100, 80), bytes(probe::pattern("ramp", 100, 80)));

  // 200 maps cannot be announced; the refusal does not stick to later calls.
  EXPECT_EQ(number_after(p->cmd("check 100 80 200"), "ierr "), 1);
  EXPECT_EQ(number_after(p->cmd("check 100 80 2"), "ierr "), 0);
  EXPECT_EQ(number_after(p->cmd("draw 100 80 1 diagonal"), "ierr "), 0);

  // With two maps announced the middle and right buttons do nothing.
  user->move(image.x + 600, image.y + 480);
  p->process().write_line("pump 2");
  user->drag(2, image.x + 600, image.y + 480, image.x + 650, image.y + 500);
  user->click(3);
  p->process().read_until("<<done>>");
  EXPECT_EQ(p->state()["pan"], "0 0");
  EXPECT_NE(p->state()["flags"].find("zoom 0"), std::string::npos);
}

TEST_F(Picture, RastersBeyondTheBuffersAreRefused) {
  auto lines = p->cmd("draw 16385 1 0 diagonal");
  EXPECT_EQ(number_after(lines, "ierr "), 1);
  EXPECT_TRUE(contains(lines, "cannot be shown"));
  EXPECT_EQ(number_after(p->cmd("draw 10 10 200 diagonal"), "ierr "), 1);
  EXPECT_EQ(number_after(p->cmd("overlay 100 100 3000 3000 diagonal"), "ierr "), 1);
  EXPECT_EQ(number_after(p->cmd("zoom 8 8 2000 2000"), "ierr "), 1);  // beyond the image area
  EXPECT_EQ(number_after(p->cmd("zoom 0 3 100 100"), "ierr "), 1);
  // The largest picture the buffer holds is still drawn.
  EXPECT_EQ(number_after(p->cmd("draw 16384 2 0 diagonal", 120), "ierr "), 0);
  EXPECT_TRUE(p->process().running());
}

TEST_F(Picture, MiddleButtonPansOnlyPastTenPixels) {
  p->cmd("draw 600 500 0 noise");
  const int x = image.x + 300, y = image.y + 250;
  p->process().write_line("pump 2");
  user->drag(2, x, y, x + 8, y + 1);  // 9 pixels: nothing moves
  p->process().read_until("<<done>>");
  EXPECT_EQ(p->state()["pan"], "0 0");
  EXPECT_EQ(shown(0, 0, 600, 500), bytes(probe::pattern("noise", 600, 500)));

  p->process().write_line("pump 2");
  user->drag(2, x, y, x + 8, y + 3);  // 11 pixels: the picture follows
  p->process().read_until("<<done>>");
  EXPECT_EQ(p->state()["pan"], "8 3");
  EXPECT_EQ(shown(8, 3, 600, 500), bytes(probe::pattern("noise", 600, 500)));
  for (uint8_t v : shown(0, 0, 8, 400)) ASSERT_EQ(v, 254);  // nothing stale left behind

  // Pointer readings subtract the pan.
  user->move(image.x + 108, image.y + 53);
  EXPECT_TRUE(contains(p->cmd("pointer"), "pointer 100 50"));
}

TEST_F(Picture, RightButtonZoomsTheMagnifiedPicture) {
  p->cmd("draw 600 500 0 noise");
  p->process().write_line("pump 1.5");
  user->move(image.x + 200, image.y + 150);
  user->click(3);
  p->process().read_until("<<done>>");
  auto state = p->state();
  EXPECT_NE(state["flags"].find("zoom 1"), std::string::npos);
  EXPECT_EQ(state["zoom_pointer"], "200 150");
  auto zoom = x11test::window_info(user->dpy(), p->window("zoom"));
  ASSERT_TRUE(zoom.mapped);
  EXPECT_EQ(zoom.width, 136);
  // The zoom window is centred on the pointer.
  EXPECT_EQ(zoom.x - image.x, 200 - 68);
  EXPECT_EQ(zoom.y - image.y, 150 - 68);
  EXPECT_EQ(x11test::read_pixels(user->dpy(), zoom.id, 0, 0, 136, 136),
            magnified("noise", 600, 500, 200, 150, 8, 136));

  // A click inside the zoom window reads the picture position it magnifies.
  user->move(zoom.x + 68 + 8 * 3, zoom.y + 68 - 8 * 2);
  EXPECT_TRUE(contains(p->cmd("pointer"), "pointer 203 148"));

  // At the picture's left edge the columns left of it are background 0. The
  // picture is panned right first, so that those columns are on the screen
  // (the main form clips the zoom window at its own left edge).
  p->cmd("pan 40 0");
  p->cmd("show 0");
  p->process().write_line("pump 1.5");
  user->move(image.x + 43, image.y + 150);
  user->click(3);
  p->process().read_until("<<done>>");
  zoom = x11test::window_info(user->dpy(), p->window("zoom"));
  const int hidden = std::max(0, image.x - 5 - zoom.x);
  auto expected = magnified("noise", 600, 500, 3, 150, 8, 136);
  auto seen = x11test::read_pixels(user->dpy(), zoom.id, hidden, 0, 136 - hidden, 136);
  int background = 0;
  for (int v = 0; v < 136; ++v)
    for (int u = hidden; u < 136; ++u) {
      ASSERT_EQ(seen[v * (136 - hidden) + u - hidden], expected[v * 136 + u]) << u << "," << v;
      background += u < 40;  // image columns -5 to -1
    }
  EXPECT_GT(background, 0);
  p->cmd("zoomhide");
  EXPECT_FALSE(x11test::window_info(user->dpy(), zoom.id).mapped);
}

TEST_F(Picture, ChangeZoomAdjustsFactorAndSize) {
  EXPECT_EQ(number_after(p->cmd("zoom 5 5 200 200"), "ierr "), 0);
  EXPECT_EQ(p->state()["zoom"], "4 4 204 204");  // 51 magnified pixels of 4
  EXPECT_EQ(number_after(p->cmd("zoom 1 1 200 200"), "ierr "), 0);
  EXPECT_EQ(p->state()["zoom"], "1 1 200 200");
  EXPECT_EQ(number_after(p->cmd("zoom 3 2 101 40"), "ierr "), 0);
  EXPECT_EQ(p->state()["zoom"], "2 2 102 42");
  EXPECT_NE(p->state()["flags"].find("zoom 0"), std::string::npos);  // tried, not shown

  // The new size is what the right button opens.
  p->cmd("draw 400 300 0 ramp");
  p->process().write_line("pump 1.5");
  user->move(image.x + 100, image.y + 100);
  user->click(3);
  p->process().read_until("<<done>>");
  auto zoom = x11test::window_info(user->dpy(), p->window("zoom"));
  EXPECT_EQ(zoom.width, 102);
  EXPECT_EQ(zoom.height, 42);
}

TEST_F(Picture, OverlayIsCentredOnItsPosition) {
  p->cmd("draw 600 500 0 ramp");
  EXPECT_EQ(number_after(p->cmd("overlay 300 200 64 32 noise"), "ierr "), 0);
  p->cmd("pump 0.3");  // the overlay is copied to the screen when it is exposed
  auto overlay = x11test::window_info(user->dpy(), p->window("overlay"));
  ASSERT_TRUE(overlay.mapped);
  EXPECT_EQ(overlay.width, 64);
  EXPECT_EQ(overlay.height, 32);
  EXPECT_EQ(overlay.x - image.x, 300 - 32);
  EXPECT_EQ(overlay.y - image.y, 200 - 16);
  EXPECT_EQ(x11test::read_pixels(user->dpy(), overlay.id, 0, 0, 64, 32),
            bytes(probe::pattern("noise", 64, 32)));
  p->cmd("overlayhide");
  EXPECT_FALSE(x11test::window_info(user->dpy(), overlay.id).mapped);
}

TEST_F(Picture, LeftClickMarksTheImagePositionMirroredOnRequest) {
  p->cmd("draw 600 500 0 ramp");
  user->move(image.x + 123, image.y + 45);
  user->click(1);
  EXPECT_TRUE(contains(p->cmd("wait 5"), "job 0"));
  EXPECT_TRUE(contains(p->cmd("pointer"), "pointer 123 45"));

  // Mirrored y runs up from the reference height (the image area's for a
  // picture smaller than it).
  p->cmd("origin");
  EXPECT_TRUE(contains(p->cmd("pointer"), "pointer 123 929"));
  p->process().write_line("readpointer");
  p->process().read_until("waiting");
  user->move(image.x + 10, image.y + 474);
  user->click(1);
  EXPECT_TRUE(contains(p->process().read_until("<<done>>"), "pointer 10 500"));
}
