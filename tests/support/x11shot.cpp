// x11shot: saves the screen of an X display as PNG, coloured through the colour map of the
// program's top-level window.
//   x11shot [-display :N] [-class Zevar] out.png
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/x11_harness.h"

int main(int argc, char** argv) {
  std::string display, wm_class = "Zevar", path;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-display") && i + 1 < argc) {
      display = argv[++i];
    } else if (!std::strcmp(argv[i], "-class") && i + 1 < argc) {
      wm_class = argv[++i];
    } else if (argv[i][0] != '-' && path.empty()) {
      path = argv[i];
    } else {
      path.clear();
      break;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: x11shot [-display :N] [-class Zevar] out.png\n");
    return 1;
  }
  Display* dpy = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (!dpy) {
    std::fprintf(stderr, "x11shot: cannot open display %s\n",
                 display.empty() ? XDisplayName(nullptr) : display.c_str());
    return 1;
  }
  bool ok = x11test::screenshot(dpy, path, wm_class);
  XCloseDisplay(dpy);
  if (!ok) {
    std::fprintf(stderr, "x11shot: cannot save the screen to %s\n", path.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
