// A small program that calls the display operations on command, for the x11 tests: one
// command per line on standard input, from the table below; every command's output ends with
// the line "<<done>>". It uses nothing but the display interface: what the operations did is
// checked by the tests on the screen.
#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "tests/x11/patterns.h"

namespace {

using Args = std::istringstream;

char menu_items[kMaxMenuItems + 20][kMenuItemLength];
char lines[60][kLabelLineLength];
std::vector<int32_t> raster;

void fill(char* field, int length, const std::string& text) {
  std::memset(field, ' ', length);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), length));
}

// The rest of the command split at '|'.
std::vector<std::string> parts(Args& in) {
  std::string rest, part;
  std::getline(in >> std::ws, rest);
  std::vector<std::string> out;
  std::istringstream split(rest);
  while (std::getline(split, part, '|')) out.push_back(part);
  return out;
}

void say(const char* what, int32_t a) {
  std::printf("%s %d\n", what, a);
}
void say(const char* what, int32_t a, int32_t b, int32_t c = INT32_MIN, int32_t d = INT32_MIN) {
  std::printf(c == INT32_MIN ? "%s %d %d\n" : "%s %d %d %d %d\n", what, a, b, c, d);
}

int32_t number(Args& in) {
  int32_t v = 0;
  in >> v;
  return v;
}

const std::vector<int32_t>& pattern(const std::string& name, int32_t nx, int32_t ny) {
  const int w = std::max(nx, 1), h = std::max(ny, 1);
  raster.assign(static_cast<size_t>(w) * h, 0);
  if (int64_t{w} * h <= 64 * 1024 * 1024)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) raster[size_t(y) * w + x] = probe::pattern_value(name, x, y, w);
  return raster;
}

// X requests of a connection of our own: the library's error handler serves the whole process.
void own_request(const std::function<void(Display*)>& request) {
  Display* d = XOpenDisplay(nullptr);
  request(d);
  XSync(d, False);
  XCloseDisplay(d);
}

void segments(Args& in, bool remove) {
  int32_t n = number(in);
  std::vector<int32_t> x1(std::clamp(n, 1, kMaxLines + 1)), y1(x1.size()), x2(x1.size()),
      y2(x1.size());
  for (int i = 0; i < n && i < int(x1.size()); ++i) in >> x1[i] >> y1[i] >> x2[i] >> y2[i];
  if (!remove) return tolpixdrawlines(x1.data(), y1.data(), x2.data(), y2.data(), n);
  tolpixremovelines(x1.data(), y1.data(), x2.data(), y2.data(), n);
  std::printf("removed %d %d %d %d %d\n", n, x1[0], y1[0], x2[0], y2[0]);
}

void text(Args& in, bool remove) {
  int32_t x = number(in), y = number(in);
  std::string rest;
  std::getline(in, rest);
  char field[120];
  fill(field, sizeof field, rest.empty() ? rest : rest.substr(1));
  remove ? tolpixremovetext(x, y, field, sizeof field) : tolpixdrawtext(x, y, field, sizeof field);
}

