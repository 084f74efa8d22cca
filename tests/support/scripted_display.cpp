// The scripted display: every display operation of display/tolpix.h, played from a
// queue of user actions and recorded for the dialogue tests.
#include "scripted_display.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <sstream>

#include "display/tolpix.h"

// The job code register, as the display library keeps it.
int32_t locjob;

namespace script {
namespace {

enum class Kind { Job, Answer, Mark };

struct Action {
  Kind kind = Kind::Job;
  int job = -1;
  std::string text;
  int x = 0, y = 0;
  int slider = 0;
  float percent = 0;
  int rx1 = 0, ry1 = 0, rx2 = 0, ry2 = 0;
  bool has_rubber = false;
  bool keep = false;  // an answer that keeps the offered text
};

struct World {
  std::deque<Action> queue;
  Config config;
  std::vector<std::string> log;
  std::map<int, Picture> pictures;
  int draws = 0;
  std::vector<int> shown_images;
  Overlay overlay;
  OverlayPicture overlay_picture;
  std::array<int32_t, 256> red{}, green{}, blue{};
  int colour_loads = 0;
  State state;
  float slider_value = 0;  // what tolpixsliderread returns
  int mark_x = 0, mark_y = 0;
  int rubber[4] = {};
  std::vector<std::string> last_menu;
  std::vector<std::string> last_prompt;
  char* menu_items = nullptr;  // the caller's items, which tolpixmenuinit cuts with NULs
};

World& world() {
  static World w;
  return w;
}

std::string trimmed(const char* text, int length) {
  int n = 0;
  while (n < length && text[n] != '\0') ++n;
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text, n);
}

void note(const std::string& entry) {
  world().log.push_back(entry);
}

std::string describe(const Action& a) {
  switch (a.kind) {
    case Kind::Answer:
      return a.keep ? "accept" : "answer \"" + a.text + "\"";
    case Kind::Mark:
      return "mark " + std::to_string(a.x) + "," + std::to_string(a.y);
    case Kind::Job:
      break;
  }
  return "job " + std::to_string(a.job);
}

[[noreturn]] void end(const std::string& wanted) {
  World& w = world();
  std::string what =
      w.queue.empty() ? "the script is over" : "next is " + describe(w.queue.front());
  throw End("the program waits for " + wanted + ", but " + what);
}

Action take(Kind kind, const std::string& wanted) {
  World& w = world();
  if (w.queue.empty() || w.queue.front().kind != kind) end(wanted);
  Action a = w.queue.front();
  w.queue.pop_front();
  return a;
}

std::string segments(int n, const int32_t* x1, const int32_t* y1, const int32_t* x2,
                     const int32_t* y2) {
  std::ostringstream s;
  s << n << ":";
  for (int i = 0; i < n; ++i)
    s << (i ? "; " : " ") << x1[i] << " " << y1[i] << " " << x2[i] << " " << y2[i];
  return s.str();
}

// Many items at once: one log entry "points n: x y; ...", "circles n: x y r; ...",
// "boxes n: x1 y1 x2 y2; ..." (removals "rm..."), the items recorded as the single
// operations record them.
template <size_t K, class Items>
void many(const std::string& what, const std::array<const int32_t*, K>& in, int n, Items& items,
          bool remove) {
  std::ostringstream s;
  s << (remove ? "rm" : "") << what << " " << std::max(n, 0) << ":";
  for (int i = 0; i < n; ++i) {
    typename Items::value_type item{};
    for (size_t k = 0; k < K; ++k) s << (k ? " " : (i ? "; " : " ")) << (item[k] = in[k][i]);
    remove ? (void)std::erase(items, item) : items.push_back(item);
  }
  note(s.str());
}

}  // namespace

void reset() {
  World& w = world();
  w = World{};
  locjob = kJobNone;
}

void menu(int item) {
  job(item);
}

void answer(const std::string& text) {
  Action a;
  a.kind = Kind::Answer;
  a.text = text;
  world().queue.push_back(a);
}

void accept() {
  Action a;
  a.kind = Kind::Answer;
  a.keep = true;
  world().queue.push_back(a);
}

