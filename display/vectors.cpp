// Overlay items: boxes, circles, ellipses, line segments, points and texts the
// program marks on the picture. Each is recorded in a list of its kind so that it
// can be drawn again (in the zoom window, after the cross-hair passed over it)
// and erased one by one.
//
// Items are drawn by setting the top bit of the pixel values ("or 128") and
// erased by clearing it ("and 127"), which gives the picture's own values back
// without touching the raster. Every drawing goes to the image window (at the
// image position plus the pan), to the stored picture of the current map (at the
// image position) and, while the zoom window is shown, magnified into the zoom
// window and its pixmap.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "display/xstate.h"
#include "textio/stop.h"

namespace {

constexpr int kCircleAngle = 360 * 64;  // a full arc in X's 1/64 degree
constexpr int kCoordMin = -32768;       // window coordinates are 16-bit
constexpr int kCoordMax = 32767;
constexpr int kSegmentBatch = 4096;  // segments per request
constexpr int kEllipseStep = 5;      // degrees between the corners of an ellipse
constexpr int kCirclePolygon = 720;  // corners of a circle too large for an arc request

// One place an item is drawn: screen position = offset + image position x factor.
struct View {
  Drawable drawable;
  int64_t ox, oy;
  int fx, fy;
  bool zoom;
};

int32_t to_int32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// trunc() of a real into the 32-bit range; a value that is not a number counts as 0.
int32_t trunc32(double v) {
  if (!std::isfinite(v)) return v > 0 ? INT32_MAX : (v < 0 ? INT32_MIN : 0);
  return to_int32(static_cast<int64_t>(std::clamp(v, -4.0e18, 4.0e18)));
}

bool in_range(int64_t v) {
  return v >= kCoordMin && v <= kCoordMax;
}

GC draw_gc(int style) {
  return ds.gc_draw_vector[style == 1 ? 1 : 0];
}

// The views an item is drawn into: the image window, the current picture's
// pixmap and, when the zoom window is shown (and the item kind goes there), the
// zoom window and pixmap.
int views(View out[4], bool with_zoom) {
  int n = 0;
  out[n++] = View{ds.image_area_window_id, ds.pan_x, ds.pan_y, 1, 1, false};
  if (ds.map_no >= 0 && ds.map_no < kMaxMaps && ds.screen_pixmap[ds.map_no] != 0)
    out[n++] = View{ds.screen_pixmap[ds.map_no], 0, 0, 1, 1, false};
  if (with_zoom && ds.zoom_flag == 1 && ds.zoom_pixmap != 0) {
    const int fx = ds.zoom_factor_x, fy = ds.zoom_factor_y;
    int64_t ox = ds.zoom_width / 2 + static_cast<int64_t>(ds.pan_x - ds.zoom_pointer_x) * fx;
    int64_t oy = ds.zoom_height / 2 + static_cast<int64_t>(ds.pan_y - ds.zoom_pointer_y) * fy;
    out[n++] = View{ds.zoom_area_window_id, ox, oy, fx, fy, true};
    out[n++] = View{ds.zoom_pixmap, ox, oy, fx, fy, true};
  }
  return n;
}

int64_t sx(const View& v, int64_t x) {
  return v.ox + x * v.fx;
}
int64_t sy(const View& v, int64_t y) {
  return v.oy + y * v.fy;
}

// Cuts a segment to the 16-bit coordinate range, keeping its direction (a
// segment reaching far outside must still cross the window at the right place).
// False when no part of it lies in the range.
bool clip_segment(double& x1, double& y1, double& x2, double& y2) {
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - kCoordMin, kCoordMax - x1, y1 - kCoordMin, kCoordMax - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const double ax = x1 + t0 * dx, ay = y1 + t0 * dy;
  x2 = x1 + t1 * dx;
  y2 = y1 + t1 * dy;
  x1 = ax;
  y1 = ay;
  return true;
}

// Segments in screen coordinates of one view, sent in batches.
class SegmentSink {
 public:
  SegmentSink(const View& view, GC gc) : view_(view), gc_(gc) {}
  ~SegmentSink() { flush(); }
  void add(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    if (!(in_range(x1) && in_range(y1) && in_range(x2) && in_range(y2))) {
      double a = static_cast<double>(x1), b = static_cast<double>(y1);
      double c = static_cast<double>(x2), d = static_cast<double>(y2);
      if (!clip_segment(a, b, c, d)) return;
      x1 = std::llround(a);
      y1 = std::llround(b);
      x2 = std::llround(c);
      y2 = std::llround(d);
    }
    batch_[n_++] = XSegment{static_cast<short>(x1), static_cast<short>(y1), static_cast<short>(x2),
                            static_cast<short>(y2)};
    if (n_ == kSegmentBatch) flush();
  }
  // A segment given in image coordinates.
  void add_image(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    add(sx(view_, x1), sy(view_, y1), sx(view_, x2), sy(view_, y2));
  }
  void flush() {
    if (n_ > 0) XDrawSegments(ds.display_id, view_.drawable, gc_, batch_, n_);
    n_ = 0;
  }