// Commands whose arguments are whole numbers: the count, and the call.
using Ints = std::array<int32_t, 8>;
const std::map<std::string, std::pair<int, std::function<void(Ints&)>>> kPlain = {
    {"init", {2, [](Ints& a) { tolpixinit(a[0], a[1]), std::printf("size %d %d\n", a[0], a[1]); }}},
    {"check", {3, [](Ints& a) { tolpixcheckimage(a[0], a[1], a[2], a[3]), say("ierr", a[3]); }}},
    {"zoom",
     {4, [](Ints& a) { tolpixchangezoom(a[0], a[1], a[2], a[3], a[4]), say("ierr", a[4]); }}},
    {"show", {1, [](Ints& a) { tolpixdrawimages(a[0]); }}},
    {"pan", {2, [](Ints& a) { tolpixsetpan(a[0], a[1]); }}},
    {"box", {4, [](Ints& a) { tolpixdrawbox(a[0], a[1], a[2], a[3]); }}},
    {"rmbox", {4, [](Ints& a) { tolpixremovebox(a[0], a[1], a[2], a[3]); }}},
    {"circle", {3, [](Ints& a) { tolpixdrawcircle(a[0], a[1], a[2]); }}},
    {"rmcircle", {3, [](Ints& a) { tolpixremovecircle(a[0], a[1], a[2]); }}},
    {"point", {2, [](Ints& a) { tolpixdrawpoint(a[0], a[1]); }}},
    {"rmpoint", {2, [](Ints& a) { tolpixremovepoint(a[0], a[1]); }}},
    {"font", {1, [](Ints& a) { tolpixchangefont(a[0], a[1]), say("ierr", a[1]); }}},
    {"cursor", {1, [](Ints& a) { tolpixchangecursor(a[0]), say("cursor", a[0]); }}},
    {"trackon", {2, [](Ints& a) { tolpixpointertrackon(a[0], a[1]); }}},
    {"rubber", {1, [](Ints& a) { tolpixrubberenable(a[0]); }}},
    {"job", {0, [](Ints& a) { tolpixerror(a[0]), say("job", a[0]); }}},
    {"pointer",
     {0, [](Ints& a) { tolpixreadmenupointer(a[0], a[1]), say("pointer", a[0], a[1]); }}},
    {"rubberread",
     {0,
      [](Ints& a) {
        tolpixrubberread(a[0], a[1], a[2], a[3]), say("rubber", a[0], a[1], a[2], a[3]);
      }}},
    {"manyboxes",  // N X Y: N boxes of 4 x 4 at (X, Y)
     {3,
      [](Ints& a) {
        for (int i = 0, x2 = a[1] + 4, y2 = a[2] + 4; i < a[0]; ++i)
          tolpixdrawbox(a[1], a[2], x2, y2);
      }}},
    {"manylines",  // N X Y: N short segments from (X, Y + i % 64)
     {3,
      [](Ints& a) {
        std::vector<int32_t> x1(std::max(a[0], 1), a[1]), x2(x1.size(), a[1] + 3), y(x1.size());
        for (int i = 0; i < a[0]; ++i) y[i] = a[2] + i % 64;
        tolpixdrawlines(x1.data(), y.data(), x2.data(), y.data(), a[0]);
      }}},
    {"wait",  // J: handles events until job code J, telling every job code met
     {1,
      [](Ints& a) {
        for (int32_t job = kJobNone; job != a[0];)
          if (tolpixwait(job), job != kJobNone) say("job", job);
      }}},
    {"readpointer",  // waits for a mark
     {0,
      [](Ints& a) {
        a[0] = a[1] = -7;
        std::printf("waiting\n");
        std::fflush(stdout);
        tolpixreadpointer(a[0], a[1]);
        say("pointer", a[0], a[1]);
      }}},
};

const std::map<std::string, std::function<void()>> kBare = {
    {"origin", tolpixchangeorigin},
    {"clear", tolpixclearimage},
    {"menuhide", tolpixmenuhide},
    {"labelhide", tolpixlabelhide},
    {"sliderhide", tolpixsliderhide},
    {"bars", tolpixcolourbarinit},
    {"zoomhide", tolpixzoomhide},
    {"overlayhide", tolpixoverlayhide},
    {"rmall", tolpixremovevectors},
    {"dash", tolpixsetdash},
    {"solid", tolpixsetsolid},
    {"trackoff", tolpixpointertrackoff},
    // A pixmap the server cannot make (taller than 32767 rows), and a request it refuses.
    {"badalloc",
     [] { own_request([](Display* d) { XCreatePixmap(d, DefaultRootWindow(d), 1, 40000, 8); }); }},
    {"xerror", [] { own_request([](Display* d) { XFreePixmap(d, Pixmap{0x7ffffff}); }); }},
    {"fonts",
     [] {
       static char names[kMaxFonts][kFontNameLength];
       int32_t n = 0;
       tolpixcheckfonts(&names[0][0], n);
       for (int i = 0; i < n; ++i) std::printf("font [%.*s]\n", kFontNameLength, names[i]);
     }},
    {"sliderread",
     [] {
       float v = -1;
       tolpixsliderread(v);
       std::printf("slider %.2f\n", v);
     }},
};

