// The program's window seen from outside, as a user meets it: the boxes over the picture are
// recognised by their shape when they appear, questions in the entry box are answered one by
// one, menu items are clicked by number, the slider is moved, and the picture is read back.
// Used by the x11 tests of the program and by the demo screenshot tool.
//
// Each box is watched as it is mapped (SubstructureNotify on the main form), so a question or
// menu is never missed nor taken twice, however fast the program is.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/x11_harness.h"

namespace x11test {

// Shapes the display library gives its boxes.
constexpr int kEntryBoxWidth = 800;  // the entry box
constexpr int kMenuItemHeight = 30;  // a menu is this high per item
constexpr int kScreenMargin = 50;    // the image area is the screen less this margin
constexpr int kSliderLength = 128;   // sliders and colour bars
constexpr double kStepTimeout = 30;  // seconds for one step of the program

class ProgramWindow {
 public:
  // Waits for the program's top-level window on the user's display.
  explicit ProgramWindow(XUser& user, double timeout = kStepTimeout) : user_(user) {
    Display* dpy = user_.dpy();
    top_ = find_toplevel(dpy, "Zevar", timeout);
    if (top_ == 0) throw std::runtime_error("the program's window did not appear");
    const int want_w = DisplayWidth(dpy, DefaultScreen(dpy)) - kScreenMargin;
    const int want_h = DisplayHeight(dpy, DefaultScreen(dpy)) - kScreenMargin;
    auto [ok, tree] = wait_for_tree(
        dpy, top_,
        [&](const std::vector<WindowInfo>& ws) {
          for (const WindowInfo& w : ws)
            if (w.level == 2 && w.width == want_w && w.height == want_h) return true;
          return false;
        },
        timeout);
    if (!ok) throw std::runtime_error("the program's image area did not appear");
    for (const WindowInfo& w : tree) {
      if (w.level == 1) form_ = w.id;
      if (w.level == 2 && w.width == want_w && w.height == want_h) image_ = w.id;
    }
    XSelectInput(dpy, form_, SubstructureNotifyMask);
    XSync(dpy, False);
    // Boxes already on show count as just shown (a map after the selection is a duplicate).
    for (const WindowInfo& w : window_tree(dpy, form_))
      if (w.level == 1 && w.mapped) note_mapped(w.id);
  }

  Display* dpy() { return user_.dpy(); }
  Window top() const { return top_; }
  Window image_area() const { return image_; }
  WindowInfo image_info() { return window_info(dpy(), image_); }

  // Waits until the next box shown satisfies `accept` and returns it. Boxes shown before it
  // that do not are passed over.
  WindowInfo next_box(const std::function<bool(const WindowInfo&)>& accept, const std::string& what,
                      double timeout = kStepTimeout) {
    const double deadline = now_seconds() + timeout;
    for (;;) {
      while (!shown_.empty()) {
        Window id = shown_.front();
        shown_.pop_front();
        WindowInfo w = window_info(dpy(), id);
        if (w.id != 0 && w.mapped && accept(w)) return w;
      }
      read_events();
      if (!shown_.empty()) continue;
      if (now_seconds() > deadline) throw std::runtime_error("timed out waiting for " + what);
      sleep_seconds(0.01);
    }
  }

  // The next question: waits for the entry box, types `text` and presses Return.
  void answer(const std::string& text, double timeout = kStepTimeout) {
    WindowInfo box = next_box([](const WindowInfo& w) { return w.width == kEntryBoxWidth; },
                              "the entry box (answer \"" + text + "\")", timeout);
    user_.move(box.x + 200, box.y + box.height - 8);
    if (!text.empty()) user_.type(text);
    user_.key_return();
  }

  // The next menu of `items` items.
  WindowInfo wait_menu(int items, double timeout = kStepTimeout) {
    return next_box(
        [&](const WindowInfo& w) {
          return w.height == kMenuItemHeight * items && w.width < kEntryBoxWidth &&
                 window_tree(dpy(), w.id).size() == 1;
        },
        "a menu of " + std::to_string(items) + " items", timeout);
  }

  // Clicks item n (counted from 1) of a menu on show.
  void click_item(const WindowInfo& menu, int n) {
    const int pitch = menu_row_pitch();
    user_.move(menu.x + 20, menu.y + 2 + (n - 1) * pitch + pitch / 2);
    user_.click(1);
  }

  // Waits for the next menu of `items` items and picks item n.
  void choose(int items, int n, double timeout = kStepTimeout) {
    click_item(wait_menu(items, timeout), n);
  }

