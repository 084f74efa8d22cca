#include "tools/transform/spots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "display/tolpix.h"
#include "driver/coords.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/format.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "textio/textfile.h"
#include "tools/transform/lattice_fit.h"
#include "tools/transform/spot_files.h"

namespace {

constexpr int kMaxPeaks = 200;
constexpr int kPeakCrossSize = 6;  // as the crosses of marked spots

int truncated(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -2.0e9, 2.0e9));
}

bool blank_line(const std::string& text) {
  return text.find_first_not_of(" \t\r") == std::string::npos;
}

Lattice current_lattice() {
  return {latref.x0, latref.y0, latref.ax, latref.ay, latref.bx, latref.by};
}

// A cross on the predicted position of (h, k) and one on its Friedel mate.
void mark_pair(int h, int k, int size, bool draw) {
  const Lattice l = current_lattice();
  for (int sign : {1, -1}) {
    int sx = 0, sy = 0;
    convert_to_screen(truncated(l.x(sign * h, sign * k)), truncated(l.y(sign * h, sign * k)), sx,
                      sy);
    if (draw)
      draw_cross(sx, sy, size);
    else
      remove_cross(sx, sy, size);
  }
}

std::string spot_file_name() {
  return std::string(field_text(datafile.spot_file));
}

}  // namespace

void show_peaks() {
  tolpixmenuhide();
  std::array<int32_t, kMaxPeaks> dx{}, dy{};
  char name[kFileNameLength];
  std::memset(name, ' ', sizeof name);
  std::string file;
  while (true) {
    ask_name_below({"Type peaklist filename"}, name, kFileNameLength);
    file = std::string(field_text(name));
    if (file.empty()) return;
    dx.fill(0), dy.fill(0);
    if (!file_exists(file)) return;
    if (TextReader(file).is_open()) break;
  }
  TextReader in(file);
  int count = 0;
  std::string text;
  while (in.line(text)) {
    if (blank_line(text)) continue;
    if (count == kMaxPeaks) {
      print_line("ERROR: too many peaks. Increase maxpeaklst.");
      break;
    }
    int v[2] = {0, 0};
    const ListResult r = list_read_ints(text, 2, v);
    if (r.error || r.fields < 2) {
      print_line("ERROR while reading peaklist");
      break;
    }
    dx[count] = v[0], dy[count] = v[1];
    ++count;
    int sx = 0, sy = 0;
    convert_to_screen(truncated(static_cast<double>(v[0]) + latref.x0),
                      truncated(static_cast<double>(v[1]) + latref.y0), sx, sy);
    draw_cross(sx, sy, kPeakCrossSize);
  }
  print_line(fmt_i(count, 6) + " peaks read from spotlist file.");
}

void getspo() {
  const double sum = std::hypot(latref.ax, latref.ay) + std::hypot(latref.bx, latref.by);
  const int size = truncated(sum * (datafile.project_type == 2 ? 0.3 : 0.15));
  int count = 0;
  auto select = [&](int h, int k) {
    stored_reflection(h, k);
    int32_t* e = spot_entry(h, k);
    if (e == nullptr || *e != 0) return;
    *e = 1;
    mark_pair(h, k, size, true);
    ++count;
  };

  while (true) {
    print_line(" i = " + fmt_i(shorten(field_text(datafile.spot_file)), 6));
    const int line = std::max(gen.message_lines, 1);
    set_message_line(line, "Type in name for spotfile (" + spot_file_name() + ")");
    ask_name(line, datafile.spot_file, kFileNameLength);
    if (spot_file_name().empty()) return;
    clear_spotlist();
    count = 0;
    if (!file_exists(spot_file_name())) break;
    TextReader in(spot_file_name());
    if (!in.is_open()) continue;
    if (!read_spot_list(in, [&](int h, int k, int) { select(h, k); }))
      print_line("ERROR while reading spotlist");
    print_line(fmt_i(count, 6) + " spots read from spotlist file.");
    break;
  }

  int last_h = 0, last_k = 0;
  while (true) {
    gen.status = 0;
    reset_message_lines();
    set_message_line(1, "Number of defined spots is " + fmt_i(count, 6));
    set_message_line(2, "Last clicked spot was " + fmt_i(last_h, 6) + fmt_i(last_k, 6));
    set_message_line(3, "Mark spot positions with lh mouse button");
    show_label(3);
    if (menu_choice({"Save spotlist and return"}, {kJobPointer}) != kJobPointer) break;
    tolpixlabelhide();
    tolpixmenuhide();
    int32_t sx = 0, sy = 0;
    tolpixreadmenupointer(sx, sy);
    int px = 0, py = 0;
    convert_to_image(sx, sy, px, py);
    if (px < 0) px = -px, py = -py;
    int h = 0, k = 0;
    nearest_indices(current_lattice(), px, py, h, k);
    stored_reflection(h, k);
    if (int32_t* e = spot_entry(h, k)) {
      *e = *e == 1 ? 0 : 1;
      mark_pair(h, k, size, *e == 1);
      count += *e == 1 ? 1 : -1;
    }
    last_h = h, last_k = k;
  }

  count = 0;
  TextWriter out(spot_file_name());
  if (!out.is_open()) {
    print_line("ERROR while opening spotlist for write");
  } else {
    for (int h = 0; h <= kSpotIndexLimit; ++h)
      for (int k = -kSpotIndexLimit; k <= kSpotIndexLimit; ++k)
        if (*spot_entry(h, k) == 1 && (h > 0 || k >= 0)) {
          out.line(spot_list_line(h, k));
          ++count;
        }
    if (!out.close()) print_line("ERROR while writing spotlist");
  }
  print_line(fmt_i(count, 9) + " spots written to spotlist file.");
}