void mark(int x, int y) {
  Action a;
  a.kind = Kind::Mark;
  a.x = x;
  a.y = y;
  a.job = kJobPointer;
  world().queue.push_back(a);
}

void slider(int which, float percent) {
  Action a;
  a.kind = Kind::Job;
  a.job = which == 2 ? kJobSlider2 : kJobSlider1;
  a.slider = which;
  a.percent = percent;
  world().queue.push_back(a);
}

void rubber(int x1, int y1, int x2, int y2, int code) {
  Action a;
  a.kind = Kind::Job;
  a.job = code;
  a.has_rubber = true;
  a.rx1 = x1, a.ry1 = y1, a.rx2 = x2, a.ry2 = y2;
  world().queue.push_back(a);
}

void job(int code) {
  Action a;
  a.kind = Kind::Job;
  a.job = code;
  world().queue.push_back(a);
}

void idle(int count) {
  for (int i = 0; i < count; ++i) job(kJobNone);
}

void tick(int count) {
  for (int i = 0; i < count; ++i) job(kJobTimer);
}

int pending() {
  return static_cast<int>(world().queue.size());
}

Config& config() {
  return world().config;
}

const std::vector<std::string>& log() {
  return world().log;
}

std::vector<std::string> log_with(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : world().log)
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  return out;
}

std::vector<std::string> lines_shown() {
  std::vector<std::string> out;
  for (const auto& e : world().log) {
    if (e.rfind("label|", 0) != 0 && e.rfind("iobox|", 0) != 0) continue;
    std::string rest = e.substr(6);
    size_t start = 0;
    while (true) {
      size_t bar = rest.find('|', start);
      std::string line =
          rest.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
      if (line.empty() || line[0] != '>') out.push_back(line);
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  return out;
}

bool shown(const std::string& line) {
  std::string want = line;
  while (!want.empty() && want.back() == ' ') want.pop_back();
  for (const auto& l : lines_shown())
    if (l == want) return true;
  return false;
}

std::vector<std::string> last_menu() {
  return world().last_menu;
}
std::vector<std::string> last_prompt() {
  return world().last_prompt;
}
const std::map<int, Picture>& pictures() {
  return world().pictures;
}
int draws() {
  return world().draws;
}
const std::vector<int>& shown_images() {
  return world().shown_images;
}
const Overlay& overlay() {
  return world().overlay;
}
const OverlayPicture& overlay_picture() {
  return world().overlay_picture;
}
const std::array<int32_t, 256>& red() {
  return world().red;
}
const std::array<int32_t, 256>& green() {
  return world().green;
}
const std::array<int32_t, 256>& blue() {
  return world().blue;
}
int colour_loads() {
  return world().colour_loads;
}
const State& state() {
  return world().state;
}

}  // namespace script

// ---- The display operations ----

using script::note;
using script::world;

void tolpixlib() {}

void tolpixchangecursor(int32_t& icursor) {
  if (icursor > 8) icursor = 8;
  world().state.cursor = icursor;
  note("cursor " + std::to_string(icursor));
}

void tolpixchangefont(int32_t& ifont, int32_t& ierr) {
  auto& w = world();
  const auto& bad = w.config.bad_fonts;
  ierr = (ifont < 1 || ifont > static_cast<int>(w.config.fonts.size()) ||
          std::find(bad.begin(), bad.end(), ifont) != bad.end())
             ? 1
             : 0;
  if (ierr == 0) w.state.font = ifont;
  note("font " + std::to_string(ifont) + " ierr=" + std::to_string(ierr));
}

void tolpixchangeorigin() {
  world().state.mirrored = true;
  note("changeorigin");
}

void tolpixchangezoom(const int32_t& ifx, const int32_t& ify, const int32_t& izw,
                      const int32_t& izh, int32_t& ierr) {
  auto& w = world();
  ierr = static_cast<long long>(izw) * izh > w.config.max_zoom_pixels || izw < 1 || izh < 1 ? 1 : 0;
  if (ierr == 0) {
    w.state.zoom_fx = ifx, w.state.zoom_fy = ify, w.state.zoom_w = izw, w.state.zoom_h = izh;
  }
  note("zoom " + std::to_string(ifx) + " " + std::to_string(ify) + " " + std::to_string(izw) + " " +
       std::to_string(izh) + " ierr=" + std::to_string(ierr));
}

void tolpixcheckfonts(char* names, int32_t& nfonts) {
  const auto& fonts = world().config.fonts;
  nfonts = static_cast<int32_t>(std::min<size_t>(fonts.size(), 256));
  for (int i = 0; i < nfonts; ++i) {
    char* slot = names + static_cast<long>(i) * kFontNameLength;
    std::memset(slot, ' ', kFontNameLength);
    std::memcpy(slot, fonts[i].data(), std::min<size_t>(fonts[i].size(), kFontNameLength));
  }
  note("checkfonts " + std::to_string(nfonts));
}

void tolpixcheckimage(const int32_t& nx, const int32_t& ny, const int32_t& nmaps, int32_t& ierr) {
  long long pixels = static_cast<long long>(nx) * ny * std::max(nmaps, 1);
  ierr = pixels > world().config.max_pixels || nx < 1 || ny < 1 || nmaps >= kMaxMaps ? 1 : 0;
  note("checkimage " + std::to_string(nx) + " " + std::to_string(ny) + " " + std::to_string(nmaps) +
       " ierr=" + std::to_string(ierr));
}

void tolpixclearimage() {
  world().state.cursor = 0;
  note("clear");
}

void tolpixcolourbarinit() {
  world().state.colourbar_shown = true;
  note("colourbarinit");
}

void tolpixcolourbarhide() {
  world().state.colourbar_shown = false;
  note("colourbarhide");
}

void tolpixsetpan(const int32_t& ipx, const int32_t& ipy) {
  world().state.pan_x = ipx, world().state.pan_y = ipy;
  note("setpan " + std::to_string(ipx) + " " + std::to_string(ipy));
}

void tolpixdelay(const int32_t& microseconds) {
  note("delay " + std::to_string(microseconds));
}

void tolpixdrawbox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2, const int32_t& iy2) {
  world().overlay.boxes.push_back({ix1, iy1, ix2, iy2});
  note("box " + std::to_string(ix1) + " " + std::to_string(iy1) + " " + std::to_string(ix2) + " " +
       std::to_string(iy2));
}

