// What follows the mouse over the picture: the cursor shapes of the image and
// zoom windows, the live read-out of the pointer position as text in the image
// area, and the giant cross-hair spanning the whole image area.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "display/xstate.h"

namespace {

using Bitmap = std::array<unsigned char, 32>;

// 15 x 15 cursor bitmaps, 16 rows of 2 bytes, pixel 0 of a row in bit 0 of its
// first byte. Bitmap data reaches the server in that order whatever the
// server's own bit order, so the set named "Msb" shows the intended shapes on
// every server (shape 1 a thin diagonal cross, shape 3 no cursor at all, the
// giant cross-hair taking its place). The other set is kept for the "reverse
// bit pattern" answer.
constexpr Bitmap bitmap(std::string_view hex) {
  Bitmap b{};
  auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (size_t i = 0; i < b.size(); ++i)
    b[i] = static_cast<unsigned char>(digit(hex[2 * i]) * 16 + digit(hex[2 * i + 1]));
  return b;
}

constexpr Bitmap kShape1Lsb =
    bitmap("febffddffbeff7f7effbdffdffffffffffffdffdeffbf7f7fbeffddffebf0000");
constexpr Bitmap kShape1Msb =
    bitmap("0140022004100808100420020000000000002002100408080410022001400000");
constexpr Bitmap kShape2Lsb =
    bitmap("3f7e3f7e3f7e3f7e0f78ef7be003e003e003ef7b0f783f7e3f7e3f7e3f7e0000");
constexpr Bitmap kMask2Lsb =
    bitmap("1f7c1f7c1f7c1f7c0f78e003e003e003e003e0030f781f7c1f7c1f7c1f7c0000");
constexpr Bitmap kShape2Msb =
    bitmap("c081c081c081c081f08710841ffc1ffc1ffc1084f087c081c081c081c0810000");
constexpr Bitmap kMask2Msb =
    bitmap("c081c081c081c081f08710841ffc9ffc1ffc1084f087c081c081c081c0810000");
constexpr Bitmap kEmpty{};
constexpr Bitmap kFull = bitmap("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff");

// Shape and mask of bitmap cursor 1, 2 or 3 of the set in use.
void cursor_bitmaps(int shape, const Bitmap*& bits, const Bitmap*& mask) {
  const bool msb = ds.cursor_bits_reversed == 0;
  switch (shape) {
    case 1:
      bits = mask = msb ? &kShape1Msb : &kShape1Lsb;
      break;
    case 2:
      bits = msb ? &kShape2Msb : &kShape2Lsb;
      mask = msb ? &kMask2Msb : &kMask2Lsb;
      break;
    default:
      bits = &kEmpty;
      mask = msb ? &kEmpty : &kFull;
      break;
  }
}

// Shown green where the shape bit is set and black where it is clear, only
// where the mask bit is set.
Cursor bitmap_cursor(int shape) {
  const Bitmap* bits = nullptr;
  const Bitmap* mask = nullptr;
  cursor_bitmaps(shape, bits, mask);
  Display* d = ds.display_id;
  Window w = ds.image_area_window_id;
  Pixmap shape_pixmap = XCreateBitmapFromData(d, w, reinterpret_cast<const char*>(bits->data()),
                                              kCursorSize, kCursorSize);
  Pixmap mask_pixmap = XCreateBitmapFromData(d, w, reinterpret_cast<const char*>(mask->data()),
                                             kCursorSize, kCursorSize);
  XColor foreground{}, background{};
  foreground.pixel = static_cast<unsigned long>(ds.colour_green);
  foreground.green = 65535;
  background.pixel = static_cast<unsigned long>(ds.colour_black);
  foreground.flags = background.flags = DoRed | DoGreen | DoBlue;
  Cursor cursor = XCreatePixmapCursor(d, shape_pixmap, mask_pixmap, &foreground, &background,
                                      kCursorHot, kCursorHot);
  XFreePixmap(d, shape_pixmap);
  XFreePixmap(d, mask_pixmap);
  return cursor;
}

void watch_motion(bool on) {
  if (on == ds.tracking_installed) return;
  for (Widget w : {ds.image_area, ds.zoom_area}) {
    if (on) {
      XtAddEventHandler(w, PointerMotionMask, False, pointer_track, nullptr);
    } else {
      XtRemoveEventHandler(w, PointerMotionMask, False, pointer_track, nullptr);
    }
  }
  ds.tracking_installed = on;
}

void erase_read_out() {
  if (!ds.pointer_text_shown) return;
  XSetFont(ds.display_id, ds.gc_remove_vector, ds.pointer_text_font);
  XDrawString(ds.display_id, ds.image_area_window_id, ds.gc_remove_vector, ds.pointer_x,
              ds.pointer_y, ds.pointer_text, ds.pointer_text_length);
  ds.pointer_text_shown = false;
}

short clip16(long v) {
  return static_cast<short>(std::clamp<long>(v, SHRT_MIN, SHRT_MAX));
}

// The four arms of the cross-hair around window position (x, y) of a drawable
// of the given size, leaving a gap of 5 pixels around the centre.
void crosshair_arms(Drawable d, GC gc, long x, long y, long width, long height) {
  XSegment arms[4] = {
      {0, clip16(y), clip16(x - 5), clip16(y)},
      {clip16(x + 5), clip16(y), clip16(width), clip16(y)},
      {clip16(x), 0, clip16(x), clip16(y - 5)},
      {clip16(x), clip16(y + 5), clip16(x), clip16(height)},
  };
  XDrawSegments(ds.display_id, d, gc, arms, 4);
}

// The cross-hair as it was drawn: in the window, in the picture's pixmap (moved
// by the pan of that moment) and in the zoom.
void paint_crosshair(GC gc) {
  const int wx = clip16(static_cast<long>(ds.crosshair_x) + ds.crosshair_pan_x);
  const int wy = clip16(static_cast<long>(ds.crosshair_y) + ds.crosshair_pan_y);
  crosshair_arms(ds.image_area_window_id, gc, wx, wy, ds.window_width, ds.window_height);
  if (ds.map_no >= 0 && ds.map_no < kMaxMaps && ds.screen_pixmap[ds.map_no] != 0) {
    // The arms span the image area, which in the pixmap starts at minus the pan.
    const int px = clip16(ds.crosshair_x), py = clip16(ds.crosshair_y);
    const int left = -ds.crosshair_pan_x, top = -ds.crosshair_pan_y;
    XSegment arms[4] = {
        {clip16(left), static_cast<short>(py), clip16(px - 5L), static_cast<short>(py)},
        {clip16(px + 5L), static_cast<short>(py), clip16(static_cast<long>(left) + ds.window_width),
         static_cast<short>(py)},
        {static_cast<short>(px), clip16(top), static_cast<short>(px), clip16(py - 5L)},
        {static_cast<short>(px), clip16(py + 5L), static_cast<short>(px),
         clip16(static_cast<long>(top) + ds.window_height)},
    };
    XDrawSegments(ds.display_id, ds.screen_pixmap[ds.map_no], gc, arms, 4);
  }
  if (ds.crosshair_in_zoom && ds.zoom_flag == 1 && ds.zoom_pixmap != 0) {
    const int zx = clip16(ds.crosshair_zoom_x), zy = clip16(ds.crosshair_zoom_y);
    crosshair_arms(ds.zoom_area_window_id, gc, zx, zy, ds.zoom_width, ds.zoom_height);
    crosshair_arms(ds.zoom_pixmap, gc, zx, zy, ds.zoom_width, ds.zoom_height);
  }
}

// Ends the cross-hair: its last lines are erased and the overlay items they
// crossed are drawn again, so that no stray lines stay on the picture.
void end_crosshair() {
  if (!ds.crosshair_drawn) return;
  paint_crosshair(ds.gc_remove_vector);
  ds.crosshair_drawn = false;
  ReDraw_vectors();
}

}  // namespace

