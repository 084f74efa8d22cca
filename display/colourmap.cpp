// The colour map that gives picture pixels their colours, the drawing modes of
// the overlay graphics contexts, and the colour bars beside the sliders.
//
// Pictures use cells 0 to 125. Overlay graphics are drawn with "or 128" and
// erased with "and 127", so the upper cells are filled with the overlay colour
// (green) and the top five cells hold the reserved colours. Cell 127 is black
// whatever the table: it is the background of the pictures and the frame round
// them, and an overlay item erased over it gives it back unchanged.
#include <X11/Intrinsic.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "display/xstate.h"

namespace {

constexpr int kLineWidth = 0;  // thin lines
constexpr int kCapStyle = CapButt;
constexpr int kJoinStyle = JoinMiter;
constexpr unsigned short kFull = 65535;

void set_cell(int index, unsigned short red, unsigned short green, unsigned short blue) {
  XColor& c = ds.colours[index];
  c.pixel = static_cast<unsigned long>(index);
  c.red = red;
  c.green = green;
  c.blue = blue;
  c.flags = DoRed | DoGreen | DoBlue;
}

void put_colour_bar(Window window) {
  XPutImage(ds.display_id, window, ds.gc_fill_rectangle, ds.colour_bar_image, 0, 0, 0, 0,
            kColourBarWidth, kColourBarHeight);
}

// The bars are redrawn whenever their windows are exposed again, so that a menu
// or a zoom window passing over them does not wipe them out.
void redraw_colour_bar(Widget w, XtPointer, XEvent*, Boolean*) {
  if (ds.colour_bar_image == nullptr) return;
  if (w == ds.colour_bar1 && ds.colour_bar_flag >= 1) put_colour_bar(ds.colour_bar1_window_id);
  if (w == ds.colour_bar2 && ds.colour_bar_flag >= 2) put_colour_bar(ds.colour_bar2_window_id);
}

}  // namespace

void setcolourtable(int start, int entries, const int32_t* red, const int32_t* green,
                    const int32_t* blue) {
  const int size = ds.colourmap_size;
  // The table never reaches past the colour map or past the 256 elements of the
  // caller's arrays.
  start = std::clamp(start, 0, size - 1);
  entries = std::clamp(entries, 0, std::min(256, size - start));
  ds.colour_start = start;
  ds.colour_entries = entries;
  ds.ncolours = start + entries - 1;

  for (int i = 0; i < size; ++i) {
    ds.colours[i].pixel = static_cast<unsigned long>(i);
    ds.colours[i].flags = 0;
  }
  for (int k = 0; k < entries; ++k) {
    set_cell(start + k, static_cast<unsigned short>(red[k] & 0xffff),
             static_cast<unsigned short>(green[k] & 0xffff),
             static_cast<unsigned short>(blue[k] & 0xffff));
  }
  for (int i = std::max(ds.ncolours, 0); i <= size - 7; ++i) set_cell(i, 0, kFull, 0);
  set_cell(ds.colour_green, 0, kFull, 0);
  set_cell(ds.colour_blue, 0, 0, kFull);
  set_cell(ds.colour_red, kFull, 0, 0);
  set_cell(ds.colour_black, 0, 0, 0);
  set_cell(ds.colour_white, kFull, kFull, kFull);
  set_cell(ds.colour_background, 0, 0, 0);

  // Cells whose flags are 0 are left as they are.
  XColor stored[256];
  int n = 0;
  for (int i = 0; i < size; ++i)
    if (ds.colours[i].flags != 0) stored[n++] = ds.colours[i];
  XStoreColors(ds.display_id, ds.colourmap, stored, n);

  // The windows take the colour map once the picture area has been drawn.
  while (ds.expose_flag == 0) {
    if (event_get_next()) {
      eventdispatch();
    } else {
      usleep(1000);
    }
  }
  const Widget windows[] = {ds.topLevel,    ds.mainForm,    ds.image_area,   ds.label,
                            ds.ioBox,       ds.ioBox_label, ds.ioBox_text,   ds.overlay_area,
                            ds.sliderBox,   ds.zoom_area,   ds.slider_label, ds.slider1,
                            ds.colour_bar1, ds.slider2,     ds.colour_bar2};
  for (Widget w : windows) XSetWindowColormap(ds.display_id, XtWindow(w), ds.colourmap);
  if (ds.menuBox != nullptr) XSetWindowColormap(ds.display_id, XtWindow(ds.menuBox), ds.colourmap);

  Display* d = ds.display_id;
  XSetForeground(d, ds.gc_fill_rectangle, static_cast<unsigned long>(ds.colour_background));
  XSetFunction(d, ds.gc_fill_rectangle, GXcopy);
  for (int i = 0; i < 2; ++i) {
    XSetForeground(d, ds.gc_draw_vector[i], 128);
    XSetFunction(d, ds.gc_draw_vector[i], GXor);
    XSetLineAttributes(d, ds.gc_draw_vector[i], kLineWidth, i == 0 ? LineSolid : LineOnOffDash,
                       kCapStyle, kJoinStyle);
  }
  XSetForeground(d, ds.gc_remove_vector, 127);
  XSetFunction(d, ds.gc_remove_vector, GXand);
  XSetLineAttributes(d, ds.gc_remove_vector, kLineWidth, LineSolid, kCapStyle, kJoinStyle);
  XSync(d, False);
}

void colourbarinit() {
  if (ds.slider_flag == 0) {
    std::fprintf(stderr, "Slider not initialized");
    return;
  }
  static bool watching = false;
  if (!watching) {
    XtAddEventHandler(ds.colour_bar1, ExposureMask, False, redraw_colour_bar, nullptr);
    XtAddEventHandler(ds.colour_bar2, ExposureMask, False, redraw_colour_bar, nullptr);
    watching = true;
  }
  if (ds.colour_bar_image == nullptr) {
    ds.colour_bar_image = XCreateImage(ds.display_id, ds.visual_id, ds.image_depth, ZPixmap, 0,
                                       reinterpret_cast<char*>(ds.colour_bar_buffer),
                                       kColourBarWidth, kColourBarHeight, 8, 0);
  }
  put_colour_bar(ds.colour_bar1_window_id);
  XtManageChild(ds.colour_bar1);
  ds.colour_bar_flag = 1;
  if (ds.slider_flag == 2) {
    put_colour_bar(ds.colour_bar2_window_id);
    XtManageChild(ds.colour_bar2);
    ds.colour_bar_flag = 2;
  }
  XSync(ds.display_id, False);
}

void colourbarhide() {
  if (ds.slider_flag > 0) sliderhide();
  if (ds.colour_bar_flag > 0 && ds.colour_bar_image != nullptr) {
    ds.colour_bar_image->data = nullptr;
    XDestroyImage(ds.colour_bar_image);
    ds.colour_bar_image = nullptr;
    XSync(ds.display_id, False);
  }
  ds.colour_bar_flag = 0;
}
