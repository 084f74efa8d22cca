// "Splinefit image": the user boxes a curved object, marks its centre line from the bottom of
// the box to the top, and the tool fits a smooth spline x = f(y) through the marks (with two
// weightless points at the bottom and top rows of the box, so that the knots span it), draws
// it, straightens the box along it by shear or by bending, shows the result beside the box
// and writes it to a new map.
//
// The marked points live in the spline record: point p (from 1) has XD = its map row and
// YD = its map column, both relative to the box's first row and column, and weight 1; entry 1
// is the bottom start point and the entry after the last mark the top end point, both of
// weight 0. Their screen positions are kept in the vertex arrays of the box record.
#include "tools/spline/splinefit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <string>

#include "display/tolpix.h"
#include "driver/coords.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "textio/format.h"
#include "textio/strings.h"
#include "tools/area/box.h"
#include "tools/spline/spline_routines.h"
#include "tools/spline/straighten.h"

namespace {

constexpr int kMarkRadius = 2;
constexpr int kMaxMarks = kSplinePoints - 2;  // entry 1 and the end point take the others
constexpr int64_t kMaxBoxScreenPixels = kMaxOverlayPixels;
constexpr int kStreamOut = 4;
constexpr int32_t kFarColumn = 1000000;

// Work space of the knot placement, for the most points the arrays hold.
double fit_work[vc03ad_work_size(kSplinePoints, kSplinePoints)];
// The centre line at every box row, and its segments on the screen.
float centre[kSplineRasterHeight], slope_angle[kSplineRasterHeight];
int32_t seg_x1[kSplineRasterHeight], seg_y1[kSplineRasterHeight];
int32_t seg_x2[kSplineRasterHeight], seg_y2[kSplineRasterHeight];
// The straightened box as colour indices for the overlay. The image-area raster of the map
// record keeps the picture on show, which "Read another map" draws again.
int32_t overlay[kMaxOverlayPixels];

// The box on the screen (x1, y1 bottom left, x2, y2 top right) and on the map.
struct Area {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int nxs = 0, nys = 0;  // screen pixels
  StraightenBox map;     // first column and row, size, section, background
};

// The marked points and the running sum of their column offsets.
struct Marks {
  int n = 1;  // entries in use, entry 1 being the start point
  double sum = 0.0;
};

double& XD(int i) {
  return spline.xd[i - 1];
}
double& YD(int i) {
  return spline.yd[i - 1];
}
double& WD(int i) {
  return spline.wd[i - 1];
}

void draw_area_box(const Area& a) {
  tolpixdrawbox(a.x1, a.y1, a.x2, a.y2);
}

void draw_number(int x, int y, int number, int width, bool draw) {
  const std::string text = fmt_i(number, width);
  if (draw)
    tolpixdrawtext(x, y, text.data(), width);
  else
    tolpixremovetext(x, y, text.data(), width);
}

// Screen position of point p from its offsets in the box.
void point_on_screen(const Area& a, int p, int32_t& sx, int32_t& sy) {
  int x = 0, y = 0;
  convert_to_screen(a.map.x0 + static_cast<int>(std::lround(YD(p))),
                    a.map.y0 + static_cast<int>(std::lround(XD(p))), x, y);
  sx = x, sy = y;
}

// ---- Box ----

// Asks for the box until one is accepted (true) or the user leaves (false).
bool specify_box(Area& a) {
  std::string note;
  while (true) {
    tolpixmenuhide();
    tolpixrubberenable(2);
    reset_message_lines();
    if (!note.empty()) push_message_line(note);
    note.clear();
    push_message_line("Ctrl/Left button down to start at bottom left corner");
    push_message_line("Drag box to top right corner");
    push_message_line("Release mouse button to record final position");
    show_label(gen.message_lines);
    const int job =
        menu_choice({"Re-start box specification", "Return main menu"}, {kJobRubberShape});
    if (job == 1) continue;
    if (job == 2) {
      tolpixmenuhide();
      tolpixlabelhide();
      return false;
    }
    int32_t sx1 = 0, sy1 = 0, sx2 = 0, sy2 = 0;
    tolpixrubberread(sx1, sy1, sx2, sy2);
    // Dragged in any direction, the box is the same.
    a.x1 = std::min(sx1, sx2), a.x2 = std::max(sx1, sx2);
    a.y1 = std::min(sy1, sy2), a.y2 = std::max(sy1, sy2);
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    convert_to_image(a.x1, a.y1, X0, Y0);
    convert_to_image(a.x2, a.y2, X1, Y1);
    a.nxs = a.x2 - a.x1 + 1, a.nys = a.y2 - a.y1 + 1;
    a.map.x0 = X0, a.map.y0 = Y0, a.map.nx = X1 - X0 + 1, a.map.ny = Y1 - Y0 + 1;
    a.map.section = gen.first_z;
    a.map.background = gen.dmean;
    box.xmin = a.x1, box.xmax = a.x2, box.ymin = a.y1, box.ymax = a.y2;
    box.nbx = a.nxs, box.nby = a.nys;
    if (int64_t{a.nxs} * a.nys > kMaxBoxScreenPixels || X1 - X0 > kSplineRasterWidth - 1 ||
        Y1 - Y0 > kSplineRasterHeight - 1) {
      Answer key;
      ask_below({"Spline area too large, cannot proceed. Type any key to return main menu"}, key);
      tolpixmenuhide();
      tolpixlabelhide();
      return false;
    }
    // Rows and columns outside the map on display cannot be read.
    if (X0 < gen.first_x || X1 > gen.last_x || Y0 < gen.first_y || Y1 > gen.last_y) {
      note = "Box out of bounds, please re-specify";
      continue;
    }
    show_label(gen.message_lines);
    const int answer =
        menu_choice({"Accept box", "Re-draw box", "Return main menu"}, {kJobPointer});
    if (answer == 1) return true;
    if (answer == 2) continue;
    tolpixmenuhide();
    tolpixlabelhide();
    tolpixremovevectors();
    return false;
  }
}

// ---- Marking ----

void draw_mark(int p, int width) {
  tolpixdrawcircle(box.x[p], box.y[p], kMarkRadius);
  draw_number(box.x[p], box.y[p], p - 1, width, true);
}

void start_marking(const Area& a, Marks& k) {
  tolpixremovevectors();
  draw_area_box(a);
  k.n = 1;
  k.sum = 0.0;
}

// A pointer mark for point k.n + 1 at screen (sx, sy): true when it was taken, false when
// it is not above the previous point or lies outside the box and must be marked again.
bool take_mark(const Area& a, Marks& k, int32_t sx, int32_t sy, std::string& refusal) {
  const int p = k.n + 1;
  if (sy <= box.y[p - 1]) {
    refusal = "Points must go from bottom to top, repeat this one";
    return false;
  }
  int X = 0, Y = 0;
  convert_to_image(sx, sy, X, Y);
  if (X < a.map.x0 || X >= a.map.x0 + a.map.nx || Y < a.map.y0 || Y >= a.map.y0 + a.map.ny) {
    refusal = "Point outside the box, repeat this one";
    return false;
  }
  k.n = p;
  box.x[p] = sx, box.y[p] = sy;
  YD(p) = X - a.map.x0;
  XD(p) = Y - a.map.y0;
  WD(p) = 1.0;
  k.sum += YD(p);
  draw_mark(p, 2);
  return true;
}

// Marks from the bottom of the box to the top; true when at least four were finished.
bool mark_points(const Area& a, Marks& k) {
  tolpixmenuhide();
  tolpixlabelhide();
  start_marking(a, k);
  for (int i = 1; i <= kSplinePoints; ++i) {
    XD(i) = YD(i) = WD(i) = 0.0;
    box.x[i] = box.y[i] = 0;
  }
  while (true) {
    reset_message_lines();
    push_message_line("Mark cursor position successively at each spline point");
    push_message_line("Move from bottom to top");
    show_label(gen.message_lines);
    reset_message_lines();
    show_menu({"Delete point just drawn", "Re-start spline specification", "Finished spline",
               "Return main menu"});
    bool instructions = false;
    while (!instructions) {
      const int job = wait_job(kJobPointer);
      if (job == kJobPointer) {
        if (k.n + 1 > kMaxMarks + 1) {
          show_label_below({"Too many spline points for program, start again"});
          start_marking(a, k);
          continue;
        }
        int32_t sx = 0, sy = 0;
        tolpixreadmenupointer(sx, sy);
        std::string refusal;
        if (take_mark(a, k, sx, sy, refusal)) continue;
        // The point is taken again from the next mark, as often as needed.
        tolpixmenuhide();
        tolpixlabelhide();
        do {
          show_label_below({refusal});
          tolpixreadpointer(sx, sy);
        } while (!take_mark(a, k, sx, sy, refusal));
        instructions = true;
      } else if (job == 1) {
        if (k.n > 1) {
          tolpixremovecircle(box.x[k.n], box.y[k.n], kMarkRadius);
          draw_number(box.x[k.n], box.y[k.n], k.n - 1, 2, false);
          k.sum -= YD(k.n);
          --k.n;
        }
      } else if (job == 2) {
        start_marking(a, k);
      } else if (job == 3) {
        tolpixmenuhide();
        tolpixlabelhide();
        if (k.n >= 5) return true;
        show_label_below({"Please input some more points - must have at least 4"});
        // The points marked so far stay, on the screen as in the arrays.
        tolpixremovevectors();
        draw_area_box(a);
        for (int p = 2; p <= k.n; ++p) draw_mark(p, 2);
        tolpixmenudisplay();
      } else if (job == 4) {
        tolpixmenuhide();
        tolpixlabelhide();
        gen.status = 1;
        return false;
      }
    }
  }
}

// ---- Fit ----

// Fits the spline through the points and draws its centre line; returns the label lines in
// use afterwards.
int fit_centre_line(const Area& a, const Marks& k) {
  int knots = k.n;
  vc03ad(k.n, knots, spline.xd, spline.yd, spline.wd, spline.rd, spline.xn, spline.fn, spline.gn,
         spline.dn, spline.theta, 0, fit_work);
  reset_message_lines();
  if (knots < 0) {
    // The knots ran out before the residuals looked like noise: the last fit stands.
    knots = -knots;
    push_message_line("Knot limit " + std::to_string(knots) + " reached, the last fit is used");
  }
  const int ny = a.map.ny;
  centre_line(knots, spline.xn, spline.fn, spline.gn, ny, centre, slope_angle);
  int count = 0;
  int32_t px = 0, py = 0;
  for (int j = 0; j < ny; ++j) {
    int sx = 0, sy = 0;
    convert_to_screen(static_cast<int>(std::lround(centre[j])) + a.map.x0, j + a.map.y0, sx, sy);
    if (j > 0) {
      seg_x1[count] = px, seg_y1[count] = py, seg_x2[count] = sx, seg_y2[count] = sy;
      ++count;
    }
    px = sx, py = sy;
  }
  if (count > 0) tolpixdrawlines(seg_x1, seg_y1, seg_x2, seg_y2, count);
  return gen.message_lines;
}

// Lets the user move points sideways by typing their new column offsets; returns the new
// mean offset.
float correct_points(const Area& a, Marks& k, float mean) {
  const int users = k.n - 2;
  tolpixmenuhide();
  reset_message_lines();
  // The label holds 60 lines: the title, the points that fit and the question.
  const int listed = std::min(users, kMessageLines - 2);
  auto point_line = [](int p) {
    return "   " + fmt_i(p, 4) + " x=" + fmt_f(YD(p + 1), 7, 2) + " y=" + fmt_f(XD(p + 1), 7, 2);
  };
  for (int p = 1; p <= listed; ++p) set_message_line(p + 1, point_line(p));
  reset_message_lines(listed + 1);
  k.sum = double{mean} * users;
  push_message_line("Type point number and new x coordinate, <cr> to finish");
  while (true) {
    Answer answer;
    ask(gen.message_lines, answer);
    if (answer.is_default()) break;
    Ints6 v{};
    extract_integers(2, answer, v);
    // A point that does not exist is passed over; columns far beyond any box are kept
    // within reach of the screen coordinates.
    const int p = v[0];
    if (p < 1 || p > users) continue;
    v[1] = std::clamp(v[1], -kFarColumn, kFarColumn);
    tolpixremovecircle(box.x[p + 1], box.y[p + 1], kMarkRadius);
    draw_number(box.x[p + 1], box.y[p + 1], p, 3, false);
    k.sum += v[1] - YD(p + 1);
    YD(p + 1) = v[1];
    point_on_screen(a, p + 1, box.x[p + 1], box.y[p + 1]);
    tolpixdrawcircle(box.x[p + 1], box.y[p + 1], kMarkRadius);
    draw_number(box.x[p + 1], box.y[p + 1], p, 3, true);
    if (p <= listed) set_message_line(p + 1, point_line(p));
  }
  tolpixremovevectors();
  draw_area_box(a);
  for (int p = 2; p <= k.n - 1; ++p) {
    tolpixdrawcircle(box.x[p], box.y[p], kMarkRadius);
    draw_number(box.x[p], box.y[p], p - 1, 3, true);
  }
  reset_message_lines();
  return static_cast<float>(k.sum / users);
}

// ---- Display and output ----

void show_straightened(const Area& a, int fit_lines) {
  const int c = std::max(gen.compression, 1);
  for (int j = 1; j <= a.nys; ++j) {
    // Screen pixel (i, j) of the box shows the map pixel at its lower left corner.
    const float* row = spline.raster + int64_t{(j - 1) * c} * kSplineRasterWidth;
    int32_t* out = overlay + int64_t{a.nys - j} * a.nxs;
    for (int i = 1; i <= a.nxs; ++i) {
      float g = (row[(i - 1) * c] - gen.amin) * gen.scale;
      g = g >= 1.0f ? std::min(g, kTopColourLevel) : 1.0f;
      out[i - 1] = static_cast<int32_t>(std::lround(g));
    }
  }
  gen.status = 0;
  tolpixoverlayinit(a.nxs / 2 + a.x2 + 10, a.nys / 2 + a.y1 - 5, a.nxs, a.nys, overlay, gen.status);
  tolpixlabelhide();
  reset_message_lines(fit_lines);
  if (gen.status == 1) add_label_line("Warning : X event error");
}

// A value as the map file holds it in the given mode.
float as_stored(float v, int mode) {
  if (mode == 0) return std::clamp(std::round(v), 0.0f, 255.0f);
  if (mode == 1) return std::clamp(std::round(v), -32768.0f, 32767.0f);
  return v;
}

void write_output(const Area& a) {
  tolpixmenuhide();
  tolpixlabelhide();
  std::memset(box.output_file, ' ', sizeof box.output_file);
  ask_name_below({"Output file name ..."}, box.output_file, kFileNameLength);
  gen.must_exist = 0;
  check_file(box.output_file, kFileNameLength);
  const std::string name(field_text(box.output_file));
  // No name, no file: the map-file layer would stop the program on an empty name.
  if (name.empty()) return;
  imopen(kStreamOut, name, "new");
  const int nxyz[3] = {a.map.nx, a.map.ny, 1};
  icrhdr(kStreamOut, nxyz, nxyz, gen.map_mode, nullptr, 0);
  itrlab(kStreamOut, 1);
  char date[8];  // the calendar text cut to weekday and month (C's getdate would take a char*)
  getdate(std::span<char>(date));
  char title[kTitleLength];
  set_field(title, "Tolsvik splinefit: straightened" + std::string(date, sizeof date));
  iwrhdr(kStreamOut, title, 1, 1.0e8f, -1.0e8f, 0.0f);
  float low = 1.0e8f, high = -1.0e8f;
  double sum = 0.0;
  for (int j = 0; j < a.map.ny; ++j) {
    const float* row = spline.raster + int64_t{j} * kSplineRasterWidth;
    for (int i = 0; i < a.map.nx; ++i) {
      const float v = as_stored(row[i], gen.map_mode);
      box.line[i] = v;
      low = std::min(low, v), high = std::max(high, v);
      sum += v;
    }
    iwrlin(kStreamOut, box.line);
  }
  const double mean = sum / (static_cast<double>(a.map.nx) * a.map.ny);
  iwrhdr(kStreamOut, title, -1, low, high, static_cast<float>(mean));
  imclose(kStreamOut);
  tolpixlabelhide();
}

// The output menu after a straightening; true to go back to the straightening menu.
bool output_menu(const Area& a) {
  while (true) {
    show_label(gen.message_lines);
    const int job =
        menu_choice({"Create image output file", "Further image calculation", "Return main menu"});
    if (job == 1) {
      write_output(a);
      continue;
    }
    tolpixmenuhide();
    tolpixlabelhide();
    if (job == 2) return true;
    tolpixoverlayhide();
    tolpixremovevectors();
    return false;
  }
}

}  // namespace

