#include "tools/transform/lattice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "driver/answers.h"
#include "driver/coords.h"
#include "driver/datafile.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/format.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "textio/textfile.h"
#include "tools/area/box.h"
#include "tools/transform/editor.h"
#include "tools/transform/lattice_fit.h"
#include "tools/transform/spot_files.h"
#include "tools/transform/spots.h"

namespace {

constexpr int kCrossSize = 6;      // crosses on marked spots
constexpr int kMaxOrders = 400;    // lattice points are drawn for h, k = -400 .. 400
constexpr int kListedSpots = 57;   // spots listed in the label below the title
constexpr int kOrderOffset = 400;  // index of h = 0 (k = 0) in the lattice point tables
constexpr const char* kNoVectors = "1.0,0.0,0.0,0.1";

enum class Step { Origin, InputMenu, EditNew, EditKept, Refine, DisplayMenu, Done };
enum class Symbol { Boxes, Circles, VariableBoxes };

// The state of one call of the tool.
struct Session {
  bool recompute = true;  // the lattice point table is computed before the next drawing
  float start_x0 = 0, start_y0 = 0;
  int size = 0, size_max = 0;  // symbol sizes of the last drawing
  float theta = 0;             // tilt axis: angle (radians) and centre (map coordinates)
  int centre_x = 0, centre_y = 0;
  double dmax = 0;
};
Session session;

// Spots whose cross is on the screen, so that a redraw never doubles one.
bool cross_on[kMaxSpots];

bool diffraction() {
  return datafile.project_type == 2;
}

// Real to integer, toward zero or to the nearest, kept within the 32-bit range.
int truncated(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -2.0e9, 2.0e9));
}
int nearest(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::lround(std::clamp(v, -2.0e9, 2.0e9)));
}

std::string text_of(const char* field, int length) {
  return std::string(field_text(std::span<const char>(field, length)));
}

std::string no_blanks(std::string s) {
  std::erase(s, ' ');
  return s;
}

SpotsView spots() {
  return {latref.spot_count, latref.spot_h, latref.spot_k, latref.spot_x, latref.spot_y};
}

Lattice current_lattice() {
  return {latref.x0, latref.y0, latref.ax, latref.ay, latref.bx, latref.by};
}

int table_index(int h, int k) {
  return (k + kOrderOffset) * kLatticeSide + (h + kOrderOffset);
}

void spot_screen(int i, int& sx, int& sy) {
  convert_to_screen(nearest(latref.spot_x[i]), nearest(latref.spot_y[i]), sx, sy);
}

void hide_spot_crosses() {
  for (int i = 0; i < latref.spot_count; ++i) {
    if (!cross_on[i]) continue;
    int sx = 0, sy = 0;
    spot_screen(i, sx, sy);
    remove_cross(sx, sy, kCrossSize);
    cross_on[i] = false;
  }
}

// The spots are dropped, and their crosses with them.
void forget_spots() {
  hide_spot_crosses();
  latref.spot_count = 0;
}

void remove_overlay() {
  tolpixremovevectors();
  std::fill(std::begin(cross_on), std::end(cross_on), false);
}

void leave() {
  tolpixmenuhide();
  tolpixlabelhide();
}

std::string spot_line(int i, int x, int y) {
  return "   Spot number=" + fmt_i(i + 1, 3) + " h=" + fmt_i(latref.spot_h[i], 3) +
         " k=" + fmt_i(latref.spot_k[i], 3) + " X=" + fmt_i(x, 6) + " Y=" + fmt_i(y, 6);
}

int first_spot_with(int h, int k) {
  for (int i = 0; i < latref.spot_count; ++i)
    if (latref.spot_h[i] == h && latref.spot_k[i] == k) return i;
  return -1;
}

// Asks for two integers (or reals) below the lines in use; what is not typed is 0.
Ints6 ask_integers(std::string_view prompt, int n = 2) {
  Answer a;
  ask_below({prompt}, a);
  Ints6 v{};
  extract_integers(n, a, v);
  return v;
}
Reals6 ask_reals(std::string_view prompt, int n = 2) {
  Answer a;
  ask_below({prompt}, a);
  Reals6 v{};
  extract_reals(n, a, v);
  return v;
}

