#include "driver/startup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "display/tolpix.h"
#include "driver/answerfile.h"
#include "driver/dialogue.h"
#include "driver/mainmenu.h"
#include "driver/records.h"
#include "driver/sections.h"
#include "driver/startmenu.h"
#include "driver/transform.h"
#include "mapfile/mapfile.h"
#include "textio/format.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "tools/area/colour_table.h"

namespace {

// Longest map line the section and transform displays hold.
constexpr int kMaxColumns = 16384;

bool map_open = false;

// The working limits of start-up: columns, rows and sections.
struct Limits {
  int32_t lo[3] = {0, 0, 0};
  int32_t hi[3] = {0, 0, 0};
};

std::string map_file_name() {
  return std::string(field_text(std::span<const char>(latref.map_file, kFileNameLength)));
}

// Numbers offered as default text: each written in `width` characters, comma
// separated, with the blanks removed.
std::string default_text(const int32_t* v, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? "," : "") + fmt_i(v[i], 8);
  std::string out;
  for (char c : text)
    if (c != ' ') out.push_back(c);
  return out;
}

std::string default_text(const float* v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i)
    for (char c : (i ? "," : "") + fmt_f(v[i], 12, 1))
      if (c != ' ') out.push_back(c);
  return out;
}

std::string numbers_line(const int32_t* v, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += fmt_i(v[i], 12);
  return text;
}

// ---- Step 4: the file name ----

void ask_file_name() {
  tolpixmenuhide();
  std::memset(latref.map_file, ' ', kFileNameLength);
  reset_message_lines();
  set_message_line(1, kTitleLine);
  set_message_line(2, kVersionLine);
  int n = 2;  // the title lines above the question
  if (gen.defaults_unit != 0) {
    std::string name;
    if (!replay_line(name)) {
      reset_message_lines(n);
      replay_failed();
      n = gen.message_lines;
    } else {
      set_field(latref.map_file, name);
      if (gen.defaults_unit == 5 && !file_exists(map_file_name())) {
        print_line("Input file not found " + map_file_name());
        fatal_stop();
      }
    }
  }
  if (gen.defaults_unit != 5) {
    set_message_line(n + 1,
                     gen.defaults_unit == 11 ? "Input filename ..." : "Type in file name ...");
    ask_name(n + 1, latref.map_file, kFileNameLength);
    reset_message_lines(n);
    check_map_file();
    reset_message_lines();
  }
  record_line(map_file_name());
}

// ---- Step 5: the header ----

void read_header() {
  imopen(1, map_file_name(), "ro");
  map_open = true;
  int nxyz[3] = {}, mxyz[3] = {};
  int mode = 0;
  float dmin = 0, dmax = 0, dmean = 0;
  irdhdr(1, nxyz, mxyz, mode, dmin, dmax, dmean);
  gen.nx = nxyz[0], gen.ny = nxyz[1], gen.nz = nxyz[2];
  gen.map_mode = mode;
  gen.amin = dmin, gen.amax = dmax, gen.dmean = dmean;
  gen.is_image = is_image_mode(mode) ? 1 : 0;

  // An answer file holds the mode and sections of the map it was recorded for; so does
  // one recorded with "-f" and given on standard input, which its record's layout tells.
  if (gen.defaults_unit == 11 || gen.defaults_unit == 5) {
    int recorded[2] = {0, 0};
    const bool read =
        gen.defaults_unit == 11 ? replay_integers(2, recorded) : replay_mode_record(recorded);
    if (!read) {
      if (gen.defaults_unit == 11) replay_failed();
    } else {
      const bool mode_differs = is_image_mode(recorded[0]) != is_image_mode(mode);
      const bool sections_differ =
          (recorded[1] == 1 && gen.nz > 1) || (recorded[1] > 1 && gen.nz == 1);
      if (mode_differs || sections_differ) {
        gen.defaults_unit = 0;
        push_message_line(
            "Default file specification incompatible with new file, proceeding interactively.");
      }
    }
  }
  record_line(fmt_i(gen.map_mode, 12) + fmt_i(gen.nz, 12));

  if (gen.nx > kMaxColumns) {
    // Standard-input replay has nobody to press a key: the lines go to the terminal.
    if (gen.defaults_unit == 5) {
      print_line("Map dimensions too large for program");
    } else {
      Answer reply;
      ask_below({"Map dimensions too large for program", "Type any key to exit"}, reply);
    }
    close_map();
    fatal_stop();
  }
}

