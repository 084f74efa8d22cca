// The scripted display: an implementation of the display operations (display/tolpix.h)
// without X, for the dialogue tests. A test queues the user's actions (menu items, typed
// answers, pointer marks, rubber-band shapes, slider moves, raw job codes), runs the
// program's dialogue, and then reads what the program showed: label and prompt lines,
// menus, the pictures handed over, the overlay items drawn and removed, the colour
// table, the zoom and pan settings.
//
// Actions are consumed in order. tolpixwait takes the next job action (menu, mark,
// slider, rubber, job, idle); tolpixioboxdisplay takes the next answer; tolpixreadpointer
// takes the next mark, and tolpixreadmenupointer returns where the mark tolpixwait took
// last was made (the pointer has not moved since). When the action the program asks for is
// not the next one queued, or the queue is empty, the scripted display throws
// script::End, which unwinds the program's dialogue back to the test. So a test queues
// exactly the actions of the road it walks and then checks what was shown on the way.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace script {

// Thrown when the program asks for an action the script does not hold next.
struct End : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---- Building the script ----

// Forgets every queued action, the log and the recorded state; restores the default
// configuration below.
void reset();
void menu(int item);                    // the user picks menu item `item` (job item)
void answer(const std::string& text);   // the user replaces the entry-box text by `text` + Return
void accept();                          // the user presses Return on the text offered
void mark(int x, int y);                // left-button mark (job 0) at image position x, y
void slider(int which, float percent);  // slider 1 or 2 moved to percent (job 101 / 102)
void rubber(int x1, int y1, int x2, int y2, int job = 105);  // rubber-band shape finished
void job(int code);                                          // any job code, e.g. 100 or 999
void idle(int count = 1);  // `count` calls of tolpixwait that report -1
void tick(int count = 1);  // `count` ticks of the timer (which must be running)
int pending();             // actions not yet consumed

// ---- Configuration (set after reset(), before running the program) ----

struct Config {
  int screen_width = 1230, screen_height = 974;  // what tolpixinit returns
  // tolpixcheckimage refuses (IERR 1) when nx * ny * nmaps exceeds this many pixels.
  long long max_pixels = 1LL << 28;
  long long max_zoom_pixels = 1LL << 20;  // tolpixchangezoom refuses larger windows
  int draw_status = 0;  // IERR tolpixdrawimage reports (0 when the raster is not all zero)
  std::vector<std::string> fonts = {"fixed", "6x13", "8x13", "9x15", "10x20"};
  std::vector<int> bad_fonts = {};  // font numbers tolpixchangefont refuses
};
Config& config();

// ---- What the program showed ----

// One line per display operation, in call order, e.g.
//   "label|line 1|line 2"         tolpixlabeldisplay with its lines (trailing blanks removed)
//   "iobox|line 1|line 2|>default" tolpixioboxdisplay: the prompt lines and the default text
//   "menu|item 1|item 2"           tolpixmenuinit
//   "menuhide", "menudisplay", "labelhide", "sliderhide", "colourbarinit" ...
//   "drawimage 600 400 0 ierr=0"   tolpixdrawimage
//   "drawimages 3", "setpan 10 20", "zoom 4 4 256 256 ierr=0", "cursor 2", "font 3 ierr=0"
//   "sliderinit 2 0 0.95", "colourtable 0 127", "checkimage 600 400 1 ierr=0"
//   "lines n: x1 y1 x2 y2; ...", "rmlines n: ...", "box x1 y1 x2 y2", "rmbox ...",
//   "circle x y r", "point x y", "text x y|string", "rmvectors", "trackon x y", "trackoff",
//   "delay us", "timer us", "clear", "quit", "ps icolour x1 x2 y1 y2 iarea"
//   "points n: x y; ...", "circles n: x y r; ...", "boxes n: x1 y1 x2 y2; ..." and
//   "rmpoints ...", "rmcircles ...", "rmboxes ..." (the calls for many items at once),
//   "overlayposition x y"
const std::vector<std::string>& log();
// The log entries starting with `prefix` (e.g. "menu|"), in order.
std::vector<std::string> log_with(const std::string& prefix);
// Every label and entry-box line shown, in order (the "label|" and "iobox|" entries split).
std::vector<std::string> lines_shown();
bool shown(
    const std::string& line);  // some label or prompt line equals `line` (trailing blanks ignored)
std::vector<std::string> last_menu();    // items of the last menu shown (empty when none)
std::vector<std::string> last_prompt();  // lines of the last entry-box prompt

struct Picture {
  int nx = 0, ny = 0;
  std::vector<int32_t> raster;  // nx * ny colour indices, rows from the top
  int at(int x, int y) const { return raster[static_cast<size_t>(y) * nx + x]; }
};
// Pictures handed over with tolpixdrawimage, by image number (the last one of each).
const std::map<int, Picture>& pictures();
int draws();                             // tolpixdrawimage calls so far
const std::vector<int>& shown_images();  // image numbers of every tolpixdrawimages call

struct Segment {
  int x1, y1, x2, y2;
  bool operator==(const Segment&) const = default;
};
struct Text {
  int x, y;
  std::string text;
};
struct Ellipse {
  int x, y, a, b;  // centre and axes
  float angle;
};
// Overlay items currently drawn (a removal takes out every equal item), as the program
// gave them, whether drawn one by one or many at once.
struct Overlay {
  std::vector<Segment> lines;
  std::vector<std::array<int, 4>> boxes;    // x1 y1 x2 y2 as given
  std::vector<std::array<int, 3>> circles;  // x y radius
  std::vector<std::array<int, 2>> points;
  std::vector<Text> texts;
  std::vector<Ellipse> ellipses;
};
const Overlay& overlay();

// The raster last given to tolpixoverlayinit (and accepted), placed at x, y; shown
// until tolpixoverlayhide.
struct OverlayPicture : Picture {
  int x = 0, y = 0;
  bool shown = false;
};
const OverlayPicture& overlay_picture();

// Colour cells 0..255 as last loaded (red, green, blue).
const std::array<int32_t, 256>& red();
const std::array<int32_t, 256>& green();
const std::array<int32_t, 256>& blue();
int colour_loads();  // tolpixsetcolourtable calls so far

struct State {
  bool menu_shown = false, label_shown = false, sliders_shown = false, colourbar_shown = false;
  bool zoom_shown = false, tracking = false, mirrored = false;
  int nsliders = 0;
  float slider_pos[2] = {0, 0};
  int zoom_fx = 0, zoom_fy = 0, zoom_w = 0, zoom_h = 0;
  int pan_x = 0, pan_y = 0;
  int cursor = 0, font = 1, rubber_type = 0;
  int track_x = 0, track_y = 0;
  bool dashed = false;
  int timer = -1;  // interval of the running timer in microseconds; -1 when stopped
};
const State& state();

}  // namespace script
