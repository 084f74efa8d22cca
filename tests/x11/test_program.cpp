// The real program under its own X server: the project start menu, scrolling through a stack
// with the pictures read back pixel by pixel (on the 8-bit screen a pixel is its colour index,
// here density x 125 / 250, exact in binary), quitting, the run command's screenshot, and the
// demo filament straightened by both methods of "Splinefit image".
#include <signal.h>

#include <algorithm>
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

TEST_F(Program, SliderScrollsThroughTheSectionsAndQuitEndsTheProgram) {
  test_maps::write_image((dir.path() / "stack.map").string(), 30, 20, 3, stack);
  Session s(server, {}, dir.path());
  for (const char* answer : {"stack.map", "", "", "0,250"}) s.window->answer(answer);
  s.window->choose(6, 4);  // "Scrolling display of sections"
  // Each section is a stored image centred in the image area, map row 0 at its top.
  const int x0 = (s.image.width - 30) / 2, y0 = (s.image.height - 20) / 2;
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

// The demo filament boxed whole, its axis marked bottom to top, straightened by shear and by
// bending and written: in both maps the densest column of every row is the same, give or take
// a pixel.
TEST_F(Program, SplinefitStraightensTheDemoFilament) {
  fs::copy_file(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo" / "filament.tvk", dir / "filament.tvk");
  Session s(server, {}, dir.path());
  for (const char* answer : {"filament.tvk", "", "", "", ""}) s.window->answer(answer);
  constexpr int nx = 384, ny = 768;
  // Map (x, y) in the window: the section centred, map row 0 at the bottom.
  const int left = s.image.x + (s.image.width - nx) / 2;
  const int bottom = s.image.y + s.image.height - (s.image.height - ny) / 2;
  auto axis = [](double y) {  // the generator's curve
    return 0.5 * nx + 70 * std::sin(2 * M_PI * y / 1100 + 0.4) + 25 * std::sin(2 * M_PI * y / 430);
  };
  s.window->choose(kMainMenuItems, 18);  // "Splinefit image"
  s.window->wait_menu(2);
  s.user.move(left, bottom), s.user.press(1, true, 400);
  for (int i = 1; i <= 6; ++i) s.user.move(left + (nx - 1) * i / 6, bottom - (ny - 1) * i / 6);
  s.user.release(1, true);
  s.window->choose(3, 1);  // "Accept box"
  const xdrive::WindowInfo marking = s.window->wait_menu(4);
  for (int y = 6; y < ny; y += 24) {
    const int wx = left + int(std::lround(axis(y))), wy = bottom - y;
    // The program reads where the pointer is once it meets the click: the next click waits
    // until the point's circle is drawn.
    const auto before =
        xdrive::read_pixels(s.user.dpy(), s.image.id, wx - s.image.x - 3, wy - s.image.y - 3, 7, 7);
    s.user.move(wx, wy), s.user.click(1);
    for (const double end = xdrive::now_seconds() + 30;
         xdrive::read_pixels(s.user.dpy(), s.image.id, wx - s.image.x - 3, wy - s.image.y - 3, 7,
                             7) == before;) {
      ASSERT_LT(xdrive::now_seconds(), end) << "no mark at y = " << y << s.program.out();
      xdrive::sleep_seconds(0.02);
    }
  }
  s.window->click_item(marking, 3);  // "Finished spline"
  for (auto [method, file] : {std::pair{1, "shear.map"}, {2, "bent.map"}}) {
    s.window->choose(4, method);
    s.window->choose(3, 1);  // "Create image output file"
    s.window->answer(file);
    const xdrive::WindowInfo output = s.window->wait_menu(3);
    if (method == 2) {
      fs::create_directories(fs::path(TOLSVIK_BIN_DIR) / ".." / "screenshots");
      EXPECT_TRUE(xdrive::screenshot(
          s.user.dpy(), fs::path(TOLSVIK_BIN_DIR) / ".." / "screenshots" / "splinefit.png",
          "Zevar"));
    }
    s.window->click_item(output, method == 1 ? 2 : 3);  // further calculation, main menu
  }
  s.window->wait_menu(kMainMenuItems);
  for (const char* file : {"shear.map", "bent.map"}) {
    std::set<int> columns;
    test_maps::quietly([&] {
      int nxyz[3], mxyz[3], mode;
      float dmin, dmax, dmean;
      imopen(2, dir / file, "ro");
      irdhdr(2, nxyz, mxyz, mode, dmin, dmax, dmean);
      ASSERT_EQ(nxyz[0], nx);
      std::vector<float> row(nx);
      for (int y = 0; y < nxyz[1]; ++y) {
        irdlin(2, row.data());
        columns.insert(int(std::max_element(row.begin(), row.end()) - row.begin()));
      }
      imclose(2);
    });
    ASSERT_FALSE(columns.empty()) << file;
    EXPECT_LE(*columns.rbegin() - *columns.begin(), 2) << file;
  }
}
