// demo_shot: opens the demo image in a running Tolsvik the way a user would, and saves the
// screen as PNG once the picture is on show.
//   demo_shot [-display :N] [-timeout seconds] out.png
//
// Tolsvik must have been started in the demo project folder, so that its start menu is the
// one of a masked image. The tool picks "Display masked image", accepts the offered answers to
// the start-up questions, waits for the main menu and the picture, and writes the screenshot.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tests/support/program_window.h"
#include "tests/support/x11_harness.h"

namespace {

constexpr int kStartMenuItems = 9;  // the start menu of a masked image
constexpr int kMaskedImageItem = 2;
constexpr int kMainMenuItems = 21;
constexpr int kStartQuestions = 4;  // limits, compression, density limits, section centre

// True when the middle of the image area holds picture, not the black background.
bool picture_shown(x11test::ProgramWindow& window) {
  x11test::WindowInfo image = window.image_info();
  std::vector<uint8_t> pixels = x11test::read_pixels(window.dpy(), image.id, image.width / 2 - 50,
                                                     image.height / 2 - 50, 100, 100);
  int lit = 0;
  for (uint8_t v : pixels)
    if (v > 0 && v < 128) ++lit;
  return lit > 100;
}

int run(const std::string& display, double timeout, const std::string& path) {
  x11test::XUser user(display);
  x11test::ProgramWindow window(user, timeout);
  window.choose(kStartMenuItems, kMaskedImageItem, timeout);
  for (int i = 0; i < kStartQuestions; ++i) window.answer("", timeout);
  window.wait_menu(kMainMenuItems, timeout);
  const double deadline = x11test::now_seconds() + timeout;
  while (!picture_shown(window)) {
    if (x11test::now_seconds() > deadline) {
      std::fprintf(stderr, "demo_shot: the picture did not appear\n");
      return 1;
    }
    x11test::sleep_seconds(0.1);
  }
  user.move(0, 0);  // the pointer out of the picture
  if (!x11test::screenshot(user.dpy(), path)) {
    std::fprintf(stderr, "demo_shot: cannot save the screen to %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string display, path;
  double timeout = 60;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-display") && i + 1 < argc) {
      display = argv[++i];
    } else if (!std::strcmp(argv[i], "-timeout") && i + 1 < argc) {
      timeout = std::atof(argv[++i]);
    } else if (argv[i][0] != '-' && path.empty()) {
      path = argv[i];
    } else {
      path.clear();
      break;
    }
  }
  if (path.empty() || timeout <= 0) {
    std::fprintf(stderr, "usage: demo_shot [-display :N] [-timeout seconds] out.png\n");
    return 2;
  }
  if (display.empty()) {
    const char* env = std::getenv("DISPLAY");
    if (env == nullptr || *env == '\0') {
      std::fprintf(stderr, "demo_shot: no display given and DISPLAY is not set\n");
      return 2;
    }
    display = env;
  }
  try {
    return run(display, timeout, path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_shot: %s\n", e.what());
    return 1;
  }
}
