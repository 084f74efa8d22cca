#include "driver/mainmenu.h"

#include <string>

#include "display/tolpix.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "driver/sections.h"
#include "driver/startup.h"
#include "driver/transform.h"
#include "mapfile/mapfile.h"
#include "textio/strings.h"
#include "tools/area/colour_table.h"

TrackingOrigin tracking_origin;
int current_cursor = 0;

namespace {

bool tracking = false;
TrackingOrigin tracked;  // the origin the display's read-out was given
// Set when the label says "Option not available": it stays on show with the menu
// until the next command.
bool keep_label = false;

enum Item {
  kRescale = 1,
  kEraseVectors,
  kHideZoom,
  kModifyZoom,
  kHideMenu,
  kDrawText,
  kColourTable,
  kCursor,
  kTracking,
  kAnotherMap,
  kMoreSections,
  kAverage,
  kBoxDump,
  kCoords,
  kFft,
  kLattice,
  kCtf,
  kSpline,
  kCentre,
  kPeaks,
  kReturn,
};

void show_main_menu() {
  show_menu({"Re-scale image",
             "Erase vectors",
             "Hide zoom window",
             "Modify zoom window",
             "Hide menu/labels",
             "Draw text string",
             "Change colour table",
             "Change cursor type",
             tracking ? "Disable pointer tracking" : "Enable pointer tracking",
             "Draw another map",
             "Display more sections",
             "Average boxed densities",
             "Box/Dump an area",
             "Output map coordinates",
             "Compute interactive FFT",
             "Lattice refinement",
             "CTF fitting",
             "Splinefit image",
             "Center image",
             "Display Peaklist",
             "Return"});
}

// The line takes the title's place while it shows: the label keeps its height, so the
// menu under it stays where the user aims.
void option_not_available() {
  const std::string title(field_text(gen.message_text[0]));
  set_message_line(1, "Option not available");
  show_label(1);
  set_message_line(1, title);
  keep_label = true;
}

// Commands that read the map need it open: "Draw another map" closes it, and
// "Return main menu" there comes back without a new one.
bool map_ready() {
  if (reopen_map()) return true;
  tolpixmenuhide();
  show_label_below({"The displayed map file cannot be opened again"});
  return false;
}

// The map drawn again (after a colour table re-scale) as a new display: it may be
// placed elsewhere, so the old copy goes and the read-out follows the new place.
void redraw_map() {
  if (!map_ready()) return;
  gen.new_display = 1;
  tolpixclearimage();
  if (gen.is_image == 1)
    imread();
  else
    fftread();
  gen.new_display = 0;
  set_tracking_origin();
  int32_t cursor = current_cursor;
  tolpixchangecursor(cursor);
}

void follow_tracking_origin() {
  if (!tracking || (tracked.x == tracking_origin.x && tracked.y == tracking_origin.y)) return;
  tracked = tracking_origin;
  tolpixpointertrackon(tracked.x, tracked.y);
}

void change_cursor() {
  tolpixmenuhide();
  show_menu({"Default cursor", "Fine crosshair", "Box crosshair", "Giant crosshair", "Cross",
             "Circle", "Hand", "Bird", "Skull"});
  const int item = wait_job(1);
  current_cursor = std::min(item - 1, 8);
  int32_t cursor = current_cursor;
  tolpixchangecursor(cursor);
  tolpixmenuhide();
  if (current_cursor >= 1 && current_cursor <= 3) {
    Answer reply;
    ask_below({"If the cursor bit pattern is correct, type ... <cr>",
               "To reverse cursor bit pattern type ............  1"},
              reply);
    if (!reply.view().empty()) {
      cursor = -current_cursor;
      tolpixchangecursor(cursor);
    }
  }
}

// "Draw another map": returns the start-up step to continue at, or false for the
// main menu.
bool another_map(StartStep& step) {
  close_map();
  tolpixmenuhide();
  show_menu({"Clear screen", "Add new map", "Return main menu"});
  const int item = wait_job(1);
  tolpixmenuhide();
  step = StartStep::FileName;
  switch (item) {
    case 1:
      tolpixremovevectors();
      tolpixclearimage();
      gen.new_display = 1;
      return true;
    case 2: {
      reset_message_lines();
      add_label_line("Wait for map re-positioning...");
      int32_t status = 0;
      tolpixdrawimage(gen.raster_width, gen.raster_height, gen.image_number, map.raster, status);
      gen.status = status;
      tolpixlabelhide();
      const std::string_view warning[1] = {draw_warning(status)};
      show_warnings(warning);
      gen.new_display = 0;
      return true;
    }
    case 3:
      // The map closed above is opened again for the commands that read it.
      reopen_map();
      return false;
    default:
      return true;
  }
}

void run_tool(void (*tool)()) {
  if (tool == nullptr) {
    option_not_available();
    return;
  }
  tolpixmenuhide();
  tool();
}

}  // namespace

