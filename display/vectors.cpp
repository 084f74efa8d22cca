// Overlay items: boxes, circles, ellipses, line segments, points and texts the
// program marks on the picture. Each is recorded in a list of its kind so that it
// can be drawn again (in the zoom window, after the cross-hair passed over it)
// and erased one by one.
//
// Items are drawn by setting the top bit of the pixel values ("or 128") and
// erased by clearing it ("and 127"), which gives the picture's own values back
// without touching the raster. Every drawing goes to the image window (at the
// image position plus the picture's window origin), to the stored picture of the
// current map (at the image position) and, while the zoom window is shown,
// magnified into the zoom window and its pixmap.
//
// Many items are drawn and erased with one request per batch of shapes and one
// round trip per call, so that a lattice of thousands of marks is quick. Items
// that lie wholly off the stored picture are not recorded: they could never be
// seen, and would only fill the lists.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/xstate.h"
#include "textio/stop.h"

namespace {

constexpr int kCircleAngle = 360 * 64;  // a full arc in X's 1/64 degree
constexpr int kCoordMin = -32768;       // window coordinates are 16-bit
constexpr int kCoordMax = 32767;
constexpr int kSegmentBatch = 4096;  // segments (and other shapes) per request
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
  out[n++] = View{ds.image_area_window_id, window_origin_x(), window_origin_y(), 1, 1, false};
  if (ds.map_no >= 0 && ds.map_no < kMaxMaps && ds.screen_pixmap[ds.map_no] != 0)
    out[n++] = View{ds.screen_pixmap[ds.map_no], 0, 0, 1, 1, false};
  if (with_zoom && ds.zoom_flag == 1 && ds.zoom_pixmap != 0) {
    const int fx = ds.zoom_factor_x, fy = ds.zoom_factor_y;
    int64_t ox =
        ds.zoom_width / 2 + static_cast<int64_t>(window_origin_x() - ds.zoom_pointer_x) * fx;
    int64_t oy =
        ds.zoom_height / 2 + static_cast<int64_t>(window_origin_y() - ds.zoom_pointer_y) * fy;
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

// A text starting at (x, y) on its base line.
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

// ---- Recorded items painted in batches ----

namespace {

enum class Shape { box, circle, point };

// Indices 0, 1, 2, ... : a run of list entries is a slice of this.
const int* entry_run(int first) {
  static int run[kMaxLineSegments];
  static bool filled = false;
  if (!filled) {
    for (int i = 0; i < kMaxLineSegments; ++i) run[i] = i;
    filled = true;
  }
  return run + first;
}

// Paints the listed entries of a kind into one view, sending the shapes that fit
// the 16-bit window coordinates in batched requests.
void entries_into(const View& v, GC gc, Shape shape, const int* index, int n) {
  static XRectangle rects[kSegmentBatch];
  static XArc arcs[kSegmentBatch];
  static XPoint points[kSegmentBatch];
  int m = 0;
  auto flush = [&] {
    if (m == 0) return;
    if (shape == Shape::box) XDrawRectangles(ds.display_id, v.drawable, gc, rects, m);
    if (shape == Shape::circle) XDrawArcs(ds.display_id, v.drawable, gc, arcs, m);
    if (shape == Shape::point)
      XDrawPoints(ds.display_id, v.drawable, gc, points, m, CoordModeOrigin);
    m = 0;
  };
  auto fits = [](int64_t x, int64_t y, int64_t w, int64_t h) {
    return in_range(x) && in_range(y) && in_range(x + w) && in_range(y + h);
  };
  for (int k = 0; k < n; ++k) {
    const int i = index[k];
    if (shape == Shape::box) {
      const int64_t x = sx(v, vl.box_x[i]), y = sy(v, vl.box_y[i]);
      const int64_t w = int64_t{vl.box_width[i]} * v.fx, h = int64_t{vl.box_height[i]} * v.fy;
      if (w < 0 || h < 0) continue;
      if (!fits(x, y, w, h)) {
        rectangle_on(v, gc, x, y, w, h);
        continue;
      }
      rects[m++] = XRectangle{static_cast<short>(x), static_cast<short>(y),
                              static_cast<unsigned short>(w), static_cast<unsigned short>(h)};
    } else if (shape == Shape::circle) {
      // Magnified about its centre in the zoom.
      const int diam = vl.circle_diam[i];
      const int64_t dx = int64_t{diam} * v.fx, dy = int64_t{diam} * v.fy;
      if (dx < 0 || dy < 0) continue;
      const int64_t x = sx(v, int64_t{vl.circle_x[i]} + diam / 2) - dx / 2;
      const int64_t y = sy(v, int64_t{vl.circle_y[i]} + diam / 2) - dy / 2;
      if (!fits(x, y, dx, dy)) {
        circle_on(v, gc, x, y, dx, dy);
        continue;
      }
      arcs[m++] = XArc{static_cast<short>(x),
                       static_cast<short>(y),
                       static_cast<unsigned short>(dx),
                       static_cast<unsigned short>(dy),
                       0,
                       kCircleAngle};
    } else {
      // Points stay single pixels in the zoom.
      const int64_t x = sx(v, vl.point_x[i]), y = sy(v, vl.point_y[i]);
      if (!in_range(x) || !in_range(y)) continue;
      points[m++] = XPoint{static_cast<short>(x), static_cast<short>(y)};
    }
    if (m == kSegmentBatch) flush();
  }
  flush();
}

// Paints the listed entries everywhere an overlay item goes.
void paint_entries(GC gc, Shape shape, const int* index, int n) {
  if (n <= 0) return;
  View v[4];
  const int nv = views(v, true);
  for (int k = 0; k < nv; ++k) entries_into(v[k], gc, shape, index, n);
}

void paint_elipse_entry(int i, GC gc) {
  paint_elipse(gc, vl.elipse_cx[i], vl.elipse_cy[i], vl.elipse_a[i], vl.elipse_b[i],
               vl.elipse_ang1[i]);
}
void paint_text_entry(int i, GC gc) {
  XSetFont(ds.display_id, gc, vl.text_font[i]);
  paint_text(gc, vl.text_x[i], vl.text_y[i], vl.text_string[i].data(), vl.text_lengths[i]);
}

// True when no part of the rectangle [x1, x2] x [y1, y2] (image coordinates)
// lies on the stored picture.
bool off_picture(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  if (ds.image_flag == 0) return false;
  return std::max(x1, x2) < 0 || std::max(y1, y2) < 0 || std::min(x1, x2) >= ds.image_width ||
         std::min(y1, y2) >= ds.image_height;
}

// Box corners are kept within +-(2^30 - 1), far outside any picture, so that a box's
// width and height always fit the 32-bit fields of its entry.
constexpr int32_t kBoxLimit = (1 << 30) - 1;
int32_t box_coordinate(int32_t v) {
  return std::clamp(v, -kBoxLimit, kBoxLimit);
}

// The recorded form of a box given by its corners: x, y, width, height.
std::array<int32_t, 4> box_key(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax) {
  xmin = box_coordinate(xmin);
  ymin = box_coordinate(ymin);
  xmax = box_coordinate(xmax);
  ymax = box_coordinate(ymax);
  const int32_t x = std::min(xmin, xmax), y = std::min(ymin, ymax);
  return {x, y, std::max(xmin, xmax) - x, std::max(ymin, ymax) - y};
}

// The recorded form of a circle: the corner of its square and its diameter.
std::array<int32_t, 3> circle_key(int32_t x, int32_t y, int32_t radius) {
  return {to_int32(int64_t{x} - radius), to_int32(int64_t{y} - radius),
          to_int32(2 * int64_t{radius})};
}

// ---- Removal ----
// A removal takes every entry that matches (an item drawn twice is one item on
// the screen) and erases it. The last entry moves into each freed slot; only the
// segments keep their order, so that the last one stays the most recent.

int matched[kMaxLineSegments];  // indices of the matching entries, ascending

// Finds the entries whose key is among the wanted ones; returns how many.
template <size_t N, class KeyOf>
int find_matches(std::vector<std::array<int32_t, N>>& wanted, int count, KeyOf key_of) {
  int n = 0;
  if (wanted.size() == 1) {
    for (int i = 0; i < count; ++i)
      if (key_of(i) == wanted[0]) matched[n++] = i;
    return n;
  }
  std::sort(wanted.begin(), wanted.end());
  for (int i = 0; i < count; ++i)
    if (std::binary_search(wanted.begin(), wanted.end(), key_of(i))) matched[n++] = i;
  return n;
}

// Drops the matched entries, the highest first, so that no entry moved into a
// freed slot is itself one to drop.
template <class... Fields>
void drop_matches(int n, int& count, Fields&... fields) {
  for (int k = n - 1; k >= 0; --k) {
    const int i = matched[k], last = --count;
    if (i != last) ((fields[i] = fields[last]), ...);
  }
}

// Drops the matched entries keeping the order of the others.
template <class... Fields>
void drop_matches_in_order(int n, int& count, Fields&... fields) {
  if (n == 0) return;
  int kept = matched[0];
  for (int i = matched[0], k = 0; i < count; ++i) {
    if (k < n && matched[k] == i) {
      ++k;
      continue;
    }
    ((fields[kept] = fields[i]), ...);
    ++kept;
  }
  count = kept;
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

// ---- Recording and drawing ----

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

bool drawboxes(const int32_t* xmin, const int32_t* ymin, const int32_t* xmax, const int32_t* ymax,
               int count) {
  const int first = vl.nboxes;
  bool room = true;
  for (int i = 0; i < count && room; ++i) {
    const auto [x, y, w, h] = box_key(xmin[i], ymin[i], xmax[i], ymax[i]);
    if (!off_picture(x, y, int64_t{x} + w, int64_t{y} + h)) room = record_box(x, y, w, h);
  }
  paint_entries(draw_gc(ds.dash_style), Shape::box, entry_run(first), vl.nboxes - first);
  sync();
  return room;
}

bool drawcircles(const int32_t* x, const int32_t* y, const int32_t* radius, int count) {
  const int first = vl.ncircles;
  bool room = true;
  for (int i = 0; i < count && room; ++i) {
    const auto [left, top, diam] = circle_key(x[i], y[i], radius[i]);
    if (!off_picture(left, top, int64_t{left} + diam, int64_t{top} + diam))
      room = record_circle(left, top, diam);
  }
  paint_entries(draw_gc(ds.dash_style), Shape::circle, entry_run(first), vl.ncircles - first);
  sync();
  return room;
}

bool drawpoints(const int32_t* x, const int32_t* y, int count) {
  const int first = vl.npoints;
  bool room = true;
  for (int i = 0; i < count && room; ++i) {
    if (off_picture(x[i], y[i], x[i], y[i])) continue;
    if (vl.npoints >= kMaxPoints) {
      message("Too many points, max_points too small.");
      room = false;
      break;
    }
    vl.point_x[vl.npoints] = x[i];
    vl.point_y[vl.npoints++] = y[i];
  }
  paint_entries(ds.gc_draw_vector[0], Shape::point, entry_run(first), vl.npoints - first);
  sync();
  return room;
}

void drawelipse(int x, int y, float a, float b, float angle) {
  const double reach = std::max(std::fabs(double{a}), std::fabs(double{b}));
  if (std::isfinite(reach)) {
    const int64_t r = static_cast<int64_t>(std::min(reach, 4.0e18));
    if (off_picture(int64_t{x} - r, int64_t{y} - r, int64_t{x} + r, int64_t{y} + r)) return;
  }
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
  for (int i = 0; i < count; ++i) {
    if (off_picture(x1[i], y1[i], x2[i], y2[i])) continue;
    if (!record_line(x1[i], y1[i], x2[i], y2[i])) break;
  }
  paint_segments(draw_gc(ds.dash_style), vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, first,
                 vl.nlines - first);
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
  vl.text_string[i].fill(' ');
  if (n > 0) std::memcpy(vl.text_string[i].data(), text, n);
  vl.text_lengths[i] = n;
  vl.text_font[i] = ds.font_id;
  paint_text_entry(i, ds.gc_draw_vector[0]);
  sync();
}

// ---- Removal ----

void removeboxes(const int32_t* xmin, const int32_t* ymin, const int32_t* xmax, const int32_t* ymax,
                 int count) {
  static std::vector<std::array<int32_t, 4>> wanted;
  wanted.clear();
  for (int i = 0; i < count; ++i) wanted.push_back(box_key(xmin[i], ymin[i], xmax[i], ymax[i]));
  const int n = find_matches(wanted, vl.nboxes, [](int i) {
    return std::array<int32_t, 4>{vl.box_x[i], vl.box_y[i], vl.box_width[i], vl.box_height[i]};
  });
  if (n == 0) return;
  paint_entries(ds.gc_remove_vector, Shape::box, matched, n);
  sync();
  drop_matches(n, vl.nboxes, vl.box_x, vl.box_y, vl.box_width, vl.box_height, vl.box_style);
}

void removecircles(const int32_t* x, const int32_t* y, const int32_t* radius, int count) {
  static std::vector<std::array<int32_t, 3>> wanted;
  wanted.clear();
  for (int i = 0; i < count; ++i) wanted.push_back(circle_key(x[i], y[i], radius[i]));
  const int n = find_matches(wanted, vl.ncircles, [](int i) {
    return std::array<int32_t, 3>{vl.circle_x[i], vl.circle_y[i], vl.circle_diam[i]};
  });
  if (n == 0) return;
  paint_entries(ds.gc_remove_vector, Shape::circle, matched, n);
  sync();
  drop_matches(n, vl.ncircles, vl.circle_x, vl.circle_y, vl.circle_diam, vl.circle_style);
}

void removepoints(const int32_t* x, const int32_t* y, int count) {
  static std::vector<std::array<int32_t, 2>> wanted;
  wanted.clear();
  for (int i = 0; i < count; ++i) wanted.push_back({x[i], y[i]});
  const int n = find_matches(wanted, vl.npoints, [](int i) {
    return std::array<int32_t, 2>{vl.point_x[i], vl.point_y[i]};
  });
  if (n == 0) return;
  paint_entries(ds.gc_remove_vector, Shape::point, matched, n);
  sync();
  drop_matches(n, vl.npoints, vl.point_x, vl.point_y);
}

void removeelipse(int x, int y, float a, float b, float angle) {
  static std::vector<std::array<int32_t, 5>> wanted;
  wanted.assign(1, {to_int32(static_cast<int64_t>(x) - trunc32(a)),
                    to_int32(static_cast<int64_t>(y) - trunc32(b)), trunc32(2.0 * a),
                    trunc32(2.0 * b), trunc32(angle)});
  const int n = find_matches(wanted, vl.nelipses, [](int i) {
    return std::array<int32_t, 5>{vl.elipse_x[i], vl.elipse_y[i], vl.elipse_diamx[i],
                                  vl.elipse_diamy[i], vl.elipse_ang1[i]};
  });
  for (int k = 0; k < n; ++k) paint_elipse_entry(matched[k], ds.gc_remove_vector);
  sync();
  drop_matches(n, vl.nelipses, vl.elipse_x, vl.elipse_y, vl.elipse_diamx, vl.elipse_diamy,
               vl.elipse_ang1, vl.elipse_style, vl.elipse_cx, vl.elipse_cy, vl.elipse_a,
               vl.elipse_b);
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
  static std::vector<std::array<int32_t, 4>> wanted;
  wanted.clear();
  for (int k = 0; k < count; ++k) wanted.push_back({x1[k], y1[k], x2[k], y2[k]});
  const int n = find_matches(wanted, vl.nlines, [](int i) {
    return std::array<int32_t, 4>{vl.line_x1[i], vl.line_y1[i], vl.line_x2[i], vl.line_y2[i]};
  });
  drop_matches_in_order(n, vl.nlines, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2,
                        vl.line_style);
}

// A text is found by its position alone; each is erased in the font it was drawn in.
void removetext(int x, int y) {
  static std::vector<std::array<int32_t, 2>> wanted;
  wanted.assign(1, {x, y});
  const int n = find_matches(wanted, vl.ntext, [](int i) {
    return std::array<int32_t, 2>{vl.text_x[i], vl.text_y[i]};
  });
  if (n == 0) return;
  for (int k = 0; k < n; ++k) paint_text_entry(matched[k], ds.gc_remove_vector);
  sync();
  drop_matches(n, vl.ntext, vl.text_x, vl.text_y, vl.text_lengths, vl.text_font, vl.text_string);
}

void removevectors() {
  GC gc = ds.gc_remove_vector;
  paint_entries(gc, Shape::box, entry_run(0), vl.nboxes);
  paint_entries(gc, Shape::circle, entry_run(0), vl.ncircles);
  for (int i = 0; i < vl.nelipses; ++i) paint_elipse_entry(i, gc);
  paint_segments(gc, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, 0, vl.nlines);
  paint_entries(gc, Shape::point, entry_run(0), vl.npoints);
  for (int i = 0; i < vl.ntext; ++i) paint_text_entry(i, gc);
  vl.nboxes = vl.ncircles = vl.nelipses = vl.nlines = vl.npoints = vl.ntext = 0;
  refresh_windows();
}

// Draws every recorded item again in the current style, after something (the
// cross-hair) has cleared the overlay bit of some of their pixels.
void ReDraw_vectors() {
  const int style = ds.dash_style;
  GC gc = draw_gc(style);
  std::fill_n(vl.box_style, vl.nboxes, style);
  std::fill_n(vl.circle_style, vl.ncircles, style);
  std::fill_n(vl.elipse_style, vl.nelipses, style);
  std::fill_n(vl.line_style, vl.nlines, style);
  paint_entries(gc, Shape::box, entry_run(0), vl.nboxes);
  paint_entries(gc, Shape::circle, entry_run(0), vl.ncircles);
  for (int i = 0; i < vl.nelipses; ++i) paint_elipse_entry(i, gc);
  paint_segments(gc, vl.line_x1, vl.line_y1, vl.line_x2, vl.line_y2, 0, vl.nlines);
  paint_entries(ds.gc_draw_vector[0], Shape::point, entry_run(0), vl.npoints);
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

// Draws the recorded items magnified into the zoom pixmap, each in its own style
// (the zoom window's expose copies the pixmap to the screen). Ellipses are not
// drawn in the zoom.
void draw_vectors_in_zoom() {
  if (ds.zoom_flag != 1 || ds.zoom_pixmap == 0) return;
  View all[4];
  int n = views(all, true);
  const View& v = all[n - 1];  // the zoom pixmap
  static int of_style[kMaxLineSegments];
  auto styled = [](const int* styles, int count, int style) {
    int m = 0;
    for (int i = 0; i < count; ++i)
      if ((styles[i] == 1 ? 1 : 0) == style) of_style[m++] = i;
    return m;
  };
  for (int style = 0; style < 2; ++style) {
    entries_into(v, draw_gc(style), Shape::box, of_style, styled(vl.box_style, vl.nboxes, style));
    entries_into(v, draw_gc(style), Shape::circle, of_style,
                 styled(vl.circle_style, vl.ncircles, style));
    SegmentSink s(v, draw_gc(style));
    for (int i = 0; i < vl.nlines; ++i)
      if ((vl.line_style[i] == 1 ? 1 : 0) == style)
        s.add_image(vl.line_x1[i], vl.line_y1[i], vl.line_x2[i], vl.line_y2[i]);
  }
  entries_into(v, ds.gc_draw_vector[0], Shape::point, entry_run(0), vl.npoints);
  for (int i = 0; i < vl.ntext; ++i) {
    int64_t px = sx(v, vl.text_x[i]), py = sy(v, vl.text_y[i]);
    if (!in_range(px) || !in_range(py)) continue;
    XSetFont(ds.display_id, ds.gc_draw_vector[0], vl.text_font[i]);
    XDrawString(ds.display_id, v.drawable, ds.gc_draw_vector[0], static_cast<int>(px),
                static_cast<int>(py), vl.text_string[i].data(), vl.text_lengths[i]);
  }
  if (vl.ntext > 0) XSetFont(ds.display_id, ds.gc_draw_vector[0], ds.font_id);
}
