// A small program that calls the display operations on command, for the x11 tests: one
// command per line on standard input, from the table below; every command's output ends with
// the line "<<done>>". It uses the display interface (and, for "redraw", the library's redraw
// of its recorded items): what the operations did is checked by the tests on the screen.
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "display/xstate.h"
#include "tests/x11/patterns.h"

namespace {

// The arguments of a command.
struct Args {
  std::istringstream in;
  int32_t i() {
    int32_t v = 0;
    in >> v;
    return v;
  }
  float f() {
    float v = 0;
    in >> v;
    return v;
  }
  std::string word() {
    std::string w;
    in >> w;
    return w;
  }
  std::string rest() {
    std::string r;
    std::getline(in >> std::ws, r);
    return r;
  }
  std::vector<std::string> parts() {  // the rest split at '|'
    std::vector<std::string> out;
    std::istringstream split(rest());
    for (std::string part; std::getline(split, part, '|');) out.push_back(part);
    return out;
  }
};

char items[kMaxMenuItems + 20][kMenuItemLength];
char lines[60][kLabelLineLength];
std::vector<int32_t> raster;

void fill(char* field, int length, const std::string& text) {
  std::memset(field, ' ', length);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), length));
}

void say(const char* what, int32_t a) {
  std::printf("%s %d\n", what, a);
}

// A named test raster of nx x ny (see patterns.h).
const int32_t* pattern(const std::string& name, int32_t nx, int32_t ny) {
  const int w = std::max(nx, 1), h = std::max(ny, 1);
  raster.assign(int64_t{w} * h <= 64 * 1024 * 1024 ? size_t(w) * h : 1, 0);
  for (size_t i = 0; raster.size() > 1 && i < raster.size(); ++i)
    raster[i] = probe::pattern_value(name, int(i % w), int(i / w), w);
  return raster.data();
}

// What a command drew, and the events it asked for, reach the server before the command is
// over: reading the pointer is a round trip on the library's connection.
void round_trip() {
  int32_t x, y;
  tolpixreadmenupointer(x, y);
}

// X requests of a connection of our own: the library's error handler serves the whole process.
void own_request(const std::function<void(Display*)>& request) {
  Display* d = XOpenDisplay(nullptr);
  request(d);
  XSync(d, False);
  XCloseDisplay(d);
}

// Segments "N x1 y1 x2 y2 ..." drawn or removed (then the first one is told).
void segments(Args& a, bool remove) {
  int32_t n = a.i();
  std::vector<int32_t> x1(std::clamp(n, 1, kMaxLines + 1)), y1(x1), x2(x1), y2(x1);
  for (int i = 0; i < n && i < int(x1.size()); ++i)
    x1[i] = a.i(), y1[i] = a.i(), x2[i] = a.i(), y2[i] = a.i();
  if (!remove) return tolpixdrawlines(x1.data(), y1.data(), x2.data(), y2.data(), n);
  tolpixremovelines(x1.data(), y1.data(), x2.data(), y2.data(), n);
  std::printf("removed %d %d %d %d %d\n", n, x1[0], y1[0], x2[0], y2[0]);
}

// "KIND N X Y DX [single|rm]": N points, circles of radius 3 or boxes of 4 x 4 from (X, Y),
// DX apart, drawn in one call (one call each with "single", removed in one call with "rm").
void many(Args& a) {
  const std::string kind = a.word();
  const int32_t n = a.i(), x = a.i(), y = a.i(), dx = a.i();
  const std::string mode = a.word();
  const bool single = mode == "single", rm = mode == "rm";
  std::vector<int32_t> x1(std::max(n, 1)), y1(x1.size(), y), x2(x1), y2(x1.size(), y + 4), r(y2);
  for (int i = 0; i < n; ++i) x1[i] = x + i * dx, x2[i] = x1[i] + 4, r[i] = 3;
  for (int i = 0; i < (single ? n : 1); ++i) {
    int32_t *u = &x1[i], *v = &y1[i], *w = &r[i], *p = &x2[i], *q = &y2[i], m = single ? 1 : n;
    if (kind == "point")
      rm ? tolpixremovepoints(u, v, m) : tolpixdrawpoints(u, v, m);
    else if (kind == "circle")
      rm ? tolpixremovecircles(u, v, w, m) : tolpixdrawcircles(u, v, w, m);
    else
      rm ? tolpixremoveboxes(u, v, p, q, m) : tolpixdrawboxes(u, v, p, q, m);
  }
}

// "X Y TEXT": the text in a 120-character field.
void text(Args& a, bool remove) {
  int32_t x = a.i(), y = a.i();
  char field[120];
  fill(field, sizeof field, a.rest());
  remove ? tolpixremovetext(x, y, field, sizeof field) : tolpixdrawtext(x, y, field, sizeof field);
}

