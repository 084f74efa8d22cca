// The pictures of the display: rasters of colour-cell indices stored as server
// pixmaps and copied into the image area, the pan offsets of the middle-button
// drag, the magnifying zoom window of the right button, the overlay area for
// computed pictures, and the pointer position in image coordinates.
#include <X11/StringDefs.h>
#include <X11/Xaw/Form.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/tolpix.h"
#include "display/xstate.h"
#include "textio/stop.h"

// Static storage: the pages of a buffer cost nothing until a raster touches them.
unsigned char image_pointer[static_cast<size_t>(kMaxPictureSide) * kMaxPictureSide];
unsigned char overlay_pointer[kMaxOverlayPixels];

namespace {

XImage* make_image(unsigned char* data, int width, int height) {
  return XCreateImage(ds.display_id, ds.visual_id, ds.image_depth, ZPixmap, 0,
                      reinterpret_cast<char*>(data), width, height, 8, 0);
}

// Destroys a client image without freeing the library's buffer under it.
void drop_image(XImage*& image) {
  if (image == nullptr) return;
  image->data = nullptr;
  XDestroyImage(image);
  image = nullptr;
}

void free_pixmap(Pixmap& pixmap) {
  if (pixmap != 0) XFreePixmap(ds.display_id, pixmap);
  pixmap = 0;
}

// Creates a pixmap of the image window's depth; 0 when the server refused it.
Pixmap create_pixmap(int width, int height) {
  Pixmap pixmap =
      XCreatePixmap(ds.display_id, ds.image_area_window_id, width, height, ds.image_depth);
  XSync(ds.display_id, False);
  return pending_no_memory() ? 0 : pixmap;
}

// The client image over the zoom buffer and the server pixmap of the zoom
// window, both of the current zoom size; false when the server refused.
bool make_zoom_pixmap() {
  std::vector<unsigned char>& buffer = *ds.zoom_buffer;
  const size_t needed = static_cast<size_t>(ds.zoom_width) * ds.zoom_height;
  if (buffer.size() < needed) buffer.resize(needed);
  ds.zoom_map = make_image(buffer.data(), ds.zoom_width, ds.zoom_height);
  ds.zoom_pixmap = create_pixmap(ds.zoom_width, ds.zoom_height);
  if (ds.zoom_pixmap != 0) return true;
  drop_image(ds.zoom_map);
  return false;
}

// A failed allocation earlier in the run must not make every later one fail:
// each routine that allocates starts from a clean slate.
void clear_stale_no_memory() {
  if (ds.icallback_value == kJobNoMemory) ds.icallback_value = 0;
}

// Fills the parts of the image area the picture does not cover, so that a pan
// or a smaller picture leaves no stale pixels behind.
void fill_uncovered(int x, int y, int width, int height) {
  Display* d = ds.display_id;
  Window w = ds.image_area_window_id;
  GC gc = ds.gc_fill_rectangle;
  int right = x + width, bottom = y + height;
  if (x > 0) XFillRectangle(d, w, gc, 0, 0, x, ds.window_height);
  if (right < ds.window_width)
    XFillRectangle(d, w, gc, std::max(right, 0), 0, ds.window_width - std::max(right, 0),
                   ds.window_height);
  int left = std::max(x, 0), span = std::min(right, ds.window_width) - left;
  if (span <= 0) return;
  if (y > 0) XFillRectangle(d, w, gc, left, 0, span, y);
  if (bottom < ds.window_height)
    XFillRectangle(d, w, gc, left, std::max(bottom, 0), span,
                   ds.window_height - std::max(bottom, 0));
}

// Window position of the pointer over the image area.
void query_image_pointer(int& wx, int& wy) {
  Window root = 0, child = 0;
  int rx = 0, ry = 0;
  unsigned int mask = 0;
  XQueryPointer(ds.display_id, ds.image_area_window_id, &root, &child, &rx, &ry, &wx, &wy, &mask);
}

// Places a child of the main form so that its inside starts at image-area
// window position (x, y): the form distances are counted from the form's corner,
// the image area itself sits a little inside it.
void place_child(Widget w, int x, int y, int width, int height) {
  Position area_x = 0, area_y = 0;
  Dimension area_border = 0, child_border = 0;
  XtVaGetValues(ds.image_area, XtNx, &area_x, XtNy, &area_y, XtNborderWidth, &area_border, nullptr);
  XtVaGetValues(w, XtNborderWidth, &child_border, nullptr);
  x += area_x + area_border - child_border;
  y += area_y + area_border - child_border;
  XtVaSetValues(w, XtNfromHoriz, nullptr, XtNfromVert, nullptr, XtNwidth, width, XtNheight, height,
                XtNhorizDistance, x, XtNvertDistance, y, XtNborderColor,
                static_cast<Pixel>(ds.colour_red), XtNforeground,
                static_cast<Pixel>(ds.colour_black), XtNbackground,
                static_cast<Pixel>(ds.colour_white), nullptr);
  XtManageChild(w);
  XRaiseWindow(ds.display_id, XtWindow(w));
}

// Puts the overlay area where its raster's image position now shows: centred on
// it, moved with the pan and the placement of the picture.
void place_overlay() {
  const int x = ds.overlay_pointer_x - ds.overlay_width / 2 + window_origin_x();
  const int y = ds.overlay_pointer_y - ds.overlay_height / 2 + window_origin_y();
  if (ds.overlay_flag == 1 && x == ds.overlay_window_x && y == ds.overlay_window_y) return;
  ds.overlay_window_x = x;
  ds.overlay_window_y = y;
  place_child(ds.overlay_area, x, y, ds.overlay_width, ds.overlay_height);
}

// Hides the zoom window or the overlay area and releases its picture.
void hide_area(int& flag, XImage*& image, Pixmap& pixmap, Widget area) {
  if (flag == 1) {
    drop_image(image);
    free_pixmap(pixmap);
    XtUnmanageChild(area);
    XSync(ds.display_id, False);
  }
  flag = 0;
}

// Drag state of the middle button.
bool pan_moved = false;

}  // namespace