// The order count: asked until it is at least 1 (a blank answer takes `preset` when that
// is 1 or more) and kept to 400.
int ask_orders(int preset) {
  const std::string prompt =
      preset > 0 ? " How many orders (default" + fmt_i(preset, 3) + ") ?" : " How many orders?";
  int m = 0;
  while (m < 1) {
    Answer a;
    ask_below({prompt}, a);
    m = 0;
    if (preset > 0 && a.text[0] == ' ') {
      m = preset;
    } else {
      Ints6 v{};
      extract_integers(1, a, v);
      m = v[0];
    }
  }
  if (m > kMaxOrders) {
    m = kMaxOrders;
    show_label_below({" Number of orders reset to" + fmt_i(kMaxOrders, 4)});
  }
  return m;
}

// Asks for the name of a new file with message lines 1..nlines on show and opens it: a
// name that exists is refused, one that cannot be created asked for again. A blank
// answer gives nothing when `may_skip`.
std::optional<TextWriter> new_file(int nlines, bool may_skip) {
  std::memset(latref.tool_file, ' ', kFileNameLength);
  ask_name(nlines, latref.tool_file, kFileNameLength);
  while (true) {
    if (may_skip && text_of(latref.tool_file, kFileNameLength).empty()) return std::nullopt;
    const int kept = gen.message_lines;
    reset_message_lines(nlines);
    gen.must_exist = 0;
    check_file(latref.tool_file, kFileNameLength);
    reset_message_lines(kept);
    TextWriter out(text_of(latref.tool_file, kFileNameLength));
    if (out.is_open()) return out;
    set_message_line(nlines + 1, "File cannot be created, please re-type :");
    ask_name(nlines + 1, latref.tool_file, kFileNameLength);
  }
}

// Closes a written file; a file that lost what was written is reported in the label.
void finish_file(TextWriter& out) {
  if (!out.close()) add_label_line("Error writing " + text_of(latref.tool_file, kFileNameLength));
}

std::string map_file_line() {
  return " " + text_of(latref.map_file, kFileNameLength);
}

// ---- 1. The origin ----

void ask_origin() {
  reset_message_lines();
  const bool with_default = diffraction() && datafile.diffraction_choice < 5;
  float dx = 0, dy = 0;
  std::string prompt = "Type in origin x0, y0, default (0,0)";
  if (with_default) {
    if (datafile.diffraction_choice == 3 || datafile.diffraction_choice == 4)
      dx = static_cast<float>(gen.nx / 2), dy = static_cast<float>(gen.ny / 2);
    else
      dx = datafile.param_1, dy = datafile.param_2;
    prompt = "Type in origin x0, y0, default (" +
             no_blanks(fmt_f(dx, 12, 2) + "," + fmt_f(dy, 12, 2)) + ")";
  }
  Answer a;
  ask_below({prompt}, a);
  float x0 = latref.x0, y0 = latref.y0;
  if (a.is_default()) {
    if (!diffraction())
      x0 = y0 = 0;
    else if (with_default)
      x0 = dx, y0 = dy;
  } else {
    Reals6 v{};
    extract_reals(2, a, v);
    x0 = v[0], y0 = v[1];
  }
  latref.x0 = session.start_x0 = datafile.param_1 = x0;
  latref.y0 = session.start_y0 = datafile.param_2 = y0;
  session.recompute = true;
  int sx = 0, sy = 0;
  convert_to_screen(truncated(x0), truncated(y0), sx, sy);
  print_line();
  print_line(" Drawing origin at " + fmt_f(x0, 12, 3) + fmt_f(y0, 12, 3) + fmt_i(sx, 10) +
             fmt_i(sy, 10));
  if (diffraction()) {
    tolpixdrawcircle(sx, sy, 5);
    tolpixdrawcircle(sx, sy, 15);
  } else {
    tolpixdrawcircle(sx, sy, 50);
  }
}

// ---- 2. The input menu ----

