// A private X server, the simulated user, window discovery, read-back and screenshots.
#include "samples/xdrive.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

namespace xdrive {

double now_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void sleep_seconds(double s) {
  if (s > 0) std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(s * 1e6)));
}

// ---- The server ----

Xvfb::Xvfb(int width, int height, int depth) {
  char log_name[] = "/tmp/tolsvik-xvfb-XXXXXX";
  log_fd_ = mkostemp(log_name, O_CLOEXEC);
  if (log_fd_ < 0) throw std::runtime_error("Xvfb: cannot create a log file");
  unlink(log_name);
  // Xvfb picks a free display number itself and writes it to the -displayfd pipe.
  int number_pipe[2];
  if (pipe2(number_pipe, O_CLOEXEC) != 0) throw std::runtime_error("Xvfb: pipe failed");
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  const std::string fd_arg = std::to_string(number_pipe[1]);
  // -noreset: otherwise the server resets when its last client leaves (our readiness probe
  // included), refusing whoever connects during the reset.
  const char* args[] = {"Xvfb",         "-displayfd", fd_arg.c_str(), "-screen",  "0",
                        screen.c_str(), "-nolisten",  "tcp",          "-noreset", nullptr};
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {  // only async-signal-safe calls until exec
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(log_fd_, 1);
    dup2(log_fd_, 2);
    fcntl(number_pipe[1], F_SETFD, 0);
    execvp(args[0], const_cast<char* const*>(args));
    _exit(127);
  }
  close(number_pipe[1]);
  const double deadline = now_seconds() + 10;
  std::string digits;
  bool have_number = false;
  while (pid_ > 0 && !have_number && now_seconds() < deadline) {
    pollfd p{number_pipe[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[32];
    ssize_t n = read(number_pipe[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the server ended without a number
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] == '\n') have_number = !digits.empty();
      if (buf[i] >= '0' && buf[i] <= '9') digits += buf[i];
    }
  }
  close(number_pipe[0]);
  if (have_number) {
    display_ = ":" + digits;
    while (now_seconds() < deadline) {
      if (Display* d = XOpenDisplay(display_.c_str())) {
        XCloseDisplay(d);
        return;
      }
      sleep_seconds(0.05);
    }
  }
  std::string log(4096, '\0');
  log.resize(std::max<ssize_t>(pread(log_fd_, log.data(), log.size(), 0), 0));
  stop();
  throw std::runtime_error("Xvfb did not start; its output:\n" + log);
}

Xvfb::~Xvfb() {
  stop();
}

void Xvfb::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const double deadline = now_seconds() + 2;
    while (waitpid(pid_, nullptr, WNOHANG) == 0 && now_seconds() < deadline) sleep_seconds(0.01);
    if (kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (log_fd_ >= 0) close(log_fd_);
  log_fd_ = -1;
}

// ---- The user ----

XUser::XUser(const std::string& display) {
  dpy_ = XOpenDisplay(display.c_str());
  if (!dpy_) throw std::runtime_error("cannot connect to " + display);
  int event_base, error_base, major, minor;
  if (!XTestQueryExtension(dpy_, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(dpy_);
    throw std::runtime_error("the server on " + display + " has no XTest");
  }
  XTestGrabControl(dpy_, True);  // our events still count while another client grabs
}

XUser::~XUser() {
  XCloseDisplay(dpy_);
}

void XUser::move(int x, int y) {
  XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), x, y, CurrentTime);
  XSync(dpy_, False);
}

void XUser::key(unsigned long keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(dpy_, keysym);
  if (code == 0) throw std::runtime_error("no key for keysym " + std::to_string(keysym));
  XTestFakeKeyEvent(dpy_, code, down, CurrentTime);
}

void XUser::press(int button, bool ctrl, unsigned long after_ms) {
  if (ctrl) key(XK_Control_L, true);
  XTestFakeButtonEvent(dpy_, button, True, after_ms);
  XSync(dpy_, False);
}

void XUser::release(int button, bool ctrl) {
  XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
  if (ctrl) key(XK_Control_L, false);
  XSync(dpy_, False);
}

void XUser::click(int button, bool ctrl, unsigned long after_ms) {
  press(button, ctrl, after_ms);
  release(button, ctrl);
}

// One key stroke; Shift is held when the keysym is in the shifted column of its key.
void XUser::tap(unsigned long keysym, bool ctrl) {
  const KeyCode code = XKeysymToKeycode(dpy_, keysym);
  if (code == 0) throw std::runtime_error("no key for keysym " + std::to_string(keysym));
  const bool shift = XkbKeycodeToKeysym(dpy_, code, 0, 0) != keysym;
  if (ctrl) key(XK_Control_L, true);
  if (shift) key(XK_Shift_L, true);
  XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
  if (shift) key(XK_Shift_L, false);
  if (ctrl) key(XK_Control_L, false);
  XSync(dpy_, False);
}

void XUser::type(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7e) throw std::runtime_error("type: only printable ASCII");
    tap(static_cast<unsigned char>(c), false);  // printable ASCII are their own keysyms
  }
}

void XUser::key_return() {
  tap(XK_Return, false);
}

void XUser::ctrl_key(char letter) {
  tap(static_cast<unsigned char>(letter), true);
}

// ---- Windows and pixels ----

namespace {

int g_errors = 0;
int count_error(Display*, XErrorEvent*) {
  ++g_errors;
  return 0;
}

// While alive, X errors are counted instead of ending the process: a window may vanish
// between XQueryTree and the next request.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy) : dpy_(dpy), start_(g_errors) {
    XSync(dpy_, False);
    previous_ = XSetErrorHandler(count_error);
  }
  ~ErrorTrap() {
    XSync(dpy_, False);
    XSetErrorHandler(previous_);
  }
  bool failed() {
    XSync(dpy_, False);
    return g_errors != start_;
  }

 private:
  Display* dpy_;
  int start_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

