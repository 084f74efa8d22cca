// The display operations: thin adapters that turn the application's conventions
// (blank-padded texts with lengths, 1-based items, mirrored y, error flags) into
// those of the X11 routines behind them, and the wait/callback protocol through
// the job code register.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/pswriter.h"
#include "display/tolpix.h"
#include "display/xstate.h"
#include "textio/stop.h"
#include "textio/strings.h"

OperationState ops;
int32_t locjob;

namespace {

constexpr int kWorkLineLength = 512;  // a prompt or label line is cut here
constexpr int kTextBuffer = 4096;     // all lines of a prompt or label together

// A y value far outside any picture saturates rather than wrapping round.
int mirror_y(int y) {
  if (ops.change_origin != 1) return y;
  return static_cast<int>(
      std::clamp<long long>(static_cast<long long>(ops.map_height) - y, INT32_MIN, INT32_MAX));
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

// Copies n segments into the work arrays, mirroring y.
void copy_segments(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                   int n, int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) {
  for (int i = 0; i < n; ++i) {
    x1[i] = ix1[i];
    y1[i] = mirror_y(iy1[i]);
    x2[i] = ix2[i];
    y2[i] = mirror_y(iy2[i]);
  }
}

// Work arrays of the segment operations.
int32_t work_x1[kMaxLines], work_y1[kMaxLines], work_x2[kMaxLines], work_y2[kMaxLines];

bool too_many_lines(int n) {
  if (n <= kMaxLines) return false;
  print_line("Too many lines for program");
  return true;
}

// Hands n items (given as parallel arrays, those marked `mirrored` holding y
// values) to a routine in runs that fit the work arrays, until all are done or
// the routine reports its list full. The routine sorts box corners itself.
template <size_t K, class Routine>
void in_runs(const std::array<const int32_t*, K>& in, const std::array<bool, K>& mirrored, int n,
             Routine routine) {
  int32_t* work[4] = {work_x1, work_y1, work_x2, work_y2};
  for (const int32_t* column : in)
    if (column == nullptr) return;
  for (int done = 0; done < n; done += kMaxLines) {
    const int m = std::min(n - done, kMaxLines);
    for (size_t k = 0; k < K; ++k)
      for (int i = 0; i < m; ++i)
        work[k][i] = mirrored[k] ? mirror_y(in[k][done + i]) : in[k][done + i];
    if (!routine(work, m)) return;
  }
}

}  // namespace

void tolpixlib() {}

void tolpixchangecursor(int32_t& icursor) {
  if (icursor > 8) icursor = 8;
  int shape = icursor;
  changecursor(shape);
  icursor = shape;
}

void tolpixchangefont(int32_t& ifont, int32_t& ierr) {
  ierr = 0;
  if (ifont < 1 || ifont > ops.nfonts) {
    ierr = 1;
    return;
  }
  int k = ifont;
  changefont(k);
  if (k < 0) ierr = 1;
}

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
  int shape = 0;
  changecursor(shape);
  clearimage();
}

void tolpixcolourbarinit() {
  colourbarinit();
}
void tolpixcolourbarhide() {
  colourbarhide();
}

// The picture is shown with the new pan at once, so that it, the pointer readings
// and new overlay items agree.
void tolpixsetpan(const int32_t& ipx, const int32_t& ipy) {
  setpan(ipx, ipy);
}

void tolpixdelay(const int32_t& microseconds) {
  sleepdelay(microseconds);
}

void tolpixdrawbox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2, const int32_t& iy2) {
  tolpixdrawboxes(&ix1, &iy1, &ix2, &iy2, 1);
}

void tolpixdrawcircle(const int32_t& ix, const int32_t& iy, const int32_t& irad) {
  tolpixdrawcircles(&ix, &iy, &irad, 1);
}

void tolpixdrawelipse(const int32_t& ix, const int32_t& iy, const int32_t& ia, const int32_t& ib,
                      const float& angle) {
  drawelipse(ix, mirror_y(iy), static_cast<float>(ia), static_cast<float>(ib), angle);
}

void tolpixdrawlines(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n) {
  if (too_many_lines(n) || n < 1) return;
  copy_segments(ix1, iy1, ix2, iy2, n, work_x1, work_y1, work_x2, work_y2);
  drawlines(work_x1, work_y1, work_x2, work_y2, n);
}

