// Checks of the x11 test harness itself: server start and stop, child processes, window
// discovery, pixel read-back, simulated input and the PNG screenshots.
// The X11 headers come with the harness header, which orders them after gtest's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "tests/support/x11_harness.h"

using namespace x11test;

namespace {

// Decodes a PNG with Python's zlib (independent of our writer): verifies every chunk CRC and
// the zlib checksum, prints "width height r g b" for pixel (x, y), and writes the RGB rows
// without filter bytes to `dump`.
const char* kPngCheck = R"(
import sys, zlib, struct
d = open(sys.argv[1], 'rb').read()
assert d[:8] == b'\x89PNG\r\n\x1a\n', 'signature'
p, idat = 8, b''
while p < len(d):
    n, t = struct.unpack('>I4s', d[p:p + 8])
    body = d[p + 8:p + 8 + n]
    assert zlib.crc32(t + body) == struct.unpack('>I', d[p + 8 + n:p + 12 + n])[0], t
    if t == b'IHDR': w, h, bits, kind = struct.unpack('>IIBB', body[:10])
    if t == b'IDAT': idat += body
    p += 12 + n
raw = zlib.decompress(idat)
stride = 3 * w + 1
assert bits == 8 and kind == 2 and len(raw) == h * stride, 'layout'
assert all(raw[r * stride] == 0 for r in range(h)), 'filter'
open(sys.argv[4], 'wb').write(b''.join(raw[r * stride + 1:(r + 1) * stride] for r in range(h)))
x, y = int(sys.argv[2]), int(sys.argv[3])
o = y * stride + 1 + 3 * x
print(w, h, raw[o], raw[o + 1], raw[o + 2])
)";

const char* kPython = "/usr/bin/python3";

std::string check_png(const std::string& path, int x, int y, std::vector<uint8_t>* rgb = nullptr) {
  std::string dump = path + ".rgb";
  Process py({kPython, "-c", kPngCheck, path, std::to_string(x), std::to_string(y), dump}, "");
  int status = py.wait_exit(60);
  EXPECT_EQ(status, 0) << py.stderr_text();
  if (rgb) {
    std::ifstream in(dump, std::ios::binary);
    rgb->assign(std::istreambuf_iterator<char>(in), {});
  }
  unlink(dump.c_str());
  std::string out = py.all_stdout();
  return out.empty() ? out : out.substr(0, out.size() - 1);
}

// A small Xlib client standing in for the program: a "Zevar" top-level window with a private
// colour map at (0,0), border 3, with a mapped child at (30,40) (border 2) and an unmapped one.
// Inside corners in root coordinates: top (3,3), child (35,45), hidden (203,103).
struct Probe {
  Display* dpy = nullptr;
  Window top = 0, child = 0, hidden = 0;
  Colormap cmap = 0;
  GC gc = nullptr;

  explicit Probe(const std::string& display) {
    dpy = XOpenDisplay(display.c_str());
    if (!dpy) return;
    int s = DefaultScreen(dpy);
    Window root = RootWindow(dpy, s);
    cmap = XCreateColormap(dpy, root, DefaultVisual(dpy, s), AllocAll);
    XSetWindowAttributes a{};
    a.colormap = cmap;
    a.background_pixel = 5;
    a.border_pixel = 6;
    top = XCreateWindow(dpy, root, 0, 0, 400, 300, 3, CopyFromParent, InputOutput, CopyFromParent,
                        CWColormap | CWBackPixel | CWBorderPixel, &a);
    XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("Zevar")};
    XSetClassHint(dpy, top, &hint);
    child = XCreateSimpleWindow(dpy, top, 30, 40, 100, 50, 2, 6, 7);
    hidden = XCreateSimpleWindow(dpy, top, 200, 100, 20, 20, 0, 6, 7);
    XSelectInput(dpy, child,
                 ButtonPressMask | ButtonReleaseMask | KeyPressMask | PointerMotionMask);
    XMapWindow(dpy, child);
    XMapWindow(dpy, top);
    gc = XCreateGC(dpy, child, 0, nullptr);
    XSync(dpy, False);
  }
  ~Probe() {
    if (dpy) XCloseDisplay(dpy);
  }

  // The next event of `type` on the child, waiting up to 2 s; false when none came.
  bool next(int type, XEvent* ev) {
    for (double end = now_seconds() + 2; now_seconds() < end; sleep_seconds(0.01)) {
      XSync(dpy, False);
      if (XCheckTypedWindowEvent(dpy, child, type, ev)) return true;
    }
    return false;
  }
  void discard_events() { XSync(dpy, True); }
};