void tolpixdrawcircle(const int32_t& ix, const int32_t& iy, const int32_t& irad) {
  world().overlay.circles.push_back({ix, iy, irad});
  note("circle " + std::to_string(ix) + " " + std::to_string(iy) + " " + std::to_string(irad));
}

void tolpixdrawelipse(const int32_t& ix, const int32_t& iy, const int32_t& ia, const int32_t& ib,
                      const float& angle) {
  world().overlay.ellipses.push_back({ix, iy, ia, ib, angle});
  std::ostringstream s;
  s << "elipse " << ix << " " << iy << " " << ia << " " << ib << " " << angle;
  note(s.str());
}

void tolpixdrawlines(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n) {
  if (n > kMaxLines) {
    note("lines refused " + std::to_string(n));
    return;
  }
  for (int i = 0; i < n; ++i) world().overlay.lines.push_back({ix1[i], iy1[i], ix2[i], iy2[i]});
  note("lines " + script::segments(n, ix1, iy1, ix2, iy2));
}

void tolpixdrawpoint(const int32_t& ix, const int32_t& iy) {
  world().overlay.points.push_back({ix, iy});
  note("point " + std::to_string(ix) + " " + std::to_string(iy));
}

void tolpixdrawimage(const int32_t& nx, const int32_t& ny, const int32_t& imap,
                     const int32_t* raster, int32_t& ierr) {
  auto& w = world();
  ++w.draws;
  ierr = 0;
  if (nx < 1 || ny < 1 || nx > kMaxPictureSide || ny > kMaxPictureSide) {
    ierr = 1;
  } else {
    script::Picture p;
    p.nx = nx, p.ny = ny;
    p.raster.assign(raster, raster + static_cast<size_t>(nx) * ny);
    bool zero = std::all_of(p.raster.begin(), p.raster.end(), [](int32_t v) { return v == 0; });
    ierr = w.config.draw_status != 0 ? w.config.draw_status : (zero ? 3 : 0);
    w.pictures[imap] = std::move(p);
  }
  note("drawimage " + std::to_string(nx) + " " + std::to_string(ny) + " " + std::to_string(imap) +
       " ierr=" + std::to_string(ierr));
}