void tolpixdrawpoint(const int32_t& ix, const int32_t& iy) {
  tolpixdrawpoints(&ix, &iy, 1);
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
    print_line(" Picture of " + std::to_string(nx) + " x " + std::to_string(ny) +
               " pixels (number " + std::to_string(imap) + ") cannot be shown: at most " +
               std::to_string(kMaxPictureSide) + " x " + std::to_string(kMaxPictureSide));
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

void tolpixdrawtext(const int32_t& ix, const int32_t& iy, const char* text, int32_t length) {
  drawtext(ix, mirror_y(iy), text, text == nullptr ? 0 : trimmed_length(text, length));
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
  } while (job == kJobNone || job == kJobPointer || job == kJobTimer);
  if (job == kJobReturn) {
    char typed[kStringLength];
    ioboxreadstring(typed, sizeof typed);
    int m = std::min<int>(static_cast<int>(std::strlen(typed)), reply_length);
    std::memcpy(reply, typed, m);
    std::memset(reply + m, ' ', reply_length - m);
  } else {
    print_line(" Error in tolpixwait, job = ");
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

void tolpixpointertrackon(const int32_t& isx, const int32_t& isy) {
  pointertrackon(isx, isy, ops.change_origin == 1 ? ops.map_height : 0);
}

void tolpixpointertrackoff() {
  pointertrackoff();
}

// Writes part of the picture (area 0) or of the overlay (area 1) to "Tolpix.ps",
// grey or through the colour table, on a page laid out for the region's shape.
// A failed read-back check of the main picture does not concern the overlay.
void tolpixpostscriptdump(const int32_t&, const int32_t& icolour, const int32_t& ix1,
                          const int32_t& ix2, const int32_t& iy1, const int32_t& iy2, float& width,
                          const int32_t& iarea, int32_t& ierr) {
  if (iarea == 0 && ops.icflag != 0) {
    ierr = 1;
    return;
  }
  // The region, and the size of the stored picture it is read from.
  long x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  int area_width = 0, area_height = 0;
  if (iarea == 0) {
    if (ds.image_flag == 0) {
      ierr = 1;
      return;
    }
    area_width = ds.image_width;
    area_height = ds.image_height;
    if (ix2 == 0 && iy2 == 0) {
      x2 = ops.map_width - 1;
      y2 = ops.map_height - 1;
    } else {
      // Strictly inside the outline of a box drawn on the picture. The stored
      // picture starts at image position 0, so box coordinates need no offset.
      x1 = ix1 + 2L;
      x2 = ix2 - 2L;
      if (ops.change_origin == 1) {
        y1 = static_cast<long>(ops.map_height) - iy2 + 1;
        y2 = static_cast<long>(ops.map_height) - iy1 - 1;
      } else {
        y1 = iy1 + 1L;
        y2 = iy2 - 1L;
      }
    }
  } else {
    if (ds.overlay_flag == 0) {
      ierr = 1;
      return;
    }
    area_width = ds.overlay_width;
    area_height = ds.overlay_height;
    x1 = ix1;
    x2 = ix2;
    y1 = iy1;
    y2 = iy2;
  }
  // Only what the stored picture holds can be read back.
  x1 = std::max(x1, 0L);
  y1 = std::max(y1, 0L);
  x2 = std::min<long>(x2, area_width - 1);
  y2 = std::min<long>(y2, area_height - 1);
  if (x2 < x1 || y2 < y1) {
    print_line(" Nothing to print: the region holds no pixels");
    ierr = 1;
    return;
  }
  const int nx = static_cast<int>(x2 - x1 + 1), ny = static_cast<int>(y2 - y1 + 1);
  const PageLayout page = page_layout(nx, ny, width);
  width = page.width;

  std::FILE* file = std::fopen("Tolpix.ps", "w");
  if (file == nullptr) {
    print_line(" Cannot open Tolpix.ps for writing");
    ierr = 1;
    return;
  }
  pscriptinit(file, 0, page.orientation, page.xmargin, page.ymargin, page.width, page.height, 0, nx,
              ny);
  const bool colour = icolour != 0;
  if (colour) pscriptcolourtable(ops.ired, ops.igreen, ops.iblue);
  std::vector<unsigned char> row(static_cast<size_t>(nx));
  for (long y = y1; y <= y2; ++y) {
    if (!readimage(static_cast<int>(x1), static_cast<int>(y), iarea == 0 ? 0 : 1, row.data(), nx))
      std::fill(row.begin(), row.end(), 0);
    if (colour) {
      pscriptcolourimage(row.data());
    } else {
      // Picture levels 0-127 print as 0-254; overlay graphics and the background
      // print white (the paper).
      for (unsigned char& p : row)
        p = p < 128 && p != ds.colour_background ? static_cast<unsigned char>(2 * p) : 255;
      pscriptgreyimage(row.data());
    }
  }
  pscriptendimage();
  pscriptend();
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
  } while (job == kJobNone || job == kJobTimer);
  if (job == kJobPointer) {
    tolpixreadmenupointer(ix, iy);
  } else {
    print_line(" error in tolpixwait, job = " + std::to_string(job));
  }
}

void tolpixrubberenable(const int32_t& itype) {
  rubberenable(itype);
}

void tolpixrubberread(int32_t& ix1, int32_t& iy1, int32_t& ix2, int32_t& iy2) {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  rubberread(x1, y1, x2, y2);
  ix1 = x1;
  iy1 = mirror_y(y1);
  ix2 = x2;
  iy2 = mirror_y(y2);
}

void tolpixrubberremoveline(const int32_t&, const int32_t&, const int32_t&, const int32_t&) {
  rubberremoveline();
}

// Colour dumps print every cell in the colour it shows on the screen: the table's
// cells, the overlay green, the reserved colours.
void tolpixsetcolourtable(const int32_t& istart, const int32_t& iend, const int32_t* red,
                          const int32_t* green, const int32_t* blue) {
  int start = std::max<int32_t>(istart, 0);
  int entries = std::max<long>(static_cast<long>(iend) - istart + 1, 128);
  setcolourtable(start, entries, red, green, blue);
  for (int i = 0; i < 256; ++i) {
    const XColor& cell = ds.colours[i];
    const bool shown = i < ds.colourmap_size && cell.flags != 0;
    ops.ired[i] = (shown ? cell.red : red[i] & 0xffff) / 257;
    ops.igreen[i] = (shown ? cell.green : green[i] & 0xffff) / 257;
    ops.iblue[i] = (shown ? cell.blue : blue[i] & 0xffff) / 257;
  }
}

void tolpixquit() {
  fatal_stop();
}

void tolpixremovebox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                     const int32_t& iy2) {
  tolpixremoveboxes(&ix1, &iy1, &ix2, &iy2, 1);
}

