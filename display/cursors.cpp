// The image-area cursor.
#include "display/xstate.h"

// The top-left arrow of the cursor font on the image and zoom windows.
void show_arrow_cursor() {
  XUndefineCursor(ds.display_id, ds.image_area_window_id);
  ds.cursor = XCreateFontCursor(ds.display_id, kArrowGlyph);
  XDefineCursor(ds.display_id, ds.image_area_window_id, ds.cursor);
  XDefineCursor(ds.display_id, ds.zoom_area_window_id, ds.cursor);
}
