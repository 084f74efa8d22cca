// The display operations: thin adapters that turn the application's conventions
// (blank-padded texts with lengths, 1-based items, mirrored y, error flags) into
// those of the X11 routines behind them, and the wait/callback protocol through
// the job code register.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/tolpix.h"
#include "display/xstate.h"
#include "driver/records.h"
#include "driver/strings.h"

OperationState ops;

namespace {

constexpr int kWorkLineLength = 512;  // a prompt or label line is cut here
constexpr int kTextBuffer = 4096;     // all lines of a prompt or label together

int mirror_y(int y) {
  return ops.change_origin == 1 ? ops.map_height - y : y;
}

// Length of a fixed-length text without its trailing blanks, stopping at a NUL.
int trimmed_length(const char* text, int length) {
  int n = 0;
  while (n < length && text[n] != '\0') ++n;
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

// Joins the lines into one NUL-terminated text with a newline between lines,
// never more than the buffer holds.
void build_text(const char* lines, int line_length, int nlines, char* out) {
  int used = 0;
  out[0] = '\0';
  if (lines == nullptr || line_length <= 0) return;
  for (int i = 0; i < nlines; ++i) {
    const char* line = lines + static_cast<long>(i) * line_length;
    int n = trimmed_length(line, std::min(line_length, kWorkLineLength));
    n = std::min(n, kTextBuffer - 2 - used);
    if (n < 0) break;
    std::memcpy(out + used, line, n);
    used += n;
    out[used++] = '\n';
    if (used >= kTextBuffer - 1) break;
  }
  if (used > 0) --used;  // the last newline becomes the terminator
  out[used] = '\0';
}

bool allocation_failed() {
  int32_t job = kJobNone;
  tolpixerror(job);
  return job == kJobNoMemory;
}

}  // namespace

void tolpixlib() {}

void tolpixchangeorigin() {
  ops.change_origin = 1;
}

void tolpixchangezoom(const int32_t& ifx, const int32_t& ify, const int32_t& izw,
                      const int32_t& izh, int32_t& ierr) {
  ierr = 0;
  if (static_cast<long>(izw) * izh > ops.max_zoom_size) {
    ierr = 1;
    return;
  }
  bool made = changezoom(ifx, ify, izw, izh);
  if (allocation_failed() || !made) ierr = 1;
}

void tolpixcheckfonts(char* names, int32_t& nfonts) {
  nfonts = ops.nfonts;
  for (int i = 0; i < ops.nfonts; ++i)
    std::memcpy(names + static_cast<long>(i) * kFontNameLength, ops.fonts[i], kFontNameLength);
}

void tolpixcheckimage(const int32_t& nx, const int32_t& ny, const int32_t& nmaps, int32_t& ierr) {
  ierr = 0;
  checkimage(nx, ny, nmaps);
  if (allocation_failed() || nmaps >= kMaxMaps) ierr = 1;
  ops.map_width = nx;
  ops.map_height = ny;
}

void tolpixclearimage() {
  show_arrow_cursor();
  clearimage();
}

void tolpixcolourbarinit() {
  colourbarinit();
}
void tolpixcolourbarhide() {
  colourbarhide();
}

void tolpixsetpan(const int32_t& ipx, const int32_t& ipy) {
  setpan(ipx, ipy);
}

void tolpixdelay(const int32_t& microseconds) {
  sleepdelay(microseconds);
}

void tolpixdrawimage(const int32_t& nx, const int32_t& ny, const int32_t& imap,
                     const int32_t* raster, int32_t& ierr) {
  ierr = 0;
  ops.nox = nx;
  ops.noy = ny;
  int check = 0;
  bool stored = false;
  if (nx < 1 || ny < 1 || nx > kMaxPictureSide || ny > kMaxPictureSide || imap < 0 ||
      imap >= kMaxMaps || raster == nullptr) {
    std::printf(" Picture of %d x %d pixels (number %d) cannot be shown: at most %d x %d\n", nx, ny,
                imap, kMaxPictureSide, kMaxPictureSide);
    std::fflush(stdout);
  } else {
    stored = drawimage(nx, ny, imap, raster, check);
  }
  ops.icflag = check;
  if (nx > ops.max_window_width || ny > ops.max_window_height) {
    ops.map_width = nx;
    ops.map_height = ny;
  } else {
    ops.map_width = ops.max_window_width;
    ops.map_height = ops.max_window_height;
  }
  if (allocation_failed() || !stored) ierr = 1;
  if (ops.icflag == 1) ierr = 2;
  if (ops.icflag == 2) ierr = 3;
}

void tolpixdrawimages(const int32_t& imap) {
  drawpixmap(imap);
}

void tolpixinit(int32_t& iwidth, int32_t& iheight) {
  ops.change_origin = 0;
  locjob = kJobNone;  // nothing has happened yet
  int width = iwidth, height = iheight, max_zoom = 0, nfonts = 0;
  static char names[kMaxFonts][kFontNameLength];
  std::memset(names, 0, sizeof names);
  if (!init(width, height, max_zoom, &names[0][0], nfonts, kFontNameLength)) return;
  iwidth = width;
  iheight = height;
  ops.max_window_width = ops.map_width = width;
  ops.max_window_height = ops.map_height = height;
  ops.max_zoom_size = max_zoom;
  ops.nfonts = std::min(nfonts, kMaxFonts);
  std::memset(ops.fonts, ' ', sizeof ops.fonts);
  for (int i = 0; i < ops.nfonts; ++i) {
    int n = 0;
    while (n < kFontNameLength && names[i][n] != '\0') ++n;
    std::memcpy(ops.fonts[i], names[i], n);
  }
}

void tolpixioboxdisplay(const char* prompt, int32_t prompt_length, char* reply,
                        int32_t reply_length, const int32_t& nlines) {
  static char text[kTextBuffer];
  build_text(prompt, prompt_length, nlines, text);
  // The default answer: its non-blank part, cut to what the entry field holds.
  int n = trimmed_length(reply, reply_length);
  if (n < reply_length) reply[n] = '\0';
  char field[kStringLength];
  int shown = std::min(n, kStringLength - 1);
  std::memcpy(field, reply, shown);
  field[shown] = '\0';
  ioboxdisplay(text, field, std::max<int>(nlines, 1));

  int32_t job = kJobNone;
  do {
    tolpixwait(job);
  } while (job == kJobNone || job == kJobPointer);
  if (job == kJobReturn) {
    char typed[kStringLength];
    ioboxreadstring(typed, sizeof typed);
    int m = std::min<int>(static_cast<int>(std::strlen(typed)), reply_length);
    std::memcpy(reply, typed, m);
    std::memset(reply + m, ' ', reply_length - m);
  } else {
    std::printf(" Error in tolpixwait, job = \n");
    std::fflush(stdout);
  }
  ioboxhide();
}

void tolpixlabeldisplay(const char* lines, int32_t line_length, const int32_t& nlines) {
  static char text[kTextBuffer];
  build_text(lines, line_length, nlines, text);
  labeldisplay(text);
}

void tolpixlabelhide() {
  labelhide();
}
void tolpixmenudisplay() {
  actionmenudisplay();
}
void tolpixmenuevent() {
  menuevent();
}
void tolpixmenuhide() {
  menuhide();
}

void tolpixmenuinit(char* items, int32_t item_length, const int32_t& nitems) {
  int count = std::clamp<int>(nitems, 0, kMaxMenuItems);
  if (item_length <= 0) count = 0;
  for (int i = 0; i < count; ++i) {
    char* item = items + static_cast<long>(i) * item_length;
    int n = trimmed_length(item, item_length);
    item[std::min(n, item_length - 1)] = '\0';
  }
  menuinit(count, item_length, items);
}

void tolpixoverlayhide() {
  overlayhide();
}

void tolpixoverlayinit(const int32_t& ix, const int32_t& iy, const int32_t& nx, const int32_t& ny,
                       const int32_t* raster, int32_t& ierr) {
  bool shown = raster != nullptr && overlayinit(ix, mirror_y(iy), nx, ny, raster);
  if (allocation_failed() || !shown) ierr = 1;
}

void tolpixreadmenupointer(int32_t& ix, int32_t& iy) {
  int x = 0, y = 0;
  readpointer(x, y);
  ix = x;
  iy = mirror_y(y);
}

void tolpixreadpointer(int32_t& ix, int32_t& iy) {
  int32_t job = kJobNone;
  do {
    tolpixwait(job);
  } while (job == kJobNone);
  if (job == kJobPointer) {
    tolpixreadmenupointer(ix, iy);
  } else {
    std::printf(" error in tolpixwait, job = %d\n", job);
    std::fflush(stdout);
  }
}

void tolpixsetcolourtable(const int32_t& istart, const int32_t& iend, const int32_t* red,
                          const int32_t* green, const int32_t* blue) {
  int start = std::max<int32_t>(istart, 0);
  int entries = std::max<long>(static_cast<long>(iend) - istart + 1, 128);
  for (int i = 0; i < 256; ++i) {
    ops.ired[i] = (red[i] & 0xffff) / 257;
    ops.igreen[i] = (green[i] & 0xffff) / 257;
    ops.iblue[i] = (blue[i] & 0xffff) / 257;
  }
  setcolourtable(start, entries, red, green, blue);
}

void tolpixquit() {
  std::exit(0);
}

void tolpixsliderhide() {
  sliderhide();
}

void tolpixsliderinit(const int32_t& nsliders, const float& pos1, const float& pos2) {
  sliderinit(nsliders, pos1, pos2);
}

void tolpixsliderread(float& value) {
  value = readslider();
}

void tolpixzoomhide() {
  zoomhide();
}
void tolpixzoominit() {
  zoominit();
}

// ---- Wait and callback ----

// A code posted while the library was handling events on its own (while it
// waited for a box to appear, say) is delivered at once: waiting for a further
// event first would leave the user's Return or click unanswered until the next
// unrelated event arrived.
void tolpixwait(int32_t& job) {
  if (locjob == kJobNone) eventdispatch();
  job = locjob;
  locjob = kJobNone;
}

void tolpixcallback(const int32_t& value) {
  locjob = value;
}

void tolpixerror(int32_t& job) {
  job = locjob;
  locjob = kJobNone;
}
