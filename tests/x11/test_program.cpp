// The real program under its own X server: the project start menu, the movie of a stack with
// its pictures read back pixel by pixel (on the 8-bit screen a pixel is its colour index, here
// density x 125 / 250, exact in binary), quitting, and the run command's screenshot.
#include <signal.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "tests/support/test_maps.h"
#include "tests/support/x11_harness.h"

namespace {

namespace fs = std::filesystem;
using xdrive::ProgramWindow;

constexpr int kMainMenuItems = 21;

// Sections that differ everywhere: section z holds 60 z + (x + 2 y) mod 50.
float stack(int x, int y, int z) {
  return float(60 * z + (x + 2 * y) % 50);
}
uint8_t colour_index(double v) {
  return v > 0 ? static_cast<uint8_t>(std::floor(std::min(v, 125.0) + 0.5)) : 0;
}

// The program in `folder` on the test's server, and the user at its window.
struct Session {
  testsupport::Child program;
  xdrive::XUser user;
  std::unique_ptr<ProgramWindow> window;
  xdrive::WindowInfo image;

  Session(const xdrive::Xvfb& server, std::vector<std::string> args, const fs::path& folder)
      : program(with_program(args), server.display(), folder.string()), user(server.display()) {
    window = std::make_unique<ProgramWindow>(user, 30);
    image = window->image_info();
  }
  ~Session() {
    if (program.running()) kill(program.pid(), SIGTERM);
  }
  static std::vector<std::string> with_program(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(TOLSVIK_BIN_DIR) + "/tolsvik");
    return args;
  }
};

class Program : public ::testing::Test {
 protected:
  xdrive::Xvfb server;
  testsupport::TempFolder dir;
};

}  // namespace

TEST_F(Program, StartMenuOpensTheMaskedImageAndQuitEndsTheProgram) {
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", dir.path() / "demo",
           fs::copy_options::recursive);
  Session s(server, {}, dir.path() / "demo");
  s.window->choose(9, 2);  // the start menu of a masked image: "Display masked image"
  for (int question = 0; question < 4; ++question) s.window->answer("");
  s.window->click_item(s.window->wait_menu(kMainMenuItems), 21);  // "Return"
  s.window->choose(9, 9);                                         // "Quit"
  EXPECT_EQ(s.program.wait_exit(), 0);
  EXPECT_NE(s.program.out().find("!!! New style 21st century map : mdemo.tvk"), std::string::npos);

  // Without a display the run command shows the demo on a server of its own and saves the
  // screen: the picture right of the menu holds many grey levels of the picture cells.
  testsupport::Child shot({std::string(TOLSVIK_BIN_DIR) + "/demo_shot",
                           (dir.path() / "demo").string(), dir / "demo.png"});
  EXPECT_EQ(shot.wait_exit(120), 0) << shot.err();
  EXPECT_EQ(shot.out(), dir / "demo.png" + "\n");
  const testsupport::RgbPicture png = testsupport::read_png(dir / "demo.png");
  ASSERT_EQ(png.width, 1280);
  std::set<int> greys;
  for (int y = 400; y < 600; ++y)
    for (int x = 600; x < 800; ++x)
      greys.insert(png.at(x, y)[0] == png.at(x, y)[2] ? png.at(x, y)[0] : -1);
  EXPECT_GE(greys.size(), 20u);
  EXPECT_EQ(greys.count(-1), 0u) << "colours other than greys in the picture";
}

// A stack played as a movie while another client reads the whole screen over and over. The
// movie runs from the display's timer: its boxes are drawn before its second frame, and after a
// move of the delay slider frames keep coming and a menu choice gets through. (Scrolling picks
// its images in the dialogue tests; the slider's percentages are the display probe's.)
TEST_F(Program, MovieKeepsRunningWhileAnotherClientReadsTheScreen) {
  test_maps::write_image((dir.path() / "stack.map").string(), 30, 20, 3, stack);
  Session s(server, {}, dir.path());
  std::jthread reader([&](std::stop_token stop) {
    Display* d = XOpenDisplay(server.display().c_str());
    while (d != nullptr && !stop.stop_requested())
      XDestroyImage(XGetImage(d, DefaultRootWindow(d), 0, 0, 1280, 1024, AllPlanes, ZPixmap));
    if (d != nullptr) XCloseDisplay(d);
  });
  // The section on show: each is a stored image centred in the image area, map row 0 at its
  // top (-1: none of them).
  const int x0 = (s.image.width - 30) / 2, y0 = (s.image.height - 20) / 2;
  auto section = [&] {
    const std::vector<uint8_t> seen = xdrive::read_pixels(s.user.dpy(), s.image.id, x0, y0, 30, 20);
    for (int z = 0; z < 3; ++z) {
      size_t i = 0;
      while (i < seen.size() && seen[i] == colour_index(stack(i % 30, i / 30, z) * 0.5)) ++i;
      if (i == seen.size()) return z;
    }
    return -1;
  };
  // Counts the frames seen (changes of section) until `enough` says stop, or 30 s.
  int shown = 2, frames = 0;  // the last section stored is on show first
  auto watch = [&](const std::function<bool()>& enough) {
    for (const double end = xdrive::now_seconds() + 30; xdrive::now_seconds() < end;) {
      if (enough()) return true;
      const int now = section();
      if (now >= 0 && now != shown) shown = now, ++frames;
      xdrive::sleep_seconds(0.01);
    }
    return false;
  };
  for (const char* answer : {"stack.map", "", "", "0,250"}) s.window->answer(answer);
  s.window->choose(6, 5);  // "Movie display"
  const xdrive::WindowInfo menu = s.window->wait_menu(4);
  EXPECT_TRUE(watch([&] {  // every box over the picture shows black text
    for (const xdrive::WindowInfo& w : xdrive::window_tree(s.user.dpy(), s.window->form())) {
      if (w.level != 1 || !w.mapped || w.id == s.image.id) continue;
      const auto px = xdrive::read_pixels(s.user.dpy(), w.id, 0, 0, w.width, w.height);
      if (std::find(px.begin(), px.end(), 254) == px.end()) return false;
    }
    return true;
  }));
  EXPECT_LE(frames, 1) << "frames shown before the boxes were drawn";
  xdrive::WindowInfo slider{};  // the slider left of its colour bar
  for (const xdrive::WindowInfo& w : xdrive::window_tree(s.user.dpy(), s.window->form()))
    if (w.level == 2 && w.mapped && w.width == 128 && (!slider.id || w.x < slider.x)) slider = w;
  s.user.move(slider.x + slider.width / 20, slider.y + slider.height / 2);
  s.user.click(2);  // a delay of about 0.05 s
  frames = 0;
  EXPECT_TRUE(watch([&] { return frames >= 80; })) << frames << " frames";
  s.window->click_item(menu, 4);  // "Quit Tolsvik"
  EXPECT_EQ(s.program.wait_exit(), 0);
}