bool pending_no_memory() {
  return ds.icallback_value == kJobNoMemory;
}

// ---- Pictures ----

// A refused series leaves no trial pixmap behind and announces no maps, so that
// the single picture drawn next is shown and can be panned and zoomed.
void checkimage(int width, int height, int nmaps) {
  clear_stale_no_memory();
  if (nmaps >= kMaxMaps || width < 1 || height < 1 || width > kMaxPictureSide ||
      height > kMaxPictureSide) {
    ds.no_maps = 0;
    post_job(kJobNoMemory);
    return;
  }
  ds.no_maps = nmaps;
  ds.image_width = width;
  ds.image_height = height;
  if (ds.image_flag != 0) free_pixmap(ds.screen_pixmap[ds.map_no]);
  const int trial = std::max(ds.no_maps, 0);
  for (int i = 0; i < trial; ++i) free_pixmap(ds.screen_pixmap[i]);
  int made = 0;
  while (made < trial) {
    ds.screen_pixmap[made] =
        XCreatePixmap(ds.display_id, ds.image_area_window_id, width, height, ds.image_depth);
    XSync(ds.display_id, False);
    if (pending_no_memory()) break;
    ++made;
  }
  // The refused pixmap was never made; those made before it are released.
  if (made < trial) {
    ds.screen_pixmap[made] = 0;
    ds.no_maps = 0;
  }
  for (int i = 0; i < made; ++i) free_pixmap(ds.screen_pixmap[i]);
  XSync(ds.display_id, False);
}

