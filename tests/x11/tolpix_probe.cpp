// A small program that calls the display operations on command: the x11 tests
// start it under their own X server, send it one command per line on standard
// input, act as the user with the mouse and keyboard, and read its answers.
// Every command's output ends with the line "<<done>>".
#include <X11/Xproto.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "display/xstate.h"
#include "driver/records.h"
#include "tests/x11/probe_patterns.h"

namespace {

char menu_items[kMaxMenuItems + 20][kMenuItemLength];
char label_lines[60][kLabelLineLength];
std::vector<int32_t> raster;

void out(const std::string& line) {
  std::printf("%s\n", line.c_str());
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

void fill_field(char* field, int length, const std::string& text) {
  std::memset(field, ' ', length);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), length));
}

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool x_event_pending() {
  return (XtAppPending(ds.app_context) & XtIMXEvent) != 0;
}

// Handles events until a job code arrives or the time is up.
int32_t wait_job(double seconds) {
  double end = now() + seconds;
  while (now() < end) {
    if (x_event_pending()) {
      int32_t job = kJobNone;
      tolpixwait(job);
      if (job != kJobNone) return job;
    } else {
      pollfd fd{ConnectionNumber(ds.display_id), POLLIN, 0};
      poll(&fd, 1, 5);
    }
  }
  return kJobNone;
}

void print_state() {
  std::printf("window image %lu\n", ds.image_area_window_id);
  std::printf("window top %lu\n", ds.topLevel_window_id);
  std::printf("window zoom %lu\n", ds.zoom_area_window_id);
  std::printf("window overlay %lu\n", ds.overlay_area_window_id);
  std::printf("window label %lu\n", ds.label_window_id);
  std::printf("window iobox %lu\n", ds.ioBox_window_id);
  std::printf("window slider %lu\n", ds.sliderBox_window_id);
  std::printf("window bar1 %lu\n", ds.colour_bar1_window_id);
  std::printf("window bar2 %lu\n", ds.colour_bar2_window_id);
  std::printf("window menu %lu\n", ds.menuBox != nullptr ? XtWindow(ds.menuBox) : 0UL);
  std::printf("colormap %lu\n", ds.colourmap);
  std::printf("font_height %d\n", ds.font_height);
  std::printf("iobox_height %d\n", ds.iobox_height);
  std::printf("pan %d %d\n", ds.pan_x, ds.pan_y);
  std::printf("zoom %d %d %d %d\n", ds.zoom_factor_x, ds.zoom_factor_y, ds.zoom_width,
              ds.zoom_height);
  std::printf("zoom_window %d %d %d %d\n", ds.zoom_window_x1, ds.zoom_window_y1, ds.zoom_window_x2,
              ds.zoom_window_y2);
  std::printf("zoom_pointer %d %d\n", ds.zoom_pointer_x, ds.zoom_pointer_y);
  std::printf("image_pointer %d %d\n", ds.image_pointer_x, ds.image_pointer_y);
  std::printf("pixmap %d %d at %d %d\n", ds.image_width, ds.image_height, ds.image_dest_x,
              ds.image_dest_y);
  std::printf("flags menu %d label %d iobox %d slider %d zoom %d overlay %d image %d bars %d\n",
              ds.menu_flag, ds.label_flag, ds.iobox_flag, ds.slider_flag, ds.zoom_flag,
              ds.overlay_flag, ds.image_flag, ds.colour_bar_flag);
  std::printf("mirror %d %d %d\n", ops.change_origin, ops.map_width, ops.map_height);
  std::printf("max_zoom_size %ld\n", ops.max_zoom_size);
  std::printf("ps_table %d %d %d\n", ops.ired[5], ops.igreen[5], ops.iblue[5]);
  std::printf("counts %d %d %d %d %d %d\n", vl.nboxes, vl.ncircles, vl.nelipses, vl.nlines,
              vl.npoints, vl.ntext);
  std::printf("tracking %d %d %d %d\n", ds.pointer_flag, ds.pointer_x, ds.pointer_y,
              ds.tracking_installed ? 1 : 0);
  std::printf("pointer_text [%.*s]\n", ds.pointer_text_shown ? ds.pointer_text_length : 0,
              ds.pointer_text);
  std::printf("crosshair %d %d %d\n", ds.crosshair_drawn ? 1 : 0, ds.crosshair_x, ds.crosshair_y);
  std::printf("rubber %d %d\n", ds.rubber_flag, ds.rubber_type);
  std::printf("msbfirst %d\n", ds.msbfirst);
  std::printf("dash %d\n", ds.dash_style);
}