void set_tracking_origin() {
  if (gen.is_image == 1) {
    tracking_origin.x = gen.first_x - gen.area_x1;
    tracking_origin.y = gen.first_y - gen.area_y1;
  } else {
    tracking_origin.x = -gen.centre_x;
    tracking_origin.y = -gen.centre_y;
  }
}

void main_menu_reset() {
  tracking = false;
  tracked = TrackingOrigin{};
  keep_label = false;
  tracking_origin = TrackingOrigin{};
  current_cursor = 0;
}

void main_menu() {
  bool show = true;
  bool reset_lines = true;
  while (true) {
    follow_tracking_origin();
    if (show) {
      // Warnings a display ended with stay in the label until the user picks a command.
      const bool warned = take_display_warnings();
      if (reset_lines && !keep_label && !warned) {
        reset_message_lines();
        show_label(1);
      }
      keep_label = false;
      show_main_menu();
    }
    show = true;
    reset_lines = true;
    int item = 0;
    if (datafile.click_mode == 1)
      item = kCoords;
    else if (datafile.corner_counter != 0)
      item = kCtf;
    else
      item = wait_job(1);

    StartStep step = StartStep::FileName;
    switch (item) {
      case kRescale:
        if (!map_ready()) break;
        tolpixmenuhide();
        gen.new_display = 1;
        tolpixclearimage();
        startup(StartStep::Density);
        break;
      case kEraseVectors:
        tolpixremovevectors();
        break;
      case kHideZoom:
        tolpixzoomhide();
        break;
      case kModifyZoom:
        modify_zoom();
        break;
      case kHideMenu:
        hide_widgets();
        show = false;
        break;
      case kDrawText:
        draw_string();
        break;
      case kColourTable:
        gen.redisplay = 0;
        colour_table();
        if (gen.redisplay == 1) {
          redraw_map();
          lktble.default_request = 1;
          colour_table();
        }
        break;
      case kCursor:
        change_cursor();
        break;
      case kTracking:
        if (gen.compression != 1) {
          option_not_available();
        } else if (tracking) {
          tolpixpointertrackoff();
          tracking = false;
        } else {
          tracked = tracking_origin;
          tolpixpointertrackon(tracked.x, tracked.y);
          tracking = true;
        }
        break;
      case kAnotherMap:
        if (another_map(step)) startup(step);
        break;
      case kMoreSections:
        if (gen.is_image != 1) {
          option_not_available();
        } else if (map_ready()) {
          tolpixmenuhide();
          tolpixlabelhide();
          startup(StartStep::Limits);
        }
        break;
      case kAverage:
        if (gen.compression != 1)
          option_not_available();
        else
          run_tool(tools.average);
        break;
      case kBoxDump:
        run_tool(tools.box_area);
        reset_lines = tools.box_area == nullptr;
        break;
      case kCoords:
        run_tool(tools.output_coords);
        // Without the coordinate tool nothing would end the click mode.
        if (tools.output_coords == nullptr) datafile.click_mode = 0;
        break;
      case kFft:
        if (gen.display_count == 1 && gen.is_image == 1) run_tool(tools.fftdisplay);
        break;
      case kLattice:
        run_tool(tools.lattice);
        break;
      case kCtf:
        if (gen.is_image == 1) {
          // No Thon rings on an image; a corner cycle that met one ends here.
          option_not_available();
          datafile.corner_counter = 0;
          break;
        }
        run_tool(tools.ctffit);
        if (tools.ctffit == nullptr) {
          datafile.corner_counter = 0;
        } else if (datafile.corner_counter >= 1) {
          reset_message_lines(0);
          close_map();
          startup(StartStep::Corners);
        }
        break;
      case kSpline:
        if (gen.is_image != 1)
          option_not_available();
        else
          run_tool(tools.splinefit);
        break;
      case kCentre:
        centre_view();
        break;
      case kPeaks:
        tolpixmenuhide();
        tolpixlabelhide();
        run_tool(tools.show_peaks);
        break;
      case kReturn:
        tolpixmenuhide();
        tolpixlabelhide();
        close_map();
        tolpixremovevectors();
        tolpixclearimage();
        gen.new_display = 1;
        startup(StartStep::StartMenu);
        break;
      default:
        break;
    }
  }
}
