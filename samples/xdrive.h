// Driving a program's X window from outside, as a user would: a private Xvfb server, keyboard
// and mouse through XTest, window discovery, pixels read back with XGetImage, and screenshots
// saved as PNG. The demo screenshot tool uses it, and so do the x11 tests.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace xdrive {

double now_seconds();  // monotonic clock, for deadlines
void sleep_seconds(double s);

// An Xvfb server on a free display number (width x height x depth). The constructor returns
// once a client can connect, or throws std::runtime_error with the server's own messages; the
// destructor stops and reaps it. The server also ends when this process dies.
class Xvfb {
 public:
  explicit Xvfb(int width = 1280, int height = 1024, int depth = 8);
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;
  const std::string& display() const { return display_; }  // ":N"
  pid_t pid() const { return pid_; }

 private:
  void stop();
  pid_t pid_ = -1;
  std::string display_;
  int log_fd_ = -1;  // unlinked temporary file with the server's output
};

// The user at keyboard and mouse, through XTest on a connection of its own. Coordinates are
// root-window coordinates; every action ends with XSync.
class XUser {
 public:
  explicit XUser(const std::string& display);  // throws without a connection or XTest
  ~XUser();
  XUser(const XUser&) = delete;
  XUser& operator=(const XUser&) = delete;
  Display* dpy() { return dpy_; }

  void move(int x, int y);
  // ctrl holds Control_L around the button. A press `after_ms` after the previous event has a
  // time stamp that far apart (the server waits), so it never joins an earlier click into a
  // multi-click.
  void press(int button, bool ctrl = false, unsigned long after_ms = 0);
  void release(int button, bool ctrl = false);
  void click(int button, bool ctrl = false, unsigned long after_ms = 0);
  void type(const std::string& text);  // printable ASCII
  void key_return();
  void ctrl_key(char letter);

 private:
  void key(unsigned long keysym, bool down);
  void tap(unsigned long keysym, bool ctrl);
  Display* dpy_ = nullptr;
};

struct WindowInfo {
  Window id = 0;
  int x = 0, y = 0;           // inside top-left corner in root coordinates
  int width = 0, height = 0;  // inside size
  int border = 0;
  bool mapped = false;  // IsViewable
  Colormap colormap = 0;
  int level = 0;  // 0 for the window a tree starts at, 1 for its children, ...
};

// The first mapped window of WM_CLASS class `wm_class` (searched a few levels down, so window
// manager frames do not hide it), waiting up to `timeout` seconds; 0 when none appeared.
Window find_toplevel(Display* dpy, const std::string& wm_class, double timeout);
// `top` and its descendants, depth first; windows that vanish meanwhile are left out.
std::vector<WindowInfo> window_tree(Display* dpy, Window top);
WindowInfo window_info(Display* dpy, Window w);  // id 0 when the window is gone

// XGetImage of a rectangle of `w`, one byte per pixel, rows from the top: colour-cell indices
// on an 8-bit screen. Throws std::runtime_error when the server refuses.
std::vector<uint8_t> read_pixels(Display* dpy, Window w, int x, int y, int width, int height);

// The whole screen as an 8-bit RGB PNG, coloured through the colour map of the first mapped
// window of class `wm_class`. False on failure.
bool screenshot(Display* dpy, const std::string& path, const std::string& wm_class);

}  // namespace xdrive