// ---- Step 6: display limits ----

// Asks the limits of an image; returns the limits before clamping.
void ask_image_limits(Limits& L, bool first_pass) {
  const bool stack = gen.nz > 1;
  const int count = stack ? 6 : 4;
  const std::string sizes =
      stack ? " number of points (x,y,z)=" + fmt_i(gen.nx, 5) + fmt_i(gen.ny, 5) + fmt_i(gen.nz, 5)
            : " number of points (x,y)=" + fmt_i(gen.nx, 5) + fmt_i(gen.ny, 5);
  Ints6 v{};
  auto take = [&](const Ints6& values) {
    L.lo[0] = values[0], L.hi[0] = values[1], L.lo[1] = values[2], L.hi[1] = values[3];
    if (stack) L.lo[2] = values[4], L.hi[2] = values[5];
  };
  if (gen.defaults_unit != 0 && first_pass) {
    int32_t recorded[6] = {};
    if (replay_integers(count, recorded)) {
      std::copy(recorded, recorded + count, v.begin());
      if (gen.defaults_unit == 11) {
        Answer reply;
        reply.set(default_text(recorded, count));
        ask_below({sizes,
                   stack ? " Default limits (xmin,max,ymin,max,zmin,max)"
                         : " Default limits (xmin,max,ymin,max)",
                   " Type new limits or <cr> to use defaults :"},
                  reply);
        extract_integers(count, reply, v);
      }
      take(v);
      return;
    }
    replay_failed();
  }
  // A click-mode image skips the question on the first pass only: when the limits
  // must be asked again, they are asked.
  if (!stack && datafile.click_mode == 1 && first_pass) return;
  Answer reply;
  ask_below(
      {sizes,
       stack ? " $enter limits (xmin,max,ymin,max,zmin,max)" : " $enter limits (xmin,max,ymin,max)",
       " [ (0,0) is lower-left corner ] :"},
      reply);
  if (reply.is_default()) {
    L.hi[2] = gen.nz - 1;
    return;
  }
  v = {L.lo[0], L.hi[0], L.lo[1], L.hi[1], L.lo[2], L.hi[2]};
  extract_integers(count, reply, v);
  take(v);
}

// Clamps the limits to the map; zero limits of x or y take the whole axis. Returns what
// was wrong with them (empty when nothing), with `taken` the range kept of that axis: a
// minimum above the maximum, limits that miss the map, or sections beyond the stack, which
// would otherwise be cut short unseen. At least one line or section always remains.
std::string clamp_limits(Limits& L, std::string& taken) {
  static constexpr const char* kAxis[3] = {"x", "y", "z"};
  const int32_t size[3] = {gen.nx, gen.ny, gen.nz};
  std::string fault;
  for (int axis = 0; axis < 3; ++axis) {
    const int32_t last = size[axis] - 1;
    if (axis < 2 && L.lo[axis] == 0 && L.hi[axis] == 0) {
      L.hi[axis] = last;
      continue;
    }
    const std::string name = std::string("Limits in ") + kAxis[axis] + ": ";
    std::string wrong;
    if (L.lo[axis] > L.hi[axis]) {
      wrong = name + "minimum above maximum";
    } else if (axis == 2 && (L.lo[2] < 0 || L.hi[2] > last)) {
      wrong = name + "sections run from 0 to " + std::to_string(last);
    } else if (L.hi[axis] < 0 || L.lo[axis] > last) {
      wrong = name + "outside the map";
    }
    L.lo[axis] = std::max(L.lo[axis], 0);
    L.hi[axis] = std::min(L.hi[axis], last);
    if (L.lo[axis] > L.hi[axis]) L.lo[axis] = std::min(L.hi[axis], last);
    if (L.lo[axis] > L.hi[axis]) L.hi[axis] = L.lo[axis];
    if (fault.empty() && !wrong.empty()) {
      fault = wrong;
      taken = std::to_string(L.lo[axis]) + "," + std::to_string(L.hi[axis]);
    }
  }
  return fault;
}

