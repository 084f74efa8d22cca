// The program's window seen from outside, as a user meets it: the boxes over the picture are
// recognised by their shape as they appear, questions in the entry box are answered, and menu
// items are clicked by number. Each box is watched as it is mapped (SubstructureNotify on the
// main form), so a question or menu is never missed nor taken twice, however fast the program.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>

#include "samples/xdrive.h"

namespace xdrive {

// Shapes the display library gives its boxes.
constexpr int kEntryBoxWidth = 800;
constexpr int kScreenMargin = 50;  // the full image area is the screen less this margin

class ProgramWindow {
 public:
  // Waits for the program's top-level window and its image area of the given size (0: the
  // screen less the margin).
  ProgramWindow(XUser& user, double timeout, int image_width = 0, int image_height = 0)
      : user_(user), timeout_(timeout) {
    Display* d = dpy();
    if (image_width <= 0) image_width = DisplayWidth(d, DefaultScreen(d)) - kScreenMargin;
    if (image_height <= 0) image_height = DisplayHeight(d, DefaultScreen(d)) - kScreenMargin;
    for (const double deadline = now_seconds() + timeout; !image_ && now_seconds() < deadline;) {
      top_ = find_toplevel(d, "Zevar", 0);
      for (const WindowInfo& w : top_ ? window_tree(d, top_) : std::vector<WindowInfo>{}) {
        if (w.level == 1) form_ = w.id;
        if (w.level == 2 && w.width == image_width && w.height == image_height) image_ = w.id;
      }
      if (!image_) sleep_seconds(0.05);
    }
    if (!image_) throw std::runtime_error("the program's window did not appear");
    XSelectInput(d, form_, SubstructureNotifyMask);
    XSync(d, False);
    // Boxes already on show count as just shown.
    for (const WindowInfo& w : window_tree(d, form_))
      if (w.level == 1 && w.mapped && w.id != image_) note_mapped(w.id);
  }

  Display* dpy() { return user_.dpy(); }
  XUser& user() { return user_; }
  Window top() const { return top_; }
  Window form() const { return form_; }
  Window image_area() const { return image_; }
  WindowInfo image_info() { return window_info(dpy(), image_); }

  // Waits until the next box shown satisfies `accept`; boxes shown before it are passed over.
  WindowInfo next_box(const std::function<bool(const WindowInfo&)>& accept,
                      const std::string& what) {
    const double deadline = now_seconds() + timeout_;
    for (;;) {
      while (!shown_.empty()) {
        const WindowInfo w = window_info(dpy(), shown_.front());
        shown_.pop_front();
        if (w.id != 0 && w.mapped && accept(w)) return w;
      }
      read_events();
      if (!shown_.empty()) continue;
      if (now_seconds() > deadline) throw std::runtime_error("timed out waiting for " + what);
      sleep_seconds(0.01);
    }
  }

  // The next question: waits for the entry box, types `text` and presses Return.
  void answer(const std::string& text) {
    const WindowInfo box = next_box([](const WindowInfo& w) { return w.width == kEntryBoxWidth; },
                                    "the entry box (answer \"" + text + "\")");
    user_.move(box.x + 200, box.y + box.height - 8);  // keys go where the pointer is
    if (!text.empty()) user_.type(text);
    user_.key_return();
  }

  // The next menu of `items` items.
  WindowInfo wait_menu(int items) {
    return next_box(
        [&](const WindowInfo& w) {
          return w.height == menu_height(items) && w.width < kEntryBoxWidth &&
                 window_tree(dpy(), w.id).size() == 1;
        },
        "a menu of " + std::to_string(items) + " items");
  }

  // Clicks item n (from 1) of a menu on show.
  void click_item(const WindowInfo& menu, int n) {
    const int pitch = menu_row_pitch();
    user_.move(menu.x + 20, menu.y + 2 + (n - 1) * pitch + pitch / 2);
    user_.click(1);
  }

  void choose(int items, int n) { click_item(wait_menu(items), n); }

  // A menu is as high as its rows and two pixels above and below them.
  int menu_height(int items) { return items * menu_row_pitch() + 4; }

  // Rows of the menu list: the height of the program's font and two pixels between rows.
  int menu_row_pitch() {
    for (const char* name :
         {"*helvetica-bold-r-normal-*-17-120*100*", "*fixed-bold-r-normal-*-13-120-*-75-c-70*"}) {
      if (XFontStruct* font = XLoadQueryFont(dpy(), name)) {
        const int pitch = font->max_bounds.ascent + font->max_bounds.descent + 2;
        XFreeFont(dpy(), font);
        return pitch;
      }
    }
    throw std::runtime_error("none of the program's fonts is available");
  }

 private:
  void note_mapped(Window id) {
    if (mapped_.insert(id).second) shown_.push_back(id);
  }

  void read_events() {
    while (XPending(dpy()) > 0) {
      XEvent e;
      XNextEvent(dpy(), &e);
      if (e.type == MapNotify && e.xmap.event == form_) note_mapped(e.xmap.window);
      if (e.type == UnmapNotify && e.xunmap.event == form_) mapped_.erase(e.xunmap.window);
      if (e.type == DestroyNotify && e.xdestroywindow.event == form_)
        mapped_.erase(e.xdestroywindow.window);
    }
  }

  XUser& user_;
  double timeout_;
  Window top_ = 0, form_ = 0, image_ = 0;
  std::set<Window> mapped_;   // children of the form on show
  std::deque<Window> shown_;  // shown since last looked at, oldest first
};

}  // namespace xdrive
