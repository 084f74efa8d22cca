// Test harness for the X11 tests: a private Xvfb server per test, the program under test as a
// child process with pipes, a simulated user at keyboard and mouse (XTest), window discovery,
// pixel read-back and PNG screenshots.
//
// Every x11 test program starts its own server, so tests never share a display and may run in
// parallel. Harness connections never let an X error end the test process: window discovery
// records and ignores errors from windows that vanish while they are being looked at.
#pragma once

// Xlib's macros None, Bool, Status, True, False and Success break GoogleTest's headers when
// those come later. So GoogleTest is read here first, with any such macros from X11 headers
// included earlier hidden for the moment. Tests get the X11 headers they usually need from
// here; a test file that includes <gtest/gtest.h> directly must not include X11 headers (or
// headers that include them) before it.
#if !defined(X11TEST_NO_GTEST) && __has_include(<gtest/gtest.h>)
#pragma push_macro("None")
#pragma push_macro("Bool")
#pragma push_macro("Status")
#pragma push_macro("True")
#pragma push_macro("False")
#pragma push_macro("Success")
#undef None
#undef Bool
#undef Status
#undef True
#undef False
#undef Success
#include <gtest/gtest.h>
#pragma pop_macro("None")
#pragma pop_macro("Bool")
#pragma pop_macro("Status")
#pragma pop_macro("True")
#pragma pop_macro("False")
#pragma pop_macro("Success")
#endif

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace x11test {

// An Xvfb server on a free display number. The constructor returns once a client can connect
// (or throws std::runtime_error with the server's own messages after about 10 s); the
// destructor stops it (SIGTERM, SIGKILL after 2 s) and reaps it. The server also gets SIGTERM
// when the test process dies, so a crashed test never leaves a server behind.
class Xvfb {
 public:
  explicit Xvfb(int width = 1280, int height = 1024, int depth = 8);
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;
  const std::string& display() const { return display_; }  // ":N"
  int number() const { return number_; }
  pid_t pid() const { return pid_; }

 private:
  void stop();
  std::string log_text() const;

  pid_t pid_ = -1;
  int number_ = -1;
  std::string display_;
  int log_fd_ = -1;  // unlinked temporary file holding the server's stdout and stderr
};

// A child process (the program under test) with its stdin, stdout and stderr on pipes.
// env_display: value for DISPLAY in the child ("" = DISPLAY unset in the child).
// cwd: working directory of the child ("" = inherit).
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::string& env_display,
          const std::string& cwd = "");
  ~Process();  // closes stdin, waits up to 2 s, then SIGKILL and reaps
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Sends `line` plus '\n'. Throws std::runtime_error if the child no longer reads its stdin.
  void write_line(const std::string& line);
  void close_stdin();
  // Reads stdout lines until a line equal to `marker` arrives and returns the lines before it
  // (the marker itself is consumed). Throws std::runtime_error on timeout (seconds) or when the
  // child closes stdout first; the message holds the unreturned stdout and the stderr so far.
  // Lines not returned stay buffered for the next call.
  std::vector<std::string> read_until(const std::string& marker, double timeout = 20);
  std::string stderr_text();  // all stderr collected so far (drains without blocking)
  // Waits for the child to exit, draining its pipes meanwhile; returns the exit status, or
  // 128+signal when a signal killed it. Throws std::runtime_error on timeout.
  int wait_exit(double timeout = 20);
  std::string all_stdout();  // every stdout byte so far, including lines read_until returned
  bool running();
  pid_t pid() const { return pid_; }

 private:
  // Reads whatever the pipes hold, waiting at most `timeout_ms` for the first byte.
  // Returns false when stdout has reached end of file.
  bool pump(int timeout_ms);
  bool reap(bool block);

  pid_t pid_ = -1;
  int in_fd_ = -1, out_fd_ = -1, err_fd_ = -1;
  std::string pending_;  // stdout not yet returned by read_until
  std::string stdout_all_;
  std::string stderr_all_;
  bool exited_ = false;
  int status_ = 0;
};

