// Simulated keyboard and mouse through the XTest extension.
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdexcept>

#include "tests/support/x11_harness.h"

namespace x11test {

XUser::XUser(const std::string& display) {
  dpy_ = XOpenDisplay(display.c_str());
  if (!dpy_) throw std::runtime_error("XUser: cannot connect to " + display);
  int event_base, error_base, major, minor;
  if (!XTestQueryExtension(dpy_, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(dpy_);
    throw std::runtime_error("XUser: the server on " + display + " has no XTest");
  }
  // Our fake events must still be processed while another client holds a server grab.
  XTestGrabControl(dpy_, True);
}

XUser::~XUser() {
  if (dpy_) XCloseDisplay(dpy_);
}

void XUser::move(int x, int y) {
  XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), x, y, CurrentTime);
  XSync(dpy_, False);
}

void XUser::key(unsigned long keysym, bool down) {
  KeyCode code = XKeysymToKeycode(dpy_, keysym);
  if (code == 0) throw std::runtime_error("XUser: no key for keysym " + std::to_string(keysym));
  XTestFakeKeyEvent(dpy_, code, down, CurrentTime);
}

void XUser::press(int button, bool ctrl) {
  if (ctrl) key(XK_Control_L, true);
  XTestFakeButtonEvent(dpy_, button, True, CurrentTime);
  XSync(dpy_, False);
}

void XUser::release(int button, bool ctrl) {
  XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
  if (ctrl) key(XK_Control_L, false);
  XSync(dpy_, False);
}

void XUser::click(int button, bool ctrl) {
  press(button, ctrl);
  release(button, ctrl);
}

void XUser::double_click(int button) {
  click(button);
  sleep_seconds(0.03);
  click(button);
}

void XUser::drag(int button, int x1, int y1, int x2, int y2, bool ctrl, int steps) {
  move(x1, y1);
  press(button, ctrl);
  if (steps < 1) steps = 1;
  for (int i = 1; i <= steps; ++i) {
    sleep_seconds(0.01);
    move(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
  }
  sleep_seconds(0.01);
  release(button, ctrl);
}

// One key stroke; Shift is held when the keysym sits in the shifted column of its key.
void XUser::tap(unsigned long keysym, bool ctrl) {
  KeyCode code = XKeysymToKeycode(dpy_, keysym);
  if (code == 0) throw std::runtime_error("XUser: no key for keysym " + std::to_string(keysym));
  bool shift = XkbKeycodeToKeysym(dpy_, code, 0, 0) != keysym &&
               XkbKeycodeToKeysym(dpy_, code, 0, 1) == keysym;
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
    if (c < 0x20 || c > 0x7e) throw std::runtime_error("XUser::type: only printable ASCII");
    // Printable ASCII characters are their own keysyms (space is XK_space == 0x20).
    tap(static_cast<unsigned char>(c), false);
  }
}

void XUser::key_return() {
  tap(XK_Return, false);
}

void XUser::ctrl_key(char letter) {
  tap(static_cast<unsigned char>(letter), true);
}

void XUser::pause(double seconds) {
  XSync(dpy_, False);
  sleep_seconds(seconds);
  XSync(dpy_, False);
}

}  // namespace x11test