void tolpixdrawimages(const int32_t& imap) {
  world().shown_images.push_back(imap);
  note("drawimages " + std::to_string(imap));
}

void tolpixdrawtext(const int32_t& ix, const int32_t& iy, const char* text, int32_t length) {
  std::string t = script::trimmed(text, std::min(length, 80));
  world().overlay.texts.push_back({ix, iy, t});
  note("text " + std::to_string(ix) + " " + std::to_string(iy) + "|" + t);
}

void tolpixinit(int32_t& iwidth, int32_t& iheight) {
  iwidth = world().config.screen_width;
  iheight = world().config.screen_height;
  note("init");
}

void tolpixioboxdisplay(const char* prompt, int32_t prompt_length, char* reply,
                        int32_t reply_length, const int32_t& nlines) {
  auto& w = world();
  std::string entry = "iobox";
  w.last_prompt.clear();
  for (int i = 0; i < nlines; ++i) {
    std::string line =
        script::trimmed(prompt + static_cast<long>(i) * prompt_length, prompt_length);
    w.last_prompt.push_back(line);
    entry += "|" + line;
  }
  entry += "|>" + script::trimmed(reply, reply_length);
  note(entry);
  if (w.state.timer >= 0) script::end("an answer, with the timer running");
  script::Action a = script::take(script::Kind::Answer, "an answer in the entry box");
  if (a.keep) return;
  std::memset(reply, ' ', reply_length);
  std::memcpy(reply, a.text.data(), std::min<size_t>(a.text.size(), reply_length));
}

void tolpixlabeldisplay(const char* lines, int32_t line_length, const int32_t& nlines) {
  std::string entry = "label";
  for (int i = 0; i < nlines; ++i)
    entry += "|" + script::trimmed(lines + static_cast<long>(i) * line_length, line_length);
  world().state.label_shown = true;
  note(entry);
}

void tolpixlabelhide() {
  world().state.label_shown = false;
  note("labelhide");
}

void tolpixmenudisplay() {
  world().state.menu_shown = true;
  note("menudisplay");
}

void tolpixmenuevent() {
  note("menuevent");
}

void tolpixmenuhide() {
  world().state.menu_shown = false;
  note("menuhide");
}

void tolpixmenuinit(char* items, int32_t item_length, const int32_t& nitems) {
  auto& w = world();
  std::string entry = "menu";
  w.last_menu.clear();
  for (int i = 0; i < nitems; ++i) {
    char* item = items + static_cast<long>(i) * item_length;
    std::string text = script::trimmed(item, item_length);
    if (static_cast<int>(text.size()) < item_length) item[text.size()] = '\0';
    w.last_menu.push_back(text);
    entry += "|" + text;
  }
  w.state.menu_shown = true;
  note(entry);
}

void tolpixoverlayhide() {
  world().overlay_picture.shown = false;
  note("overlayhide");
}

void tolpixoverlayinit(const int32_t& ix, const int32_t& iy, const int32_t& nx, const int32_t& ny,
                       const int32_t* raster, int32_t& ierr) {
  if (static_cast<long long>(nx) * ny > kMaxOverlayPixels || nx < 1 || ny < 1) {
    ierr = 1;
  } else {
    auto& p = world().overlay_picture;
    p.x = ix, p.y = iy, p.nx = nx, p.ny = ny, p.shown = true;
    p.raster.assign(raster, raster + static_cast<size_t>(nx) * ny);
  }
  note("overlay " + std::to_string(ix) + " " + std::to_string(iy) + " " + std::to_string(nx) + " " +
       std::to_string(ny));
}

void tolpixpointertrackon(const int32_t& isx, const int32_t& isy) {
  auto& s = world().state;
  s.tracking = true, s.track_x = isx, s.track_y = isy;
  note("trackon " + std::to_string(isx) + " " + std::to_string(isy));
}

void tolpixpointertrackoff() {
  world().state.tracking = false;
  note("trackoff");
}