 private:
  const View& view_;
  GC gc_;
  static inline XSegment batch_[kSegmentBatch];
  int n_ = 0;
};

// Rectangle outline with corner (x, y) and size w x h in screen coordinates of
// the view, spanning w + 1 by h + 1 pixels.
void rectangle_on(const View& v, GC gc, int64_t x, int64_t y, int64_t w, int64_t h) {
  if (w < 0 || h < 0) return;
  if (in_range(x) && in_range(y) && in_range(x + w) && in_range(y + h)) {
    XDrawRectangle(ds.display_id, v.drawable, gc, static_cast<int>(x), static_cast<int>(y),
                   static_cast<unsigned>(w), static_cast<unsigned>(h));
    return;
  }
  SegmentSink s(v, gc);
  s.add(x, y, x + w, y);
  s.add(x + w, y, x + w, y + h);
  s.add(x + w, y + h, x, y + h);
  s.add(x, y + h, x, y);
}

// Circle in the square of side diameter at (x, y), screen coordinates. Circles
// too large for an arc request are drawn as a fine polygon.
void circle_on(const View& v, GC gc, int64_t x, int64_t y, int64_t dx, int64_t dy) {
  if (dx < 0 || dy < 0) return;
  if (in_range(x) && in_range(y) && in_range(x + dx) && in_range(y + dy)) {
    XDrawArc(ds.display_id, v.drawable, gc, static_cast<int>(x), static_cast<int>(y),
             static_cast<unsigned>(dx), static_cast<unsigned>(dy), 0, kCircleAngle);
    return;
  }
  const double cx = x + dx / 2.0, cy = y + dy / 2.0, rx = dx / 2.0, ry = dy / 2.0;
  SegmentSink s(v, gc);
  int64_t px = std::llround(cx + rx), py = std::llround(cy);
  for (int i = 1; i <= kCirclePolygon; ++i) {
    double t = 2.0 * M_PI * i / kCirclePolygon;
    int64_t qx = std::llround(cx + rx * std::cos(t)), qy = std::llround(cy + ry * std::sin(t));
    s.add(px, py, qx, qy);
    px = qx;
    py = qy;
  }
}

// The corners of an ellipse around its centre: 73 points, the first and last
// the same. The angle indexes the tables of whole degrees.
void elipse_points(int64_t cx, int64_t cy, double a, double b, int angle, int64_t* px,
                   int64_t* py) {
  int alpha = ((angle % 360) + 360) % 360;
  const double ca = ds.cs[alpha], sa = ds.sn[alpha];
  for (int k = 0, t = 0; t <= 360; ++k, t += kEllipseStep) {
    const double p = a * ds.cs[t], q = b * ds.sn[t];
    px[k] = cx + trunc32(ca * p + sa * q);
    py[k] = cy + trunc32(-sa * p + ca * q);
  }
}

void message(const char* text) {
  print_line(text);
}

void sync() {
  XSync(ds.display_id, False);
}

}  // namespace