void splinefit() {
  reset_message_lines();
  Area a;
  if (!specify_box(a)) return;
  Marks k;
  if (!mark_points(a, k)) return;

  // Weightless start and end points at the bottom and top rows of the box.
  k.n += 1;
  XD(k.n) = a.map.ny;
  YD(k.n) = WD(k.n) = 0.0;
  box.nvert = k.n;
  float mean = static_cast<float>(k.sum / (k.n - 2));
  while (true) {
    const int fit_lines = fit_centre_line(a, k);
    bool refit = false;
    while (!refit) {
      show_label(gen.message_lines);
      const int job =
          menu_choice({"Shear - linear interpolation each line",
                       "Normal mode of bending (bi-linear)", "Refit spline", "Return main menu"});
      if (job == 3) {
        mean = correct_points(a, k, mean);
        refit = true;
        continue;
      }
      tolpixmenuhide();
      tolpixlabelhide();
      if (job == 4) return;
      show_label_below({"Wait for calculation and display..."});
      const bool done = job == 1 ? straighten_shear(a.map, centre, mean)
                                 : straighten_bilinear(a.map, centre, slope_angle, mean);
      if (!done) std::fill_n(spline.raster, kSplineRasterSize, a.map.background);
      show_straightened(a, fit_lines);
      if (!done) add_label_line("Warning : map file ended before the display was complete");
      if (!output_menu(a)) return;
    }
  }
}
