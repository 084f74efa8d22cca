// Opening the display and building the program's one window: the widget tree,
// the PseudoColor visual with its private colour map, the fonts, the graphics
// contexts, the button and key bindings, and the X error handler.
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xatom.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Box.h>
#include <X11/Xaw/Form.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/Scrollbar.h>
#include <X11/Xaw/Simple.h>
#include <X11/Xproto.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "display/xstate.h"
#include "textio/stop.h"

DisplayState ds;
VectorLists vl;

namespace {

const char* const kFontName1 = "*helvetica-bold-r-normal-*-17-120*100*";
const char* const kFontName2 = "*fixed-bold-r-normal-*-13-120-*-75-c-70*";
const char* const kFontPatterns[4] = {"*courier-bold-*", "*fixed-bold-*", "*helvetica-bold-*",
                                      "*times-bold-*"};
constexpr int kMaxFontsPerStyle = 20;
constexpr int kMaxSelectableFonts = 20;

// The bindings of the main form. Button presses over the image, zoom and overlay
// areas (which select no button events of their own) reach these.
const char kMainTranslations[] =
    "Ctrl<Btn1Up>: action_rubber_stop()\n"
    "Ctrl<Btn1Down>: action_rubber_read()\n"
    "<Btn1Down>(2+): action_rubber_finish()\n"
    "<Btn1Down>: action_read_pointer()\n"
    "<Btn2Down>: action_pan_start()\n"
    "<Btn2Up>: action_pan_finish()\n"
    "<Btn3Down>: action_zoom_init()\n"
    "Ctrl<Key>m: actionmenudisplay_()\n"
    "Ctrl<Key>l: action_label_display_()\n"
    "Ctrl<Key>s: action_slider_display_()";
const char kReturnTranslations[] = "<Key>Return: action_iobox()";

XtActionsRec kActions[] = {
    {const_cast<String>("action_read_pointer"), action_read_pointer},
    {const_cast<String>("action_label_display_"), action_label_display_},
    {const_cast<String>("actionmenudisplay_"), actionmenudisplay_},
    {const_cast<String>("action_slider_display_"), action_slider_display_},
    {const_cast<String>("action_pan_start"), action_pan_start},
    {const_cast<String>("action_pan_finish"), action_pan_finish},
    {const_cast<String>("action_rubber_read"), action_rubber_read},
    {const_cast<String>("action_rubber_stop"), action_rubber_stop},
    {const_cast<String>("action_rubber_finish"), action_rubber_finish},
    {const_cast<String>("action_zoom_init"), action_zoom_init},
    {const_cast<String>("action_iobox"), action_iobox},
};

void reset_state() {
  ds.map_no = ds.no_maps = ds.colour_bar_flag = 0;
  ds.expose_flag = ds.expose_iobox_flag = ds.expose_label_flag = 0;
  ds.expose_menu_flag = ds.expose_slider_flag = 0;
  ds.image_flag = ds.label_flag = ds.iobox_flag = ds.menu_flag = 0;
  ds.pointer_flag = ds.overlay_flag = ds.rubber_flag = ds.rubber_type = 0;
  ds.slider_flag = ds.zoom_flag = 0;
  ds.pan_x = ds.pan_y = 0;
  ds.overlay_width = ds.overlay_height = 128;
  ds.zoom_factor_x = ds.zoom_factor_y = 8;
  ds.zoom_width = ds.zoom_height = 128;
  ds.zoom_window_x1 = ds.zoom_window_y1 = ds.zoom_window_x2 = ds.zoom_window_y2 = 0;
  ds.image_format = ZPixmap;
}

// An odd number of magnified pixels: 128 at factor 8 becomes 136.
int odd_zoom_size(int size, int factor) {
  return ((size / factor) / 2 * 2 + 1) * factor;
}

void load_default_font() {
  ds.font_default = XLoadQueryFont(ds.display_id, kFontName1);
  if (ds.font_default == nullptr) {
    std::fprintf(stderr, "Cannot load font: %s\n", kFontName1);
    ds.font_default = XLoadQueryFont(ds.display_id, kFontName2);
    if (ds.font_default == nullptr) {
      std::fprintf(stderr, "Cannot load font: %s\n", kFontName2);
      std::exit(1);
    }
  }
  XSetFont(ds.display_id, DefaultGC(ds.display_id, ds.scr_num), ds.font_default->fid);
  ds.font_id = ds.text_font = ds.font_default->fid;
  ds.font_height = ds.font_default->max_bounds.ascent + ds.font_default->max_bounds.descent;
  ds.iobox_height = ds.font_height + 1;
}

// Lists the selectable fonts, at most 20 in all, and copies their names into the
// caller's slots (NUL-terminated when shorter than a slot).
void list_fonts(char* font_names, int slot_length, int& nfonts) {
  ds.total_fonts = 0;
  for (const char* pattern : kFontPatterns) {
    int count = 0;
    char** names = XListFonts(ds.display_id, pattern, kMaxFontsPerStyle, &count);
    for (int i = 0; i < count && ds.total_fonts < kMaxSelectableFonts; ++i) {
      std::snprintf(ds.fonts[ds.total_fonts], sizeof ds.fonts[0], "%s", names[i]);
      if (font_names != nullptr && slot_length > 0) {
        char* slot = font_names + static_cast<long>(ds.total_fonts) * slot_length;
        size_t length = std::strlen(names[i]);
        if (length >= static_cast<size_t>(slot_length)) {
          std::memcpy(slot, names[i], slot_length);
        } else {
          std::memcpy(slot, names[i], length + 1);
        }
      }
      ++ds.total_fonts;
    }
    if (names != nullptr) XFreeFontNames(names);
  }
  nfonts = ds.total_fonts;
}

Pixel cell(int index) {
  return static_cast<Pixel>(index);
}

// Children of a form keep their place and size when the form itself changes
// size (a zoom window near the edge, a second row of sliders).
void pin(Widget w) {
  XtVaSetValues(w, XtNtop, XtChainTop, XtNbottom, XtChainTop, XtNleft, XtChainLeft, XtNright,
                XtChainLeft, nullptr);
}

void create_widgets() {
  Pixel red = cell(ds.colour_red), white = cell(ds.colour_white), black = cell(ds.colour_black);
  XFontStruct* font = ds.font_default;
  ds.image_area = XtVaCreateManagedWidget(
      "image_area", simpleWidgetClass, ds.mainForm, XtNwidth, ds.window_width, XtNheight,
      ds.window_height, XtNbackground, cell(ds.colour_background), XtNborderColor, red, nullptr);
  ds.zoom_area =
      XtVaCreateWidget("zoom_area", simpleWidgetClass, ds.mainForm, XtNwidth, ds.zoom_width,
                       XtNheight, ds.zoom_height, XtNborderColor, red, nullptr);
  ds.overlay_area = XtVaCreateWidget("overlay_area", simpleWidgetClass, ds.mainForm, XtNwidth, 128,
                                     XtNheight, 128, XtNborderColor, red, nullptr);
  ds.label = XtVaCreateWidget("label", labelWidgetClass, ds.mainForm, XtNfont, font, XtNborderColor,
                              red, XtNforeground, black, XtNbackground, white, nullptr);
  ds.ioBox = XtVaCreateWidget("ioBox", boxWidgetClass, ds.mainForm, XtNheight, ds.iobox_height,
                              XtNwidth, kIoboxWidth, XtNborderColor, red, XtNbackground, white,
                              XtNforeground, black, nullptr);
  ds.ioBox_label =
      XtVaCreateWidget("ioBox_label", labelWidgetClass, ds.ioBox, XtNfont, font, XtNjustify,
                       XtJustifyLeft, XtNwidth, kLabelWidth, XtNborderColor, red, XtNforeground,
                       black, XtNbackground, white, XtNresize, False, nullptr);
  std::memset(ds.store_string, 0, sizeof ds.store_string);
  ds.store_string[0] = ' ';
  ds.ioBox_text = XtVaCreateWidget(
      "ioBox_text", asciiTextWidgetClass, ds.ioBox, XtNuseStringInPlace, True, XtNstring,
      ds.store_string, XtNeditType, XawtextEdit, XtNfont, font, XtNwidth, kLabelWidth, XtNlength,
      kStringLength - 1, XtNborderColor, red, XtNbackground, white, XtNforeground, black, nullptr);
  ds.sliderBox = XtVaCreateWidget("sliderBox", formWidgetClass, ds.mainForm, XtNborderColor, red,
                                  XtNbackground, white, XtNforeground, black, nullptr);
  ds.slider_label = XtVaCreateManagedWidget(
      "slider_label", labelWidgetClass, ds.sliderBox, XtNfont, font, XtNfromHoriz, nullptr,
      XtNlabel, "Centre mouse button moves slider,Click left button in map to quit", XtNforeground,
      black, XtNbackground, white, nullptr);
  // Two sliders, each with its colour bar beside it.
  auto slider = [&](const char* name) {
    return XtVaCreateManagedWidget(name, scrollbarWidgetClass, ds.sliderBox, XtNwidth, kSliderWidth,
                                   XtNheight, kSliderHeight, XtNorientation, XtorientHorizontal,
                                   XtNforeground, black, XtNbackground, white, nullptr);
  };
  auto colour_bar = [&](const char* name) {
    return XtVaCreateManagedWidget(name, simpleWidgetClass, ds.sliderBox, XtNwidth, kSliderWidth,
                                   XtNheight, kSliderHeight, XtNbackground, black, XtNborderColor,
                                   red, nullptr);
  };
  ds.slider1 = slider("slider1");
  ds.colour_bar1 = colour_bar("colour_bar1");
  ds.slider2 = slider("slider2");
  ds.colour_bar2 = colour_bar("colour_bar2");
  for (Widget w : {ds.image_area, ds.zoom_area, ds.overlay_area, ds.label, ds.ioBox, ds.sliderBox,
                   ds.slider_label, ds.slider1, ds.colour_bar1, ds.slider2, ds.colour_bar2})
    pin(w);
}

void install_bindings() {
  XtAppAddActions(ds.app_context, kActions, XtNumber(kActions));
  XtAugmentTranslations(ds.mainForm, XtParseTranslationTable(kMainTranslations));
  XtOverrideTranslations(ds.ioBox_text, XtParseTranslationTable(kReturnTranslations));
  XtAddEventHandler(ds.image_area, ExposureMask, False, ReDraw_image, nullptr);
  XtAddEventHandler(ds.overlay_area, ExposureMask, False, ReDraw_overlay, nullptr);
  XtAddEventHandler(ds.zoom_area, ExposureMask, False, ReDraw_zoom, nullptr);
  XtAddEventHandler(ds.ioBox, ExposureMask, False, expose_iobox, nullptr);
  XtAddEventHandler(ds.label, ExposureMask, False, expose_label, nullptr);
  XtAddEventHandler(ds.sliderBox, ExposureMask, False, expose_slider, nullptr);
}

void record_windows() {
  ds.topLevel_window_id = XtWindow(ds.topLevel);
  ds.image_area_window_id = XtWindow(ds.image_area);
  ds.zoom_area_window_id = XtWindow(ds.zoom_area);
  ds.overlay_area_window_id = XtWindow(ds.overlay_area);
  ds.label_window_id = XtWindow(ds.label);
  ds.ioBox_window_id = XtWindow(ds.ioBox);
  ds.sliderBox_window_id = XtWindow(ds.sliderBox);
  ds.colour_bar1_window_id = XtWindow(ds.colour_bar1);
  ds.colour_bar2_window_id = XtWindow(ds.colour_bar2);
}

// An 8-bit PseudoColor visual of the default depth, or a 6-bit one with a
// warning. Without one the pictures cannot be shown at all, so the program ends.
void choose_visual() {
  XVisualInfo wanted{};
  wanted.screen = ds.scr_num;
  wanted.depth = ds.image_depth;
  wanted.c_class = PseudoColor;
  wanted.bits_per_rgb = 8;
  long mask = VisualScreenMask | VisualDepthMask | VisualClassMask | VisualBitsPerRGBMask;
  int count = 0;
  XVisualInfo* found = XGetVisualInfo(ds.display_id, mask, &wanted, &count);
  if (found == nullptr || count == 0) {
    wanted.bits_per_rgb = 6;
    print_line("Trying 6 bit colour, may not work.");
    found = XGetVisualInfo(ds.display_id, mask, &wanted, &count);
  }
  if (found == nullptr || count == 0) {
    std::fprintf(stderr, "No matching visual available\n");
    std::fprintf(stderr,
                 "Tolsvik needs an 8-bit PseudoColor screen; for example start "
                 "\"Xvfb :1 -screen 0 1280x1024x8\" and set DISPLAY=:1\n");
    std::exit(1);
  }
  ds.visual_id = found[0].visual;
  XFree(found);
}

}  // namespace

