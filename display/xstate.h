// Private state of the X11 display library and the routines its files share.
// Nothing outside display/ includes this header (tests may, to look inside).
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <cstdint>
#include <vector>

#include "display/tolpix.h"

// Layout constants.
constexpr int kBorderSize = 50;    // screen margin around the image area
constexpr int kIoboxWidth = 800;   // entry box width
constexpr int kLabelWidth = 790;   // entry box prompt and field width
constexpr int kStringLength = 80;  // entry field buffer, terminator included
constexpr int kIoboxGap = 20;      // extra height of the entry box
constexpr int kFontSpacer = 4;     // spacing between and inside the boxes
constexpr int kSliderWidth = 128;  // slider and colour bar size
constexpr int kSliderHeight = 25;
constexpr int kPanMin = 10;  // drag distance before the picture moves
constexpr int kColourBarWidth = 128;
constexpr int kColourBarHeight = 25;
constexpr int kMaxFontNames = 100;

// Overlay vector list capacities.
constexpr int kMaxBoxes = 10000;
constexpr int kMaxCircles = 10000;
constexpr int kMaxElipses = 10000;
constexpr int kMaxLineSegments = 16384;
constexpr int kMaxPoints = 10000;
constexpr int kMaxText = 4096;
constexpr int kTextBytes = 80;

// Cursor-font glyphs: top-left arrow, crosshair, circle, hand, gobbler, pirate.
constexpr unsigned kArrowGlyph = 132;
constexpr unsigned kCrossGlyph = 34;
constexpr unsigned kCircleGlyph = 24;
constexpr unsigned kHandGlyph = 60;
constexpr unsigned kBirdGlyph = 54;
constexpr unsigned kSkullGlyph = 88;
constexpr int kCursorSize = 15;  // bitmap cursors: 15 x 15, hot spot (7, 7)
constexpr int kCursorHot = 7;
constexpr int kPointerShiftMax = 10;  // cross-hair travel before the items are redrawn

struct DisplayState {
  // Toolkit objects and windows.
  XtAppContext app_context;
  Widget topLevel, mainForm;
  Widget image_area, zoom_area, overlay_area, label, ioBox, ioBox_label, ioBox_text;
  Widget sliderBox, slider_label, slider1, colour_bar1, slider2, colour_bar2, menuBox;
  Display* display_id;
  int scr_num;
  Window topLevel_window_id, image_area_window_id, zoom_area_window_id, overlay_area_window_id;
  Window label_window_id, ioBox_window_id, sliderBox_window_id, menuBox_window_id;
  Window colour_bar1_window_id, colour_bar2_window_id;

  // Screen, visual, colour map.
  int window_width, window_height;
  int colourmap_size;
  int colour_white, colour_black, colour_red, colour_blue, colour_green;
  // Black in every colour table and below the overlay bit: the background of the
  // pictures, the zoom and overlay areas and the frame round the image area, so
  // that erasing an overlay item over it ("and 127") leaves it black.
  int colour_background;
  Visual* visual_id;
  Colormap colourmap;
  int image_depth;
  int image_format;
  // 0: the cursor bitmaps that show the intended shapes; 1: the other set (the
  // "reverse bit pattern" answer). Bitmap data always reaches the server in X
  // bitmap order, so the choice does not depend on the server's own bit order.
  int cursor_bits_reversed;
  bool visual_ready;  // visual, colour map and graphics contexts exist

  // Fonts.
  XFontStruct* font_default;
  Font font_id, text_font;
  int font_height, iobox_height;
  char fonts[kMaxFontNames][64];
  int total_fonts;

  // Graphics contexts.
  GC gc_draw_vector[2];
  GC gc_remove_vector;
  GC gc_fill_rectangle;
  int dash_style;
  Cursor cursor;

  float cs[361], sn[361];
  int pointer_x, pointer_y;  // where the position read-out is written