  // Waits for the slider box and returns its first slider.
  WindowInfo wait_slider(double timeout = kStepTimeout) {
    WindowInfo box = next_box([&](const WindowInfo& w) { return !sliders_in(w.id).empty(); },
                              "the slider box", timeout);
    return sliders_in(box.id).front();
  }

  // Moves the slider with the middle button to `fraction` (0..1) of its length.
  void move_slider(const WindowInfo& slider, double fraction) {
    user_.move(slider.x + static_cast<int>(fraction * slider.width), slider.y + slider.height / 2);
    user_.click(2);
  }

  // Marks a point with the left button at image-area window position (x, y).
  void mark(int x, int y) {
    WindowInfo image = image_info();
    user_.move(image.x + x, image.y + y);
    user_.click(1);
  }

  // Polls the image area until the rectangle at (x, y) shows exactly `expected` (row after
  // row from the top). On timeout returns false and says where the first difference lies.
  bool wait_for_picture(int x, int y, int width, int height, const std::vector<uint8_t>& expected,
                        std::string& why, double timeout = kStepTimeout) {
    const double deadline = now_seconds() + timeout;
    std::vector<uint8_t> seen;
    for (;;) {
      seen = read_pixels(dpy(), image_, x, y, width, height);
      if (seen == expected) return true;
      if (now_seconds() > deadline) break;
      sleep_seconds(0.05);
    }
    why = describe_difference(seen, expected, x, y, width);
    return false;
  }

  static std::string describe_difference(const std::vector<uint8_t>& seen,
                                         const std::vector<uint8_t>& expected, int x, int y,
                                         int width) {
    if (seen.size() != expected.size()) return "sizes differ";
    size_t wrong = 0, first = seen.size();
    for (size_t i = 0; i < seen.size(); ++i)
      if (seen[i] != expected[i]) {
        if (first == seen.size()) first = i;
        ++wrong;
      }
    if (wrong == 0) return "no difference";
    const int fx = x + static_cast<int>(first % width), fy = y + static_cast<int>(first / width);
    return std::to_string(wrong) + " pixels differ; the first at window (" + std::to_string(fx) +
           "," + std::to_string(fy) + "): shown " + std::to_string(seen[first]) + ", expected " +
           std::to_string(expected[first]);
  }

 private:
  // Rows of the menu list: the height of the program's font and two pixels between rows.
  int menu_row_pitch() {
    if (pitch_ > 0) return pitch_;
    for (const char* name :
         {"*helvetica-bold-r-normal-*-17-120*100*", "*fixed-bold-r-normal-*-13-120-*-75-c-70*"}) {
      if (XFontStruct* font = XLoadQueryFont(dpy(), name)) {
        pitch_ = font->max_bounds.ascent + font->max_bounds.descent + 2;
        XFreeFont(dpy(), font);
        return pitch_;
      }
    }
    throw std::runtime_error("none of the program's fonts is available");
  }

  // The sliders of a slider box, left to right: its children of the slider length that come
  // before a colour bar of the same size. The first of each such pair is the slider.
  std::vector<WindowInfo> sliders_in(Window box) {
    std::vector<WindowInfo> bars;
    for (const WindowInfo& w : window_tree(dpy(), box))
      if (w.level == 1 && w.mapped && w.width == kSliderLength) bars.push_back(w);
    std::sort(bars.begin(), bars.end(),
              [](const WindowInfo& a, const WindowInfo& b) { return a.x < b.x; });
    std::vector<WindowInfo> sliders;
    for (size_t i = 0; i < bars.size(); i += 2) sliders.push_back(bars[i]);
    return sliders;
  }

  void note_mapped(Window id) {
    if (mapped_.insert(id).second) shown_.push_back(id);
  }

  // Takes the pending structure events.
  void read_events() {
    Display* d = dpy();
    while (XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify && e.xmap.event == form_) {
        note_mapped(e.xmap.window);
      } else if (e.type == UnmapNotify && e.xunmap.event == form_) {
        mapped_.erase(e.xunmap.window);
      } else if (e.type == DestroyNotify && e.xdestroywindow.event == form_) {
        mapped_.erase(e.xdestroywindow.window);
      }
    }
  }

  XUser& user_;
  Window top_ = 0, form_ = 0, image_ = 0;
  int pitch_ = 0;
  std::set<Window> mapped_;   // children of the form on show
  std::deque<Window> shown_;  // shown since last looked at, oldest first
};

}  // namespace x11test
