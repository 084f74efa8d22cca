// The test side of the display probe: one X server per test suite, a fresh probe per test
// started under it, commands sent and answers read, and the probe's window seen as the user
// sees it: its boxes found by their shape, its pixels read back (on the 8-bit screen a pixel
// value is the colour index).
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/x11_harness.h"
#include "tests/x11/patterns.h"

namespace probe {

using xdrive::WindowInfo;

class Probe {
 public:
  Probe(const xdrive::Xvfb& server, int width = 0, int height = 0)
      : child_({std::string(TOLSVIK_BIN_DIR) + "/tolpix_probe"}, server.display()) {
    cmd("init " + std::to_string(width) + " " + std::to_string(height));
  }
  // Sends one command and returns the lines it printed.
  std::vector<std::string> cmd(const std::string& line, double timeout = 60) {
    child_.write_line(line);
    return child_.read_until("<<done>>", timeout);
  }
  // Sends a command that waits for the user and returns at once.
  void send(const std::string& line) { child_.write_line(line); }
  std::vector<std::string> finish() { return child_.read_until("<<done>>"); }
  testsupport::Child& child() { return child_; }

 private:
  testsupport::Child child_;
};

inline bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

inline int number_after(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines)
    if (line.rfind(prefix, 0) == 0) return std::stoi(line.substr(prefix.size()));
  ADD_FAILURE() << "no line starting with \"" << prefix << "\"";
  return -9999;
}

// A suite shares one server; each test gets a probe (with a grey table) and the user.
class ProbeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new xdrive::Xvfb(1280, 1024, 8); }
  static void TearDownTestSuite() { delete server_; }
  static xdrive::Xvfb& server() { return *server_; }

  void SetUp() override {
    user = std::make_unique<xdrive::XUser>(server().display());
    stop();
    p = std::make_unique<Probe>(server());
    window = std::make_unique<xdrive::ProgramWindow>(*user, 20);
    image = window->image_info();
    p->cmd("table 0 127 grey");
  }
  // Ends the probe and waits until its window is gone, so no later search can find it.
  void stop() {
    p.reset();
    for (double end = xdrive::now_seconds() + 10; xdrive::find_toplevel(dpy(), "Zevar", 0);)
      if (xdrive::now_seconds() > end) throw std::runtime_error("an old probe window stays");
  }
  Display* dpy() { return user->dpy(); }
  // Image-area pixels, window coordinates.
  std::vector<uint8_t> shown(int x, int y, int w, int h) {
    return xdrive::read_pixels(dpy(), image.id, x, y, w, h);
  }
  uint8_t at(int x, int y) { return shown(x, y, 1, 1)[0]; }
  void move(int x, int y) { user->move(image.x + x, image.y + y); }
  // The boxes over the picture on show (children of the main form but the image area).
  std::vector<WindowInfo> boxes() {
    std::vector<WindowInfo> out;
    for (const WindowInfo& w : xdrive::window_tree(dpy(), window->form()))
      if (w.level == 1 && w.mapped && w.id != image.id) out.push_back(w);
    return out;
  }
  // The box on show of the given size (0: any), or one with id 0.
  WindowInfo box(int width, int height) {
    for (const WindowInfo& w : boxes())
      if ((width == 0 || w.width == width) && (height == 0 || w.height == height)) return w;
    return {};
  }
  WindowInfo menu(int items) { return box(0, window->menu_height(items)); }
  // Acts as the user while the probe handles events until job code `end_job`, and returns
  // the job codes it met. For actions that post no job, a mark where the pointer is ends the
  // wait once everything before it was handled.
  // `until` is polled (10 s at most) before that mark, for what shows only once the probe has
  // handled the events the action caused (exposures of a box it mapped).
  template <class Act>
  std::vector<std::string> acting(Act act, int end_job = 0, bool mark_after = true,
                                  const std::function<bool()>& until = nullptr) {
    p->send("wait " + std::to_string(end_job));
    act();
    for (double end = xdrive::now_seconds() + 10; until && !until() && xdrive::now_seconds() < end;)
      xdrive::sleep_seconds(0.01);
    if (end_job == 0 && mark_after) user->click(1);
    return p->finish();
  }
  // A click of `button` at picture position (x, y), handled by the probe.
  std::vector<std::string> click_at(int x, int y, int button = 1, int end_job = 0,
                                    const std::function<bool()>& until = nullptr) {
    return acting([&] { move(x, y), user->click(button); }, end_job, button != 1, until);
  }
  // Shows the entry box, waits until it is on the screen and puts the pointer over it.
  WindowInfo open_iobox(const std::string& arguments) {
    p->send("iobox " + arguments);
    p->child().read_until("iobox shown");
    const WindowInfo b = window->next_box(
        [](const WindowInfo& w) { return w.width == xdrive::kEntryBoxWidth; }, "the entry box");
    user->move(b.x + 200, b.y + b.height - 8);
    return b;
  }

  inline static xdrive::Xvfb* server_ = nullptr;
  std::unique_ptr<Probe> p;
  std::unique_ptr<xdrive::XUser> user;
  std::unique_ptr<xdrive::ProgramWindow> window;
  WindowInfo image;
};

inline uint8_t value(const std::string& name, int x, int y, int width) {
  return static_cast<uint8_t>(pattern_value(name, x, y, width));
}
inline std::vector<uint8_t> pattern_bytes(const std::string& name, int w, int h) {
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(value(name, x, y, w));
  return out;
}

}  // namespace probe