// ---- Shapes drawn everywhere an overlay item goes ----

void paint_segments(GC gc, const int32_t* x1, const int32_t* y1, const int32_t* x2,
                    const int32_t* y2, int first, int count) {
  View v[4];
  int n = views(v, true);
  for (int k = 0; k < n; ++k) {
    SegmentSink s(v[k], gc);
    for (int i = first; i < first + count; ++i) s.add_image(x1[i], y1[i], x2[i], y2[i]);
  }
}

void paint_box(GC gc, int x, int y, int width, int height) {
  View v[4];
  int n = views(v, true);
  for (int k = 0; k < n; ++k)
    rectangle_on(v[k], gc, sx(v[k], x), sy(v[k], y), static_cast<int64_t>(width) * v[k].fx,
                 static_cast<int64_t>(height) * v[k].fy);
}

// A circle recorded by the top-left corner of its square and its diameter. In
// the zoom it is magnified about its centre.
void paint_circle(GC gc, int x, int y, int diam) {
  View v[4];
  int n = views(v, true);
  for (int k = 0; k < n; ++k) {
    int64_t dx = static_cast<int64_t>(diam) * v[k].fx, dy = static_cast<int64_t>(diam) * v[k].fy;
    int64_t cx = sx(v[k], static_cast<int64_t>(x) + diam / 2);
    int64_t cy = sy(v[k], static_cast<int64_t>(y) + diam / 2);
    circle_on(v[k], gc, cx - dx / 2, cy - dy / 2, dx, dy);
  }
}

// An ellipse around (cx, cy) with half-axes a, b rotated by a whole-degree
// angle. Ellipses are not drawn in the zoom window.
void paint_elipse(GC gc, int cx, int cy, double a, double b, int angle) {
  int64_t px[73], py[73];
  elipse_points(cx, cy, a, b, angle, px, py);
  View v[4];
  int n = views(v, false);
  for (int k = 0; k < n; ++k) {
    SegmentSink s(v[k], gc);
    for (int i = 0; i < 72; ++i) s.add_image(px[i], py[i], px[i + 1], py[i + 1]);
  }
}

void paint_point(GC gc, int x, int y) {
  View v[4];
  int n = views(v, true);
  for (int k = 0; k < n; ++k) {
    int64_t px = sx(v[k], x), py = sy(v[k], y);
    if (in_range(px) && in_range(py))
      XDrawPoint(ds.display_id, v[k].drawable, gc, static_cast<int>(px), static_cast<int>(py));
  }
}

void paint_text(GC gc, int x, int y, const char* text, int length) {
  View v[4];
  int n = views(v, true);
  for (int k = 0; k < n; ++k) {
    int64_t px = sx(v[k], x), py = sy(v[k], y);
    if (in_range(px) && in_range(py))
      XDrawString(ds.display_id, v[k].drawable, gc, static_cast<int>(px), static_cast<int>(py),
                  text, length);
  }
}

// ---- Recording and drawing ----