const WindowInfo* find(const std::vector<WindowInfo>& tree, Window id) {
  for (const WindowInfo& w : tree)
    if (w.id == id) return &w;
  return nullptr;
}

}  // namespace

TEST(XvfbTest, ServersGetFreeNumbersAndDisappearWhenStopped) {
  pid_t gone = 0;
  {
    Xvfb a, b;
    EXPECT_NE(a.number(), b.number());
    EXPECT_EQ(a.display(), ":" + std::to_string(a.number()));
    for (const Xvfb* server : {&a, &b}) {
      Display* d = XOpenDisplay(server->display().c_str());
      ASSERT_NE(d, nullptr) << server->display();
      int s = DefaultScreen(d);
      EXPECT_EQ(DisplayWidth(d, s), 1280);
      EXPECT_EQ(DisplayHeight(d, s), 1024);
      EXPECT_EQ(DefaultDepth(d, s), 8);
      EXPECT_EQ(DefaultVisual(d, s)->c_class, PseudoColor);
      XCloseDisplay(d);
    }
    gone = a.pid();
  }
  // Stopped and reaped. (Asking the display number would race with other tests' servers,
  // which may take the number over at once.)
  EXPECT_NE(kill(gone, 0), 0);
}

namespace {

// True while `pid` is a live process (a zombie counts as gone).
bool process_alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  size_t paren = text.rfind(')');
  return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] != 'Z';
}

}  // namespace

TEST(XvfbTest, ServerDiesWithTheProcessThatStartedIt) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    // A test that crashes: the destructor never runs.
    try {
      Xvfb server;
      pid_t server_pid = server.pid();
      ssize_t w = write(fds[1], &server_pid, sizeof server_pid);
      _exit(w == sizeof server_pid ? 0 : 1);
    } catch (...) {
      _exit(1);
    }
  }
  close(fds[1]);
  pid_t server_pid = 0;
  ASSERT_EQ(read(fds[0], &server_pid, sizeof server_pid), static_cast<ssize_t>(sizeof server_pid));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  ASSERT_GT(server_pid, 0);
  bool alive = true;
  for (double end = now_seconds() + 5; alive && now_seconds() < end; sleep_seconds(0.05))
    alive = process_alive(server_pid);
  EXPECT_FALSE(alive) << "Xvfb outlived the process that started it";
}

TEST(ProcessTest, LinesExitStatusAndStreams) {
  Process echo({"/bin/sh", "-c",
                "while read l; do echo \"got $l\"; [ \"$l\" = end ] && echo '<<done>>'; done"},
               "");
  echo.write_line("a");
  echo.write_line("b c");
  echo.write_line("end");
  EXPECT_EQ(echo.read_until("<<done>>"), (std::vector<std::string>{"got a", "got b c", "got end"}));
  echo.write_line("more");
  echo.write_line("end");
  EXPECT_EQ(echo.read_until("<<done>>"), (std::vector<std::string>{"got more", "got end"}));
  echo.close_stdin();
  EXPECT_EQ(echo.wait_exit(5), 0);
  EXPECT_FALSE(echo.running());
  EXPECT_EQ(echo.all_stdout(), "got a\ngot b c\ngot end\n<<done>>\ngot more\ngot end\n<<done>>\n");

  Process three({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, "");
  EXPECT_EQ(three.wait_exit(5), 3);
  EXPECT_EQ(three.all_stdout(), "out\n");
  EXPECT_EQ(three.stderr_text(), "err\n");

  Process killed({"/bin/sh", "-c", "kill -9 $$"}, "");
  EXPECT_EQ(killed.wait_exit(5), 128 + 9);

  Process missing({"/nonexistent/program"}, "");
  EXPECT_EQ(missing.wait_exit(5), 127);
  EXPECT_NE(missing.stderr_text().find("cannot execute"), std::string::npos);
}

TEST(ProcessTest, TimeoutsAndDeadChildrenAreReportedNotFatal) {
  Process slow({"/bin/sh", "-c", "echo partial; echo oops >&2; read x; echo late"}, "");
  double start = now_seconds();
  try {
    slow.read_until("never", 0.5);
    ADD_FAILURE() << "no timeout";
  } catch (const std::runtime_error& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("partial"), std::string::npos) << what;
    EXPECT_NE(what.find("oops"), std::string::npos) << what;
  }
  EXPECT_LT(now_seconds() - start, 3);
  EXPECT_TRUE(slow.running());
  // Lines a failed read_until saw are still there for the next call.
  slow.write_line("go");
  EXPECT_EQ(slow.read_until("late", 5), std::vector<std::string>{"partial"});
  EXPECT_EQ(slow.wait_exit(5), 0);

  // Writing to a child that is gone throws instead of killing us with SIGPIPE.
  Process gone({"/bin/true"}, "");
  EXPECT_EQ(gone.wait_exit(5), 0);
  EXPECT_THROW(gone.write_line("anyone?"), std::runtime_error);
  EXPECT_THROW(gone.read_until("x", 5), std::runtime_error);  // stdout closed: fails at once

  Process stuck({"/bin/sh", "-c", "read x"}, "");
  EXPECT_THROW(stuck.wait_exit(0.2), std::runtime_error);
}

