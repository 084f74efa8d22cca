// Rubber-banding: with Ctrl and the left button held the user drags out a line
// (or a chain of lines), a box, a circle or an ellipse from an anchor point. The
// shape follows the pointer while the button is held; the result is recorded in
// the overlay lists and reported through job codes 104 (a segment of a chain)
// and 105 (a finished shape).
//
// The actions are bound to the main form at initialisation and act only while a
// shape is armed. The drag loop runs inside the dispatch of the Ctrl + press and
// dispatches further events itself, so the release and double-click actions run
// nested inside it and end it through the rubber flag. Letting go of the button
// ends the drag whether or not Ctrl is still held.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "display/xstate.h"

namespace {

enum RubberFlag { kOff = 0, kArmed = 1, kDragging = 2, kChainWaits = 3 };
enum RubberType { kLine = 1, kBox = 2, kCircle = 3, kElipse = 4 };

int32_t clamp32(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

// The circle centred on the anchor through (x, y): diameter trunc(2 x distance),
// square at trunc(anchor - diameter / 2).
void rubber_circle(int x, int y, int& left, int& top, int& diam) {
  const double dx = static_cast<double>(x) - ds.rubber_start_x;
  const double dy = static_cast<double>(y) - ds.rubber_start_y;
  diam = clamp32(2.0 * std::sqrt(dx * dx + dy * dy));
  left = clamp32(ds.rubber_start_x - diam / 2.0);
  top = clamp32(ds.rubber_start_y - diam / 2.0);
}

// The rubber shape of the armed type from the anchor to (x, y).
void paint_rubber(GC gc, int x, int y) {
  const int x0 = ds.rubber_start_x, y0 = ds.rubber_start_y;
  switch (ds.rubber_type) {
    case kBox: {
      const int64_t w = std::llabs(static_cast<int64_t>(x) - x0);
      const int64_t h = std::llabs(static_cast<int64_t>(y) - y0);
      paint_box(gc, std::min(x, x0), std::min(y, y0),
                static_cast<int>(std::min<int64_t>(w, INT32_MAX)),
                static_cast<int>(std::min<int64_t>(h, INT32_MAX)));
      break;
    }
    case kCircle: {
      int left = 0, top = 0, diam = 0;
      rubber_circle(x, y, left, top, diam);
      paint_circle(gc, left, top, diam);
      break;
    }
    case kElipse: {
      int left = 0, top = 0, diam = 0;
      rubber_circle(x, y, left, top, diam);
      paint_elipse(gc, x0, y0, diam / 2.0, diam / 2.0, 0);
      break;
    }
    default: {
      const int32_t x1[1] = {x0}, y1[1] = {y0}, x2[1] = {x}, y2[1] = {y};
      paint_segments(gc, x1, y1, x2, y2, 0, 1);
      break;
    }
  }
}

// Replaces the rubber shape drawn to the last finish by one to (x, y).
void redraw_rubber(int x, int y) {
  paint_rubber(ds.gc_remove_vector, ds.rubber_finish_x, ds.rubber_finish_y);
  paint_rubber(ds.gc_draw_vector[ds.dash_style == 1 ? 1 : 0], x, y);
}

// The image position of a button event: where the button went down or up, not
// where the pointer has moved on to by the time the event is handled.
void event_position(const XEvent* event, int& x, int& y) {
  if (event == nullptr || (event->type != ButtonPress && event->type != ButtonRelease)) {
    readpointer(x, y);
    return;
  }
  int wx = 0, wy = 0;
  Window child = 0;
  XTranslateCoordinates(ds.display_id, event->xbutton.root, ds.image_area_window_id,
                        event->xbutton.x_root, event->xbutton.y_root, &wx, &wy, &child);
  pointer_at(wx, wy, x, y);
}

void track_if_on() {
  if (ds.pointer_flag != 0) pointer_track(nullptr, nullptr, nullptr, nullptr);
}

// A left-button release without Ctrl, which no binding of the main form takes.
bool plain_release(const XEvent& e) {
  return e.type == ButtonRelease && e.xbutton.button == Button1 &&
         (e.xbutton.state & ControlMask) == 0;
}

}  // namespace

void rubberenable(int type) {
  ds.rubber_flag = kArmed;
  ds.rubber_type = type;
}

void rubberread(int& x1, int& y1, int& x2, int& y2) {
  x1 = ds.rubber_start_x;
  y1 = ds.rubber_start_y;
  x2 = ds.rubber_finish_x;
  y2 = ds.rubber_finish_y;
}

// Erases the rubber line and drops the last recorded segment, whose end points
// become the anchor and finish again.
void rubberremoveline() {
  const int32_t x1[1] = {ds.rubber_start_x}, y1[1] = {ds.rubber_start_y};
  const int32_t x2[1] = {ds.rubber_finish_x}, y2[1] = {ds.rubber_finish_y};
  paint_segments(ds.gc_remove_vector, x1, y1, x2, y2, 0, 1);
  XSync(ds.display_id, False);
  if (vl.nlines == 0) return;
  const int last = --vl.nlines;
  ds.rubber_start_x = ds.chain_x = vl.line_x1[last];
  ds.rubber_start_y = ds.chain_y = vl.line_y1[last];
  ds.rubber_finish_x = vl.line_x2[last];
  ds.rubber_finish_y = vl.line_y2[last];
}

// Ctrl + left button down: the drag starts at the pointer, or, when a chain of
// lines continues, at the end of its last segment (whatever else was drawn since).
void action_rubber_read(Widget, XEvent* event, String*, Cardinal*) {
  if (ds.rubber_flag == kOff) return;
  int x = 0, y = 0;
  if (ds.rubber_flag == kChainWaits) {
    x = ds.chain_x;
    y = ds.chain_y;
  } else {
    event_position(event, x, y);
  }
  ds.rubber_start_x = ds.rubber_finish_x = x;
  ds.rubber_start_y = ds.rubber_finish_y = y;
  ds.rubber_flag = kDragging;
  bool first = true;
  while (ds.rubber_flag == kDragging) {
    readpointer(x, y);
    track_if_on();
    // The shape is redrawn only when the pointer has moved.
    if (first || x != ds.rubber_finish_x || y != ds.rubber_finish_y) {
      redraw_rubber(x, y);
      first = false;
    }
    XSync(ds.display_id, False);
    ds.rubber_finish_x = x;
    ds.rubber_finish_y = y;
    if (event_get_next()) {
      XEvent next;
      XtAppNextEvent(ds.app_context, &next);
      if (plain_release(next)) action_rubber_stop(ds.mainForm, &next, nullptr, nullptr);
      XtDispatchEvent(&next);
    } else {
      usleep(2000);
    }
  }
}

// Ctrl + left button up: a line segment is recorded and the chain waits for the
// next one; any other shape is finished.
// Only the end of a drag counts: a release without a press would record the
// anchor and finish of some earlier shape.
void action_rubber_stop(Widget w, XEvent* event, String* params, Cardinal* nparams) {
  if (ds.rubber_flag != kDragging) return;
  if (ds.rubber_type < kBox) {
    // The segment ends where the button was let go, which may be past the last
    // position the drag loop drew before this release reached it.
    int x = 0, y = 0;
    event_position(event, x, y);
    if (x != ds.rubber_finish_x || y != ds.rubber_finish_y) {
      redraw_rubber(x, y);
      ds.rubber_finish_x = x;
      ds.rubber_finish_y = y;
    }
    ds.rubber_flag = kChainWaits;
    ds.chain_x = ds.rubber_finish_x;
    ds.chain_y = ds.rubber_finish_y;
    record_line(ds.rubber_start_x, ds.rubber_start_y, ds.rubber_finish_x, ds.rubber_finish_y);
    post_job(kJobRubberLine);
    return;
  }
  action_rubber_finish(w, event, params, nparams);
  ds.rubber_type = 0;
}

// Left double click (also the end of a box, circle or ellipse drag): the shape
// is finished at the pointer and recorded; a line chain gets its last segment
// from its end to the pointer (none when the pointer is at its end). The rubber
// ellipse is only a guide: it is erased. Without a shape armed, a quick second
// click is just another pointer mark: the double-click binding must not swallow it.
void action_rubber_finish(Widget, XEvent* event, String*, Cardinal*) {
  if (ds.rubber_flag == kOff) {
    post_job(kJobPointer);
    return;
  }
  int x = 0, y = 0;
  event_position(event, x, y);
  track_if_on();
  const bool chain = ds.rubber_flag == kChainWaits;
  if (ds.rubber_flag == kArmed) {
    // Only armed: a shape of size zero at the pointer.
    ds.rubber_start_x = ds.rubber_finish_x = x;
    ds.rubber_start_y = ds.rubber_finish_y = y;
  } else if (chain) {
    // The recorded chain stays as it is; its last segment starts at its end.
    ds.rubber_start_x = ds.rubber_finish_x = ds.chain_x;
    ds.rubber_start_y = ds.rubber_finish_y = ds.chain_y;
  }
  const int x0 = ds.rubber_start_x, y0 = ds.rubber_start_y;
  const bool moved = x != x0 || y != y0;
  if (chain) {
    if (moved) paint_rubber(ds.gc_draw_vector[ds.dash_style == 1 ? 1 : 0], x, y);
  } else if (ds.rubber_type >= kLine && ds.rubber_type <= kCircle) {
    redraw_rubber(x, y);
  } else if (ds.rubber_flag == kDragging) {
    paint_rubber(ds.gc_remove_vector, ds.rubber_finish_x, ds.rubber_finish_y);
  }
  ds.rubber_finish_x = x;
  ds.rubber_finish_y = y;
  switch (ds.rubber_type) {
    case kLine:
      if (ds.rubber_flag == kDragging || (chain && moved)) record_line(x0, y0, x, y);
      break;
    case kBox:
      record_box(
          std::min(x0, x), std::min(y0, y),
          static_cast<int>(std::min<int64_t>(std::llabs(static_cast<int64_t>(x) - x0), INT32_MAX)),
          static_cast<int>(std::min<int64_t>(std::llabs(static_cast<int64_t>(y) - y0), INT32_MAX)));
      break;
    case kCircle: {
      int left = 0, top = 0, diam = 0;
      rubber_circle(x, y, left, top, diam);
      record_circle(left, top, diam);
      break;
    }
    default:
      break;
  }
  XSync(ds.display_id, False);
  post_job(kJobRubberShape);
  ds.rubber_flag = kOff;
}