// "Input file of indices/spot positions": records h, k, x, y; positions may be reals (as
// "Save spots to a file" writes them), indices must be whole numbers.
Step read_spot_file() {
  reset_message_lines();
  std::memset(latref.tool_file, ' ', kFileNameLength);
  ask_name_below({"Type input file name"}, latref.tool_file, kFileNameLength);
  gen.must_exist = 1;
  check_file(latref.tool_file, kFileNameLength);
  const std::string name = text_of(latref.tool_file, kFileNameLength);
  TextReader in(name);
  if (!in.is_open()) {
    add_label_line("File " + name + " cannot be read");
    return Step::InputMenu;
  }
  forget_spots();
  int& n = latref.spot_count;
  bool too_many = false;
  std::string text;
  while (in.line(text)) {
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    float v[4] = {};
    const ListResult r = list_read_reals(text, 4, v);
    if (r.error || r.fields < 4 || v[0] != std::trunc(v[0]) || v[1] != std::trunc(v[1]) ||
        std::fabs(v[0]) > 1.0e6f || std::fabs(v[1]) > 1.0e6f)
      break;
    if (n == kMaxSpots) {
      too_many = true;
      break;
    }
    latref.spot_h[n] = static_cast<int32_t>(v[0]), latref.spot_k[n] = static_cast<int32_t>(v[1]);
    latref.spot_x[n] = v[2], latref.spot_y[n] = v[3];
    cross_on[n++] = false;
  }
  if (n == 0) {
    add_label_line("No spots found in file");
    return Step::InputMenu;
  }
  if (too_many) {
    Answer a;
    ask_below({"Too many spots, <cr> to continue with current number"}, a);
    return Step::Refine;
  }
  return Step::EditKept;
}

// "Read lattice vectors from Datafile" (first) and "Read second set of vectors ...".
bool read_vectors(bool first) {
  set_field(datafile.param_line_a, kNoVectors);
  set_field(datafile.param_line_b, kNoVectors);
  std::vector<std::string> lines;
  if (read_datafile_lines(datafile_line::kLatticeOrigin, lines)) {
    set_field(datafile.param_line_a, lines[datafile_line::kFirstLattice - 1]);
    set_field(datafile.param_line_b, lines[datafile_line::kSecondLattice - 1]);
    float origin[2] = {datafile.param_1, datafile.param_2};
    const ListResult r = list_read_reals(lines[datafile_line::kLatticeOrigin - 1], 2, origin);
    if (!r.error && r.fields == 2) datafile.param_1 = origin[0], datafile.param_2 = origin[1];
  }
  float v[4] = {};
  const ListResult r =
      list_read_reals(field_text(first ? datafile.param_line_a : datafile.param_line_b), 4, v);
  if (r.error || r.fields < 4) {
    reset_message_lines();
    add_label_line("Line " + std::to_string(first ? 32 : 35) +
                   " of DATAFILE.dat does not hold four numbers");
    return false;
  }
  latref.ax = v[0], latref.ay = v[1], latref.bx = v[2], latref.by = v[3];
  const bool many = diffraction() && (!first || datafile.diffraction_choice < 3);
  latref.order_count = ask_orders(many ? 25 : 12);
  session.recompute = true;
  return true;
}

Step input_menu() {
  while (true) {
    const int item = menu_choice(
        {"Input indices/spot positions manually", "Input file of indices/spot positions",
         "Input lattice vectors manually", "Read lattice vectors from Datafile",
         "Read second set of vectors from Datafile", "Return main menu"});
    switch (item) {
      case 1:
        return Step::EditNew;
      case 2:
        if (Step next = read_spot_file(); next != Step::InputMenu) return next;
        break;
      case 3: {
        forget_spots();
        const Reals6 a = ask_reals("Type in A vector x1, y1");
        const Reals6 b = ask_reals("Type in B vector x2, y2");
        latref.ax = a[0], latref.ay = a[1], latref.bx = b[0], latref.by = b[1];
        latref.order_count = ask_orders(0);
        session.recompute = true;
        return Step::DisplayMenu;
      }
      case 4:
      case 5:
        if (read_vectors(item == 4)) return Step::DisplayMenu;
        break;
      default:
        tolpixmenuhide();
        return Step::Done;
    }
  }
}

// ---- 3. The spot editor ----

// The label keeps the title and the newest spot lines: a line that would leave no room
// for the prompt below it pushes out the oldest listed one (line 4).
void list_new_spot(const std::string& line) {
  if (gen.message_lines + 2 <= kMessageLines) {
    push_message_line(line);
    return;
  }
  for (int i = 4; i < gen.message_lines; ++i)
    std::memcpy(gen.message_text[i - 1], gen.message_text[i], kLineLength);
  set_message_line(gen.message_lines, line);
}