// Commands with texts or reals.
const std::map<std::string, std::function<void(Args&)>> kCommands = {
    {"table",  // START END [grey|big]: the distinct-cell table, a grey ramp, or 70000 in red 5
     [](Args& in) {
       int32_t start = number(in), end = number(in);
       std::string kind;
       in >> kind;
       static int32_t r[256], g[256], b[256];
       for (int i = 0; i < 256; ++i) {
         const int grey = std::min(i, 127) * 65535 / 127;
         r[i] = kind == "grey" ? grey : probe::table_red(i);
         g[i] = kind == "grey" ? grey : probe::table_green(i);
         b[i] = kind == "grey" ? grey : probe::table_blue(i);
       }
       if (kind == "big") r[5] = 70000;
       tolpixsetcolourtable(start, end, r, g, b);
     }},
    {"draw",  // NX NY IMAP PATTERN
     [](Args& in) {
       int32_t nx = number(in), ny = number(in), map = number(in), ierr = -1;
       std::string name;
       in >> name;
       tolpixdrawimage(nx, ny, map, pattern(name, nx, ny).data(), ierr);
       say("ierr", ierr);
     }},
    {"overlay",  // X Y NX NY PATTERN
     [](Args& in) {
       int32_t x = number(in), y = number(in), nx = number(in), ny = number(in), ierr = 0;
       std::string name;
       in >> name;
       tolpixoverlayinit(x, y, nx, ny, pattern(name, nx, ny).data(), ierr);
       say("ierr", ierr);
     }},
    {"menu",  // N item|item|... (items beyond the texts are "Item i")
     [](Args& in) {
       int32_t n = number(in);
       auto texts = parts(in);
       for (int i = 0; i < std::min<int>(n, kMaxMenuItems + 20); ++i)
         fill(menu_items[i], kMenuItemLength,
              i < int(texts.size()) ? texts[i] : "Item " + std::to_string(i + 1));
       tolpixmenuinit(&menu_items[0][0], kMenuItemLength, n);
     }},
    {"label",  // line|line|...; "label N" shows N lines of 80 letters
     [](Args& in) {
       auto texts = parts(in);
       int32_t n = std::min<int>(texts.size(), 60);
       const bool letters = n == 1 && std::isdigit(static_cast<unsigned char>(texts[0][0]));
       if (letters) n = std::min(std::stoi(texts[0]), 60);
       for (int i = 0; i < n; ++i)
         letters ? void(std::memset(lines[i], 'A' + i % 26, kLabelLineLength))
                 : fill(lines[i], kLabelLineLength, texts[i]);
       tolpixlabeldisplay(&lines[0][0], kLabelLineLength, n);
     }},
    {"iobox",  // DEFAULT|prompt|prompt... ("-" for a blank default); waits for the answer
     [](Args& in) {
       auto p = parts(in);
       static char reply[kReplyLength];
       fill(reply, kReplyLength, p.empty() || p[0] == "-" ? "" : p[0]);
       int32_t n = std::max<int>(1, p.size() - 1);
       for (int i = 0; i < n; ++i)
         fill(lines[i], kLabelLineLength, i + 1 < int(p.size()) ? p[i + 1] : "");
       std::printf("iobox shown\n");
       std::fflush(stdout);
       tolpixioboxdisplay(&lines[0][0], kLabelLineLength, reply, kReplyLength, n);
       std::string shown(reply, kReplyLength);
       std::replace(shown.begin(), shown.end(), '\0', '@');
       std::printf("reply [%s]\n", shown.c_str());
     }},
    {"slider",
     [](Args& in) {
       int32_t n = number(in);
       float p1 = 0, p2 = 0;
       in >> p1 >> p2;
       tolpixsliderinit(n, p1, p2);
     }},
    {"elipse",
     [](Args& in) {
       int32_t x = number(in), y = number(in), a = number(in), b = number(in);
       float angle = 0;
       in >> angle;
       tolpixdrawelipse(x, y, a, b, angle);
     }},
    {"lines", [](Args& in) { segments(in, false); }},
    {"rmlines", [](Args& in) { segments(in, true); }},
    {"text", [](Args& in) { text(in, false); }},
    {"rmtext", [](Args& in) { text(in, true); }},
    {"ps",  // ICOLOUR IX1 IX2 IY1 IY2 WIDTH IAREA, into Tolpix.ps
     [](Args& in) {
       int32_t colour = number(in), x1 = number(in), x2 = number(in), y1 = number(in),
               y2 = number(in), unit = 3, ierr = 0;
       float width = 0;
       in >> width;
       int32_t area = number(in);
       tolpixpostscriptdump(unit, colour, x1, x2, y1, y2, width, area, ierr);
       std::printf("ps ierr %d width %.3f\n", ierr, width);
     }},
};

}  // namespace

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    std::fprintf(stderr, "> %s\n", line.c_str());  // where a probe that timed out stopped
    Args in(line);
    std::string command;
    in >> command;
    if (auto plain = kPlain.find(command); plain != kPlain.end()) {
      Ints a{};
      for (int i = 0; i < plain->second.first; ++i) in >> a[i];
      plain->second.second(a);
    } else if (auto bare = kBare.find(command); bare != kBare.end()) {
      bare->second();
    } else if (auto other = kCommands.find(command); other != kCommands.end()) {
      other->second(in);
    } else {
      std::printf("unknown command %s\n", command.c_str());
    }
    std::printf("<<done>>\n");
    std::fflush(stdout);
  }
  return 0;
}
