// The real program under its own X server: the project start menu, maps of modes 12 and 6 and a
// stack scrolled, the pictures read back pixel by pixel (on the 8-bit screen a pixel is its colour
// index, here 125 / 250 per density step, exact in binary), quitting, the run command's screenshot.
#include <signal.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

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

  Session(const xdrive::Xvfb& server, std::vector<std::string> args, const fs::path& folder,
          const std::vector<std::string>& answers = {})
      : program(with_program(args), server.display(), folder.string()), user(server.display()) {
    for (const std::string& line : answers) program.write_line(line);
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
  // Waits until the window rectangle at (x, y) shows `want(column, row)` for every pixel
  // (rows from the top of the window).
  void expect_picture(int x, int y, int w, int h, const std::function<uint8_t(int, int)>& want,
                      const std::string& what) {
    std::vector<uint8_t> expected, seen;
    for (int r = y; r < y + h; ++r)
      for (int c = x; c < x + w; ++c) expected.push_back(want(c, r));
    for (const double end = xdrive::now_seconds() + 30; xdrive::now_seconds() < end;) {
      if ((seen = xdrive::read_pixels(user.dpy(), image.id, x, y, w, h)) == expected) return;
      xdrive::sleep_seconds(0.05);
    }
    size_t first = 0;
    while (seen[first] == expected[first]) ++first;
    ADD_FAILURE() << what << ": at window " << x + first % w << "," << y + first / w << " shown "
                  << int(seen[first]) << ", expected " << int(expected[first]) << "\n"
                  << program.out() << program.err();
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

// Maps python's mrcfile rewrote in the 16-bit image modes: one of mode 12 (little-endian, half
// precision from subnormals up), then ("Draw another map", "Clear screen") a stack of mode 6
// (big-endian, above the signed range), 250 steps between the density limits of each.
TEST_F(Program, Modes12And6ShowTheSliderScrollsThroughTheSectionsAndQuitEndsTheProgram) {
  test_maps::write_image(dir / "half.map", 30, 20, 1,
                         [](int x, int y, int) { return stack(x, y, 1) * 0x1p-20f; });
  test_maps::write_image(dir / "stack.map", 30, 20, 3,
                         [](int x, int y, int z) { return 65000 + stack(x, y, z); });
  ASSERT_EQ(test_maps::rewrite_with_mrcfile(dir / "half.map", 12, false) +
                test_maps::rewrite_with_mrcfile(dir / "stack.map", 6, true),
            "");
  Session s(server, {}, dir.path());
  for (const char* answer : {"half.map", "", "", "0,0.0002384185791015625", ""})
    s.window->answer(answer);
  // The single picture is centred in the image area, map row 0 lowest (at y0 + 20).
  const int x0 = (s.image.width - 30) / 2, y0 = (s.image.height - 20) / 2;
  s.expect_picture(
      x0, y0 + 1, 30, 20,
      [&](int c, int r) { return colour_index(stack(c - x0, y0 + 20 - r, 1) * 0.5); }, "mode 12");
  s.window->choose(kMainMenuItems, 10);  // "Draw another map"
  s.window->choose(3, 1);                // "Clear screen"
  for (const char* answer : {"stack.map", "", "", "65000,65250"}) s.window->answer(answer);
  s.window->choose(6, 4);  // "Scrolling display of sections"
  // Each section is a stored image centred in the image area, map row 0 at its top.
  auto section = [&](int z) {
    return [&, z](int col, int row) { return colour_index(stack(col - x0, row - y0, z) * 0.5); };
  };
  s.expect_picture(x0, y0, 30, 20, section(2), "the last section drawn");
  s.window->click_item(s.window->wait_menu(4), 1);  // "Scroll through sections"
  xdrive::WindowInfo slider{};
  const xdrive::WindowInfo box = s.window->next_box(
      [&](const xdrive::WindowInfo& w) {
        for (const xdrive::WindowInfo& kid : xdrive::window_tree(s.user.dpy(), w.id))
          if (kid.level == 1 && kid.mapped && kid.width == 128 && (!slider.id || kid.x < slider.x))
            slider = kid;
        return slider.id != 0;
      },
      "the slider box");
  (void)box;
  // At v percent the slider shows section round(v x 3 / 100), at most the last.
  for (auto [fraction, z] : {std::pair{0.05, 0}, {0.3, 1}, {0.8, 2}, {0.05, 0}}) {
    s.user.move(slider.x + int(fraction * slider.width), slider.y + slider.height / 2);
    s.user.click(2);
    s.expect_picture(x0, y0, 30, 20, section(z), "slider at " + std::to_string(fraction));
  }
  // A mark ends scrolling; the menu returns and "Quit Tolsvik" ends the program.
  s.user.move(s.image.x + s.image.width - 100, s.image.y + s.image.height - 100);
  s.user.click(1);
  s.window->choose(4, 4);
  EXPECT_EQ(s.program.wait_exit(), 0);
}