// A pointer mark: a new spot with its indices. False when the spot table is full.
bool add_spot(std::string& note) {
  int& n = latref.spot_count;
  if (n >= kMaxSpots) {
    lattice_display();
    add_label_line(" Too many points entered, will proceed with" + fmt_i(kMaxSpots, 6));
    return false;
  }
  int32_t sx = 0, sy = 0;
  tolpixreadmenupointer(sx, sy);
  draw_cross(sx, sy, kCrossSize);
  int x = 0, y = 0;
  convert_to_image(sx, sy, x, y);
  latref.x0 = datafile.param_1, latref.y0 = datafile.param_2;
  int dh = 0, dk = 0;
  if (latref.ax != 0 || latref.ay != 0 || latref.bx != 0 || latref.by != 0)
    nearest_indices(current_lattice(), x, y, dh, dk);
  const std::string prompt =
      "Type h,k indices for this spot (def=" + fmt_i(dh, 4) + "," + fmt_i(dk, 4) + ")";
  int h = dh, k = dk;
  while (true) {
    Answer a;
    ask_below({prompt}, a);
    h = dh, k = dk;
    if (a.view().size() >= 3) {
      Ints6 v{};
      extract_integers(2, a, v);
      h = v[0], k = v[1];
    }
    if (first_spot_with(h, k) < 0) break;
    show_label_below({"Indices " + fmt_i(h, 5) + fmt_i(k, 5) + " already used, please retype"});
  }
  latref.spot_h[n] = h, latref.spot_k[n] = k;
  latref.spot_x[n] = static_cast<float>(x), latref.spot_y[n] = static_cast<float>(y);
  cross_on[n] = true;
  list_new_spot(spot_line(n, x, y));
  ++n;
  note.clear();
  return true;
}

void delete_spot(std::string& note) {
  const Ints6 v = ask_integers("Type indices of spot to be deleted");
  const int i = first_spot_with(v[0], v[1]);
  if (i >= 0) {
    hide_spot_crosses();
    int& n = latref.spot_count;
    for (int j = i; j + 1 < n; ++j) {
      latref.spot_h[j] = latref.spot_h[j + 1], latref.spot_k[j] = latref.spot_k[j + 1];
      latref.spot_x[j] = latref.spot_x[j + 1], latref.spot_y[j] = latref.spot_y[j + 1];
    }
    --n;
  }
  lattice_display();
  note = i >= 0 ? ""
                : " Spot with indices " + fmt_i(v[0], 5) + fmt_i(v[1], 5) +
                      " not found in list for refinement";
}

void edit_spot(std::string& note) {
  const Ints6 old = ask_integers("Type indices to be edited");
  const Ints6 now = ask_integers("Type new indices");
  const int i = first_spot_with(old[0], old[1]);
  if (i >= 0) latref.spot_h[i] = now[0], latref.spot_k[i] = now[1];
  lattice_display();
  note = i >= 0 ? "Indices changed from " + fmt_i(old[0], 3) + fmt_i(old[1], 3) + " to" +
                      fmt_i(now[0], 3) + fmt_i(now[1], 3)
                : " Spot with indices " + fmt_i(old[0], 5) + fmt_i(old[1], 5) +
                      " not found in list for refinement";
}

void save_spots(std::string& note) {
  set_message_line(gen.message_lines + 1, "Type output filename");
  std::optional<TextWriter> out = new_file(gen.message_lines + 1, false);
  for (int i = 0; i < latref.spot_count; ++i)
    out->line(fmt_i(latref.spot_h[i], 6) + fmt_i(latref.spot_k[i], 6) +
              fmt_f(latref.spot_x[i], 12, 3) + fmt_f(latref.spot_y[i], 12, 3));
  const std::string name = text_of(latref.tool_file, kFileNameLength);
  note = out->close() ? "Spot data written to " + name : "Error writing " + name;
}

// ---- 4 to 6. Refinement, residual and result file ----