namespace {

// Box corners are kept within +-(2^30 - 1), far outside any picture, so that a box's
// width and height always fit the 32-bit fields of its entry.
constexpr int32_t kBoxLimit = (1 << 30) - 1;
int32_t box_coordinate(int32_t v) {
  return std::clamp(v, -kBoxLimit, kBoxLimit);
}

void paint_box_entry(int i, GC gc) {
  paint_box(gc, vl.box_x[i], vl.box_y[i], vl.box_width[i], vl.box_height[i]);
}
void paint_circle_entry(int i, GC gc) {
  paint_circle(gc, vl.circle_x[i], vl.circle_y[i], vl.circle_diam[i]);
}
void paint_elipse_entry(int i, GC gc) {
  paint_elipse(gc, vl.elipse_cx[i], vl.elipse_cy[i], vl.elipse_a[i], vl.elipse_b[i],
               vl.elipse_ang1[i]);
}
void paint_point_entry(int i, GC gc) {
  paint_point(gc, vl.point_x[i], vl.point_y[i]);
}
void paint_text_entry(int i, GC gc) {
  XSetFont(ds.display_id, gc, vl.text_font[i]);
  paint_text(gc, vl.text_x[i], vl.text_y[i], vl.text_string[i], vl.text_lengths[i]);
}

// Moves the last entry of a list into slot i, field by field (the list's count
// has already been decreased to the last entry's index).
template <class... Fields>
void move_last(int i, int last, Fields&... fields) {
  ((fields[i] = fields[last]), ...);
}

void drop_box(int i) {
  const int last = --vl.nboxes;
  move_last(i, last, vl.box_x, vl.box_y, vl.box_width, vl.box_height, vl.box_style);
}
void drop_circle(int i) {
  const int last = --vl.ncircles;
  move_last(i, last, vl.circle_x, vl.circle_y, vl.circle_diam, vl.circle_style);
}
void drop_elipse(int i) {
  const int last = --vl.nelipses;
  move_last(i, last, vl.elipse_x, vl.elipse_y, vl.elipse_diamx, vl.elipse_diamy, vl.elipse_ang1,
            vl.elipse_style, vl.elipse_cx, vl.elipse_cy, vl.elipse_a, vl.elipse_b);
}
void drop_line(int i) {
  const int last = --vl.nlines;
  move_last(i, last, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, vl.line_style);
}
void drop_point(int i) {
  const int last = --vl.npoints;
  move_last(i, last, vl.point_x, vl.point_y);
}
void drop_text(int i) {
  const int last = --vl.ntext;
  move_last(i, last, vl.text_x, vl.text_y, vl.text_lengths, vl.text_font);
  std::memcpy(vl.text_string[i], vl.text_string[last], kTextBytes);
}

// Copies the stored pictures to the screen again: the image window from the
// current map's pixmap, the zoom window from its pixmap.
void refresh_windows() {
  if (ds.image_flag != 0) drawpixmap(ds.map_no);
  if (ds.zoom_flag == 1 && ds.zoom_pixmap != 0) {
    XClearWindow(ds.display_id, ds.zoom_area_window_id);
    XCopyArea(ds.display_id, ds.zoom_pixmap, ds.zoom_area_window_id, ds.gc_fill_rectangle, 0, 0,
              ds.zoom_width, ds.zoom_height, 0, 0);
  }
  sync();
}

}  // namespace

bool record_box(int x, int y, int width, int height) {
  if (vl.nboxes >= kMaxBoxes) {
    message("Too many boxes, max_boxes too small.");
    return false;
  }
  int i = vl.nboxes++;
  vl.box_x[i] = x;
  vl.box_y[i] = y;
  vl.box_width[i] = width;
  vl.box_height[i] = height;
  vl.box_style[i] = ds.dash_style;
  return true;
}

bool record_circle(int x, int y, int diam) {
  if (vl.ncircles >= kMaxCircles) {
    message("Too many circles, max_circles too small.");
    return false;
  }
  int i = vl.ncircles++;
  vl.circle_x[i] = x;
  vl.circle_y[i] = y;
  vl.circle_diam[i] = diam;
  vl.circle_style[i] = ds.dash_style;
  return true;
}

bool record_line(int x1, int y1, int x2, int y2) {
  if (vl.nlines >= kMaxLineSegments) {
    message("Too many lines, max_lines too small.");
    return false;
  }
  int i = vl.nlines++;
  vl.line_x1[i] = x1;
  vl.line_y1[i] = y1;
  vl.line_x2[i] = x2;
  vl.line_y2[i] = y2;
  vl.line_style[i] = ds.dash_style;
  return true;
}

void drawbox(int xmin, int ymin, int xmax, int ymax) {
  xmin = box_coordinate(xmin);
  ymin = box_coordinate(ymin);
  xmax = box_coordinate(xmax);
  ymax = box_coordinate(ymax);
  int x = std::min(xmin, xmax), y = std::min(ymin, ymax);
  int width = std::max(xmin, xmax) - x, height = std::max(ymin, ymax) - y;
  if (!record_box(x, y, width, height)) return;
  paint_box_entry(vl.nboxes - 1, draw_gc(ds.dash_style));
  sync();
}