TEST(ProcessTest, DisplayAndWorkingDirectoryOfTheChild) {
  setenv("DISPLAY", ":77", 1);
  const std::vector<std::string> show = {"/bin/sh", "-c", "echo \"d=${DISPLAY-unset}\"; pwd"};
  Process with(show, ":42", "/tmp");
  EXPECT_EQ(with.wait_exit(5), 0);
  EXPECT_EQ(with.all_stdout(), "d=:42\n/tmp\n");
  Process without(show, "");
  EXPECT_EQ(without.wait_exit(5), 0);
  EXPECT_EQ(without.all_stdout().substr(0, 8), "d=unset\n");
}

TEST(PngTest, DecodesToTheSamePixels) {
  if (access(kPython, X_OK) != 0) GTEST_SKIP() << "no " << kPython << " to decode PNG with";
  // Noise, flat runs and copies of rows from near and beyond the 32 KiB window.
  const int w = 700, h = 60;
  std::vector<uint8_t> rgb(3 * w * h);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < 3 * w; ++i) {
      uint8_t& v = rgb[3 * w * y + i];
      seed = seed * 1103515245u + 12345u;
      if (y % 5 == 0)
        v = seed >> 24;
      else if (y % 5 == 1)
        v = static_cast<uint8_t>(y * 3 + i / 9);
      else if (y % 5 == 2 && y >= 16)
        v = rgb[3 * w * (y - 16) + i];
      else if (y % 5 == 3 && y >= 15)
        v = rgb[3 * w * (y - 15) + i];
      else
        v = (i % 3 == 0) ? 200 : (i % 3 == 1 ? 10 : static_cast<uint8_t>(i / 500));
    }
  std::string path = testing::TempDir() + "harness_pattern_" + std::to_string(getpid()) + ".png";
  ASSERT_TRUE(write_png(path, w, h, rgb));
  std::vector<uint8_t> back;
  EXPECT_EQ(check_png(path, 2, 1, &back), "700 60 " + std::to_string(rgb[3 * w + 6]) + " " +
                                              std::to_string(rgb[3 * w + 7]) + " " +
                                              std::to_string(rgb[3 * w + 8]));
  EXPECT_TRUE(back == rgb);
  EXPECT_FALSE(write_png(path, w, h + 1, rgb));  // size mismatch
  EXPECT_FALSE(write_png("/nonexistent/dir/x.png", w, h, rgb));
  unlink(path.c_str());
}

class X11Harness : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new Xvfb();
    probe_ = new Probe(server_->display());
    user_ = new XUser(server_->display());
  }
  static void TearDownTestSuite() {
    delete user_;
    delete probe_;
    delete server_;
  }
  void SetUp() override {
    ASSERT_NE(probe_->dpy, nullptr);
    probe_->discard_events();
  }
  static Xvfb* server_;
  static Probe* probe_;
  static XUser* user_;
};
Xvfb* X11Harness::server_ = nullptr;
Probe* X11Harness::probe_ = nullptr;
XUser* X11Harness::user_ = nullptr;