bool drawimage(int width, int height, int map_number, const int32_t* raster, int& check_flag) {
  check_flag = 0;
  clear_stale_no_memory();
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide ||
      map_number < 0 || map_number >= kMaxMaps) {
    return false;
  }
  ds.pan_flag = 0;
  ds.pan_x = ds.pan_y = 0;
  ds.image_dest_x = ds.image_dest_y = 0;
  ds.map_width = width;
  ds.map_height = height;
  ds.map_no = map_number;
  ds.map_size = width * height;
  if (ds.no_maps == 0) ds.no_maps = 1;

  if (ds.no_maps == 1) {
    // A single picture sits in the top-left corner of a pixmap at least as
    // large as the image area.
    ds.image_width = std::max(width, ds.window_width);
    ds.image_height = std::max(height, ds.window_height);
  } else {
    ds.image_width = width;
    ds.image_height = height;
    ds.image_dest_x = (ds.window_width - width) / 2;
    ds.image_dest_y = (ds.window_height - height) / 2;
  }

  drop_image(ds.image);
  free_pixmap(ds.screen_pixmap[map_number]);
  XSync(ds.display_id, False);
  Pixmap pixmap = create_pixmap(ds.image_width, ds.image_height);
  if (pixmap == 0) return false;
  ds.screen_pixmap[map_number] = pixmap;

  XFillRectangle(ds.display_id, pixmap, ds.gc_fill_rectangle, 0, 0, ds.image_width,
                 ds.image_height);
  const size_t pixels = static_cast<size_t>(ds.map_size);
  for (size_t i = 0; i < pixels; ++i) image_pointer[i] = static_cast<unsigned char>(raster[i]);
  ds.image = make_image(image_pointer, width, height);
  XPutImage(ds.display_id, pixmap, ds.gc_fill_rectangle, ds.image, 0, 0, 0, 0, width, height);
  XSync(ds.display_id, False);
  if (pending_no_memory()) return false;

  // Read-back check: the first non-zero pixels must come back unchanged, or the
  // display does not keep one-byte pixel values.
  size_t first = 0;
  while (first < pixels && image_pointer[first] == 0) ++first;
  if (first == pixels) {
    check_flag = 2;
  } else {
    int row = static_cast<int>(first / width), column = static_cast<int>(first % width);
    int n = std::min(50, width - column);
    XImage* back = XGetImage(ds.display_id, pixmap, column, row, n, 1, AllPlanes, ZPixmap);
    if (back == nullptr) {
      print_line("XGetImage in screen read back failed");
      fatal_stop();
    }
    for (int i = 0; i < n; ++i) {
      if (XGetPixel(back, i, 0) != image_pointer[first + i]) {
        check_flag = 1;
        break;
      }
    }
    XDestroyImage(back);
    XSync(ds.display_id, False);
    if (pending_no_memory()) return false;
  }

  if (map_number == ds.no_maps - 1) {
    ds.image_flag = 1;
    drawpixmap(map_number);
  }
  return true;
}

void drawpixmap(int map_number) {
  if (map_number < 0 || map_number >= kMaxMaps) return;
  ds.map_no = map_number;
  if (ds.image_flag != 0 && ds.screen_pixmap[map_number] != 0) {
    // Only the part of the pixmap that lies in the source rectangle is copied:
    // the server would paint the rest with the window's own background.
    int src_x = -ds.pan_x, src_y = -ds.pan_y;
    int dst_x = ds.image_dest_x, dst_y = ds.image_dest_y;
    int width = ds.image_width, height = ds.image_height;
    if (src_x < 0) {
      dst_x -= src_x;
      width += src_x;
      src_x = 0;
    }
    if (src_y < 0) {
      dst_y -= src_y;
      height += src_y;
      src_y = 0;
    }
    width = std::min(width, ds.image_width - src_x);
    height = std::min(height, ds.image_height - src_y);
    if (width > 0 && height > 0) {
      XCopyArea(ds.display_id, ds.screen_pixmap[map_number], ds.image_area_window_id,
                ds.gc_fill_rectangle, src_x, src_y, width, height, dst_x, dst_y);
      fill_uncovered(dst_x, dst_y, width, height);
    } else {
      fill_uncovered(0, 0, 0, 0);
    }
  }
  if (ds.overlay_flag == 1) place_overlay();
  XFlush(ds.display_id);
  if (event_get_next()) eventdispatch();
  ds.expose_flag = 1;
}

void ReDraw_image(Widget, XtPointer, XEvent*, Boolean*) {
  drawpixmap(ds.map_no);
}

void ReDraw_zoom(Widget, XtPointer, XEvent*, Boolean*) {
  if (ds.zoom_flag != 1 || ds.zoom_pixmap == 0) return;
  XCopyArea(ds.display_id, ds.zoom_pixmap, ds.zoom_area_window_id, ds.gc_fill_rectangle, 0, 0,
            ds.zoom_width, ds.zoom_height, 0, 0);
  XSync(ds.display_id, False);
}