void drawcircle(int x, int y, float radius) {
  const int32_t r = trunc32(radius);
  if (!record_circle(to_int32(static_cast<int64_t>(x) - r), to_int32(static_cast<int64_t>(y) - r),
                     trunc32(2.0 * radius)))
    return;
  paint_circle_entry(vl.ncircles - 1, draw_gc(ds.dash_style));
  sync();
}

void drawelipse(int x, int y, float a, float b, float angle) {
  if (vl.nelipses >= kMaxElipses) {
    message("Too many elipses, max_elipses too small.");
    return;
  }
  int i = vl.nelipses++;
  vl.elipse_x[i] = to_int32(static_cast<int64_t>(x) - trunc32(a));
  vl.elipse_y[i] = to_int32(static_cast<int64_t>(y) - trunc32(b));
  vl.elipse_diamx[i] = trunc32(2.0 * a);
  vl.elipse_diamy[i] = trunc32(2.0 * b);
  vl.elipse_ang1[i] = trunc32(angle);
  vl.elipse_style[i] = ds.dash_style;
  vl.elipse_cx[i] = x;
  vl.elipse_cy[i] = y;
  vl.elipse_a[i] = std::isfinite(a) ? a : 0.0f;
  vl.elipse_b[i] = std::isfinite(b) ? b : 0.0f;
  paint_elipse_entry(i, draw_gc(ds.dash_style));
  sync();
}

void drawlines(const int32_t* x1, const int32_t* y1, const int32_t* x2, const int32_t* y2,
               int count) {
  // The segments recorded before the list filled up are drawn too: what the list
  // holds is what the picture shows.
  const int first = vl.nlines;
  for (int i = 0; i < count; ++i)
    if (!record_line(x1[i], y1[i], x2[i], y2[i])) break;
  paint_segments(draw_gc(ds.dash_style), vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, first,
                 vl.nlines - first);
  sync();
}

void drawpoint(int x, int y) {
  if (vl.npoints >= kMaxPoints) {
    message("Too many points, max_points too small.");
    return;
  }
  int i = vl.npoints++;
  vl.point_x[i] = x;
  vl.point_y[i] = y;
  paint_point_entry(i, ds.gc_draw_vector[0]);
  sync();
}

void drawtext(int x, int y, const char* text, int length) {
  if (vl.ntext >= kMaxText) {
    message("Too many text strings, max_text too small.");
    return;
  }
  int i = vl.ntext++;
  int n = std::clamp(length, 0, kTextBytes);
  vl.text_x[i] = x;
  vl.text_y[i] = y;
  std::memset(vl.text_string[i], ' ', kTextBytes);
  if (n > 0) std::memcpy(vl.text_string[i], text, n);
  vl.text_lengths[i] = n;
  vl.text_font[i] = ds.font_id;
  paint_text_entry(i, ds.gc_draw_vector[0]);
  sync();
}

// ---- Removal ----

void removebox(int xmin, int ymin, int xmax, int ymax) {
  xmin = box_coordinate(xmin);
  ymin = box_coordinate(ymin);
  xmax = box_coordinate(xmax);
  ymax = box_coordinate(ymax);
  const int32_t width = xmax - xmin, height = ymax - ymin;
  // One upward scan: an entry moved into the slot just examined is not
  // examined again.
  for (int i = 0; i < vl.nboxes; ++i) {
    if (vl.box_x[i] == xmin && vl.box_y[i] == ymin && vl.box_width[i] == width &&
        vl.box_height[i] == height) {
      paint_box_entry(i, ds.gc_remove_vector);
      sync();
      drop_box(i);
    }
  }
}

