// The real program under its own X server: maps of modes 12 and 6, the movie of a stack, the
// pictures read back pixel by pixel (on the 8-bit screen a pixel is its colour index, here
// density x 125 / 250, exact in binary), quitting, the run command's screenshot, the roads of
// the lattice and CTF tools over the demo project, which begin at its start menu, and the demo
// filament straightened by both methods of "Splinefit image".
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
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

TEST_F(Program, RunCommandShowsTheDemoOnAServerOfItsOwn) {
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", dir.path() / "demo",
           fs::copy_options::recursive);
  // Without a display the run command shows the demo on a server of its own and saves the
  // screen: the picture right of the menu holds many grey levels of the picture cells. (The
  // start menu and Quit are walked by the CTF road below.)
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
// (big-endian, above the signed range), 250 steps between the density limits of each, played as
// a movie while another client reads the whole screen over and over. The movie runs from the
// display's timer: its boxes are drawn before its second frame, and after a move of the delay
// slider frames keep coming and a menu choice gets through. (Scrolling picks its images in the
// dialogue tests; the slider's percentages are the display probe's.)
TEST_F(Program, Modes12And6ShowAndTheMovieKeepsRunningWhileAnotherClientReadsTheScreen) {
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
  std::jthread reader([&](std::stop_token stop) {
    Display* d = XOpenDisplay(server.display().c_str());
    while (d != nullptr && !stop.stop_requested())
      XDestroyImage(XGetImage(d, DefaultRootWindow(d), 0, 0, 1280, 1024, AllPlanes, ZPixmap));
    if (d != nullptr) XCloseDisplay(d);
  });
  // The section on show: each is a stored image centred in the image area, map row 0 at its
  // top (-1: none of them).
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
  for (const char* answer : {"stack.map", "", "", "65000,65250"}) s.window->answer(answer);
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

// The demo transform with half numbers 200: the origin at screen (615, 487), window row
// 974 - y. The lattice of DATAFILE.dat line 32 is drawn as boxes of 25 pixels; then four
// clicked spots are refined and stored as the good lattice through kelvane.
TEST_F(Program, LatticeOfTheDatafileIsDrawnAndAClickedLatticeIsStored) {
  const fs::path demo = dir.path() / "demo";
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", demo, fs::copy_options::recursive);
  const std::vector<std::string> before = testsupport::read_lines(demo / "DATAFILE.dat");
  double a[4] = {};
  ASSERT_EQ(std::sscanf(before.at(31).c_str(), "%lf,%lf,%lf,%lf", &a[0], &a[1], &a[2], &a[3]), 4);
  Session s(server, {}, demo);
  s.window->choose(9, 3);  // "Display fourier transformation"
  for (const char* answer : {"200,200", "", ""}) s.window->answer(answer);
  s.window->choose(kMainMenuItems, 16);  // "Lattice refinement"
  s.window->answer("");                  // origin (0, 0)
  s.window->choose(6, 4);                // "Read lattice vectors from Datafile"
  s.window->answer("");                  // 12 orders
  s.window->choose(8, 1);                // "Display lattice with standard size boxes"
  s.window->answer("");                  // 25 pixels
  const int cx = s.image.width / 2, cy = s.image.height / 2;
  for (auto [h, k] : {std::pair{1, 0}, {0, 1}, {2, -1}, {-3, -2}}) {
    const int x = cx + int(std::lround(h * a[0] + k * a[2]));
    const int row = s.image.height - cy - int(std::lround(h * a[1] + k * a[3]));
    // Every pixel of the outline from (x - 12, row - 12) to (x + 12, row + 12) is overlay.
    std::vector<uint8_t> seen;
    auto outlined = [&] {
      seen = xdrive::read_pixels(s.user.dpy(), s.image.id, x - 12, row - 12, 25, 25);
      for (int i = 0; i < 25; ++i)
        for (int at : {i, 24 * 25 + i, i * 25, i * 25 + 24})
          if (!(seen[at] & 128)) return false;
      return true;
    };
    for (const double end = xdrive::now_seconds() + 30; !outlined() && xdrive::now_seconds() < end;)
      xdrive::sleep_seconds(0.05);
    EXPECT_TRUE(outlined()) << "box of " << h << "," << k << " at " << x << "," << row;
  }

  s.window->choose(5, 2);  // "Refine another lattice"
  s.window->answer("");
  xdrive::WindowInfo menu = s.window->wait_menu(6);
  s.window->click_item(menu, 1);  // "Input indices/spot positions manually"
  // Menus are built anew for every step: wait for one that is not the last one seen.
  auto next_menu = [&](int items) {
    for (xdrive::WindowInfo m;;)
      if ((m = s.window->wait_menu(items)).id != menu.id) return menu = m;
  };
  next_menu(6);
  for (auto [h, k] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
    s.user.move(s.image.x + cx + 20 * h - 4 * k, s.image.y + cy - 5 * h - 18 * k);
    s.user.click(1, false, 300);
    s.window->answer(std::to_string(h) + "," + std::to_string(k));
    next_menu(6);
  }
  s.window->click_item(menu, 5);  // "Calculate a lattice"
  s.window->answer("3");          // orders
  s.window->answer("");           // no result file
  s.window->choose(8, 6);         // "Save to 1st (good) lattice in DATAFILE.dat"
  s.window->answer("1");
  // The closing command is echoed once the lines are stored.
  for (const double end = xdrive::now_seconds() + 30; xdrive::now_seconds() < end;) {
    if (s.program.out().find(" Running: kelvane 6 DATAFILE.dat") != std::string::npos) break;
    xdrive::sleep_seconds(0.05);
  }
  const std::vector<std::string> after = testsupport::read_lines(demo / "DATAFILE.dat");
  EXPECT_EQ(after.at(31), "20.000,5.000,-4.000,18.000") << s.program.out();
  EXPECT_EQ(after.at(57), "0.000,0.000");
  EXPECT_EQ(testsupport::read_lines(demo / "datafile.backup"), before);
}

// The demo transform with its Thon rings, which lie on the dark rings of the picture. Then the
// top left corner's defocus, raised a step, is stored and the top right corner follows.
TEST_F(Program, ThonRingsLieOnTheDemoTransformAndACornerDefocusIsStored) {
  const fs::path demo = dir.path() / "demo";
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", demo, fs::copy_options::recursive);
  Session s(server, {}, demo);
  s.window->choose(9, 3);  // "Display fourier transformation"
  for (const char* answer : {"400,400", "0,8", ""}) s.window->answer(answer);
  s.window->choose(kMainMenuItems, 17);                        // "CTF fitting"
  const xdrive::WindowInfo fitting = s.window->wait_menu(15);  // shown once the rings are drawn
  // Picture values (the low 7 bits) under the rings and beside them, out to radius 400: the
  // rings drawn on the bright rings between the zeros, or turned the wrong way, come out at
  // 1.04 and 0.96 of the rest; on the dark rings at 0.88.
  const int w = s.image.width, h = s.image.height;
  const auto seen = xdrive::read_pixels(s.user.dpy(), s.image.id, 0, 0, w, h);
  double sum[2] = {0, 0}, count[2] = {0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (const uint8_t v = seen[size_t(y) * w + x]; std::hypot(x - w / 2, y - h + h / 2) < 400)
        sum[v >> 7] += v & 127, ++count[v >> 7];
  EXPECT_LT(sum[1] / count[1], 0.92 * sum[0] / count[0]);
  fs::create_directories(fs::path(TOLSVIK_BIN_DIR) / ".." / "screenshots");
  EXPECT_TRUE(
      xdrive::screenshot(s.user.dpy(), TOLSVIK_BIN_DIR "/../screenshots/ctf_rings.png", "Zevar"));
  s.window->click_item(fitting, 15);  // "Return without saving"
  s.window->choose(kMainMenuItems, 21);
  s.window->choose(9, 6);  // "Determine defoci in corners": the top left one
  s.window->answer("");
  const xdrive::WindowInfo menu = s.window->wait_menu(12);
  s.window->click_item(menu, 7);  // "Increase defocus slow": (9417 +- 500) x 1.013 + 10
  xdrive::WindowInfo next = menu;
  while (next.id == menu.id) next = s.window->wait_menu(12);  // the menu built anew
  s.window->click_item(next, 4);                              // stored; the top right corner next
  s.window->answer("");
  s.window->choose(12, 12);  // "Return without saving" ends the corners
  s.window->choose(kMainMenuItems, 21);
  s.window->choose(9, 9);
  EXPECT_EQ(s.program.wait_exit(), 0);
  const std::vector<std::string> lines = testsupport::read_lines(demo / "DATAFILE.dat");
  EXPECT_EQ(lines.at(24) + " " + lines.at(25), "9549. 10156.");
  EXPECT_NE(s.program.out().find("!!! New style 21st century map : CUT/demo.tr.fft.tvk"),
            std::string::npos);
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

// "Output map coordinates" in the click mode of "tvkclick.tvk" (128 x 128, centred) and on the
// demo transform: a mark in each layout, and after a restart each file read back and rewritten.
TEST_F(Program, CoordinatesOfEachLayoutAreWrittenAndReadBackAfterARestart) {
  const fs::path demo = dir.path() / "demo";
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", demo, fs::copy_options::recursive);
  const int x0 = (1230 - 128) / 2, y0 = (974 - 128) / 2;
  const struct {
    int layout;  // format menu item (0: the click mode)
    std::string file;
    int x, y;            // window position of the mark
    std::string record;  // how its record begins
  } roads[] = {{0, "tvkclick.dat", x0 + 30, y0 + 88, "        30        40"},
               {3, "spider.dat", x0 + 5, y0 + 120, "    1 2    5.000000    8.000000"},
               {4, "imagic.dat", x0 + 100, y0 + 1, "    1.000000        100.0000        1.0"},
               {2, "ft.dat", 615 + 20, 487 - 5, "        20         5"}};
  std::map<std::string, std::vector<std::string>> written;
  for (bool restart : {false, true}) {
    Session s(server, {}, demo);
    xdrive::WindowInfo menu{};
    auto next_menu = [&](int items) {
      for (xdrive::WindowInfo m;;)
        if ((m = s.window->wait_menu(items)).id != menu.id) return menu = m;
    };
    s.window->choose(9, 7);  // "tvkclick.tvk": nothing asked, the tool runs at once
    for (const auto& r : roads) {
      if (r.file == "ft.dat") {
        s.window->click_item(next_menu(kMainMenuItems), 21);  // "Return"
        s.window->choose(9, 3);                               // "Display fourier transformation"
        for (const char* answer : {"200,200", "", ""}) s.window->answer(answer);
      }
      if (r.layout > 0) s.window->click_item(next_menu(kMainMenuItems), 14);
      if (r.layout > 0) s.window->click_item(next_menu(5), r.layout);
      s.window->answer(r.layout > 0 ? r.file : "");  // the click mode offers tvkclick.dat
      next_menu(3);
      if (!restart) {  // a mark; after the restart the file is read back
        s.user.move(s.image.x + r.x, s.image.y + r.y);
        s.user.click(1, false, 300);
        next_menu(3);
      }
      s.window->click_item(menu, 3);  // "Return main menu"
    }
    s.window->click_item(next_menu(kMainMenuItems), 21);
    s.window->choose(9, 9);  // "Quit"
    EXPECT_EQ(s.program.wait_exit(), 0);
    for (const auto& r : roads) {
      const std::vector<std::string> now = testsupport::read_lines(demo / r.file);
      EXPECT_TRUE(!restart || now == written[r.file]) << r.file;  // written again unchanged
      EXPECT_EQ(now.size(), r.layout == 4 ? 1u : 2u) << r.file;   // Imagic has no header
      EXPECT_TRUE(now.back().starts_with(r.record)) << now.back();
      written[r.file] = now;
    }
  }
}
