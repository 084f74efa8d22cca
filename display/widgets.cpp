// The event pump with its timer, the actions bound to buttons and keys, and the four boxes
// shown over the top-left corner of the picture: the menu, the message label,
// the entry box and the slider box. Whichever of them are shown are stacked
// from the top in that order (label or entry box, sliders, menu) and never
// overlap one another.
#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/List.h>
#include <X11/Xaw/Scrollbar.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "display/tolpix.h"
#include "display/xstate.h"

namespace {

void expose_menu(Widget, XtPointer, XEvent*, Boolean*) {
  ds.expose_menu_flag = 1;
}

// Dispatches events until the widget's expose handler has raised its flag, so
// that the box is on the screen when the routine returns.
void wait_for_expose(int& flag) {
  while (flag == 0) eventdispatch();
  XSync(ds.display_id, False);
  flag = 0;
}

// Gives a box new stacking constraints. The box is unmanaged while they change
// and raised before it is managed again, so that it stays above the picture.
void place(Widget w, Widget above, int distance) {
  XtUnmanageChild(w);
  XtVaSetValues(w, XtNfromVert, above, XtNvertDistance, distance, nullptr);
  XRaiseWindow(ds.display_id, XtWindow(w));
  XtManageChild(w);
}

// Stacks the slider box and the menu under the given top box (label or entry
// box), or from the top of the form when there is none.
void restack_under(Widget top) {
  if (ds.slider_flag > 0) place(ds.sliderBox, top, 1);
  if (ds.menu_flag == 1) {
    if (ds.slider_flag > 0) {
      place(ds.menuBox, ds.sliderBox, 1);
    } else if (top != nullptr) {
      place(ds.menuBox, top, 1);
    } else {
      place(ds.menuBox, nullptr, kFontSpacer);
    }
  }
}

// After the label or the entry box goes away: sliders to the top, the menu
// under them (or to the top without sliders). Only done while a menu is shown.
void restack_without_top() {
  if (ds.menu_flag != 1) return;
  if (ds.slider_flag > 0) {
    place(ds.sliderBox, nullptr, 1);
    place(ds.menuBox, ds.sliderBox, 1);
  } else {
    place(ds.menuBox, nullptr, kFontSpacer);
  }
}

// Where the menu hangs: under the sliders if shown, else under the label if
// shown, else at the top of the form. (An entry box shown at that moment is not
// considered; showing the entry box moves the menu under it.)
std::pair<Widget, int> menu_anchor() {
  if (ds.slider_flag > 0) return {ds.sliderBox, 1};
  if (ds.label_flag == 1) return {ds.label, 1};
  return {nullptr, kFontSpacer};
}

// The menu has just been managed: unless it is event-driven, wait until it is
// on the screen (registering the same handler again is a no-op for the toolkit).
void menu_shown() {
  if (ds.event_proc == 0) {
    XtAddEventHandler(ds.menuBox, ExposureMask, False, expose_menu, nullptr);
    wait_for_expose(ds.expose_menu_flag);
  }
  XSync(ds.display_id, False);
  ds.expose_menu_flag = 0;
  ds.menu_flag = 1;
}

void menu_callback(Widget w, XtPointer, XtPointer call_data) {
  auto* selected = static_cast<XawListReturnStruct*>(call_data);
  XawListUnhighlight(w);
  post_job(selected->list_index + 1);
}

void action_slider_callback(Widget, XtPointer client_data, XtPointer call_data) {
  float position = *static_cast<float*>(call_data);
  ds.slider_position = position * 100.0f;
  long which = reinterpret_cast<long>(client_data);
  if (which == 1) {
    post_job(kJobSlider1);
  } else if (which == 2) {
    post_job(kJobSlider2);
  } else {
    post_job(ds.icallback_value);
  }
}

// Registers the jump callback of a slider exactly once: every showing of the
// sliders asks for it, and a second registration would only repeat the job code.
void watch_slider(Widget slider, long which) {
  XtRemoveCallback(slider, XtNjumpProc, action_slider_callback, reinterpret_cast<XtPointer>(which));
  XtAddCallback(slider, XtNjumpProc, action_slider_callback, reinterpret_cast<XtPointer>(which));
}

void show_sliders(int nsliders) {
  // The slider box hangs under the label or the entry box when one is shown.
  if (ds.label_flag == 1) {
    XtVaSetValues(ds.sliderBox, XtNfromVert, ds.label, XtNvertDistance, 1, nullptr);
  } else if (ds.iobox_flag == 1) {
    XtVaSetValues(ds.sliderBox, XtNfromVert, ds.ioBox, XtNvertDistance, 1, nullptr);
  }
  if (ds.menu_flag == 1) place(ds.menuBox, ds.sliderBox, 1);

  // The interior is rebuilt with its children unmanaged, so that managing them
  // again makes the box lay them out afresh and take the size they need.
  Widget interior[4] = {ds.slider1, ds.colour_bar1, ds.slider2, ds.colour_bar2};
  XtUnmanageChildren(interior, 4);
  XawScrollbarSetThumb(ds.slider1, ds.slider1_start_position, 0.0f);
  watch_slider(ds.slider1, 1);
  if (nsliders <= 1) {
    XtVaSetValues(ds.slider1, XtNfromHoriz, ds.slider_label, XtNfromVert, nullptr, XtNhorizDistance,
                  kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtVaSetValues(ds.colour_bar1, XtNfromHoriz, ds.slider1, XtNfromVert, nullptr, XtNhorizDistance,
                  kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtManageChildren(interior, 2);
  } else {
    XawScrollbarSetThumb(ds.slider2, ds.slider2_start_position, 0.0f);
    watch_slider(ds.slider2, 2);
    XtVaSetValues(ds.slider1, XtNfromHoriz, nullptr, XtNfromVert, ds.slider_label, XtNhorizDistance,
                  kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtVaSetValues(ds.colour_bar1, XtNfromHoriz, ds.slider1, XtNfromVert, ds.slider_label,
                  XtNhorizDistance, kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtVaSetValues(ds.slider2, XtNfromHoriz, ds.colour_bar1, XtNfromVert, ds.slider_label,
                  XtNhorizDistance, kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtVaSetValues(ds.colour_bar2, XtNfromHoriz, ds.slider2, XtNfromVert, ds.slider_label,
                  XtNhorizDistance, kFontSpacer, XtNvertDistance, kFontSpacer, nullptr);
    XtManageChildren(interior, 4);
  }
  // The box takes the size its laid-out interior prefers.
  XtWidgetGeometry preferred{};
  XtQueryGeometry(ds.sliderBox, nullptr, &preferred);
  if (preferred.request_mode & (CWWidth | CWHeight))
    XtVaSetValues(ds.sliderBox, XtNwidth, preferred.width, XtNheight, preferred.height, nullptr);
  XtManageChild(ds.sliderBox);
  XRaiseWindow(ds.display_id, XtWindow(ds.sliderBox));
  XSync(ds.display_id, False);
  wait_for_expose(ds.expose_slider_flag);
}

// The timer: a toolkit time-out that posts kJobTimer and sets itself again.
XtIntervalId timer_id = 0;
unsigned long timer_milliseconds = 0;
bool timer_running = false;

void timer_tick(XtPointer, XtIntervalId*) {
  timer_id = XtAppAddTimeOut(ds.app_context, timer_milliseconds, timer_tick, nullptr);
  // A tick never replaces a job code the application has not read yet. It is not a
  // callback value either: a refused pixmap (999) must stay visible to the drawing.
  if (locjob == kJobNone) tolpixcallback(kJobTimer);
}

}  // namespace

void post_job(int value) {
  ds.icallback_value = value;
  tolpixcallback(value);
}

void eventdispatch() {
  // While the timer runs a tick ends the wait too. X events go first: a tick due at every
  // look (a short interval, a slow server) must never keep the user's click waiting.
  if (timer_running && (XtAppPending(ds.app_context) & XtIMXEvent) == 0) {
    XtAppProcessEvent(ds.app_context, XtIMAll);
    return;
  }
  XtAppNextEvent(ds.app_context, &ds.event_return);
  XtDispatchEvent(&ds.event_return);
}

void timer(int microseconds) {
  if (timer_running) XtRemoveTimeOut(timer_id);
  timer_running = false;
  if (locjob == kJobTimer) locjob = kJobNone;
  if (microseconds < 0) return;
  timer_milliseconds = (static_cast<unsigned long>(microseconds) + 500) / 1000;
  timer_id = XtAppAddTimeOut(ds.app_context, timer_milliseconds, timer_tick, nullptr);
  timer_running = true;
}

int event_get_next() {
  return (XtAppPending(ds.app_context) & XtIMXEvent) != 0 ? 1 : 0;
}

void expose_iobox(Widget, XtPointer, XEvent*, Boolean*) {
  ds.expose_iobox_flag = 1;
}
void expose_label(Widget, XtPointer, XEvent*, Boolean*) {
  ds.expose_label_flag = 1;
}
void expose_slider(Widget, XtPointer, XEvent*, Boolean*) {
  ds.expose_slider_flag = 1;
}

void action_read_pointer(Widget, XEvent*, String*, Cardinal*) {
  post_job(kJobPointer);
}
void action_iobox(Widget, XEvent*, String*, Cardinal*) {
  post_job(kJobReturn);
}

// ---- Menu ----

void menuinit(int nitems, int item_length, char* items) {
  if (ds.menuBox != nullptr) {
    XtDestroyWidget(ds.menuBox);
    ds.menuBox = nullptr;
    ds.menu_flag = 0;
  }
  nitems = std::clamp(nitems, 0, kMaxMenuItems);
  for (int i = 0; i < nitems; ++i) ds.menu_pointer[i] = items + static_cast<long>(i) * item_length;

  // The list takes the height of its rows, so that every point of it is an item.
  auto [above, distance] = menu_anchor();
  ds.menuBox = XtVaCreateManagedWidget(
      "menuBox", listWidgetClass, ds.mainForm, XtNfont, ds.font_default, XtNdefaultColumns, 1,
      XtNforceColumns, True, XtNlist, ds.menu_pointer, XtNnumberStrings, nitems, XtNborderColor,
      static_cast<Pixel>(ds.colour_red), XtNforeground, static_cast<Pixel>(ds.colour_black),
      XtNbackground, static_cast<Pixel>(ds.colour_white), XtNfromVert, above, XtNvertDistance,
      distance, nullptr);
  XtVaSetValues(ds.menuBox, XtNtop, XtChainTop, XtNbottom, XtChainTop, XtNleft, XtChainLeft,
                XtNright, XtChainLeft, nullptr);
  XtAddCallback(ds.menuBox, XtNcallback, menu_callback, nullptr);
  ds.menuBox_window_id = XtWindow(ds.menuBox);
  XRaiseWindow(ds.display_id, ds.menuBox_window_id);
  if (ds.visual_ready) XSetWindowColormap(ds.display_id, ds.menuBox_window_id, ds.colourmap);
  menu_shown();
}

void actionmenudisplay() {
  if (ds.menuBox == nullptr) return;
  auto [above, distance] = menu_anchor();
  place(ds.menuBox, above, distance);
  menu_shown();
}

void actionmenudisplay_(Widget, XEvent*, String*, Cardinal*) {
  actionmenudisplay();
}

void menuhide() {
  if (ds.menu_flag != 1) return;
  XtUnmanageChild(ds.menuBox);
  if (ds.event_proc == 0)
    XtRemoveEventHandler(ds.menuBox, ExposureMask, False, expose_menu, nullptr);
  ds.event_proc = 0;
  drawpixmap(ds.map_no);  // the menu covered part of the picture
  XSync(ds.display_id, False);
  ds.menu_flag = 0;
}

void menuevent() {
  ds.event_proc = 1;
}

// ---- Message label ----

void labeldisplay(const char* text) {
  if (ds.label_flag == 1) {
    XtUnmanageChild(ds.label);
    ds.label_flag = 0;
  }
  if (ds.iobox_flag == 1) ioboxhide();
  ds.iobox_flag = 0;
  std::snprintf(ds.label_text, sizeof ds.label_text, "%s", text);
  XtVaSetValues(ds.label, XtNlabel, ds.label_text, XtNfromVert, nullptr, XtNvertDistance,
                kFontSpacer, nullptr);
  restack_under(ds.label);
  XRaiseWindow(ds.display_id, XtWindow(ds.label));
  XtManageChild(ds.label);
  wait_for_expose(ds.expose_label_flag);
  ds.label_flag = 1;
}

void labelhide() {
  restack_without_top();
  if (ds.label_flag == 1) {
    XtUnmanageChild(ds.label);
    XSync(ds.display_id, False);
    ds.label_flag = 0;
  }
}

void action_label_display_(Widget, XEvent*, String*, Cardinal*) {
  XtUnmanageChild(ds.label);
  XtVaSetValues(ds.label, XtNfromVert, nullptr, XtNvertDistance, kFontSpacer, nullptr);
  restack_under(ds.label);
  XRaiseWindow(ds.display_id, XtWindow(ds.label));
  XtManageChild(ds.label);
  wait_for_expose(ds.expose_label_flag);
  ds.label_flag = 1;
}

// ---- Entry box ----

void ioboxdisplay(const char* prompt, const char* reply, int nlines) {
  if (ds.iobox_flag == 1) ioboxhide();
  if (ds.label_flag == 1) {
    XtUnmanageChild(ds.label);
    XSync(ds.display_id, False);
  }
  ds.label_flag = 0;

  XtUnmanageChild(ds.ioBox);
  XtVaSetValues(ds.ioBox, XtNheight, ds.iobox_height * (nlines + 1) + kIoboxGap + kFontSpacer,
                XtNfromVert, nullptr, XtNvertDistance, kFontSpacer, nullptr);
  XtManageChild(ds.ioBox);

  std::snprintf(ds.label_text, sizeof ds.label_text, "%s", prompt);
  XtVaSetValues(ds.ioBox_label, XtNheight, ds.iobox_height * nlines + kFontSpacer, XtNlabel,
                ds.label_text, nullptr);
  XtManageChild(ds.ioBox_label);

  // The field holds at most kStringLength - 1 characters and its terminator.
  std::memset(ds.store_string, 0, sizeof ds.store_string);
  std::strncpy(ds.store_string, reply, kStringLength - 1);
  XtVaSetValues(ds.ioBox_text, XtNheight, ds.iobox_height + kFontSpacer, XtNstring, ds.store_string,
                nullptr);
  XawTextSetInsertionPoint(ds.ioBox_text,
                           static_cast<XawTextPosition>(std::strlen(ds.store_string)));
  XtSetKeyboardFocus(ds.mainForm, ds.ioBox_text);
  XtManageChild(ds.ioBox_text);
  XRaiseWindow(ds.display_id, XtWindow(ds.ioBox));

  if (ds.slider_flag > 0) place(ds.sliderBox, ds.ioBox, 1);
  if (ds.menu_flag == 1) place(ds.menuBox, ds.slider_flag > 0 ? ds.sliderBox : ds.ioBox, 1);
  wait_for_expose(ds.expose_iobox_flag);
  ds.iobox_flag = 1;
}

void ioboxreadstring(char* destination, int capacity) {
  if (capacity <= 0) return;
  // The text widget may have replaced its buffer pointer; ask it for the text.
  String text = nullptr;
  XtVaGetValues(ds.ioBox_text, XtNstring, &text, nullptr);
  if (text == nullptr) text = ds.store_string;
  int n = 0;
  while (n < capacity - 1 && n < kStringLength - 1 && text[n] != '\0') {
    destination[n] = text[n];
    ++n;
  }
  destination[n] = '\0';
}

void ioboxhide() {
  if (ds.iobox_flag != 1) return;
  XtUnmanageChild(ds.ioBox);
  ds.iobox_flag = 0;
  XtSetKeyboardFocus(ds.mainForm, ds.mainForm);
  restack_without_top();
  XSync(ds.display_id, False);
}

// ---- Sliders ----

void sliderinit(int nsliders, float pos1, float pos2) {
  if (ds.slider_flag > 0) XtUnmanageChild(ds.sliderBox);
  nsliders = std::clamp(nsliders, 1, 2);
  ds.slider_flag = ds.ksliders = nsliders;
  ds.slider1_start_position = pos1;
  ds.slider2_start_position = pos2;
  show_sliders(nsliders);
}

void action_slider_display_(Widget, XEvent*, String*, Cardinal*) {
  if (ds.ksliders == 0) return;  // no sliders were ever shown
  ds.slider_flag = ds.ksliders;
  show_sliders(ds.ksliders);
}

void sliderhide() {
  if (ds.slider_flag == 0) return;
  XtUnmanageChild(ds.sliderBox);
  ds.slider_flag = 0;
  if (ds.menu_flag == 1) {
    if (ds.label_flag == 1) {
      place(ds.menuBox, ds.label, 1);
    } else {
      place(ds.menuBox, nullptr, kFontSpacer);
    }
  }
  XSync(ds.display_id, False);
}

float readslider() {
  return ds.slider_position;
}