// The recorded items, one line each.
void print_entries() {
  for (int i = 0; i < vl.nboxes; ++i)
    std::printf("box %d %d %d %d %d\n", vl.box_x[i], vl.box_y[i], vl.box_width[i], vl.box_height[i],
                vl.box_style[i]);
  for (int i = 0; i < vl.ncircles; ++i)
    std::printf("circle %d %d %d %d\n", vl.circle_x[i], vl.circle_y[i], vl.circle_diam[i],
                vl.circle_style[i]);
  for (int i = 0; i < vl.nelipses; ++i)
    std::printf("elipse %d %d %d %d %d %d\n", vl.elipse_x[i], vl.elipse_y[i], vl.elipse_diamx[i],
                vl.elipse_diamy[i], vl.elipse_ang1[i], vl.elipse_style[i]);
  for (int i = 0; i < vl.nlines; ++i)
    std::printf("line %d %d %d %d %d\n", vl.line_x1[i], vl.line_y1[i], vl.line_x2[i], vl.line_y2[i],
                vl.line_style[i]);
  for (int i = 0; i < vl.npoints; ++i) std::printf("point %d %d\n", vl.point_x[i], vl.point_y[i]);
  for (int i = 0; i < vl.ntext; ++i)
    std::printf("text %d %d %d [%.*s]\n", vl.text_x[i], vl.text_y[i], vl.text_lengths[i],
                vl.text_lengths[i], vl.text_string[i]);
}

// Reads n segments "x1 y1 x2 y2 ..." from the rest of a command.
void read_segments(std::istream& in, int n, std::vector<int32_t>& x1, std::vector<int32_t>& y1,
                   std::vector<int32_t>& x2, std::vector<int32_t>& y2) {
  int size = std::max(n, 1);
  x1.assign(size, 0);
  y1.assign(size, 0);
  x2.assign(size, 0);
  y2.assign(size, 0);
  for (int i = 0; i < n; ++i) in >> x1[i] >> y1[i] >> x2[i] >> y2[i];
}