void changecursor(int& shape) {
  if (shape < 0) {
    ds.cursor_bits_reversed = ds.cursor_bits_reversed == 0 ? 1 : 0;
    shape = shape == INT_MIN ? INT_MAX : -shape;
  }
  if (shape > 8) shape = 8;
  Display* d = ds.display_id;
  const Cursor previous = ds.cursor;
  XUndefineCursor(d, ds.image_area_window_id);
  if (ds.pointer_flag > 1) {
    ds.pointer_flag -= 2;
    end_crosshair();
    if (ds.pointer_flag == 0) watch_motion(false);
  }
  static constexpr unsigned kGlyphs[9] = {
      kArrowGlyph, 0, 0, 0, kCrossGlyph, kCircleGlyph, kHandGlyph, kBirdGlyph, kSkullGlyph};
  if (shape == 0 || shape >= 4) {
    ds.cursor = XCreateFontCursor(d, kGlyphs[shape]);
  } else {
    if (shape == 3) {
      watch_motion(true);
      ds.pointer_flag += 2;
    }
    ds.cursor = bitmap_cursor(shape);
  }
  XDefineCursor(d, ds.image_area_window_id, ds.cursor);
  XDefineCursor(d, ds.zoom_area_window_id, ds.cursor);
  // The server keeps a cursor while a window uses it; ours is released so
  // that changing shapes all session long does not pile cursors up.
  if (previous != 0 && previous != ds.cursor) XFreeCursor(d, previous);
  XSync(d, False);
}