void ReDraw_overlay(Widget, XtPointer, XEvent*, Boolean*) {
  if (ds.overlay_flag != 1 || ds.overlay_pixmap == 0) return;
  XCopyArea(ds.display_id, ds.overlay_pixmap, ds.overlay_area_window_id, ds.gc_fill_rectangle, 0, 0,
            ds.overlay_width, ds.overlay_height, 0, 0);
  XSync(ds.display_id, False);
}

void clearimage() {
  if (ds.image_flag == 0) return;
  ds.pan_x = ds.pan_y = 0;
  int maps = std::clamp(ds.no_maps, 0, kMaxMaps);
  for (int i = 0; i < maps; ++i) {
    if (ds.screen_pixmap[i] == 0) continue;
    XFillRectangle(ds.display_id, ds.screen_pixmap[i], ds.gc_fill_rectangle, 0, 0, ds.image_width,
                   ds.image_height);
    XCopyArea(ds.display_id, ds.screen_pixmap[i], ds.image_area_window_id, ds.gc_fill_rectangle, 0,
              0, ds.image_width, ds.image_height, ds.image_dest_x, ds.image_dest_y);
    free_pixmap(ds.screen_pixmap[i]);
  }
  zoomhide();
  if (ds.overlay_flag == 1) place_overlay();
  ds.image_flag = 0;
  // Synchronised, so that the blank picture is on the screen when the call returns.
  XSync(ds.display_id, False);
}