void run(const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  if (command == "init") {
    int32_t w = 0, h = 0;
    in >> w >> h;
    tolpixinit(w, h);
    std::printf("size %d %d\n", w, h);
  } else if (command == "fonts") {
    static char names[kMaxFonts][kFontNameLength];
    int32_t n = 0;
    tolpixcheckfonts(&names[0][0], n);
    std::printf("nfonts %d\n", n);
    for (int i = 0; i < n; ++i) std::printf("font [%.*s]\n", kFontNameLength, names[i]);
  } else if (command == "table") {
    // table ISTART IEND [big|grey]: the distinct-cell table; "big" puts 70000 in
    // red[5]; "grey" loads a grey ramp instead.
    int32_t start = 0, end = 127;
    std::string big;
    in >> start >> end >> big;
    static int32_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
      red[i] = probe::table_red(i);
      green[i] = probe::table_green(i);
      blue[i] = probe::table_blue(i);
    }
    if (big == "big") red[5] = 70000;
    if (big == "grey") {
      for (int i = 0; i < 256; ++i) red[i] = green[i] = blue[i] = std::min(i, 127) * 65535 / 127;
    }
    tolpixsetcolourtable(start, end, red, green, blue);
  } else if (command == "origin") {
    tolpixchangeorigin();
  } else if (command == "check") {
    int32_t nx = 0, ny = 0, nmaps = 0, ierr = -1;
    in >> nx >> ny >> nmaps;
    tolpixcheckimage(nx, ny, nmaps, ierr);
    std::printf("ierr %d\n", ierr);
  } else if (command == "draw") {
    int32_t nx = 0, ny = 0, imap = 0, ierr = -1;
    std::string name;
    in >> nx >> ny >> imap >> name;
    if (static_cast<long>(nx) * ny <= 64L * 1024 * 1024) {
      raster = probe::pattern(name, std::max(nx, 1), std::max(ny, 1));
    }
    tolpixdrawimage(nx, ny, imap, raster.data(), ierr);
    std::printf("ierr %d\n", ierr);
  } else if (command == "show") {
    int32_t imap = 0;
    in >> imap;
    tolpixdrawimages(imap);
  } else if (command == "clear") {
    tolpixclearimage();
  } else if (command == "menu") {
    // menu N text1|text2|...  (items beyond the texts are "Item i")
    int32_t n = 0;
    std::string rest;
    in >> n;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    auto texts = split(rest, '|');
    int rows = std::min<int>(n, kMaxMenuItems + 20);
    for (int i = 0; i < rows; ++i) {
      fill_field(menu_items[i], kMenuItemLength,
                 i < static_cast<int>(texts.size()) ? texts[i] : "Item " + std::to_string(i + 1));
    }
    tolpixmenuinit(&menu_items[0][0], kMenuItemLength, n);
  } else if (command == "menuhide") {
    tolpixmenuhide();
  } else if (command == "menushow") {
    tolpixmenudisplay();
  } else if (command == "menuevent") {
    tolpixmenuevent();
  } else if (command == "label") {
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    auto texts = split(rest, '|');
    int32_t n = std::min<int>(static_cast<int>(texts.size()), 60);
    for (int i = 0; i < n; ++i) fill_field(label_lines[i], kLabelLineLength, texts[i]);
    tolpixlabeldisplay(&label_lines[0][0], kLabelLineLength, n);
  } else if (command == "longlabel") {
    // longlabel N: N lines of 80 non-blank characters (more than the text buffer holds)
    int32_t n = 0;
    in >> n;
    n = std::min(n, 60);
    for (int i = 0; i < n; ++i) std::memset(label_lines[i], 'A' + i % 26, kLabelLineLength);
    tolpixlabeldisplay(&label_lines[0][0], kLabelLineLength, n);
  } else if (command == "labelhide") {
    tolpixlabelhide();
  } else if (command == "iobox") {
    // iobox DEFAULT|prompt 1|prompt 2 ...  ("-" for an all-blank default)
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    auto parts = split(rest, '|');
    static char reply[kReplyLength];
    fill_field(reply, kReplyLength, parts.empty() || parts[0] == "-" ? "" : parts[0]);
    int32_t n = std::max<int>(1, static_cast<int>(parts.size()) - 1);
    for (int i = 0; i < n; ++i)
      fill_field(label_lines[i], kLabelLineLength,
                 i + 1 < static_cast<int>(parts.size()) ? parts[i + 1] : "");
    out("iobox shown");
    std::fflush(stdout);
    tolpixioboxdisplay(&label_lines[0][0], kLabelLineLength, reply, kReplyLength, n);
    std::string shown;
    for (char c : reply) shown += c == '\0' ? '@' : c;
    std::printf("reply [%s]\n", shown.c_str());
  } else if (command == "slider") {
    int32_t n = 1;
    float p1 = 0, p2 = 0;
    in >> n >> p1 >> p2;
    tolpixsliderinit(n, p1, p2);
  } else if (command == "sliderhide") {
    tolpixsliderhide();
  } else if (command == "sliderread") {
    float v = -1;
    tolpixsliderread(v);
    std::printf("slider %.2f\n", v);
  } else if (command == "bars") {
    tolpixcolourbarinit();
  } else if (command == "barshide") {
    tolpixcolourbarhide();
  } else if (command == "wait") {
    double seconds = 5;
    in >> seconds;
    std::printf("job %d\n", wait_job(seconds));
  } else if (command == "pump") {
    // Handles every event for a while (drags, exposes) and reports any job codes.
    double seconds = 1;
    in >> seconds;
    double end = now() + seconds;
    while (now() < end) {
      int32_t job = wait_job(end - now());
      if (job != kJobNone) std::printf("job %d\n", job);
    }
  } else if (command == "job") {
    int32_t job = 0;
    tolpixerror(job);
    std::printf("job %d\n", job);
  } else if (command == "pointer") {
    int32_t x = 0, y = 0;
    tolpixreadmenupointer(x, y);
    std::printf("pointer %d %d\n", x, y);
  } else if (command == "readpointer") {
    int32_t x = -7, y = -7;
    out("waiting");
    std::fflush(stdout);
    tolpixreadpointer(x, y);
    std::printf("pointer %d %d\n", x, y);
  } else if (command == "zoom") {
    int32_t fx = 0, fy = 0, w = 0, h = 0, ierr = -1;
    in >> fx >> fy >> w >> h;
    tolpixchangezoom(fx, fy, w, h, ierr);
    std::printf("ierr %d\n", ierr);
  } else if (command == "zoominit") {
    tolpixzoominit();
  } else if (command == "zoomhide") {
    tolpixzoomhide();
  } else if (command == "overlay") {
    int32_t x = 0, y = 0, nx = 0, ny = 0, ierr = 0;
    std::string name;
    in >> x >> y >> nx >> ny >> name;
    std::vector<int32_t> pixels;
    if (static_cast<long>(nx) * ny <= 64L * 1024 * 1024)
      pixels = probe::pattern(name, std::max(nx, 1), std::max(ny, 1));
    tolpixoverlayinit(x, y, nx, ny, pixels.data(), ierr);
    std::printf("ierr %d\n", ierr);
  } else if (command == "overlayhide") {
    tolpixoverlayhide();
  } else if (command == "pan") {
    int32_t x = 0, y = 0;
    in >> x >> y;
    tolpixsetpan(x, y);
  } else if (command == "fakealloc") {
    // What the server sends when it has no memory for a pixmap.
    XErrorEvent error{};
    error.type = 0;
    error.display = ds.display_id;
    error.error_code = BadAlloc;
    error.request_code = X_CreatePixmap;
    error_trap(ds.display_id, &error);
  } else if (command == "xerror") {
    // A request the server refuses for another reason: freeing a pixmap that
    // does not exist.
    XFreePixmap(ds.display_id, static_cast<Pixmap>(0x7ffffff));
    XSync(ds.display_id, False);
  } else if (command == "box" || command == "rmbox") {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    in >> x1 >> y1 >> x2 >> y2;
    if (command == "box") {
      tolpixdrawbox(x1, y1, x2, y2);
    } else {
      tolpixremovebox(x1, y1, x2, y2);
    }
  } else if (command == "manyboxes") {
    // manyboxes N X Y: N boxes of 4 x 4 at (X, Y)
    int32_t n = 0, x = 0, y = 0;
    in >> n >> x >> y;
    for (int i = 0; i < n; ++i) tolpixdrawbox(x, y, x + 4, y + 4);
  } else if (command == "circle" || command == "rmcircle") {
    int32_t x = 0, y = 0, r = 0;
    in >> x >> y >> r;
    if (command == "circle") {
      tolpixdrawcircle(x, y, r);
    } else {
      tolpixremovecircle(x, y, r);
    }
  } else if (command == "circlef") {
    // circlef X Y R: a circle with a real radius, as the routine behind the operation takes it
    int x = 0, y = 0;
    float r = 0;
    in >> x >> y >> r;
    drawcircle(x, y, r);
  } else if (command == "elipse") {
    int32_t x = 0, y = 0, a = 0, b = 0;
    float angle = 0;
    in >> x >> y >> a >> b >> angle;
    tolpixdrawelipse(x, y, a, b, angle);
  } else if (command == "lines" || command == "rmlines") {
    // lines N x1 y1 x2 y2 ...
    int32_t n = 0;
    in >> n;
    std::vector<int32_t> x1, y1, x2, y2;
    read_segments(in, std::clamp(n, 0, kMaxLines + 1), x1, y1, x2, y2);
    if (command == "lines") {
      if (n > static_cast<int32_t>(x1.size())) n = static_cast<int32_t>(x1.size()) + 1;
      tolpixdrawlines(x1.data(), y1.data(), x2.data(), y2.data(), n);
    } else {
      tolpixremovelines(x1.data(), y1.data(), x2.data(), y2.data(), n);
      std::printf("removed %d %d %d %d %d\n", n, x1[0], y1[0], x2[0], y2[0]);
    }
  } else if (command == "manylines") {
    // manylines N X Y: N short horizontal segments starting at (X, Y + i % 64)
    int32_t n = 0, x = 0, y = 0;
    in >> n >> x >> y;
    std::vector<int32_t> x1(std::max(n, 1)), y1(x1.size()), x2(x1.size()), y2(x1.size());
    for (int i = 0; i < n; ++i) {
      x1[i] = x;
      x2[i] = x + 3;
      y1[i] = y2[i] = y + i % 64;
    }
    tolpixdrawlines(x1.data(), y1.data(), x2.data(), y2.data(), n);
  } else if (command == "point" || command == "rmpoint") {
    int32_t x = 0, y = 0;
    in >> x >> y;
    if (command == "point") {
      tolpixdrawpoint(x, y);
    } else {
      tolpixremovepoint(x, y);
    }
  } else if (command == "text" || command == "rmtext") {
    // text X Y STRING (the rest of the line, in a 120-character blank-padded field)
    int32_t x = 0, y = 0;
    in >> x >> y;
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    char field[120];
    fill_field(field, sizeof field, rest);
    if (command == "text") {
      tolpixdrawtext(x, y, field, sizeof field);
    } else {
      tolpixremovetext(x, y, field, sizeof field);
    }
  } else if (command == "rmall") {
    tolpixremovevectors();
  } else if (command == "redraw") {
    ReDraw_vectors();
  } else if (command == "entries") {
    print_entries();
  } else if (command == "dash") {
    tolpixsetdash();
  } else if (command == "solid") {
    tolpixsetsolid();
  } else if (command == "font") {
    int32_t k = 0, ierr = -1;
    in >> k;
    tolpixchangefont(k, ierr);
    std::printf("font %d ierr %d id %lu\n", k, ierr, ds.font_id);
  } else if (command == "badfont") {
    // badfont K: font K of the list can no longer be loaded
    int k = 0;
    in >> k;
    if (k >= 1 && k <= ds.total_fonts)
      std::snprintf(ds.fonts[k - 1], sizeof ds.fonts[0], "-nobody-nofont-medium-r-*");
  } else if (command == "cursor") {
    int32_t shape = 0;
    in >> shape;
    tolpixchangecursor(shape);
    std::printf("cursor %d msbfirst %d\n", shape, ds.msbfirst);
  } else if (command == "trackon") {
    int32_t sx = 0, sy = 0;
    in >> sx >> sy;
    tolpixpointertrackon(sx, sy);
  } else if (command == "trackoff") {
    tolpixpointertrackoff();
  } else if (command == "rubber") {
    int32_t type = 0;
    in >> type;
    tolpixrubberenable(type);
  } else if (command == "rubberread") {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    tolpixrubberread(x1, y1, x2, y2);
    std::printf("rubber %d %d %d %d\n", x1, y1, x2, y2);
  } else if (command == "rubberremove") {
    int32_t unused = 0;
    tolpixrubberremoveline(unused, unused, unused, unused);
  } else if (command == "ps") {
    // ps ICOLOUR IX1 IX2 IY1 IY2 WIDTH IAREA
    int32_t colour = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0, area = 0, ierr = 0;
    float width = 0;
    in >> colour >> x1 >> x2 >> y1 >> y2 >> width >> area;
    int32_t unit = 3;
    tolpixpostscriptdump(unit, colour, x1, x2, y1, y2, width, area, ierr);
    std::printf("ps ierr %d width %.3f\n", ierr, width);
  } else if (command == "state") {
    print_state();
  } else if (command == "quit") {
    out("<<done>>");
    std::fflush(stdout);
    tolpixquit();
  } else {
    std::printf("unknown command %s\n", command.c_str());
  }
}

}  // namespace

int main() {
  locjob = kJobNone;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    // Each command is echoed on standard error, so that a test that times out
    // can tell where the probe stopped.
    std::fprintf(stderr, "> %s\n", line.c_str());
    run(line);
    out("<<done>>");
    std::fflush(stdout);
  }
  return 0;
}