bool init(int& width, int& height, int& max_zoom_size, char* font_names, int& nfonts,
          int slot_length) {
  XSetErrorHandler(error_trap);
  reset_state();
  for (int degree = 0; degree <= 360; ++degree) {
    double angle = degree * std::numbers::pi / 180.0;
    ds.cs[degree] = static_cast<float>(std::cos(angle));
    ds.sn[degree] = static_cast<float>(std::sin(angle));
  }
  ds.zoom_width = odd_zoom_size(ds.zoom_width, ds.zoom_factor_x);
  ds.zoom_height = odd_zoom_size(ds.zoom_height, ds.zoom_factor_y);

  XtToolkitInitialize();
  ds.app_context = XtCreateApplicationContext();
  int argc = 0;
  ds.display_id =
      XtOpenDisplay(ds.app_context, nullptr, "tolsvik", "Zevar", nullptr, 0, &argc, nullptr);
  if (ds.display_id == nullptr) {
    std::fprintf(stderr, "Cannot open display \"%s\": Tolsvik needs an X display (set DISPLAY)\n",
                 XDisplayName(nullptr));
    std::exit(1);
  }
  ds.topLevel =
      XtVaAppCreateShell("tolsvik", "Zevar", applicationShellWidgetClass, ds.display_id, nullptr);
  ds.scr_num = DefaultScreen(ds.display_id);
  ds.colourmap_size = DefaultVisual(ds.display_id, ds.scr_num)->map_entries;
  if (ds.colourmap_size > 256) ds.colourmap_size = 256;
  ds.colour_white = ds.colourmap_size - 1;
  ds.colour_black = ds.colourmap_size - 2;
  ds.colour_red = ds.colourmap_size - 3;
  ds.colour_blue = ds.colourmap_size - 4;
  ds.colour_green = ds.colourmap_size - 5;
  ds.colour_background = std::min(127, ds.colourmap_size - 6);
  // Without a usable visual the program ends before any window shows.
  ds.image_depth = DefaultDepth(ds.display_id, ds.scr_num);
  ds.image_format = ZPixmap;
  choose_visual();

  load_default_font();
  list_fonts(font_names, slot_length, nfonts);

  // The frame round the image area is the picture's background, whatever the table.
  ds.mainForm = XtVaCreateManagedWidget("mainForm", formWidgetClass, ds.topLevel, XtNbackground,
                                        cell(ds.colour_background), XtNborderColor,
                                        cell(ds.colour_background), nullptr);
  int screen_width = DisplayWidth(ds.display_id, ds.scr_num) - kBorderSize;
  int screen_height = DisplayHeight(ds.display_id, ds.scr_num) - kBorderSize;
  if (width < 0 || height < 0) {
    int want_width = std::abs(width), want_height = std::abs(height);
    if (want_width > screen_width || want_height > screen_height) {
      print_line("Requested window size too large");
      return false;
    }
    ds.window_width = want_width;
    ds.window_height = want_height;
  } else {
    ds.window_width = screen_width;
    ds.window_height = screen_height;
  }
  width = ds.window_width;
  height = ds.window_height;
  max_zoom_size = width * height;
  ds.pointer_x = ds.window_width - 2 * kBorderSize;
  ds.pointer_y = kBorderSize;
  ds.cursor_bits_reversed = 0;

  // The zoom buffer holds the largest zoom window allowed (the image area) plus
  // the rounding of the zoom size to an odd number of magnified pixels.
  static std::vector<unsigned char> zoom_storage;
  zoom_storage.assign(static_cast<size_t>(max_zoom_size), 0);
  ds.zoom_buffer = &zoom_storage;

  create_widgets();
  XtRealizeWidget(ds.topLevel);
  install_bindings();
  record_windows();

  ds.cursor = XCreateFontCursor(ds.display_id, kArrowGlyph);
  XDefineCursor(ds.display_id, ds.image_area_window_id, ds.cursor);
  XDefineCursor(ds.display_id, ds.overlay_area_window_id, ds.cursor);
  XDefineCursor(ds.display_id, ds.zoom_area_window_id, ds.cursor);

  ds.colourmap = XCreateColormap(ds.display_id, ds.image_area_window_id, ds.visual_id, AllocAll);
  ds.gc_draw_vector[0] = XCreateGC(ds.display_id, ds.image_area_window_id, 0, nullptr);
  ds.gc_draw_vector[1] = XCreateGC(ds.display_id, ds.image_area_window_id, 0, nullptr);
  ds.gc_remove_vector = XCreateGC(ds.display_id, ds.image_area_window_id, 0, nullptr);
  ds.gc_fill_rectangle = XCreateGC(ds.display_id, ds.image_area_window_id, 0, nullptr);
  ds.dash_style = 0;
  XSetFont(ds.display_id, ds.gc_draw_vector[0], ds.font_id);
  XSetFont(ds.display_id, ds.gc_draw_vector[1], ds.font_id);
  XSetFont(ds.display_id, ds.gc_remove_vector, ds.font_id);
  ds.visual_ready = true;

  for (int y = 0; y < kColourBarHeight; ++y)
    for (int x = 0; x < kColourBarWidth; ++x)
      ds.colour_bar_map[y][x] = static_cast<unsigned char>(x);
  std::memcpy(ds.colour_bar_buffer, ds.colour_bar_map, sizeof ds.colour_bar_buffer);
  XSync(ds.display_id, False);
  return true;
}

// The X error handler. A server out of memory for a pixmap is survivable: the
// operation in progress sees job code 999 and tells its caller. Any other X error
// is a fault of the program and ends it.
int error_trap(Display* display, XErrorEvent* error) {
  ds.icallback_value = 0;
  if (error->error_code == BadAlloc && error->request_code == X_CreatePixmap) {
    print_line("error trapped ");
    post_job(999);
    return 0;
  }
  char text[81] = {};
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "Error detected:\n %s\n", text);
  std::fprintf(stderr, "Error code: %d\n", error->request_code);
  std::exit(1);
}