// Asks the half numbers of a transform into shown_width, shown_height.
void ask_half_numbers(bool first_pass) {
  const std::string sizes = " number of points (x,y) =" + fmt_i(gen.nx, 5) + fmt_i(gen.ny, 5);
  if (gen.defaults_unit != 0) {
    int32_t recorded[2] = {0, 0};
    if (replay_integers(2, recorded)) {
      gen.shown_width = recorded[0], gen.shown_height = recorded[1];
      if (gen.defaults_unit == 11) {
        // The recorded pair is stored as typed + 1; the typed values are offered, so that
        // accepting them shows the same area again.
        Answer reply;
        if (recorded[0] != 0 || recorded[1] != 0) {
          int32_t typed[2] = {recorded[0] - 1, recorded[1] - 1};
          reply.set(default_text(typed, 2));
        }
        ask_below({sizes, "Modify half number in x, half number in y  :"}, reply);
        if (!reply.is_default()) {
          Ints6 v{};
          extract_integers(2, reply, v);
          gen.shown_width = v[0] + 1, gen.shown_height = v[1] + 1;
        }
      }
      return;
    }
    replay_failed();
  }
  if (datafile.corner_counter != 0 && first_pass) return;
  Answer reply;
  ask_below({sizes, "$ enter half number in x, half number in y  :"}, reply);
  if (reply.is_default()) return;
  Ints6 v{};
  extract_integers(2, reply, v);
  gen.shown_width = v[0] + 1, gen.shown_height = v[1] + 1;
}

void transform_limits(Limits& L) {
  const int h = gen.ny / 2;
  if (gen.shown_width == 0) {
    gen.shown_width = gen.nx;
    gen.shown_height = h;
  }
  // The half numbers are kept to what the file holds, so that no row before the
  // first or after the last is ever read.
  gen.shown_width = std::clamp(gen.shown_width, 1, gen.nx);
  gen.shown_height = std::clamp(gen.shown_height, 1, std::max(std::min(h + 1, gen.ny - h), 1));
  L.lo[0] = 0;
  L.hi[0] = gen.shown_width - 1;
  L.lo[1] = h - gen.shown_height + 1;
  L.hi[1] = h + gen.shown_height - 1;
  L.lo[2] = L.hi[2] = 0;
}

// Asks the limits until they hold part of the map; a replay from standard input, which
// nobody can answer, says what was taken instead. Returns their answer record.
std::string ask_limits(Limits& L, bool first_pass) {
  const int base = gen.message_lines;
  for (;;) {
    L = Limits{};
    gen.shown_width = gen.shown_height = gen.section_count = 0;
    L.hi[2] = gen.nz - 1;
    if (gen.is_image != 1) {
      ask_half_numbers(first_pass);
      const int32_t stored[2] = {gen.shown_width, gen.shown_height};
      transform_limits(L);
      return numbers_line(stored, 2);
    }
    ask_image_limits(L, first_pass);
    std::string taken;
    const std::string fault = clamp_limits(L, taken);
    if (!fault.empty() && gen.defaults_unit == 5) {
      print_line(fault + ", taken as " + taken);
    } else if (!fault.empty()) {
      reset_message_lines(base);
      push_message_line(fault + ", please re-enter:");
      first_pass = false;
      continue;
    }
    const int32_t rec[6] = {L.lo[0], L.hi[0], L.lo[1], L.hi[1], L.lo[2], L.hi[2]};
    return numbers_line(rec, gen.nz > 1 ? 6 : 4);
  }
}

// ---- Step 7: compression ----