Step refine_step() {
  while (true) {
    reset_message_lines();
    latref.order_count = ask_orders(0);
    lattice_refine();
    show_label(gen.message_lines);
    if (latref.refined == 0) {
      const int item =
          menu_choice({"Start spot selection again", "Add/remove spots", "Return main menu"});
      if (item == 1) return Step::EditNew;
      if (item == 2) return Step::EditKept;
      leave();
      return Step::Done;
    }
    session.recompute = true;
    const Residual r = lattice_residual(spots(), current_lattice(), latref.order_count);
    if (r.count == 0) {
      set_message_line(3, "Indices do not match number of orders requested");
      show_label(3);
      continue;
    }
    set_message_line(9, " RMS error for this pass = " + fmt_f(r.rms, 10, 5));
    set_message_line(10, "To save this data type filename, <cr> otherwise");
    reset_message_lines(10);
    if (std::optional<TextWriter> out = new_file(10, true)) {
      out->line(map_file_line());
      for (int line = 2; line <= 9; ++line)
        out->line(std::string_view(gen.message_text[line - 1], kLineLength));
      finish_file(*out);
    }
    return Step::DisplayMenu;
  }
}

// ---- 8. Drawing the lattice ----

// Computes the lattice point table, for variable boxes with the distance of every point
// from the tilt axis (asked first). False when the user returns to the main menu.
bool compute_lattice(Symbol symbol) {
  if (symbol == Symbol::VariableBoxes) {
    session.theta =
        ask_reals(" Type angle(degrees) tilt axis makes with horizontal", 1)[0] * 0.017453292f;
    const int item = menu_choice({"Select centre with cursor", "Auto centre", "Return main menu"});
    if (item == 1) {
      int32_t sx = 0, sy = 0;
      read_mark("Mark cursor position at tilt axis centre", sx, sy);
      convert_to_image(sx, sy, session.centre_x, session.centre_y);
    } else if (item == 2) {
      session.centre_x = nearest(latref.x0), session.centre_y = nearest(latref.y0);
    } else {
      tolpixmenuhide();
      return false;
    }
  }
  const int m = std::clamp(latref.order_count, 0, kMaxOrders);
  const Lattice l = current_lattice();
  const double c = std::cos(session.theta), s = std::sin(session.theta);
  session.dmax = 0;
  for (int h = -m; h <= m; ++h)
    for (int k = -m; k <= m; ++k) {
      const int at = table_index(h, k);
      latref.predicted_x[at] = static_cast<float>(l.x(h, k));
      latref.predicted_y[at] = static_cast<float>(l.y(h, k));
      if (symbol != Symbol::VariableBoxes) continue;
      const double d = std::fabs((latref.predicted_y[at] - session.centre_y) * c -
                                 (latref.predicted_x[at] - session.centre_x) * s);
      latref.tilt_distance[at] = static_cast<float>(d);
      session.dmax = std::max(session.dmax, d);
    }
  // The tilt axis stays as chosen until the lattice changes.
  if (symbol == Symbol::VariableBoxes) session.recompute = false;
  return true;
}

// The spot values of the project's spot list: one reflection a line, the value 1 when
// the line gives none.
void read_spot_values() {
  clear_spotlist();
  const std::string name = text_of(datafile.spot_file, kFileNameLength);
  if (!file_exists(name)) return;
  TextReader in(name);
  read_spot_list(in, [](int h, int k, int value) {
    if (int32_t* e = spot_entry(h, k)) *e = value;
  });
}

bool draw_lattice(Symbol symbol, int size, int size_max) {
  size = std::max(size, 3);
  size = 2 * (size / 2) + 1;
  const int half = size / 2;
  session.size = size, session.size_max = size_max;
  hide_spot_crosses();
  if (session.recompute && !compute_lattice(symbol)) return false;
  int steps = 1;
  double step = 0;
  if (symbol == Symbol::VariableBoxes) {
    int32_t x1, y1, x2, y2, ix, iy;
    convert_to_screen(session.centre_x, session.centre_y, ix, iy);
    draw_line(std::sin(session.theta), std::cos(session.theta), x1, y1, x2, y2, ix, iy,
              static_cast<float>(ix), static_cast<float>(iy));
    steps = std::abs(size_max - size) + 1;
    step = session.dmax / steps;
  }
  read_spot_values();
  const bool scaled = diffraction() && datafile.diffraction_choice < 3;
  const int m = std::clamp(latref.order_count, 0, kMaxOrders);
  for (int h = -m; h <= m; ++h)
    for (int k = -m; k <= m; ++k) {
      const int at = table_index(h, k);
      int32_t sx = 0, sy = 0;
      convert_to_screen(nearest(latref.predicted_x[at]), nearest(latref.predicted_y[at]), sx, sy);
      latref.screen_x[at] = sx, latref.screen_y[at] = sy;
      if (symbol == Symbol::Circles) {
        int32_t radius = box.radius;
        if (scaled) {
          const int32_t* e = spot_entry(h, k);
          const int value = e != nullptr ? *e : 0;
          radius = value == 0 ? 1 : std::max(radius / value, 1);
        }
        tolpixdrawcircle(sx, sy, radius);
        continue;
      }
      int32_t d = half;
      if (symbol == Symbol::VariableBoxes) {
        double best = 1.0e7;
        int level = 1;
        for (int j = 1; j <= steps; ++j) {
          const double e = std::fabs((j - 1) * step - latref.tilt_distance[at]);
          if (e < best) best = e, level = j;
        }
        d = (level + size) / 2;
      }
      if (sx - d > gen.area_x1 && sx + d < gen.area_x2 && sy - d > gen.area_y1 &&
          sy + d < gen.area_y2) {
        const int32_t x1 = sx - d, y1 = sy - d, x2 = sx + d, y2 = sy + d;
        tolpixdrawbox(x1, y1, x2, y2);
      }
    }
  return true;
}