void removecircle(int x, int y, float radius) {
  const int32_t r = trunc32(radius);
  const int32_t cx = to_int32(static_cast<int64_t>(x) - r),
                cy = to_int32(static_cast<int64_t>(y) - r);
  const int32_t diam = trunc32(2.0 * radius);
  for (int i = 0; i < vl.ncircles; ++i) {
    if (vl.circle_x[i] == cx && vl.circle_y[i] == cy && vl.circle_diam[i] == diam) {
      paint_circle_entry(i, ds.gc_remove_vector);
      sync();
      drop_circle(i);
      return;
    }
  }
}

void removeelipse(int x, int y, float a, float b, float angle) {
  const int32_t ex = to_int32(static_cast<int64_t>(x) - trunc32(a));
  const int32_t ey = to_int32(static_cast<int64_t>(y) - trunc32(b));
  const int32_t dx = trunc32(2.0 * a), dy = trunc32(2.0 * b), ang = trunc32(angle);
  for (int i = 0; i < vl.nelipses; ++i) {
    if (vl.elipse_x[i] == ex && vl.elipse_y[i] == ey && vl.elipse_diamx[i] == dx &&
        vl.elipse_diamy[i] == dy && vl.elipse_ang1[i] == ang) {
      paint_elipse_entry(i, ds.gc_remove_vector);
      sync();
      drop_elipse(i);
      return;
    }
  }
}

void removelines(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2, int& count) {
  if (count == 0) {
    // The most recent segment, handed back to the caller.
    if (vl.nlines == 0) return;
    const int last = vl.nlines - 1;
    x1[0] = vl.line_x1[last];
    y1[0] = vl.line_y1[last];
    x2[0] = vl.line_x2[last];
    y2[0] = vl.line_y2[last];
    count = 1;
  }
  // The given segments are erased whether or not they are recorded.
  paint_segments(ds.gc_remove_vector, x1, y1, x2, y2, 0, count);
  sync();
  for (int k = 0; k < count; ++k) {
    for (int i = 0; i < vl.nlines; ++i) {
      if (vl.line_x1[i] == x1[k] && vl.line_y1[i] == y1[k] && vl.line_x2[i] == x2[k] &&
          vl.line_y2[i] == y2[k])
        drop_line(i);
    }
  }
}

void removepoint(int x, int y) {
  for (int i = 0; i < vl.npoints; ++i) {
    if (vl.point_x[i] == x && vl.point_y[i] == y) {
      paint_point_entry(i, ds.gc_remove_vector);
      sync();
      drop_point(i);
      return;
    }
  }
}

void removetext(int x, int y) {
  for (int i = 0; i < vl.ntext; ++i) {
    if (vl.text_x[i] == x && vl.text_y[i] == y) {
      paint_text_entry(i, ds.gc_remove_vector);
      sync();
      drop_text(i);
      return;
    }
  }
}

void removevectors() {
  GC gc = ds.gc_remove_vector;
  for (int i = 0; i < vl.nboxes; ++i) paint_box_entry(i, gc);
  for (int i = 0; i < vl.ncircles; ++i) paint_circle_entry(i, gc);
  for (int i = 0; i < vl.nelipses; ++i) paint_elipse_entry(i, gc);
  paint_segments(gc, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, 0, vl.nlines);
  for (int i = 0; i < vl.npoints; ++i) paint_point_entry(i, gc);
  for (int i = 0; i < vl.ntext; ++i) paint_text_entry(i, gc);
  vl.nboxes = vl.ncircles = vl.nelipses = vl.nlines = vl.npoints = vl.ntext = 0;
  refresh_windows();
}

// Draws every recorded item again in the current style, after something (the
// cross-hair) has cleared the overlay bit of some of their pixels.
void ReDraw_vectors() {
  const int style = ds.dash_style;
  GC gc = draw_gc(style);
  for (int i = 0; i < vl.nboxes; ++i) {
    vl.box_style[i] = style;
    paint_box_entry(i, gc);
  }
  for (int i = 0; i < vl.ncircles; ++i) {
    vl.circle_style[i] = style;
    paint_circle_entry(i, gc);
  }
  for (int i = 0; i < vl.nelipses; ++i) {
    vl.elipse_style[i] = style;
    paint_elipse_entry(i, gc);
  }
  for (int i = 0; i < vl.nlines; ++i) vl.line_style[i] = style;
  paint_segments(gc, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, 0, vl.nlines);
  for (int i = 0; i < vl.npoints; ++i) paint_point_entry(i, ds.gc_draw_vector[0]);
  for (int i = 0; i < vl.ntext; ++i) paint_text_entry(i, ds.gc_draw_vector[0]);
  XSetFont(ds.display_id, ds.gc_draw_vector[0], ds.font_id);
  refresh_windows();
}