void tolpixpostscriptdump(const int32_t&, const int32_t& icolour, const int32_t& ix1,
                          const int32_t& ix2, const int32_t& iy1, const int32_t& iy2, float&,
                          const int32_t& iarea, int32_t& ierr) {
  ierr = 0;
  note("ps " + std::to_string(icolour) + " " + std::to_string(ix1) + " " + std::to_string(ix2) +
       " " + std::to_string(iy1) + " " + std::to_string(iy2) + " " + std::to_string(iarea));
}

void tolpixreadmenupointer(int32_t& ix, int32_t& iy) {
  ix = world().mark_x, iy = world().mark_y;
  note("readmenupointer " + std::to_string(ix) + " " + std::to_string(iy));
}

void tolpixreadpointer(int32_t& ix, int32_t& iy) {
  script::Action a = script::take(script::Kind::Mark, "a pointer mark");
  ix = a.x, iy = a.y;
  note("readpointer " + std::to_string(ix) + " " + std::to_string(iy));
}

void tolpixrubberenable(const int32_t& itype) {
  world().state.rubber_type = itype;
  note("rubberenable " + std::to_string(itype));
}

void tolpixrubberread(int32_t& ix1, int32_t& iy1, int32_t& ix2, int32_t& iy2) {
  const int* r = world().rubber;
  ix1 = r[0], iy1 = r[1], ix2 = r[2], iy2 = r[3];
}

void tolpixrubberremoveline(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                            const int32_t& iy2) {
  note("rubberremoveline " + std::to_string(ix1) + " " + std::to_string(iy1) + " " +
       std::to_string(ix2) + " " + std::to_string(iy2));
}

void tolpixsetcolourtable(const int32_t& istart, const int32_t& iend, const int32_t* red,
                          const int32_t* green, const int32_t* blue) {
  auto& w = world();
  for (int i = std::max(istart, 0); i <= std::min(iend, 255); ++i) {
    w.red[i] = red[i], w.green[i] = green[i], w.blue[i] = blue[i];
  }
  ++w.colour_loads;
  note("colourtable " + std::to_string(istart) + " " + std::to_string(iend));
}

void tolpixquit() {
  note("quit");
  throw script::End("the program quit the display");
}

// Removals take every equal item, as the display library does.
void tolpixremovebox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                     const int32_t& iy2) {
  std::erase(world().overlay.boxes, std::array<int, 4>{ix1, iy1, ix2, iy2});
  note("rmbox " + std::to_string(ix1) + " " + std::to_string(iy1) + " " + std::to_string(ix2) +
       " " + std::to_string(iy2));
}

void tolpixremovecircle(const int32_t& ix, const int32_t& iy, const int32_t& irad) {
  std::erase(world().overlay.circles, std::array<int, 3>{ix, iy, irad});
  note("rmcircle " + std::to_string(ix) + " " + std::to_string(iy) + " " + std::to_string(irad));
}

void tolpixremovelines(int32_t* ix1, int32_t* iy1, int32_t* ix2, int32_t* iy2, int32_t& n) {
  auto& lines = world().overlay.lines;
  if (n == 0) {
    if (!lines.empty()) {
      const auto& s = lines.back();
      ix1[0] = s.x1, iy1[0] = s.y1, ix2[0] = s.x2, iy2[0] = s.y2;
      lines.pop_back();
    }
    note("rmlines 0");
    return;
  }
  if (n < 0 || n > kMaxLines) return;
  for (int i = 0; i < n; ++i) {
    script::Segment s{ix1[i], iy1[i], ix2[i], iy2[i]};
    std::erase(lines, s);
  }
  note("rmlines " + script::segments(n, ix1, iy1, ix2, iy2));
}

void tolpixremovepoint(const int32_t& ix, const int32_t& iy) {
  std::erase(world().overlay.points, std::array<int, 2>{ix, iy});
  note("rmpoint " + std::to_string(ix) + " " + std::to_string(iy));
}

void tolpixremovetext(const int32_t& ix, const int32_t& iy, const char* text, int32_t length) {
  std::erase_if(world().overlay.texts,
                [&](const script::Text& t) { return t.x == ix && t.y == iy; });
  note("rmtext " + std::to_string(ix) + " " + std::to_string(iy) + "|" +
       script::trimmed(text, std::min(length, 80)));
}