// ---- 9. The lattice vectors file ----

Step save_vectors_file() {
  reset_message_lines();
  set_message_line(2, "Type output filename...");
  std::optional<TextWriter> out = new_file(2, false);
  out->line(map_file_line());
  Answer a;
  ask_below({"Type in scale factor for o/p parameters (default=1)"}, a);
  int f = 1;
  if (!a.is_default()) {
    Ints6 v{1};
    extract_integers(1, a, v);
    f = v[0];
  }
  // The file gets the vectors times f; the lattice itself stays as fitted.
  double centre[2] = {0, 0};
  double error[2] = {f * (latref.x0 - session.start_x0), f * (latref.y0 - session.start_y0)};
  if (gen.is_image != 0) {
    centre[0] = f * double{latref.x0}, centre[1] = f * double{latref.y0};
    error[0] = centre[0] - f * double{session.start_x0};
    error[1] = centre[1] - f * double{session.start_y0};
  }
  box.npx = gen.nx * f, box.npy = gen.ny * f;
  out->line(fmt_i(box.npx, 10) + fmt_i(box.npy, 10) + " Array size (for refinement)");
  out->line(fmt_f(f * double{latref.ax}, 10, 4) + fmt_f(f * double{latref.ay}, 10, 4) +
            fmt_f(f * double{latref.bx}, 10, 4) + fmt_f(f * double{latref.by}, 10, 4) +
            " Lattice vectors");
  out->line(fmt_f(centre[0], 12, 4) + fmt_f(centre[1], 12, 4) + " Lattice centre (in image)");
  out->line(fmt_f(error[0], 12, 4) + fmt_f(error[1], 12, 4) + " Error from centre");
  out->line(fmt_i(session.size, 10) + fmt_i(session.size_max, 10) + " Symbol sizes in pixels");
  if (latref.spot_count > 0) {
    out->line(" Spot number  H    K      X       Y");
    for (int i = 0; i < latref.spot_count; ++i)
      out->line(" " + fmt_i(i + 1, 10) + fmt_i(latref.spot_h[i], 5) + fmt_i(latref.spot_k[i], 5) +
                fmt_f(f * double{latref.spot_x[i]}, 8, 1) +
                fmt_f(f * double{latref.spot_y[i]}, 8, 1));
  }
  reset_message_lines();
  const std::string name = text_of(latref.tool_file, kFileNameLength);
  add_label_line(out->close() ? "Lattice vectors written to :" + name : "Error writing " + name);
  const int item = menu_choice({"Calculate another lattice", "return main menu"});
  remove_overlay();
  if (item == 1) return Step::EditNew;
  leave();
  return Step::Done;
}

// ---- 7. The display menu, and the menu after drawing ----