TEST_F(X11Harness, FindsTheTopLevelAndItsWindows) {
  Display* dpy = user_->dpy();
  Probe& p = *probe_;
  EXPECT_EQ(find_toplevel(dpy, "Zevar", 5), p.top);
  EXPECT_EQ(find_toplevel(dpy, "NoSuchClass", 0.2), 0u);

  auto describe = [](const WindowInfo& w) {
    return "level " + std::to_string(w.level) + " at " + std::to_string(w.x) + "," +
           std::to_string(w.y) + " size " + std::to_string(w.width) + "x" +
           std::to_string(w.height) + " border " + std::to_string(w.border) +
           (w.mapped ? " mapped" : " unmapped");
  };
  std::vector<WindowInfo> tree = window_tree(dpy, p.top);
  ASSERT_EQ(tree.size(), 3u);
  // Children bottom to top, i.e. in creation order here.
  EXPECT_EQ(tree[0].id, p.top);
  EXPECT_EQ(tree[1].id, p.child);
  EXPECT_EQ(tree[2].id, p.hidden);
  EXPECT_EQ(describe(tree[0]), "level 0 at 3,3 size 400x300 border 3 mapped");
  EXPECT_EQ(describe(tree[1]), "level 1 at 35,45 size 100x50 border 2 mapped");
  EXPECT_EQ(describe(tree[2]), "level 1 at 203,103 size 20x20 border 0 unmapped");
  EXPECT_EQ(tree[0].parent, DefaultRootWindow(dpy));
  EXPECT_EQ(tree[1].parent, p.top);
  EXPECT_EQ(tree[1].colormap, p.cmap);
  EXPECT_EQ(tree[1].depth, 8);

  // window_info asks the server for the root position instead of adding up offsets.
  WindowInfo single = window_info(dpy, p.child);
  EXPECT_EQ(single.x, 35);
  EXPECT_EQ(single.y, 45);
  EXPECT_EQ(single.parent, p.top);

  XMapWindow(p.dpy, p.hidden);
  XFlush(p.dpy);
  auto [mapped, seen] = wait_for_tree(
      dpy, p.top, [&](const auto& t) { return find(t, p.hidden) && find(t, p.hidden)->mapped; }, 5);
  EXPECT_TRUE(mapped);
  XUnmapWindow(p.dpy, p.hidden);
  XSync(p.dpy, False);
  EXPECT_FALSE(wait_for_tree(
                   dpy, p.top, [](const auto& t) { return t.size() != 3; }, 0.2)
                   .first);

  // Windows that no longer exist give empty answers, not a dead test.
  Window doomed = XCreateSimpleWindow(p.dpy, p.top, 0, 0, 5, 5, 0, 0, 0);
  XSync(p.dpy, False);
  XDestroyWindow(p.dpy, doomed);
  XSync(p.dpy, False);
  EXPECT_TRUE(window_tree(dpy, doomed).empty());
  EXPECT_EQ(window_info(dpy, doomed).id, 0u);
}

