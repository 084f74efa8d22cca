// The real program under its own X server: start-up answers from standard input, the pictures
// it shows (read back pixel by pixel: on the 8-bit screen a pixel is its colour index), the
// project start menu, scrolling through a stack, quitting, and the run command's screenshot of
// the demo.
//
// The expected colour indices are computed here from the densities the test writes: index =
// (density - low) x 125 / (high - low), rounded half away from zero and kept to 0..125. The
// limits make this scale exact in binary, so the order of the program's steps cannot matter.
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
using Density = std::function<float(int x, int y, int z)>;

constexpr int kMainMenuItems = 21;

struct TestMap {
  int nx, ny, nz, mode;
  Density f;  // the density (for a transform: re, im at x = 2h, 2h + 1)
};

void write(const fs::path& path, const TestMap& m) {
  const int per = m.mode == 4 ? 2 : 1;
  test_maps::write_rows(path.string(), m.nx, m.ny, m.nz, m.mode, [&](int y, int z, float* row) {
    for (int x = 0; x < per * m.nx; ++x) row[x] = m.f(x, y, z);
  });
}

// Integer densities -25 .. 274: with the limits 0 and 250 some fall below, some above, and
// some on a half step (125 gives 62.5, shown as 63).
const TestMap kReal{64, 48, 1, 2,
                    [](int x, int y, int) { return float((x * 11 + y * 7) % 300 - 25); }};
const TestMap kShorts{40, 30, 1, 1,
                      [](int x, int y, int) { return float((x * 97 + y * 31) % 2000 - 1000); }};
// Sections that differ everywhere: section z holds 60 z + (x + 2 y) mod 50.
const TestMap kStack{30, 20, 3, 2,
                     [](int x, int y, int z) { return float(60 * z + (x + 2 * y) % 50); }};
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
    try {
      window = std::make_unique<ProgramWindow>(user, 30);
    } catch (const std::exception& e) {
      throw std::runtime_error(e.what() + ("\n" + program.out() + program.err()));
    }
    image = window->image_info();
  }
  ~Session() {
    if (program.running()) kill(program.pid(), SIGTERM);
  }
  static std::vector<std::string> with_program(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(TOLSVIK_BIN_DIR) + "/tolsvik");
    return args;
  }
  // Start-up is over when the main menu shows; "Hide menu/labels" then clears the view.
  void hide_boxes() {
    window->choose(kMainMenuItems, 5);
    window->answer("");  // "Type any key to acknowledge and continue"
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

// A section shown from map column first_x, row first_y with the given compression, density
// limits and centre (screen coordinates from the bottom left; -1: the middle): map row first_y
// lowest on the screen. Checked with a frame of two pixels of cleared raster around it.
void expect_section(Session& s, const TestMap& m, std::vector<int> limits, int c, double low,
                    double high, int cx, int cy, const std::string& what) {
  const int w = (limits[1] - limits[0] + 1) / c, h = (limits[3] - limits[2] + 1) / c;
  const int W = s.image.width, H = s.image.height;
  const int x1 = (cx < 0 ? W / 2 : cx) - w / 2, y1 = (cy < 0 ? H / 2 : cy) - h / 2;
  s.expect_picture(
      x1 - 2, H - (y1 + h - 1) - 2, w + 4, h + 4,
      [&](int col, int row) -> uint8_t {
        const int i = col - x1, j = H - row - y1;
        if (i < 0 || i >= w || j < 0 || j >= h) return 0;
        double sum = 0;
        for (int b = 0; b < c; ++b)
          for (int a = 0; a < c; ++a) sum += m.f(limits[0] + i * c + a, limits[2] + j * c + b, 0);
        return colour_index((sum / (c * c) - low) * 125 / (high - low));
      },
      what);
}

class Program : public ::testing::Test {
 protected:
  xdrive::Xvfb server;
  testsupport::TempFolder dir;
};

}  // namespace

TEST_F(Program, ImagesFromStandardInputShowExactColourIndices) {
  write(dir.path() / "real.map", kReal);
  write(dir.path() / "short.map", kShorts);
  const struct {
    std::vector<std::string> answers;
    const TestMap& map;
    std::vector<int> limits;
    int compression;
    double low, high;
    int cx, cy;
  } cases[] = {
      // Limits 0,0,0,0 mean the whole map; an empty centre line centres it.
      {{"real.map", "0 0 0 0", "1", "0 250", ""}, kReal, {0, 63, 0, 47}, 1, 0, 250, -1, -1},
      {{"short.map", "5 34 3 26", "1", "-800 800", "300,200"},
       kShorts,
       {5, 34, 3, 26},
       1,
       -800,
       800,
       300,
       200},
  };
  for (const auto& c : cases) {
    Session s(server, {"-s"}, dir.path(), c.answers);
    s.hide_boxes();
    expect_section(s, c.map, c.limits, c.compression, c.low, c.high, c.cx, c.cy, c.answers[0]);
  }
}

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
  write(dir.path() / "stack.map", kStack);
  Session s(server, {}, dir.path());
  for (const char* answer : {"stack.map", "", "", "0,250"}) s.window->answer(answer);
  s.window->choose(6, 4);  // "Scrolling display of sections"
  // Each section is a stored image centred in the image area, map row 0 at its top.
  const int x0 = (s.image.width - kStack.nx) / 2, y0 = (s.image.height - kStack.ny) / 2;
  auto section = [&](int z) {
    return [&, z](int col, int row) { return colour_index(kStack.f(col - x0, row - y0, z) * 0.5); };
  };
  s.expect_picture(x0, y0, kStack.nx, kStack.ny, section(2), "the last section drawn");
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
    s.expect_picture(x0, y0, kStack.nx, kStack.ny, section(z),
                     "slider at " + std::to_string(fraction));
  }
  // A mark ends scrolling; the menu returns and "Quit Tolsvik" ends the program.
  s.user.move(s.image.x + s.image.width - 100, s.image.y + s.image.height - 100);
  s.user.click(1);
  s.window->choose(4, 4);
  EXPECT_EQ(s.program.wait_exit(), 0);
}