void pointertrackon(int shift_x, int shift_y, int y_reference) {
  watch_motion(true);
  ds.pointer_flag += 1;
  ds.ichange_origin = y_reference;
  ds.pointer_shift_x = ds.pointer_save_x = shift_x;
  ds.pointer_shift_y = ds.pointer_save_y = shift_y;
}

void pointertrackoff() {
  if (ds.pointer_flag == 1 || ds.pointer_flag == 3) {
    erase_read_out();
    ds.pointer_flag -= 1;
    if (ds.pointer_flag == 0) watch_motion(false);
    XSync(ds.display_id, False);
  }
}

// Each pointer motion over the image or zoom area: the read-out shows the new
// position and the cross-hair follows the pointer.
void pointer_track(Widget, XtPointer, XEvent*, Boolean*) {
  // Redrawing the items after a long cross-hair move handles pending events,
  // which may bring further motion: those must not draw a second cross-hair.
  static bool busy = false;
  if (ds.pointer_flag == 0 || busy) return;
  busy = true;
  const bool text = ds.pointer_flag == 1 || ds.pointer_flag == 3;
  if (text) erase_read_out();
  int x = 0, y = 0;
  readpointer(x, y);
  if (text) {
    long shown_y = ds.ichange_origin != 0
                       ? static_cast<long>(ds.ichange_origin) - y + ds.pointer_shift_y
                       : static_cast<long>(y) + ds.pointer_shift_y;
    long shown_x = static_cast<long>(x) + ds.pointer_shift_x;
    int n = std::snprintf(ds.pointer_text, sizeof ds.pointer_text, "%ld %ld", shown_x, shown_y);
    ds.pointer_text_length = std::clamp(n, 0, static_cast<int>(sizeof ds.pointer_text) - 1);
    ds.pointer_text_font = ds.font_id;
    XDrawString(ds.display_id, ds.image_area_window_id, ds.gc_draw_vector[0], ds.pointer_x,
                ds.pointer_y, ds.pointer_text, ds.pointer_text_length);
    ds.pointer_text_shown = true;
  }
  if (ds.pointer_flag > 1) {
    giant_cursor_remove();
    giant_cursor_draw();
  }
  XSync(ds.display_id, False);
  busy = false;
}

void giant_cursor_draw() {
  ds.crosshair_x = ds.image_pointer_x;
  ds.crosshair_y = ds.image_pointer_y;
  ds.crosshair_pan_x = window_origin_x();
  ds.crosshair_pan_y = window_origin_y();
  ds.crosshair_in_zoom = ds.zoom_flag == 1 && ds.zoom_pixmap != 0;
  if (ds.crosshair_in_zoom)
    convert_to_zoom(ds.crosshair_x, ds.crosshair_y, ds.crosshair_zoom_x, ds.crosshair_zoom_y);
  paint_crosshair(ds.gc_draw_vector[ds.dash_style == 1 ? 1 : 0]);
  ds.crosshair_drawn = true;
}

void giant_cursor_remove() {
  if (!ds.crosshair_drawn) return;
  paint_crosshair(ds.gc_remove_vector);
  ds.crosshair_drawn = false;
  // The erased lines also cleared the overlay bit of the items they crossed.
  if (std::labs(static_cast<long>(ds.crosshair_x) - ds.pointer_save_x) > kPointerShiftMax ||
      std::labs(static_cast<long>(ds.crosshair_y) - ds.pointer_save_y) > kPointerShiftMax) {
    ReDraw_vectors();
    ds.pointer_save_x = ds.crosshair_x;
    ds.pointer_save_y = ds.crosshair_y;
  }
}