  // Pointer tracking: read-out text and the giant cross-hair.
  int ichange_origin;  // 0, or the reference height of a mirrored read-out
  int pointer_shift_x, pointer_shift_y;
  int pointer_save_x, pointer_save_y;
  char pointer_text[24];
  int pointer_text_length;
  Font pointer_text_font;
  bool pointer_text_shown;
  bool tracking_installed;
  int crosshair_x, crosshair_y;
  bool crosshair_drawn;
  int crosshair_pan_x, crosshair_pan_y;  // window origin of the picture when it was drawn
  bool crosshair_in_zoom;
  int crosshair_zoom_x, crosshair_zoom_y;

  // Rubber-banding. The chain anchor is the end of the last segment of a line
  // chain: where its next segment starts.
  int rubber_start_x, rubber_start_y, rubber_finish_x, rubber_finish_y;
  int chain_x, chain_y;
  unsigned char colour_bar_map[kColourBarHeight][kColourBarWidth];
  unsigned char colour_bar_buffer[kColourBarHeight * kColourBarWidth];
  XImage* colour_bar_image;

  // Flags.
  int map_no, no_maps, colour_bar_flag;
  int expose_flag, expose_iobox_flag, expose_label_flag, expose_menu_flag, expose_slider_flag;
  int image_flag, label_flag, iobox_flag, menu_flag, pointer_flag, overlay_flag;
  int rubber_flag, rubber_type, slider_flag, zoom_flag;
  int event_proc;
  int ksliders;

  // Events and job codes.
  XEvent event_return;
  int icallback_value;

  // Menu and entry box.
  char* menu_pointer[kMaxMenuItems];
  char store_string[kStringLength];
  char label_text[4096];
  float slider1_start_position, slider2_start_position;
  float slider_position;

  // Pictures.
  Pixmap screen_pixmap[kMaxMaps];
  int map_width, map_height, map_size;
  int image_width, image_height;
  int image_dest_x, image_dest_y;
  XImage* image;
  int pan_x, pan_y, pan_flag;
  int pan_pointer_x1, pan_pointer_y1, pan_pointer_x2, pan_pointer_y2;
  int image_pointer_x, image_pointer_y;

  // Zoom window.
  int zoom_factor_x, zoom_factor_y;
  int zoom_width, zoom_height;
  int zoom_pointer_x, zoom_pointer_y;
  int zoom_window_x1, zoom_window_y1, zoom_window_x2, zoom_window_y2;
  XImage* zoom_map;
  Pixmap zoom_pixmap;
  std::vector<unsigned char>* zoom_buffer;  // sized at initialisation

  // Overlay area.
  int overlay_width, overlay_height;
  XImage* overlay_map;
  Pixmap overlay_pixmap;
  int overlay_pointer_x, overlay_pointer_y;
  int overlay_window_x, overlay_window_y;

  // Colour table.
  XColor colours[256];
  int colour_start, colour_entries, ncolours;
};

// Overlay items recorded so that they can be drawn again (zoom window, redraw)
// and erased one by one.
struct VectorLists {
  int nboxes;
  int box_x[kMaxBoxes], box_y[kMaxBoxes], box_width[kMaxBoxes], box_height[kMaxBoxes];
  int box_style[kMaxBoxes];
  int ncircles;
  int circle_x[kMaxCircles], circle_y[kMaxCircles], circle_diam[kMaxCircles];
  int circle_style[kMaxCircles];
  int nelipses;
  int elipse_x[kMaxElipses], elipse_y[kMaxElipses], elipse_diamx[kMaxElipses];
  int elipse_diamy[kMaxElipses], elipse_ang1[kMaxElipses], elipse_style[kMaxElipses];
  // The centre and half-axes as drawn, so that erasing meets exactly the drawn corners.
  int elipse_cx[kMaxElipses], elipse_cy[kMaxElipses];
  float elipse_a[kMaxElipses], elipse_b[kMaxElipses];
  int nlines;
  int line_x1[kMaxLineSegments], line_y1[kMaxLineSegments];
  int line_x2[kMaxLineSegments], line_y2[kMaxLineSegments], line_style[kMaxLineSegments];
  int npoints;
  int point_x[kMaxPoints], point_y[kMaxPoints];
  int ntext;
  int text_x[kMaxText], text_y[kMaxText];
  std::array<char, kTextBytes> text_string[kMaxText];
  int text_lengths[kMaxText];
  Font text_font[kMaxText];
};