// The user at keyboard and mouse, through XTest on a connection of its own. Coordinates are
// root-window coordinates. Every action ends with XSync, so the server has processed the
// events when the call returns.
class XUser {
 public:
  explicit XUser(const std::string& display);  // throws without a connection or XTest
  ~XUser();
  XUser(const XUser&) = delete;
  XUser& operator=(const XUser&) = delete;
  Display* dpy() { return dpy_; }

  void move(int x, int y);
  void press(int button, bool ctrl = false);  // buttons 1..3; ctrl holds Control_L around it
  void release(int button, bool ctrl = false);
  void click(int button, bool ctrl = false);
  void double_click(int button = 1);  // two clicks about 30 ms apart
  // Presses at (x1,y1), moves in `steps` steps with ~10 ms pauses (so a program polling the
  // pointer sees the motion) and releases at (x2,y2).
  void drag(int button, int x1, int y1, int x2, int y2, bool ctrl = false, int steps = 8);
  void type(const std::string& text);  // printable ASCII, shifted where the keymap needs it
  void key_return();
  void ctrl_key(char letter);  // Ctrl+m, Ctrl+l, Ctrl+s ...
  void pause(double seconds);  // XSync, sleep, XSync

 private:
  void key(unsigned long keysym, bool press);
  void tap(unsigned long keysym, bool ctrl);
  Display* dpy_ = nullptr;
};

struct WindowInfo {
  Window id = 0;
  Window parent = 0;
  int x = 0, y = 0;           // inside top-left corner in root coordinates
  int width = 0, height = 0;  // inside size (without border)
  int border = 0;
  bool mapped = false;  // map state IsViewable
  int depth = 0;
  Colormap colormap = 0;
  int level = 0;  // 0 for the window the tree starts at, 1 for its children, ...
};

// The first mapped window whose WM_CLASS class is `wm_class`, searched among root's children
// and (when they carry no WM_CLASS themselves) their descendants, so it is found whether or not
// the shell was reparented. Waits up to `timeout` seconds (one search when timeout <= 0);
// returns 0 when none appeared.
Window find_toplevel(Display* dpy, const std::string& wm_class = "Zevar", double timeout = 10);
// `top` and all its descendants, depth first; siblings bottom to top as XQueryTree lists them.
// Windows that vanish during the walk are left out. Empty when `top` itself is gone.
std::vector<WindowInfo> window_tree(Display* dpy, Window top);
// One window; id == 0 in the result when the window does not exist.
WindowInfo window_info(Display* dpy, Window w);
// Polls window_tree until `pred` holds or `timeout` passes; returns whether it held and the
// last tree seen.
std::pair<bool, std::vector<WindowInfo>> wait_for_tree(
    Display* dpy, Window top, const std::function<bool(const std::vector<WindowInfo>&)>& pred,
    double timeout = 10);

// XGetImage (ZPixmap, all planes) of a rectangle of `w`, one byte per pixel, rows top to bottom:
// colour-cell indices on an 8-bit screen, the low byte of each pixel on deeper ones.
// Throws std::runtime_error when the server refuses (e.g. the rectangle leaves the screen).
std::vector<uint8_t> read_pixels(Display* dpy, Window w, int x, int y, int width, int height);

struct Rgb16 {
  uint16_t r, g, b;
};
std::vector<Rgb16> query_colours(Display* dpy, Colormap cmap,
                                 const std::vector<unsigned long>& cells);

// 8-bit RGB PNG, rows top to bottom (rgb.size() == 3*width*height). False on I/O error.
bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
// The whole screen as PNG, coloured through the colour map of the first mapped window of class
// `wm_class` (the default colour map when there is none). 16-bit colour components become
// their high byte. False on failure.
bool screenshot(Display* dpy, const std::string& path, const std::string& wm_class = "Zevar");

void sleep_seconds(double s);
// Seconds on a monotonic clock, for deadlines.
double now_seconds();

}  // namespace x11test
