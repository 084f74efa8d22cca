// Overlay items recorded so that they can be drawn again. Items are drawn by
// setting the top bit of the picture's pixel values and erased by clearing it.
#include <algorithm>

#include "display/xstate.h"

namespace {

constexpr int kCircleAngle = 360 * 64;  // a full arc in X's 1/64 degree

GC style_gc(int style) {
  return ds.gc_draw_vector[style == 1 ? 1 : 0];
}

// 16-bit window coordinates: positions far outside are pinned to the range.
short clip16(int v) {
  return static_cast<short>(std::clamp(v, -32768, 32767));
}

}  // namespace

// Draws the recorded items magnified into the zoom pixmap (the zoom window's
// expose copies the pixmap to the screen). Ellipses are not drawn in the zoom.
void draw_vectors_in_zoom() {
  if (ds.zoom_flag != 1 || ds.zoom_pixmap == 0) return;
  Display* d = ds.display_id;
  const Pixmap p = ds.zoom_pixmap;
  const int fx = ds.zoom_factor_x, fy = ds.zoom_factor_y;
  int zx = 0, zy = 0;
  for (int i = 0; i < vl.nboxes; ++i) {
    convert_to_zoom(vl.box_x[i], vl.box_y[i], zx, zy);
    XDrawRectangle(d, p, style_gc(vl.box_style[i]), clip16(zx), clip16(zy),
                   static_cast<unsigned>(std::clamp(vl.box_width[i] * fx, 0, 65535)),
                   static_cast<unsigned>(std::clamp(vl.box_height[i] * fy, 0, 65535)));
  }
  for (int i = 0; i < vl.ncircles; ++i) {
    int diam = vl.circle_diam[i];
    convert_to_zoom(vl.circle_x[i] + diam / 2, vl.circle_y[i] + diam / 2, zx, zy);
    int dx = diam * fx, dy = diam * fy;
    XDrawArc(d, p, style_gc(vl.circle_style[i]), clip16(zx - dx / 2), clip16(zy - dy / 2),
             static_cast<unsigned>(std::clamp(dx, 0, 65535)),
             static_cast<unsigned>(std::clamp(dy, 0, 65535)), 0, kCircleAngle);
  }
  // Segments go in batches of consecutive segments of the same style.
  XSegment batch[512];
  int n = 0, batch_style = 0;
  auto flush = [&]() {
    if (n > 0) XDrawSegments(d, p, style_gc(batch_style), batch, n);
    n = 0;
  };
  for (int i = 0; i < vl.nlines; ++i) {
    if (n > 0 && (vl.line_style[i] != batch_style || n == 512)) flush();
    batch_style = vl.line_style[i];
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    convert_to_zoom(vl.line_x1[i], vl.line_y1[i], x1, y1);
    convert_to_zoom(vl.line_x2[i], vl.line_y2[i], x2, y2);
    batch[n++] = XSegment{clip16(x1), clip16(y1), clip16(x2), clip16(y2)};
  }
  flush();
  for (int i = 0; i < vl.npoints; ++i) {
    convert_to_zoom(vl.point_x[i], vl.point_y[i], zx, zy);
    XDrawPoint(d, p, ds.gc_draw_vector[0], clip16(zx), clip16(zy));
  }
  for (int i = 0; i < vl.ntext; ++i) {
    convert_to_zoom(vl.text_x[i], vl.text_y[i], zx, zy);
    XSetFont(d, ds.gc_draw_vector[0], vl.text_font[i]);
    XDrawString(d, p, ds.gc_draw_vector[0], clip16(zx), clip16(zy), vl.text_string[i],
                std::clamp(vl.text_lengths[i], 0, kTextBytes));
  }
  if (vl.ntext > 0) XSetFont(d, ds.gc_draw_vector[0], ds.font_id);
}