// clang-format off
const std::map<std::string, std::function<void(Args&)>> kCommands = {
  {"init", [](Args& a) {
     int32_t w = a.i(), h = a.i();
     tolpixinit(w, h);
     std::printf("size %d %d\n", w, h); }},
  {"origin", [](Args&) { tolpixchangeorigin(); }},
  {"check", [](Args& a) {
     int32_t x = a.i(), y = a.i(), n = a.i(), e = -1;
     tolpixcheckimage(x, y, n, e);
     say("ierr", e); }},
  // NX NY IMAP PATTERN
  {"draw", [](Args& a) {
     int32_t x = a.i(), y = a.i(), m = a.i(), e = -1;
     tolpixdrawimage(x, y, m, pattern(a.word(), x, y), e);
     say("ierr", e); }},
  {"show", [](Args& a) { tolpixdrawimages(a.i()); }},
  {"clear", [](Args&) { tolpixclearimage(); }},
  {"pan", [](Args& a) { int32_t x = a.i(), y = a.i(); tolpixsetpan(x, y); }},
  // START END [grey|big]: the distinct-cell table, a grey ramp, or 70000 in red 5
  {"table", [](Args& a) {
     int32_t start = a.i(), end = a.i();
     const std::string kind = a.word();
     static int32_t r[256], g[256], b[256];
     for (int i = 0; i < 256; ++i) {
       const int grey = std::min(i, 127) * 65535 / 127;
       r[i] = kind == "grey" ? grey : kind == "big" && i == 5 ? 70000 : probe::table_red(i);
       g[i] = kind == "grey" ? grey : probe::table_green(i);
       b[i] = kind == "grey" ? grey : probe::table_blue(i);
     }
     tolpixsetcolourtable(start, end, r, g, b); }},
  // N item|item|...: items beyond the texts are "Item i"
  {"menu", [](Args& a) {
     int32_t n = a.i();
     const auto texts = a.parts();
     for (int i = 0; i < std::min<int>(n, kMaxMenuItems + 20); ++i)
       fill(items[i], kMenuItemLength,
            i < int(texts.size()) ? texts[i] : "Item " + std::to_string(i + 1));
     tolpixmenuinit(&items[0][0], kMenuItemLength, n); }},
  {"menuhide", [](Args&) { tolpixmenuhide(); }},
  // line|line|...; "label N" shows N lines of 80 letters
  {"label", [](Args& a) {
     const auto texts = a.parts();
     const bool letters = texts.size() == 1 && std::isdigit((unsigned char)texts[0][0]);
     const int n = std::min<int>(letters ? std::stoi(texts[0]) : texts.size(), 60);
     for (int i = 0; i < n; ++i)
       fill(lines[i], kLabelLineLength, letters ? std::string(80, char('A' + i % 26)) : texts[i]);
     tolpixlabeldisplay(&lines[0][0], kLabelLineLength, n); }},
  {"labelhide", [](Args&) { tolpixlabelhide(); }},
  // DEFAULT|prompt|prompt... ("-" for a blank default); waits for the answer
  {"iobox", [](Args& a) {
     const auto p = a.parts();
     static char reply[kReplyLength];
     fill(reply, kReplyLength, p.empty() || p[0] == "-" ? "" : p[0]);
     const int32_t n = std::max<int>(1, p.size() - 1);
     for (int i = 0; i < n; ++i)
       fill(lines[i], kLabelLineLength, i + 1 < int(p.size()) ? p[i + 1] : "");
     std::printf("iobox shown\n");
     std::fflush(stdout);
     tolpixioboxdisplay(&lines[0][0], kLabelLineLength, reply, kReplyLength, n);
     std::string shown(reply, kReplyLength);
     std::replace(shown.begin(), shown.end(), '\0', '@');
     std::printf("reply [%s]\n", shown.c_str()); }},
  {"slider", [](Args& a) {
     int32_t n = a.i();
     float p1 = a.f(), p2 = a.f();
     tolpixsliderinit(n, p1, p2); }},
  {"sliderhide", [](Args&) { tolpixsliderhide(); }},
  {"sliderread", [](Args&) { float v = -1; tolpixsliderread(v); std::printf("slider %.2f\n", v); }},
  {"bars", [](Args&) { tolpixcolourbarinit(); }},
  // J: handles events until job code J, telling every job code met
  {"wait", [](Args& a) {
     for (int32_t want = a.i(), job = kJobNone; job != want;)
       if (tolpixwait(job), job != kJobNone) say("job", job); }},
  {"job", [](Args&) { int32_t j = 0; tolpixerror(j); say("job", j); }},
  {"pointer", [](Args&) {
     int32_t x, y;
     tolpixreadmenupointer(x, y);
     std::printf("pointer %d %d\n", x, y); }},
  {"readpointer", [](Args&) {  // waits for a mark
     int32_t x = -7, y = -7;
     std::printf("waiting\n");
     std::fflush(stdout);
     tolpixreadpointer(x, y);
     std::printf("pointer %d %d\n", x, y); }},
  {"zoom", [](Args& a) {
     int32_t fx = a.i(), fy = a.i(), w = a.i(), h = a.i(), e = -1;
     tolpixchangezoom(fx, fy, w, h, e);
     say("ierr", e); }},
  {"zoomhide", [](Args&) { tolpixzoomhide(); }},
  // X Y NX NY PATTERN
  {"overlay", [](Args& a) {
     int32_t x = a.i(), y = a.i(), nx = a.i(), ny = a.i(), e = 0;
     tolpixoverlayinit(x, y, nx, ny, pattern(a.word(), nx, ny), e);
     say("ierr", e); }},
  {"overlayhide", [](Args&) { tolpixoverlayhide(); }},
  {"overlaypos", [](Args&) {  // the overlay raster under the pointer
     int32_t x, y, jx, jy, inside;
     tolpixreadmenupointer(x, y), tolpixoverlayposition(x, y, jx, jy, inside);
     std::printf("raster %d %d %d\n", jx, jy, inside); }},
  // A pixmap the server cannot make (taller than 32767 rows), and a request it refuses.
  {"badalloc", [](Args&) {
     own_request([](Display* d) { XCreatePixmap(d, DefaultRootWindow(d), 1, 40000, 8); }); }},
  {"xerror", [](Args&) { own_request([](Display* d) { XFreePixmap(d, Pixmap{0x7ffffff}); }); }},
  {"box", [](Args& a) { int32_t x = a.i(), y = a.i(), u = a.i(); tolpixdrawbox(x, y, u, a.i()); }},
  {"rmbox", [](Args& a) {
     int32_t x = a.i(), y = a.i(), u = a.i();
     tolpixremovebox(x, y, u, a.i()); }},
  {"many", many},
  {"redraw", [](Args&) { ReDraw_vectors(); }},
  {"circle", [](Args& a) { int32_t x = a.i(), y = a.i(); tolpixdrawcircle(x, y, a.i()); }},
  {"rmcircle", [](Args& a) { int32_t x = a.i(), y = a.i(); tolpixremovecircle(x, y, a.i()); }},
  {"elipse", [](Args& a) {
     int32_t x = a.i(), y = a.i(), p = a.i(), q = a.i();
     float angle = a.f();
     tolpixdrawelipse(x, y, p, q, angle); }},
  {"lines", [](Args& a) { segments(a, false); }},
  {"rmlines", [](Args& a) { segments(a, true); }},
  {"manylines", [](Args& a) {  // N X Y: N short segments from (X, Y + i % 64)
     int32_t n = a.i(), x = a.i(), y = a.i();
     std::vector<int32_t> x1(std::max(n, 1), x), x2(x1.size(), x + 3), ys(x1.size());
     for (int i = 0; i < n; ++i) ys[i] = y + i % 64;
     tolpixdrawlines(x1.data(), ys.data(), x2.data(), ys.data(), n); }},
  {"point", [](Args& a) { int32_t x = a.i(), y = a.i(); tolpixdrawpoint(x, y); }},
  {"rmpoint", [](Args& a) { int32_t x = a.i(), y = a.i(); tolpixremovepoint(x, y); }},
  {"text", [](Args& a) { text(a, false); }},
  {"rmtext", [](Args& a) { text(a, true); }},
  {"rmall", [](Args&) { tolpixremovevectors(); }},
  {"dash", [](Args&) { tolpixsetdash(); }},
  {"solid", [](Args&) { tolpixsetsolid(); }},
  {"font", [](Args& a) { int32_t k = a.i(), e = -1; tolpixchangefont(k, e); say("ierr", e); }},
  {"cursor", [](Args& a) { int32_t c = a.i(); tolpixchangecursor(c); say("cursor", c); }},
  {"trackon", [](Args& a) { int32_t x = a.i(); tolpixpointertrackon(x, a.i()); }},
  {"trackoff", [](Args&) { tolpixpointertrackoff(); }},
  {"rubber", [](Args& a) { tolpixrubberenable(a.i()); }},
  {"rubberread", [](Args&) {
     int32_t x, y, u, v;
     tolpixrubberread(x, y, u, v);
     std::printf("rubber %d %d %d %d\n", x, y, u, v); }},
  // ICOLOUR IX1 IX2 IY1 IY2 WIDTH IAREA, into Tolpix.ps
  {"ps", [](Args& a) {
     int32_t unit = 3, colour = a.i(), x1 = a.i(), x2 = a.i(), y1 = a.i(), y2 = a.i(), e = 0;
     float width = a.f();
     int32_t area = a.i();
     tolpixpostscriptdump(unit, colour, x1, x2, y1, y2, width, area, e);
     std::printf("ps ierr %d width %.3f\n", e, width); }},
};
// clang-format on

}  // namespace

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    std::fprintf(stderr, "> %s\n", line.c_str());  // where a probe that timed out stopped
    Args a{std::istringstream(line)};
    const std::string command = a.word();
    if (auto it = kCommands.find(command); it != kCommands.end())
      it->second(a), round_trip();
    else
      std::printf("unknown command %s\n", command.c_str());
    std::printf("<<done>>\n");
    std::fflush(stdout);
  }
  return 0;
}