bool readimage(int x, int row, int area, unsigned char* out, int capacity) {
  Drawable source = 0;
  int width = 0, height = 0;
  if (area == 0) {
    if (ds.image_flag == 0) return false;
    source = ds.screen_pixmap[ds.map_no];
    width = ds.image_width;
    height = ds.image_height;
  } else {
    if (ds.overlay_flag == 0) return false;
    source = ds.overlay_pixmap;
    width = ds.overlay_width;
    height = ds.overlay_height;
  }
  if (source == 0 || x < 0 || x >= width || row < 0 || row >= height) return false;
  int n = std::min(width - x, capacity);
  if (n <= 0) return false;
  XImage* back = XGetImage(ds.display_id, source, x, row, n, 1, AllPlanes, ZPixmap);
  XSync(ds.display_id, False);
  if (pending_no_memory()) {
    if (back != nullptr) XDestroyImage(back);
    return false;
  }
  if (back == nullptr) {
    print_line("XGetImage failed");
    fatal_stop();
  }
  for (int i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(XGetPixel(back, i, 0));
  XDestroyImage(back);
  return true;
}

// ---- Panning ----

void setpan(int x, int y) {
  zoomhide();  // as a drag of the picture does
  ds.pan_x = x;
  ds.pan_y = y;
  drawpixmap(ds.map_no);
  XSync(ds.display_id, False);
}

void action_pan_start(Widget, XEvent*, String*, Cardinal*) {
  if (ds.no_maps >= 2) return;
  zoomhide();
  ds.pan_flag = 1;
  pan_moved = false;
  query_image_pointer(ds.pan_pointer_x1, ds.pan_pointer_y1);
  ds.pan_pointer_x2 = ds.pan_pointer_x1;
  ds.pan_pointer_y2 = ds.pan_pointer_y1;
  while (ds.pan_flag == 1) {
    query_image_pointer(ds.pan_pointer_x2, ds.pan_pointer_y2);
    int dx = ds.pan_pointer_x2 - ds.pan_pointer_x1, dy = ds.pan_pointer_y2 - ds.pan_pointer_y1;
    if (std::abs(dx) + std::abs(dy) > kPanMin) {
      ds.pan_x += dx;
      ds.pan_y += dy;
      pan_moved = true;
      drawpixmap(ds.map_no);
      ds.pan_pointer_x1 = ds.pan_pointer_x2;
      ds.pan_pointer_y1 = ds.pan_pointer_y2;
    }
    if (event_get_next()) {
      eventdispatch();
    } else {
      XSync(ds.display_id, False);
    }
  }
}

// The release ends the drag. The movement since the last step is applied only
// when the drag has moved the picture at all, and the picture is redrawn, so
// that what is shown and the pan used by pointer readings always agree; a
// drag that never passed the threshold leaves everything where it was.
void action_pan_finish(Widget, XEvent*, String*, Cardinal*) {
  if (ds.no_maps >= 2 || ds.pan_flag == 0) return;
  ds.pan_flag = 0;
  if (!pan_moved) return;
  ds.pan_x += ds.pan_pointer_x2 - ds.pan_pointer_x1;
  ds.pan_y += ds.pan_pointer_y2 - ds.pan_pointer_y1;
  drawpixmap(ds.map_no);
}

// ---- Zoom window ----

void zoominit() {
  ds.image_pointer_x = ds.window_width >> 1;
  ds.image_pointer_y = ds.window_height >> 1;
}

void action_zoom_init(Widget, XEvent*, String*, Cardinal*) {
  ds.icallback_value = 103;
  if (ds.no_maps >= 2) return;
  int x = 0, y = 0;
  readpointer(x, y);
  zoom_display();
}

void zoom_display() {
  if (ds.zoom_flag == 1) zoomhide();
  clear_stale_no_memory();
  ds.zoom_pointer_x = ds.image_pointer_x + window_origin_x();
  ds.zoom_pointer_y = ds.image_pointer_y + window_origin_y();

  const int fx = ds.zoom_factor_x, fy = ds.zoom_factor_y;
  const int zw = ds.zoom_width, zh = ds.zoom_height;
  std::vector<unsigned char>& buffer = *ds.zoom_buffer;
  if (buffer.size() < static_cast<size_t>(zw) * zh) buffer.resize(static_cast<size_t>(zw) * zh);
  const int x0 = ds.image_pointer_x - zw / (2 * fx);
  const int y0 = ds.image_pointer_y - zh / (2 * fy);
  const auto background = static_cast<unsigned char>(ds.colour_background);
  const bool have_picture = ds.image_flag != 0;
  for (int v = 0; v < zh; ++v) {
    unsigned char* out = buffer.data() + static_cast<size_t>(v) * zw;
    int sy = v / fy + y0;
    if (!have_picture || sy < 0 || sy >= ds.map_height) {
      std::memset(out, background, zw);
      continue;
    }
    const unsigned char* in = image_pointer + static_cast<size_t>(sy) * ds.map_width;
    for (int u = 0; u < zw; ++u) {
      int sx = u / fx + x0;
      out[u] = (sx < 0 || sx >= ds.map_width) ? background : in[sx];
    }
  }

  if (!make_zoom_pixmap()) return;
  ds.zoom_window_x1 = ds.zoom_pointer_x - zw / 2;
  ds.zoom_window_y1 = ds.zoom_pointer_y - zh / 2;
  ds.zoom_window_x2 = ds.zoom_pointer_x + zw / 2;
  ds.zoom_window_y2 = ds.zoom_pointer_y + zh / 2;
  place_child(ds.zoom_area, ds.zoom_window_x1, ds.zoom_window_y1, zw, zh);
  XFillRectangle(ds.display_id, ds.zoom_pixmap, ds.gc_fill_rectangle, 0, 0, zw, zh);
  XPutImage(ds.display_id, ds.zoom_pixmap, ds.gc_fill_rectangle, ds.zoom_map, 0, 0, 0, 0, zw, zh);
  ds.zoom_flag = 1;
  draw_vectors_in_zoom();
  XSync(ds.display_id, False);
}

void zoomhide() {
  hide_area(ds.zoom_flag, ds.zoom_map, ds.zoom_pixmap, ds.zoom_area);
}

bool changezoom(int fx, int fy, int width, int height) {
  if (fx < 1 || fy < 1 || width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  if (ds.zoom_flag == 1) zoomhide();
  clear_stale_no_memory();
  // Even factors and an odd number of magnified pixels, so that the pixel under
  // the pointer sits in the middle of the zoom window.
  if (fx != 1) {
    fx = std::max(2, fx / 2 * 2);
    width = ((width / fx) / 2 * 2 + 1) * fx;
  }
  if (fy != 1) {
    fy = std::max(2, fy / 2 * 2);
    height = ((height / fy) / 2 * 2 + 1) * fy;
  }
  ds.zoom_factor_x = fx;
  ds.zoom_factor_y = fy;
  ds.zoom_width = width;
  ds.zoom_height = height;
  if (!make_zoom_pixmap()) return false;
  XPutImage(ds.display_id, ds.zoom_pixmap, ds.gc_fill_rectangle, ds.zoom_map, 0, 0, 0, 0, width,
            height);
  ds.zoom_flag = 1;
  zoomhide();
  return true;
}

void convert_to_zoom(int x, int y, int& zx, int& zy) {
  zx = ds.zoom_width / 2 + (x - ds.zoom_pointer_x + window_origin_x()) * ds.zoom_factor_x;
  zy = ds.zoom_height / 2 + (y - ds.zoom_pointer_y + window_origin_y()) * ds.zoom_factor_y;
}

// Zoom-window position to the image-area window position it magnifies.
void zoom_to_window(int zx, int zy, int& x, int& y) {
  int fx = ds.zoom_factor_x, fy = ds.zoom_factor_y;
  int tx = zx > ds.zoom_width / 2 ? fx / 2 : (-fx) / 2 + 1;
  int ty = zy > ds.zoom_height / 2 ? fy / 2 : (-fy) / 2 + 1;
  x = ds.zoom_pointer_x - ((ds.zoom_width / 2 - zx) - tx) / fx;
  y = ds.zoom_pointer_y - ((ds.zoom_height / 2 - zy) - ty) / fy;
}

void readpointer(int& x, int& y) {
  int wx = 0, wy = 0;
  query_image_pointer(wx, wy);
  pointer_at(wx, wy, x, y);
}

// Image position under image-area window position (wx, wy); inside the zoom
// window, the image position magnified there.
void pointer_at(int wx, int wy, int& x, int& y) {
  if (ds.zoom_flag == 1 && ds.zoom_window_x1 <= wx && wx <= ds.zoom_window_x2 &&
      ds.zoom_window_y1 <= wy && wy <= ds.zoom_window_y2) {
    zoom_to_window(wx - ds.zoom_window_x1, wy - ds.zoom_window_y1, wx, wy);
  }
  x = wx - window_origin_x();
  y = wy - window_origin_y();
  ds.image_pointer_x = x;
  ds.image_pointer_y = y;
}

// ---- Overlay area ----

bool overlayinit(int x, int y, int width, int height, const int32_t* raster) {
  if (width < 1 || height < 1 || static_cast<long>(width) * height > kMaxOverlayPixels)
    return false;
  clear_stale_no_memory();
  if (ds.overlay_flag == 1) overlayhide();
  ds.overlay_pointer_x = x;
  ds.overlay_pointer_y = y;
  ds.overlay_width = width;
  ds.overlay_height = height;
  const size_t pixels = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < pixels; ++i) overlay_pointer[i] = static_cast<unsigned char>(raster[i]);
  ds.overlay_map = make_image(overlay_pointer, width, height);
  ds.overlay_pixmap = create_pixmap(width, height);
  if (ds.overlay_pixmap == 0) {
    drop_image(ds.overlay_map);
    return false;
  }
  XFillRectangle(ds.display_id, ds.overlay_pixmap, ds.gc_fill_rectangle, 0, 0, width, height);
  XPutImage(ds.display_id, ds.overlay_pixmap, ds.gc_fill_rectangle, ds.overlay_map, 0, 0, 0, 0,
            width, height);
  place_overlay();
  ds.overlay_flag = 1;
  XSync(ds.display_id, False);
  return true;
}

void overlayhide() {
  hide_area(ds.overlay_flag, ds.overlay_map, ds.overlay_pixmap, ds.overlay_area);
}

bool overlayposition(int x, int y, int& column, int& row) {
  column = row = -1;
  if (ds.overlay_flag != 1) return false;
  column = x - (ds.overlay_pointer_x - ds.overlay_width / 2);
  row = y - (ds.overlay_pointer_y - ds.overlay_height / 2);
  return column >= 0 && column < ds.overlay_width && row >= 0 && row < ds.overlay_height;
}