void tolpixremovecircle(const int32_t& ix, const int32_t& iy, const int32_t& irad) {
  tolpixremovecircles(&ix, &iy, &irad, 1);
}

// A count above the work arrays is refused like one for drawing, rather than
// written past them.
void tolpixremovelines(int32_t* ix1, int32_t* iy1, int32_t* ix2, int32_t* iy2, int32_t& n) {
  if (too_many_lines(n) || n < 0) return;
  int count = n;
  if (count > 0) copy_segments(ix1, iy1, ix2, iy2, count, work_x1, work_y1, work_x2, work_y2);
  removelines(work_x1, work_y1, work_x2, work_y2, count);
  if (n == 0 && count == 1) {
    // The most recent segment comes back in the caller's first elements.
    copy_segments(work_x1, work_y1, work_x2, work_y2, 1, ix1, iy1, ix2, iy2);
    n = 1;
  }
}

void tolpixremovepoint(const int32_t& ix, const int32_t& iy) {
  tolpixremovepoints(&ix, &iy, 1);
}

void tolpixremovetext(const int32_t& ix, const int32_t& iy, const char*, int32_t) {
  removetext(ix, mirror_y(iy));
}

void tolpixremovevectors() {
  removevectors();
}

void tolpixsetdash() {
  setdash();
}

void tolpixsetsolid() {
  setsolid();
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

// ---- Many items at once ----

void tolpixdrawpoints(const int32_t* ix, const int32_t* iy, const int32_t& n) {
  in_runs<2>({ix, iy}, {false, true}, n,
             [](int32_t** w, int m) { return drawpoints(w[0], w[1], m); });
}

void tolpixdrawcircles(const int32_t* ix, const int32_t* iy, const int32_t* irad,
                       const int32_t& n) {
  in_runs<3>({ix, iy, irad}, {false, true, false}, n,
             [](int32_t** w, int m) { return drawcircles(w[0], w[1], w[2], m); });
}

void tolpixdrawboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n) {
  in_runs<4>({ix1, iy1, ix2, iy2}, {false, true, false, true}, n,
             [](int32_t** w, int m) { return drawboxes(w[0], w[1], w[2], w[3], m); });
}

void tolpixremovepoints(const int32_t* ix, const int32_t* iy, const int32_t& n) {
  in_runs<2>({ix, iy}, {false, true}, n, [](int32_t** w, int m) {
    removepoints(w[0], w[1], m);
    return true;
  });
}

void tolpixremovecircles(const int32_t* ix, const int32_t* iy, const int32_t* irad,
                         const int32_t& n) {
  in_runs<3>({ix, iy, irad}, {false, true, false}, n, [](int32_t** w, int m) {
    removecircles(w[0], w[1], w[2], m);
    return true;
  });
}

void tolpixremoveboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2,
                       const int32_t* iy2, const int32_t& n) {
  in_runs<4>({ix1, iy1, ix2, iy2}, {false, true, false, true}, n, [](int32_t** w, int m) {
    removeboxes(w[0], w[1], w[2], w[3], m);
    return true;
  });
}

void tolpixoverlayposition(const int32_t& ix, const int32_t& iy, int32_t& jx, int32_t& jy,
                           int32_t& inside) {
  int column = -1, row = -1;
  inside = overlayposition(ix, mirror_y(iy), column, row) ? 1 : 0;
  jx = column;
  jy = row;
}

void tolpixtimer(const int32_t& microseconds) {
  timer(microseconds);
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