// The factor must leave at least one pixel of the chosen area; until it does it is asked
// again, or in a replay from standard input the nearest sound factor is taken and said.
void ask_compression(const Limits& L) {
  reset_message_lines();
  gen.compression = 1;
  if (gen.is_image != 1) return;
  const int widest = std::max(std::min(L.hi[0] - L.lo[0] + 1, L.hi[1] - L.lo[1] + 1), 1);
  Ints6 v{1};
  if (gen.defaults_unit != 0) {
    int32_t recorded[1] = {1};
    if (replay_integers(1, recorded)) {
      v[0] = recorded[0];
      if (gen.defaults_unit == 11) {
        set_message_line(2, "Pixel compression factor = " + fmt_i(recorded[0], 1) +
                                " type a new one or <cr> for default");
        Answer reply;
        ask(2, reply);
        if (!reply.view().empty()) extract_integers(1, reply, v);
        if (reply.is_default()) v[0] = recorded[0];
      }
    } else {
      replay_failed();
      reset_message_lines();
    }
  }
  bool ask_it = gen.defaults_unit == 0 && datafile.click_mode == 0;
  for (;;) {
    if (ask_it) {
      set_message_line(gen.message_lines + 1,
                       "Enter pixel compression factor <cr> for default (none)");
      Answer reply;
      ask(gen.message_lines + 1, reply);
      v[0] = 1;
      if (!reply.view().empty()) extract_integers(1, reply, v);
      if (reply.is_default()) v[0] = 1;  // also an empty answer after a typing error
    }
    if (v[0] >= 1 && v[0] <= widest) break;
    const std::string fault = "Pixel compression factor must be 1 to " + std::to_string(widest);
    if (gen.defaults_unit == 5) {
      v[0] = std::clamp(v[0], 1, widest);
      print_line(fault + ", taken as " + std::to_string(v[0]));
      break;
    }
    reset_message_lines();
    push_message_line(fault + ", please re-enter:");
    ask_it = true;
  }
  gen.compression = v[0];
}

// ---- Steps 8 and 9: shown size and raster ----

// Returns false when the limits must be asked again.
bool size_raster(const Limits& L) {
  if (gen.is_image == 1) {
    // A factor below 1 or beyond the chosen area would leave nothing to show (the
    // compression question refuses them).
    const int widest = std::min(L.hi[0] - L.lo[0] + 1, L.hi[1] - L.lo[1] + 1);
    gen.compression = std::clamp(gen.compression, 1, std::max(widest, 1));
  }
  gen.first_x = L.lo[0];
  gen.shown_width = (L.hi[0] - L.lo[0] + 1) / gen.compression;
  gen.last_x = gen.shown_width * gen.compression + L.lo[0] - 1;
  gen.first_y = L.lo[1];
  gen.shown_height = (L.hi[1] - L.lo[1] + 1) / gen.compression;
  gen.last_y = gen.shown_height * gen.compression + L.lo[1] - 1;

  const int64_t width = gen.is_image == 1 ? gen.shown_width : 2LL * gen.shown_width;
  if (gen.new_display == 1) {
    const int64_t rw = std::max<int64_t>(gen.screen_width, width);
    const int64_t rh = std::max<int64_t>(gen.screen_height, gen.shown_height);
    int32_t status = 1;
    if (rw * rh <= kMapRasterSize && rw <= INT32_MAX && rh <= INT32_MAX) {
      gen.raster_width = static_cast<int32_t>(rw);
      gen.raster_height = static_cast<int32_t>(rh);
      tolpixcheckimage(gen.raster_width, gen.raster_height, 1, status);
    }
    gen.status = status;
    if (status != 0) {
      if (gen.defaults_unit != 0) {
        print_line("*** Error - insufficient resources for size of image");
        fatal_stop();
      }
      push_message_line("Insufficient resources for size of image, please re-enter:");
      return false;
    }
  } else if (width > gen.raster_width || gen.shown_height > gen.raster_height) {
    push_message_line(gen.is_image == 1 ? "Map too large for adding, re-specify"
                                        : "Transform too large for adding, re-specify");
    return false;
  }
  gen.first_z = L.lo[2];
  gen.last_z = L.hi[2];
  return true;
}

// ---- Step 10: density limits ----