void tolpixremovevectors() {
  world().overlay = script::Overlay{};
  note("rmvectors");
}

void tolpixsetdash() {
  world().state.dashed = true;
  note("dash");
}

void tolpixsetsolid() {
  world().state.dashed = false;
  note("solid");
}

void tolpixsliderhide() {
  world().state.sliders_shown = false;
  note("sliderhide");
}

void tolpixsliderinit(const int32_t& nsliders, const float& pos1, const float& pos2) {
  auto& s = world().state;
  s.sliders_shown = true, s.nsliders = nsliders, s.slider_pos[0] = pos1, s.slider_pos[1] = pos2;
  std::ostringstream e;
  e << "sliderinit " << nsliders << " " << pos1 << " " << pos2;
  note(e.str());
}

void tolpixsliderread(float& value) {
  value = world().slider_value;
}

void tolpixzoomhide() {
  world().state.zoom_shown = false;
  note("zoomhide");
}

void tolpixzoominit() {
  world().state.zoom_shown = true;
  note("zoominit");
}

void tolpixdrawpoints(const int32_t* ix, const int32_t* iy, const int32_t& n) {
  script::many<2>("points", {ix, iy}, n, world().overlay.points, false);
}
void tolpixdrawcircles(const int32_t* ix, const int32_t* iy, const int32_t* irad,
                       const int32_t& n) {
  script::many<3>("circles", {ix, iy, irad}, n, world().overlay.circles, false);
}
void tolpixdrawboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n) {
  script::many<4>("boxes", {ix1, iy1, ix2, iy2}, n, world().overlay.boxes, false);
}
void tolpixremovepoints(const int32_t* ix, const int32_t* iy, const int32_t& n) {
  script::many<2>("points", {ix, iy}, n, world().overlay.points, true);
}
void tolpixremovecircles(const int32_t* ix, const int32_t* iy, const int32_t* irad,
                         const int32_t& n) {
  script::many<3>("circles", {ix, iy, irad}, n, world().overlay.circles, true);
}
void tolpixremoveboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2,
                       const int32_t* iy2, const int32_t& n) {
  script::many<4>("boxes", {ix1, iy1, ix2, iy2}, n, world().overlay.boxes, true);
}

// The raster position under (ix, iy) of the overlay last shown, y mirrored as the
// program gives it after tolpixchangeorigin.
void tolpixoverlayposition(const int32_t& ix, const int32_t& iy, int32_t& jx, int32_t& jy,
                           int32_t& inside) {
  const auto& p = world().overlay_picture;
  jx = jy = -1, inside = 0;
  if (p.shown) {
    jx = ix - (p.x - p.nx / 2);
    jy = world().state.mirrored ? p.y - iy + p.ny / 2 : iy - (p.y - p.ny / 2);
    inside = jx >= 0 && jx < p.nx && jy >= 0 && jy < p.ny ? 1 : 0;
  }
  note("overlayposition " + std::to_string(ix) + " " + std::to_string(iy));
}

void tolpixtimer(const int32_t& microseconds) {
  world().state.timer = microseconds < 0 ? -1 : microseconds;
  note("timer " + std::to_string(microseconds));
}

void tolpixwait(int32_t& job) {
  auto& w = world();
  if (w.queue.empty() || w.queue.front().kind == script::Kind::Answer) script::end("a job code");
  if (w.queue.front().job == kJobTimer && w.state.timer < 0)
    script::end("a job code, with the timer stopped");
  script::Action a = w.queue.front();
  w.queue.pop_front();
  if (a.kind == script::Kind::Mark) w.mark_x = a.x, w.mark_y = a.y;
  if (a.slider != 0) w.slider_value = a.percent;
  if (a.has_rubber) {
    w.rubber[0] = a.rx1, w.rubber[1] = a.ry1, w.rubber[2] = a.rx2, w.rubber[3] = a.ry2;
  }
  job = a.job;
  locjob = kJobNone;
}

void tolpixcallback(const int32_t& value) {
  locjob = value;
}

void tolpixerror(int32_t& job) {
  job = locjob;
  locjob = kJobNone;
}