Step after_drawing() {
  while (true) {
    const bool with_spots = latref.spot_count > 0;
    int item = 0;
    if (!with_spots) {
      item = menu_choice({"Edit spot list", "Refine another lattice",
                          "Save to 1st (good) lattice in DATAFILE.dat",
                          "Save to 2nd (bad ) lattice in DATAFILE.dat", "Return main menu"});
      // The same actions as the items of the menu with spots.
      constexpr int kAs[] = {0, 5, 4, 6, 7, 8};
      item = kAs[item];
    } else {
      item = menu_choice({"Save lattice vectors to file", "Change symbol sizes",
                          "Add/remove spots and re-refine", "Refine another lattice",
                          "Edit spot list", "Save to 1st (good) lattice in DATAFILE.dat",
                          "Save to 2nd (bad ) lattice in DATAFILE.dat", "Return main menu"});
    }
    switch (item) {
      case 1:
        return save_vectors_file();
      case 2:
        remove_overlay();
        return Step::DisplayMenu;
      case 3:
        return Step::EditKept;
      case 4:
        return Step::Origin;
      case 5:
        getspo();
        leave();
        remove_overlay();
        return Step::Done;
      case 6:
      case 7:
        savlat(item - 5);
        show_label(gen.message_lines);
        break;
      default:
        leave();
        remove_overlay();
        return Step::Done;
    }
  }
}

int ask_symbol_size() {
  Answer a;
  ask_below({diffraction() ? "Type in symbol size in pixels (default 20)"
                           : "Type in symbol size in pixels (default 25)"},
            a);
  if (a.text[0] == ' ') return diffraction() ? 20 : 25;
  Ints6 v{};
  extract_integers(1, a, v);
  return v[0];
}

Step display_menu() {
  bool fresh = true;
  while (true) {
    if (fresh) {
      reset_message_lines();
      show_label(1);
    }
    fresh = true;
    const int item = menu_choice(
        {"Display lattice with standard size boxes", "Display lattice with standard size circles",
         "Display lattice with variable size boxes", "Add/remove spots and re-refine",
         "Edit spot list", "Save to 1st (good) lattice in DATAFILE.dat",
         "Save to 2nd (bad ) lattice in DATAFILE.dat", "Return main menu"});
    switch (item) {
      case 1:
      case 2: {
        const int size = ask_symbol_size();
        if (item == 2) box.radius = nearest(size * 0.5);
        draw_lattice(item == 1 ? Symbol::Boxes : Symbol::Circles, size, session.size_max);
        return after_drawing();
      }
      case 3: {
        Ints6 v{};
        while (v[0] < 1 || v[1] < 1) v = ask_integers("Type in box sizes in pixels");
        if (!draw_lattice(Symbol::VariableBoxes, v[0], 2 * (v[1] / 2) + 1)) return Step::Done;
        return after_drawing();
      }
      case 4:
        if (latref.spot_count > 0) return Step::EditKept;
        add_label_line("No spots to be modified");
        fresh = false;
        break;
      case 5:
        getspo();
        leave();
        remove_overlay();
        return Step::Done;
      case 6:
      case 7:
        savlat(item - 5);
        show_label(gen.message_lines);
        fresh = false;
        break;
      default:
        leave();
        remove_overlay();
        return Step::Done;
    }
  }
}

}  // namespace

void lattice_display() {
  reset_message_lines();
  const int n = latref.spot_count;
  for (int i = 0; i < n; ++i) {
    const int x = nearest(latref.spot_x[i]), y = nearest(latref.spot_y[i]);
    if (!cross_on[i]) {
      int sx = 0, sy = 0;
      convert_to_screen(x, y, sx, sy);
      draw_cross(sx, sy, kCrossSize);
      cross_on[i] = true;
    }
    if (i >= n - kListedSpots) push_message_line(spot_line(i, x, y));
  }
  show_label(gen.message_lines);
}

void lattice_read() {
  gen.status = 0;
  reset_message_lines();
  lattice_display();
  std::string note;
  while (true) {
    if (note.empty())
      show_label_below({"Mark next spot position with lh mouse button"});
    else
      show_label_below({note, "Mark next spot position with lh mouse button"});
    show_menu({"Mark spot for deletion", "Edit spot indices", "Hide zoom area",
               "Save spots to a file", "Calculate a lattice", "Return main menu"});
    int job = kJobNone;
    do {
      job = wait_job(kJobPointer);
      if (job == 3) tolpixzoomhide();
    } while (job == 3 || job > 6);
    switch (job) {
      case kJobPointer:
        if (!add_spot(note)) {
          tolpixmenuhide();
          return;
        }
        break;
      case 1:
        delete_spot(note);
        break;
      case 2:
        edit_spot(note);
        break;
      case 4:
        save_spots(note);
        break;
      default:
        leave();
        gen.status = job == 5 ? 0 : 1;
        return;
    }
  }
}