TEST_F(X11Harness, ReadsBackPixelsAndColours) {
  Display* dpy = user_->dpy();
  Probe& p = *probe_;
  const int w = 100, h = 50;
  std::vector<uint8_t> pattern(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pattern[y * w + x] = static_cast<uint8_t>(x * 7 + y * 13);
  XImage* img = XCreateImage(p.dpy, DefaultVisual(p.dpy, 0), 8, ZPixmap, 0,
                             reinterpret_cast<char*>(pattern.data()), w, h, 8, w);
  XPutImage(p.dpy, p.child, p.gc, img, 0, 0, 0, 0, w, h);
  img->data = nullptr;  // owned by `pattern`
  XDestroyImage(img);
  XSync(p.dpy, False);

  EXPECT_EQ(read_pixels(dpy, p.child, 0, 0, w, h), pattern);
  std::vector<uint8_t> sub;
  for (int y = 20; y < 25; ++y)
    for (int x = 10; x < 40; ++x) sub.push_back(pattern[y * w + x]);
  EXPECT_EQ(read_pixels(dpy, p.child, 10, 20, 30, 5), sub);
  // The same pixels seen from the root, at the child's root position.
  EXPECT_EQ(read_pixels(dpy, DefaultRootWindow(dpy), 35 + 10, 45 + 20, 30, 5), sub);
  EXPECT_THROW(read_pixels(dpy, p.child, 90, 0, 20, 10), std::runtime_error);
  EXPECT_THROW(read_pixels(dpy, p.hidden, 0, 0, 5, 5), std::runtime_error);

  // Components with equal bytes survive the server's rounding to its colour precision.
  XColor cells[2] = {{17, 0x0101, 0x0303, 0xfefe, DoRed | DoGreen | DoBlue, 0},
                     {18, 0xa0a0, 0x0000, 0x4242, DoRed | DoGreen | DoBlue, 0}};
  XStoreColors(p.dpy, p.cmap, cells, 2);
  XSync(p.dpy, False);
  std::vector<Rgb16> colours = query_colours(dpy, p.cmap, {18, 17});
  ASSERT_EQ(colours.size(), 2u);
  EXPECT_EQ(colours[0].r, 0xa0a0);
  EXPECT_EQ(colours[0].b, 0x4242);
  EXPECT_EQ(colours[1].r, 0x0101);
  EXPECT_EQ(colours[1].g, 0x0303);
  EXPECT_EQ(colours[1].b, 0xfefe);
}

TEST_F(X11Harness, SimulatedMouseReachesTheWindow) {
  Probe& p = *probe_;
  XEvent ev;
  user_->move(35 + 5, 45 + 6);
  user_->click(1);
  ASSERT_TRUE(p.next(ButtonPress, &ev));
  EXPECT_EQ(ev.xbutton.button, 1u);
  EXPECT_EQ(ev.xbutton.x, 5);
  EXPECT_EQ(ev.xbutton.y, 6);
  EXPECT_EQ(ev.xbutton.state & ControlMask, 0u);
  ASSERT_TRUE(p.next(ButtonRelease, &ev));

  user_->click(3, true);
  ASSERT_TRUE(p.next(ButtonPress, &ev));
  EXPECT_EQ(ev.xbutton.button, 3u);
  EXPECT_NE(ev.xbutton.state & ControlMask, 0u);

  p.discard_events();
  user_->double_click();
  XEvent first, second;
  ASSERT_TRUE(p.next(ButtonPress, &first));
  ASSERT_TRUE(p.next(ButtonPress, &second));
  EXPECT_LT(second.xbutton.time - first.xbutton.time, 250u);

  p.discard_events();
  user_->drag(1, 40, 50, 100, 80);
  int motions_with_button = 0;
  while (p.next(MotionNotify, &ev) && ev.xmotion.x != 65)
    if (ev.xmotion.state & Button1Mask) ++motions_with_button;
  EXPECT_GE(motions_with_button, 4);
  ASSERT_TRUE(p.next(ButtonRelease, &ev));
  EXPECT_EQ(ev.xbutton.x, 65);
  EXPECT_EQ(ev.xbutton.y, 35);
}

TEST_F(X11Harness, SimulatedKeyboardReachesTheWindow) {
  Probe& p = *probe_;
  user_->move(35 + 50, 45 + 20);  // key events follow the pointer (no window manager)
  XEvent ev;
  user_->type("Ab1 /");
  std::string typed;
  while (typed.size() < 5 && p.next(KeyPress, &ev)) {
    char buf[8];
    KeySym sym;
    int n = XLookupString(&ev.xkey, buf, sizeof buf, &sym, nullptr);
    typed.append(buf, n);
  }
  EXPECT_EQ(typed, "Ab1 /");

  user_->ctrl_key('m');
  KeySym sym = NoSymbol;
  while (p.next(KeyPress, &ev) && (sym = XLookupKeysym(&ev.xkey, 0)) == XK_Control_L) {
  }
  EXPECT_EQ(sym, static_cast<KeySym>(XK_m));
  EXPECT_NE(ev.xkey.state & ControlMask, 0u);

  user_->key_return();
  ASSERT_TRUE(p.next(KeyPress, &ev));
  EXPECT_EQ(XLookupKeysym(&ev.xkey, 0), static_cast<KeySym>(XK_Return));
}

TEST_F(X11Harness, ScreenshotUsesThePrivateColourMap) {
  if (access(kPython, X_OK) != 0) GTEST_SKIP() << "no " << kPython << " to decode PNG with";
  Probe& p = *probe_;
  XColor c{};
  c.pixel = 200;
  c.red = 0x1212, c.green = 0xabab, c.blue = 0x5656;
  c.flags = DoRed | DoGreen | DoBlue;
  XStoreColor(p.dpy, p.cmap, &c);
  XSetForeground(p.dpy, p.gc, 200);
  XFillRectangle(p.dpy, p.child, p.gc, 0, 0, 100, 50);
  XSync(p.dpy, False);

  std::string path = testing::TempDir() + "harness_screen_" + std::to_string(getpid()) + ".png";
  Process shot({std::string(TOLSVIK_BIN_DIR) + "/x11shot", "-display", server_->display(), path},
               "");
  ASSERT_EQ(shot.wait_exit(30), 0) << shot.stderr_text();
  EXPECT_EQ(shot.all_stdout(), path + "\n");
  EXPECT_EQ(check_png(path, 35 + 10, 45 + 10), "1280 1024 18 171 86");
  unlink(path.c_str());

  Process bad({std::string(TOLSVIK_BIN_DIR) + "/x11shot", "-display", ":9999", path}, "");
  EXPECT_EQ(bad.wait_exit(30), 1);
  EXPECT_FALSE(bad.stderr_text().empty());
}
