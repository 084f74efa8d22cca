// Checks of the parts of the x11 test harness that the display tests do not
// exercise on their own: free display numbers, timeouts and dead children, and
// the PNG files (decoded independently). Discovery, read-back and simulated
// input are checked by every display test that uses them.
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
    XMapWindow(dpy, child);
    XMapWindow(dpy, top);
    gc = XCreateGC(dpy, child, 0, nullptr);
    XSync(dpy, False);
  }
  ~Probe() {
    if (dpy) XCloseDisplay(dpy);
  }

  void discard_events() { XSync(dpy, True); }
};

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