// Limits that are not finite and increasing give a black or inverted picture: when the
// header's are such (kept, or the defaults made from them), or any is not finite, the
// limits of the displayed data are used instead, and the display says so.
void usable_density_limits(bool typed) {
  set_display_notes({});
  const bool finite = std::isfinite(gen.amin) && std::isfinite(gen.amax);
  if (finite && (typed || gen.amin < gen.amax)) return;
  auto pair = [](float a, float b) {
    std::string text;
    for (char c : fmt_g(a, 12, 4) + "," + fmt_g(b, 12, 4))
      if (c != ' ') text.push_back(c);
    return text;
  };
  const std::string was = pair(gen.amin, gen.amax);
  float low = 0, high = 0;
  if (!data_limits(low, high)) low = high = 0;
  // A constant picture still needs a range to scale by.
  if (!(low < high)) high = low + 1;
  gen.amin = low, gen.amax = high;
  set_display_notes({"Density limits " + was + " are not finite and increasing:",
                     "limits of the displayed data used, " + pair(low, high)});
}

void ask_density() {
  if (gen.nz == 1) gen.section_count = 0;
  while (true) {
    float low = gen.amin, high = gen.amax;
    bool typed = false;  // a pair of the user's (typed or replayed), not the header's
    if (gen.defaults_unit != 0) {
      float recorded[2] = {0, 0};
      if (replay_reals(2, recorded)) {
        Reals6 v{recorded[0], recorded[1]};
        if (gen.defaults_unit == 11) {
          Answer reply;
          reply.set(default_text(recorded, 2));
          ask_below(
              {" file min,max density limits = " + fmt_g(gen.amin, 12, 4) + fmt_g(gen.amax, 12, 4),
               "Modify default values :"},
              reply);
          extract_reals(2, reply, v);
        }
        low = v[0], high = v[1];
        typed = true;
        reset_message_lines();
        if (low > high) replay_failed();
      } else {
        replay_failed();
      }
    }
    if (gen.defaults_unit == 0 && datafile.click_mode == 0) {
      float dlow = gen.amin, dhigh = gen.amax;
      std::string prompt;
      if (gen.is_image == 1 && datafile.project_type == 2) {
        int il = -10, ih = 50;
        if (datafile.diffraction_choice == 1) il = 0, ih = 2000;
        if (datafile.diffraction_choice == 3) il = -5, ih = 10;
        dlow = static_cast<float>(il), dhigh = static_cast<float>(ih);
        prompt = " type density limits (\"<cr>\"= " + fmt_i(il, 4) + "," + fmt_i(ih, 6) + "):";
      } else if (gen.is_image == 1) {
        prompt = " type density limits (\"<cr>\"= current):";
      } else if (datafile.central_flag == 1) {
        dhigh = 300;
        prompt = " type density limits (\"<cr>\"= min, 300):";
      } else {
        dhigh = 1000;
        prompt = " type density limits (\"<cr>\"= min, 1000):";
      }
      Answer reply;
      ask_below(
          {" current min,max density limits = " + fmt_g(gen.amin, 12, 4) + fmt_g(gen.amax, 12, 4),
           prompt},
          reply);
      reset_message_lines();
      if (reply.is_default()) {
        low = dlow;
        high = std::min(dhigh, gen.amax);
      } else {
        Reals6 v{};
        extract_reals(2, reply, v);
        low = v[0], high = v[1];
        typed = true;
        if (low > high) continue;
      }
    } else if (gen.defaults_unit == 0) {
      low = gen.amin, high = gen.amax;
    }
    if (low != 0 || high != 0) gen.amin = low, gen.amax = high;
    usable_density_limits(typed && (low != 0 || high != 0));
    if (gen.is_image == 0 && gen.amax * gen.amax - gen.amin * gen.amin == 0) {
      push_message_line("Increase amax or decrease amin");
      gen.defaults_unit = 0;
      continue;
    }
    // Only the pair taken is recorded, so that a replay meets one record per question.
    record_line(fmt_g(low, 12, 4) + fmt_g(high, 12, 4));
    return;
  }
}

// ---- Step 11: display ----