extern DisplayState ds;
extern VectorLists vl;

// Window position of image position 0 of the picture on show: the pan plus where
// the picture is placed (centred in the image area when several are stored).
inline int window_origin_x() {
  return ds.pan_x + ds.image_dest_x;
}
inline int window_origin_y() {
  return ds.pan_y + ds.image_dest_y;
}

// The picture buffer: the library's copy of the last raster, one byte per pixel.
extern unsigned char image_pointer[];
// The overlay buffer.
extern unsigned char overlay_pointer[];

// Posts a job code: remembers it as the pending callback value and hands it to
// the application's register.
void post_job(int value);

// State of the operation layer (ops.cpp): what the adapters keep between calls.
struct OperationState {
  int change_origin;  // 1: every y crossing the interface is mirrored
  int max_window_width, max_window_height;
  long max_zoom_size;
  int map_width, map_height;                   // reference size of the mirror
  int nox, noy;                                // size of the last raster drawn
  int icflag;                                  // read-back result of the last drawn raster
  char fonts[kMaxFontNames][kFontNameLength];  // blank-padded font names
  int nfonts;
  int ired[256], igreen[256], iblue[256];  // last colour table, 0-255 per component
};
extern OperationState ops;

// Initialisation (init.cpp). Returns false when the requested image area does
// not fit on the screen (nothing is built then).
bool init(int& width, int& height, int& max_zoom_size, char* font_names, int& nfonts,
          int slot_length);
int error_trap(Display* display, XErrorEvent* error);

// Events and widgets (widgets.cpp). eventdispatch handles one X event or, while the
// timer runs (timer: microseconds, negative stops it), one tick of it.
void eventdispatch();
void timer(int microseconds);
int event_get_next();
void expose_iobox(Widget, XtPointer, XEvent*, Boolean*);
void expose_label(Widget, XtPointer, XEvent*, Boolean*);
void expose_slider(Widget, XtPointer, XEvent*, Boolean*);
void action_read_pointer(Widget, XEvent*, String*, Cardinal*);
void action_iobox(Widget, XEvent*, String*, Cardinal*);
void action_label_display_(Widget, XEvent*, String*, Cardinal*);
void actionmenudisplay_(Widget, XEvent*, String*, Cardinal*);
void action_slider_display_(Widget, XEvent*, String*, Cardinal*);
void menuinit(int nitems, int item_length, char* items);
void actionmenudisplay();
void menuhide();
void menuevent();
void labeldisplay(const char* text);
void labelhide();
void ioboxdisplay(const char* prompt, const char* reply, int nlines);
void ioboxreadstring(char* destination, int capacity);
void ioboxhide();
void sliderinit(int nsliders, float pos1, float pos2);
void sliderhide();
float readslider();