std::vector<Window> children(Display* dpy, Window w) {
  Window root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(dpy, w, &root, &parent, &kids, &n)) out.assign(kids, kids + n);
  if (kids) XFree(kids);
  return out;
}

// Topmost first. A window with a WM_CLASS of its own is some client's top level and is not
// searched further; others may be frames around the shell.
Window search(Display* dpy, Window w, const std::string& wm_class, int depth) {
  std::vector<Window> kids = children(dpy, w);
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    XClassHint hint{};
    if (XGetClassHint(dpy, *it, &hint)) {
      const bool match = hint.res_class && wm_class == hint.res_class;
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (match && window_info(dpy, *it).mapped) return *it;
    } else if (depth < 3) {
      if (Window found = search(dpy, *it, wm_class, depth + 1)) return found;
    }
  }
  return 0;
}

void walk(Display* dpy, const WindowInfo& parent, std::vector<WindowInfo>& out) {
  for (Window kid : children(dpy, parent.id)) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, kid, &a)) continue;
    WindowInfo info{kid,
                    parent.x + a.x + a.border_width,
                    parent.y + a.y + a.border_width,
                    a.width,
                    a.height,
                    a.border_width,
                    a.map_state == IsViewable,
                    a.colormap,
                    parent.level + 1};
    out.push_back(info);
    walk(dpy, info, out);
  }
}

}  // namespace

Window find_toplevel(Display* dpy, const std::string& wm_class, double timeout) {
  const double deadline = now_seconds() + timeout;
  for (;;) {
    Window found;
    {
      ErrorTrap trap(dpy);
      found = search(dpy, DefaultRootWindow(dpy), wm_class, 0);
    }
    if (found || now_seconds() >= deadline) return found;
    sleep_seconds(0.05);
  }
}

WindowInfo window_info(Display* dpy, Window w) {
  ErrorTrap trap(dpy);
  WindowInfo info;
  XWindowAttributes a;
  Window child = 0;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(dpy, w, &a) ||
      !XTranslateCoordinates(dpy, w, a.root, 0, 0, &x, &y, &child) || trap.failed())
    return info;
  return WindowInfo{w,          x, y, a.width, a.height, a.border_width, a.map_state == IsViewable,
                    a.colormap, 0};
}

std::vector<WindowInfo> window_tree(Display* dpy, Window top) {
  std::vector<WindowInfo> out;
  const WindowInfo info = window_info(dpy, top);
  if (!info.id) return out;
  out.push_back(info);
  ErrorTrap trap(dpy);
  walk(dpy, info, out);
  return out;
}

std::vector<uint8_t> read_pixels(Display* dpy, Window w, int x, int y, int width, int height) {
  XImage* img = nullptr;
  {
    ErrorTrap trap(dpy);
    img = XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap);
    if (img && trap.failed()) XDestroyImage(img), img = nullptr;
  }
  if (!img)
    throw std::runtime_error("XGetImage refused " + std::to_string(width) + "x" +
                             std::to_string(height) + " at " + std::to_string(x) + "," +
                             std::to_string(y) + " of window " + std::to_string(w));
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      out[static_cast<size_t>(row) * width + col] = XGetPixel(img, col, row) & 0xff;
  XDestroyImage(img);
  return out;
}

bool screenshot(Display* dpy, const std::string& path, const std::string& wm_class) {
  const int screen = DefaultScreen(dpy);
  const int width = DisplayWidth(dpy, screen), height = DisplayHeight(dpy, screen);
  Colormap cmap = DefaultColormap(dpy, screen);
  Visual* visual = DefaultVisual(dpy, screen);
  XWindowAttributes a;
  if (Window top = find_toplevel(dpy, wm_class, 0); top && XGetWindowAttributes(dpy, top, &a))
    cmap = a.colormap, visual = a.visual;
  XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), 0, 0, width, height, AllPlanes, ZPixmap);
  if (!img) return false;
  std::vector<uint8_t> rgb(3u * width * height);
  std::map<unsigned long, XColor> cells;  // each distinct cell looked up once
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) cells[XGetPixel(img, x, y)].pixel = XGetPixel(img, x, y);
  if (visual->c_class != TrueColor) {
    std::vector<XColor> colours;
    for (auto& [pixel, colour] : cells) colours.push_back(colour);
    ErrorTrap trap(dpy);
    XQueryColors(dpy, cmap, colours.data(), static_cast<int>(colours.size()));
    if (trap.failed()) return XDestroyImage(img), false;
    for (const XColor& c : colours) cells[c.pixel] = c;
  } else {
    auto component = [](unsigned long pixel, unsigned long mask) -> unsigned short {
      int shift = 0;
      while (mask && !((mask >> shift) & 1)) ++shift;
      return mask ? ((pixel & mask) >> shift) * 65535 / (mask >> shift) : 0;
    };
    for (auto& [pixel, c] : cells) {
      c.red = component(pixel, visual->red_mask);
      c.green = component(pixel, visual->green_mask);
      c.blue = component(pixel, visual->blue_mask);
    }
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const XColor& c = cells[XGetPixel(img, x, y)];
      uint8_t* dst = &rgb[3u * (static_cast<size_t>(y) * width + x)];
      dst[0] = c.red >> 8, dst[1] = c.green >> 8, dst[2] = c.blue >> 8;
    }
  XDestroyImage(img);
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = width;
  png.height = height;
  png.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace xdrive