// Returns false when the user chose "Read another map" from the scrolling or movie menu.
bool display_map() {
  show_label(gen.message_lines);
  if (gen.is_image == 1) {
    imread();
    if (gen.display_count < 0) {
      tolpixmenuhide();
      tolpixclearimage();
      gen.display_count = 0;
      gen.new_display = 1;
      return false;
    }
  } else {
    fftread();
    // A transform is shown in the default grey levels.
    lktble.default_request = 1;
    colour_table();
  }
  set_tracking_origin();
  int32_t cursor = current_cursor;
  tolpixchangecursor(cursor);
  return true;
}

}  // namespace

void check_map_file() {
  gen.must_exist = 1;
  for (;;) {
    check_file(latref.map_file, kFileNameLength);
    const std::string name = map_file_name();
    const std::string fault = map_file_fault(name);
    if (fault.empty()) return;
    const std::string what =
        name.size() + fault.size() < kLineLength ? name + " " + fault : "This file " + fault;
    ask_name_below({what, "Please retype the file name :"}, latref.map_file, kFileNameLength);
  }
}

bool reopen_map() {
  if (map_open) return true;
  if (!file_exists(map_file_name())) return false;
  imopen(1, map_file_name(), "ro");
  map_open = true;
  int nxyz[3] = {}, mxyz[3] = {};
  int mode = 0;
  float dmin = 0, dmax = 0, dmean = 0;
  irdhdr(1, nxyz, mxyz, mode, dmin, dmax, dmean);
  return true;
}

void close_map() {
  if (map_open) imclose(1);
  map_open = false;
}

void reset_program() {
  close_map();
  answers_reset();
  main_menu_reset();
  start_menu_reset();
  colour_table_reset();
  records_reset();
}

void startup(StartStep from) {
  StartStep step = from;
  bool first_pass = true;
  Limits L;
  while (true) {
    switch (step) {
      case StartStep::StartMenu:
      case StartStep::Corners:
        // The title heads the label of a map chosen from the start menu too.
        set_message_line(1, kTitleLine);
        reset_message_lines(std::max(gen.message_lines, 1));
        if (start_menu(step == StartStep::Corners) == StartChoice::Other) {
          step = StartStep::FileName;
          continue;
        }
        if (gen.defaults_unit != 0) {
          // The answers hold a file name record; the menu choice takes its place.
          std::string recorded;
          if (!replay_line(recorded)) replay_failed();
        }
        record_line(map_file_name());
        read_header();
        step = StartStep::Limits;
        continue;
      case StartStep::FileName:
        ask_file_name();
        read_header();
        step = StartStep::Limits;
        continue;
      case StartStep::Limits: {
        const std::string limits_record = ask_limits(L, first_pass);
        first_pass = false;
        ask_compression(L);
        if (!size_raster(L)) continue;
        // Recorded once taken, so that limits asked again leave one record.
        record_line(limits_record);
        if (gen.is_image == 1) record_line(fmt_i(gen.compression, 12));
        step = StartStep::Density;
        continue;
      }
      case StartStep::Density:
        ask_density();
        if (!display_map()) {
          step = StartStep::FileName;
          first_pass = true;
          continue;
        }
        answers_finish();
        return;
    }
  }
}

int tolsvik_main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? std::string_view(argv[1]).substr(0, 2) : "";
  if (first.empty()) {
    gen.defaults_unit = 0;
    gen.record_answers = 0;
  } else if (first == "-s") {
    answers_from_stdin();
  } else if (first == "-f") {
    if (argc < 3 || std::string_view(argv[2]).empty()) {
      print_line(" Answer file name missing after -f, exiting.");
      fatal_stop();
    }
    answers_from_file(std::string_view(argv[2]).substr(0, kFileNameLength));
  } else {
    print_line(" Unknown switch, exiting.");
    fatal_stop();
  }

  gen.screen_width = 1;
  gen.screen_height = 1;
  tolpixinit(gen.screen_width, gen.screen_height);
  tolpixchangeorigin();
  int32_t size = 256;
  while (size > 0) {
    int32_t status = 0;
    tolpixchangezoom(4, 4, size, size, status);
    gen.status = status;
    if (status == 0) break;
    size /= 2;
  }
  lktble.default_request = 1;
  colour_table();
  gen.new_display = 1;

  startup(StartStep::StartMenu);
  main_menu();
}