void setdash() {
  ds.dash_style = 1;
}
void setsolid() {
  ds.dash_style = 0;
}

// Font number k (from 1) of the font list becomes the font of overlay text. A
// font the server cannot load is reported and k is negated.
void changefont(int& k) {
  XFontStruct* font = nullptr;
  if (k >= 1 && k <= ds.total_fonts) font = XLoadQueryFont(ds.display_id, ds.fonts[k - 1]);
  if (font == nullptr) {
    std::fprintf(stderr, "Cannot load font number %d\n", k);
    k = -k;
    return;
  }
  ds.font_id = font->fid;
  XFreeFontInfo(nullptr, font, 0);  // the font itself stays loaded
  XSetFont(ds.display_id, ds.gc_draw_vector[0], ds.font_id);
  XSetFont(ds.display_id, ds.gc_draw_vector[1], ds.font_id);
}

// Draws the recorded items magnified into the zoom pixmap (the zoom window's
// expose copies the pixmap to the screen). Ellipses are not drawn in the zoom.
void draw_vectors_in_zoom() {
  if (ds.zoom_flag != 1 || ds.zoom_pixmap == 0) return;
  View all[4];
  int n = views(all, true);
  const View& v = all[n - 1];  // the zoom pixmap
  for (int i = 0; i < vl.nboxes; ++i)
    rectangle_on(v, draw_gc(vl.box_style[i]), sx(v, vl.box_x[i]), sy(v, vl.box_y[i]),
                 static_cast<int64_t>(vl.box_width[i]) * v.fx,
                 static_cast<int64_t>(vl.box_height[i]) * v.fy);
  for (int i = 0; i < vl.ncircles; ++i) {
    const int diam = vl.circle_diam[i];
    int64_t dx = static_cast<int64_t>(diam) * v.fx, dy = static_cast<int64_t>(diam) * v.fy;
    circle_on(v, draw_gc(vl.circle_style[i]),
              sx(v, static_cast<int64_t>(vl.circle_x[i]) + diam / 2) - dx / 2,
              sy(v, static_cast<int64_t>(vl.circle_y[i]) + diam / 2) - dy / 2, dx, dy);
  }
  for (int style = 0; style < 2; ++style) {
    SegmentSink s(v, draw_gc(style));
    for (int i = 0; i < vl.nlines; ++i)
      if ((vl.line_style[i] == 1 ? 1 : 0) == style)
        s.add_image(vl.line_x1[i], vl.line_y1[i], vl.line_x2[i], vl.line_y2[i]);
  }
  for (int i = 0; i < vl.npoints; ++i) {
    int64_t px = sx(v, vl.point_x[i]), py = sy(v, vl.point_y[i]);
    if (in_range(px) && in_range(py))
      XDrawPoint(ds.display_id, v.drawable, ds.gc_draw_vector[0], static_cast<int>(px),
                 static_cast<int>(py));
  }
  for (int i = 0; i < vl.ntext; ++i) {
    int64_t px = sx(v, vl.text_x[i]), py = sy(v, vl.text_y[i]);
    if (!in_range(px) || !in_range(py)) continue;
    XSetFont(ds.display_id, ds.gc_draw_vector[0], vl.text_font[i]);
    XDrawString(ds.display_id, v.drawable, ds.gc_draw_vector[0], static_cast<int>(px),
                static_cast<int>(py), vl.text_string[i], vl.text_lengths[i]);
  }
  if (vl.ntext > 0) XSetFont(ds.display_id, ds.gc_draw_vector[0], ds.font_id);
}
