// The main menu: the program's command loop.
#pragma once

// Runs the main menu; never returns.
[[noreturn]] void main_menu();
// Forgets the menu's own state (tracking off, default cursor) for a fresh run.
void main_menu_reset();

// The pointer-tracking origin, set at the end of every display.
struct TrackingOrigin {
  int x = 0, y = 0;
};
extern TrackingOrigin tracking_origin;
// Sets tracking_origin from where the map on display now lies (after every display).
void set_tracking_origin();
extern int current_cursor;  // cursor last chosen in the main menu (0 = default)

// The later tools the main menu dispatches to: a null entry shows "Option not available".
// A tool tells an image from a transform by gen.is_image (set from is_image_mode of
// mapfile/mapfile.h, so modes 6 and 12 are images too), and gives a map it writes from the
// displayed map's data the mode output_mode(gen.map_mode), never gen.map_mode itself.
struct ToolTable {
  void (*average)();        // "Average boxed densities"
  void (*box_area)();       // "Box/Dump an area"
  void (*output_coords)();  // "Output map coordinates"
  void (*fftdisplay)();     // "Compute interactive FFT"
  void (*lattice)();        // "Lattice refinement"
  void (*ctffit)();         // "CTF fitting"
  void (*splinefit)();      // "Splinefit image"
  void (*show_peaks)();     // "Display Peaklist"
};
extern const ToolTable tools;