// Pictures, pan, zoom and overlay (picture.cpp).
void checkimage(int width, int height, int nmaps);
bool drawimage(int width, int height, int map_number, const int32_t* raster, int& check_flag);
void drawpixmap(int map_number);
void ReDraw_image(Widget, XtPointer, XEvent*, Boolean*);
void ReDraw_zoom(Widget, XtPointer, XEvent*, Boolean*);
void ReDraw_overlay(Widget, XtPointer, XEvent*, Boolean*);
void clearimage();
bool readimage(int x, int row, int area, unsigned char* out, int capacity);
// Sets the pan and shows the picture (with the overlay area) moved by it at once.
void setpan(int x, int y);
void action_pan_start(Widget, XEvent*, String*, Cardinal*);
void action_pan_finish(Widget, XEvent*, String*, Cardinal*);
void zoominit();
void action_zoom_init(Widget, XEvent*, String*, Cardinal*);
void zoom_display();
void zoomhide();
bool changezoom(int fx, int fy, int width, int height);
void convert_to_zoom(int x, int y, int& zx, int& zy);
void zoom_to_window(int zx, int zy, int& x, int& y);
void readpointer(int& x, int& y);
void pointer_at(int wx, int wy, int& x, int& y);
bool overlayinit(int x, int y, int width, int height, const int32_t* raster);
void overlayhide();
// Column and row of the overlay raster under image position (x, y); false when
// the overlay is hidden or the position lies off its raster.
bool overlayposition(int x, int y, int& column, int& row);
bool pending_no_memory();

// Overlay vectors (vectors.cpp). Shapes in image coordinates are painted into
// the image window, the current picture's pixmap and, while it is shown, the zoom
// window and pixmap (ellipses not in the zoom).
void paint_segments(GC gc, const int32_t* x1, const int32_t* y1, const int32_t* x2,
                    const int32_t* y2, int first, int count);
void paint_box(GC gc, int x, int y, int width, int height);
void paint_circle(GC gc, int x, int y, int diam);
void paint_elipse(GC gc, int cx, int cy, double a, double b, int angle);
void paint_text(GC gc, int x, int y, const char* text, int length);
// Appends to a list, or prints the list's message and returns false when it is full.
bool record_box(int x, int y, int width, int height);
bool record_circle(int x, int y, int diam);
bool record_line(int x1, int y1, int x2, int y2);
// The drawing routines take any number of items, skip those wholly off the stored
// picture, print a full list's message once and return false when the list filled.
bool drawboxes(const int32_t* xmin, const int32_t* ymin, const int32_t* xmax, const int32_t* ymax,
               int count);
bool drawcircles(const int32_t* x, const int32_t* y, const int32_t* radius, int count);
bool drawpoints(const int32_t* x, const int32_t* y, int count);
void drawelipse(int x, int y, float a, float b, float angle);
void drawlines(const int32_t* x1, const int32_t* y1, const int32_t* x2, const int32_t* y2,
               int count);
void drawtext(int x, int y, const char* text, int length);
// The removers take every recorded item that matches one of those given.
void removeboxes(const int32_t* xmin, const int32_t* ymin, const int32_t* xmax, const int32_t* ymax,
                 int count);
void removecircles(const int32_t* x, const int32_t* y, const int32_t* radius, int count);
void removepoints(const int32_t* x, const int32_t* y, int count);
void removeelipse(int x, int y, float a, float b, float angle);
// count 0 removes the most recent segment and returns it in the first elements.
void removelines(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2, int& count);
void removetext(int x, int y);
void removevectors();
void ReDraw_vectors();
void setdash();
void setsolid();
void changefont(int& k);
void draw_vectors_in_zoom();

// Cursors and pointer tracking (cursors.cpp).
void changecursor(int& shape);
void pointertrackon(int shift_x, int shift_y, int y_reference);
void pointertrackoff();
void pointer_track(Widget, XtPointer, XEvent*, Boolean*);
void giant_cursor_draw();
void giant_cursor_remove();

// Colour map and colour bars (colourmap.cpp).
void setcolourtable(int start, int entries, const int32_t* red, const int32_t* green,
                    const int32_t* blue);
void colourbarinit();
void colourbarhide();

// Rubber-banding (rubber.cpp); the actions are bound at initialisation.
void rubberenable(int type);
void rubberread(int& x1, int& y1, int& x2, int& y2);
void rubberremoveline();
void action_rubber_read(Widget, XEvent*, String*, Cardinal*);
void action_rubber_stop(Widget, XEvent*, String*, Cardinal*);
void action_rubber_finish(Widget, XEvent*, String*, Cardinal*);