void lattice_refine() {
  latref.refined = 0;
  const LatticeSolution<double> f = fit_lattice<double>(spots());
  reset_message_lines(2);
  if (f.outcome == FitOutcome::TooFewSpots) {
    set_message_line(2, " Less than 3 reflections found, refinement impossible");
    return;
  }
  if (f.outcome == FitOutcome::TooSymmetric) {
    set_message_line(2, " Selection of indices too symmetric");
    return;
  }
  set_message_line(2, " Origin, lattice errors:" + fmt_f(f.x0, 8, 1) + fmt_f(f.y0, 8, 1) +
                          fmt_f(f.ax, 8, 1) + fmt_f(f.ay, 8, 1) + fmt_f(f.bx, 8, 1) +
                          fmt_f(f.by, 8, 1));
  latref.x0 = datafile.param_1 = static_cast<float>(f.x0);
  latref.y0 = datafile.param_2 = static_cast<float>(f.y0);
  latref.ax = static_cast<float>(f.ax), latref.ay = static_cast<float>(f.ay);
  latref.bx = static_cast<float>(f.bx), latref.by = static_cast<float>(f.by);
  set_message_line(3, "  Lattice dimensions :" + fmt_f(f.a1, 10, 3) + fmt_f(f.a2, 10, 3) +
                          fmt_f(f.b1, 10, 3) + fmt_f(f.b2, 10, 3));
  const double la = std::hypot(f.a1, f.a2), lb = std::hypot(f.b1, f.b2);
  const double anga = direction_degrees(f.a1, f.a2), angb = direction_degrees(f.b1, f.b2);
  latref.length_a = static_cast<float>(la), latref.length_b = static_cast<float>(lb);
  latref.angle_a = static_cast<float>(anga), latref.angle_b = static_cast<float>(angb);
  set_message_line(4, "   Length of A" + fmt_f(la, 10, 3) + " RLU ");
  set_message_line(5, " Angle " + fmt_f(anga, 10, 3) + " Degrees");
  set_message_line(6, " Length of B" + fmt_f(lb, 10, 3) + " RLU ");
  set_message_line(7, " Angle  " + fmt_f(angb, 10, 3) + " Degrees ");
  set_message_line(8, " Included angle " + fmt_f(included_angle(anga, angb), 10, 3) + " Degrees");
  reset_message_lines(8);
  latref.refined = 1;
}

void savlat(int which) {
  const int line = std::max(gen.message_lines, 1);
  set_message_line(line, std::string(which == 1 ? "Save to 1st, good lattice position in "
                                                : "Save to 2nd, bad lattice position in ") +
                             "DATAFILE.dat ? (0=no,1=yes) (default=0)");
  Answer a;
  ask(line, a);
  set_message_line(line, "Nothing done, DATAFILE.dat not changed.");
  if (a.view().find_first_not_of(' ') == std::string_view::npos) return;
  int yes = 0;
  if (!parse_integers(1, a.view(), &yes)) {
    print_line(" ERROR in SAVLAT. DATAFILE.dat not changed.");
    return;
  }
  if (yes != 1) return;
  std::string failure;
  if (run_editor_commands(lattice_save_commands(which, latref.ax, latref.ay, latref.bx, latref.by,
                                                datafile.param_1, datafile.param_2),
                          failure))
    set_message_line(line, "Lattice into DATAFILE.dat inserted.");
  else
    set_message_line(line, failure);
}

void lattice() {
  session = Session{};
  std::fill(std::begin(cross_on), std::end(cross_on), false);
  Step step = Step::Origin;
  while (step != Step::Done) {
    switch (step) {
      case Step::Origin:
        ask_origin();
        step = Step::InputMenu;
        break;
      case Step::InputMenu:
        step = input_menu();
        break;
      case Step::EditNew:
      case Step::EditKept:
        if (step == Step::EditNew) forget_spots();
        lattice_read();
        step = gen.status == 0 ? Step::Refine : Step::Done;
        break;
      case Step::Refine:
        step = refine_step();
        break;
      case Step::DisplayMenu:
        step = display_menu();
        break;
      case Step::Done:
        break;
    }
  }
}
