#include "driver/sections.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "display/tolpix.h"
#include "driver/answerfile.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "textio/format.h"
#include "textio/stop.h"
#include "tools/area/colour_table.h"

namespace {

// One map line and the block sums of one output line: every image line the
// program accepts (at most 16384 columns) fits.
constexpr int kMaxLine = 16384;
float line_buffer[kMaxLine];
float block_sums[kMaxLine];

// How the sections are placed.
enum class Placement {
  asked,   // one section, or Manual: the centre of every section is asked
  rows,    // side by side in rows (Auto, Semi-auto, and every replay)
  stored,  // separate stored images for scrolling or the movie
};

// What the presentation step decided.
struct Presentation {
  Placement placement = Placement::asked;
  int per_line = 1;  // sections per line of a row layout
  bool draw = true;  // false after "Return main menu"
};

int32_t saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int compression_factor() {
  return std::max(gen.compression, 1);
}

// ---- Choice of presentation ----

// The automatic row layout: sections of shown_width x shown_height five pixels
// apart, the first one five pixels from the top left corner of the screen. Returns
// whether its rows fit the screen height.
bool auto_layout(Presentation& p) {
  gen.multi_layout = 1;
  gen.ref_centre_x = gen.shown_width / 2 + 5;
  gen.ref_centre_y = gen.screen_height - gen.shown_height / 2 - 5;
  gen.step_x = gen.shown_width + 5;
  gen.step_y = gen.shown_height + 5;
  gen.centre_x = gen.ref_centre_x;
  gen.centre_y = gen.ref_centre_y;
  p.placement = Placement::rows;
  p.per_line = gen.step_x > 0 ? gen.screen_width / gen.step_x : 0;
  if (p.per_line < 1) return false;
  const int64_t rows = gen.section_count / p.per_line + (gen.section_count % p.per_line ? 1 : 0);
  return rows * gen.shown_height <= gen.screen_height;
}

// In a replay nobody can re-specify the sections: keep as many as fit the rows of
// the screen (at least one).
void fit_auto_layout(Presentation& p) {
  if (auto_layout(p)) return;
  p.per_line = std::max(p.per_line, 1);
  const int64_t rows = gen.shown_height > 0 ? gen.screen_height / gen.shown_height : 0;
  const int64_t keep = std::clamp<int64_t>(rows * p.per_line, 1, std::max(gen.section_count, 1));
  gen.section_count = static_cast<int32_t>(keep);
  gen.last_z = gen.first_z + gen.section_count - 1;
}

// Asks for a new first and last section in the entry box below `lines`, until they
// name sections of the map in order (saying so when they do not) and the last one is at
// least `lowest_last`.
void ask_section_range(std::initializer_list<std::string_view> lines, int lowest_last) {
  const int base = gen.message_lines;
  for (;;) {
    Answer reply;
    ask_below(lines, reply);
    Ints6 v{gen.first_z, gen.last_z, 0, 0, 0, 0};
    extract_integers(2, reply, v);
    reset_message_lines(base);
    if (v[1] < lowest_last) continue;
    const int top = gen.nz > 0 ? gen.nz - 1 : v[1];
    if (v[0] < 0 || v[1] > top || v[0] > v[1]) {
      push_message_line("Sections run from 0 to " + std::to_string(top) + ", please re-enter:");
      continue;
    }
    gen.first_z = v[0];
    gen.last_z = v[1];
    gen.section_count = gen.last_z - gen.first_z + 1;
    return;
  }
}

// Semi-auto: the user types the first centre (y measured from the top), the
// increments and the number of sections per line. Returns false, after saying so in
// the label, when the rows leave the screen.
bool semi_auto_layout(Presentation& p) {
  tolpixmenuhide();
  gen.multi_layout = 1;
  Ints6 v{gen.ref_centre_x, gen.ref_centre_y, gen.step_x, gen.step_y, 0, 0};
  while (v[4] < 1) {
    Answer reply;
    ask_below(
        {" number of points (x,y,z)=" + fmt_i(gen.nx, 5) + fmt_i(gen.ny, 5) + fmt_i(gen.nz, 5),
         " max screen width, height =" + fmt_i(gen.screen_width, 5) + fmt_i(gen.screen_height, 5),
         " type x and y coordinates for the centre of section 1",
         " increments in x and y, and the number of sections per line"},
        reply);
    extract_integers(5, reply, v);
  }
  gen.ref_centre_x = v[0];
  gen.ref_centre_y = v[1];
  gen.step_x = v[2];
  gen.step_y = v[3];
  p.per_line = v[4];
  p.placement = Placement::rows;
  gen.centre_x = gen.ref_centre_x;
  gen.centre_y = saturate(int64_t{gen.screen_height} - gen.ref_centre_y);

  const int64_t right =
      int64_t{p.per_line - 1} * gen.step_x + gen.ref_centre_x + gen.shown_width / 2 + 1;
  const int64_t bottom = int64_t{gen.centre_y} -
                         int64_t{gen.section_count / p.per_line - 1} * gen.step_y -
                         gen.shown_height / 2 + 1;
  std::string_view fault;
  if (gen.screen_width < right) {
    fault = "These values take image out of bounds in x";
  } else if (bottom < 0) {
    fault = "These values take image out of bounds in y";
  }
  if (fault.empty()) return true;
  gen.multi_layout = 0;
  show_label_below({fault});
  return false;
}

// Scrolling and movie: the stored images must fit the display's memory; while they
// do not, a smaller range of sections is asked.
void stored_layout(Presentation& p, bool movie) {
  tolpixmenuhide();
  for (;;) {
    tolpixcheckimage(gen.shown_width, gen.shown_height, gen.section_count, gen.status);
    if (gen.status != 1) break;
    ask_section_range({"Insufficient memory for this request, please re-enter",
                       " limits (xmin,max,ymin,max,zmin,max)", " [ (0,0) is lower-left corner ] :"},
                      1);
  }
  gen.display_count = movie ? -gen.section_count : gen.section_count;
  p.placement = Placement::stored;
}

// Step 2: how several sections are presented. Interactive users choose from the
// menu; a replay always takes the automatic row layout.
Presentation choose_presentation() {
  Presentation p;
  if (gen.first_z >= gen.last_z) return p;
  if (gen.defaults_unit != 0) {
    fit_auto_layout(p);
    return p;
  }
  while (gen.first_z < gen.last_z) {
    show_menu({"Auto display of sections", "Semi-auto display of sections",
               "Manual display of sections", "Scrolling display of sections", "Movie display",
               "Return main menu"});
    const int job = wait_job(1);
    switch (job) {
      case 1:
        tolpixmenuhide();
        if (auto_layout(p)) return p;
        gen.multi_layout = 0;
        p.placement = Placement::asked;
        ask_section_range({"Too many sections, re-specify start and end sections"},
                          std::numeric_limits<int>::min());
        break;
      case 2:
        if (semi_auto_layout(p)) return p;
        p.placement = Placement::asked;
        break;
      case 4:
      case 5:
        stored_layout(p, job == 5);
        return p;
      case 6:
        tolpixmenuhide();
        p.draw = false;
        return p;
      default:  // Manual, and any other job: every centre is asked
        tolpixmenuhide();
        p.placement = Placement::asked;
        return p;
    }
  }
  return p;
}

// ---- Placing one section ----

// Step 4 for a section whose centre is asked: typed, replayed, automatic (an empty
// answer or "/") or marked with the pointer ("0,0": the mark is the section's lower
// left corner).
void ask_centre(int section) {
  Answer reply;
  const bool have_answer = replay_answer(reply);
  if (!have_answer && datafile.click_mode != 1) {
    ask_below({" section " + fmt_i(section, 4) + " enter center of image:",
               " (\"/\" or \"<cr>\" = auto center) ", " (\"0,0\" = cursor positioning)"},
              reply);
  }
  reset_message_lines();
  record_line(std::string_view(reply.text, kLineLength));

  if (reply.is_default()) {
    gen.centre_x = gen.raster_width / 2;
    gen.centre_y = gen.raster_height / 2;
    return;
  }
  Ints6 v{gen.centre_x, gen.centre_y, 0, 0, 0, 0};
  extract_integers(2, reply, v);
  if (v[0] != 0) {
    gen.centre_x = v[0];
    gen.centre_y = v[1];
    return;
  }
  int32_t px = 0, py = 0;
  read_mark("Mark cursor position bottom left corner", px, py);
  tolpixlabelhide();
  gen.centre_x = saturate(int64_t{gen.shown_width / 2} + px);
  gen.centre_y = saturate(int64_t{gen.shown_height / 2} + py);
}

// Step 5: the section's rectangle around its centre, and whether it lies in the
// raster.
bool placement_fits() {
  const int64_t x1 = int64_t{gen.centre_x} - gen.shown_width / 2;
  const int64_t y1 = int64_t{gen.centre_y} - gen.shown_height / 2;
  const int64_t x2 = x1 + gen.shown_width - 1;
  const int64_t y2 = y1 + gen.shown_height - 1;
  gen.area_x1 = saturate(x1);
  gen.area_x2 = saturate(x2);
  gen.area_y1 = saturate(y1);
  gen.area_y2 = saturate(y2);
  return x1 >= 0 && y1 >= 0 && x2 <= gen.raster_width && y2 <= gen.raster_height &&
         int64_t{gen.shown_width} * gen.shown_height <= kMapRasterSize;
}

// Step 4 for the next section of a row layout: along the line, then down to the
// start of the next line.
void next_row_centre(int& column, int per_line) {
  ++column;
  if (column > per_line) {
    column = 1;
    gen.centre_x = gen.ref_centre_x;
    gen.centre_y = saturate(int64_t{gen.centre_y} - gen.step_y);
  } else if (column > 1) {
    gen.centre_x = saturate(int64_t{gen.centre_x} + gen.step_x);
  }
}

// ---- Reading and scaling ----

// Reads section s from row first_y on, averaging compression x compression blocks,
// and stores the colour indices either into the picture raster at the section's
// rectangle (map row first_y lowest on the screen) or, for a stored image, into a
// compact shown_width x shown_height image (map row first_y at its top). Returns
// false when the file ended before the section was complete.
bool read_section(int s, bool stored) {
  const int width = gen.shown_width;
  const int c = compression_factor();
  const float divisor = static_cast<float>(c) * static_cast<float>(c);
  const float amin = gen.amin;
  const float scale = gen.scale;
  imposn(1, s, gen.first_y);
  for (int j = 0; j < gen.shown_height; ++j) {
    std::fill_n(block_sums, width, 0.0f);
    for (int m = 0; m < c; ++m) {
      if (irdlin(1, line_buffer) != 0) return false;
      const float* src = line_buffer + gen.first_x;
      if (c == 1) {
        for (int i = 0; i < width; ++i) block_sums[i] += src[i];
      } else {
        for (int i = 0; i < width; ++i)
          for (int b = 0; b < c; ++b) block_sums[i] += src[i * c + b];
      }
    }
    int32_t* out;
    int first = 0, last = width;  // output columns that land in the raster
    if (stored) {
      out = map.raster + static_cast<int64_t>(j) * width;
    } else {
      // A row or column the placement check lets fall one beyond the raster is dropped.
      const int64_t row = int64_t{gen.raster_height} - gen.area_y1 - j;
      if (row < 0 || row >= gen.raster_height) continue;
      out = map.raster + row * gen.raster_width + gen.area_x1;
      first = std::max(0, -gen.area_x1);
      last = static_cast<int>(std::min<int64_t>(width, int64_t{gen.raster_width} - gen.area_x1));
    }
    for (int i = first; i < last; ++i) {
      const float mean = block_sums[i] / divisor;
      out[i] = colour_index((mean - amin) * scale, mean > amin);
    }
  }
  return true;
}

// The displayed columns must come from the map line: refuse limits the start-up
// checks would never have let through rather than read outside the line.
bool limits_readable() {
  const int64_t length = stream1_line_length();
  const int64_t end = int64_t{gen.first_x} + int64_t{gen.shown_width} * compression_factor();
  return length <= kMaxLine && gen.first_x >= 0 && gen.shown_width >= 1 && gen.shown_height >= 1 &&
         end <= length;
}

// ---- Scrolling and the movie ----

[[noreturn]] void quit_program() {
  tolpixmenuhide();
  tolpixlabelhide();
  tolpixsliderhide();
  fatal_stop();
}

// Stored image shown for a scroll slider value in percent.
int scroll_image(float percent) {
  const float k = std::round(percent * static_cast<float>(gen.display_count) / 100.0f);
  if (!(k > 0.0f)) return 0;
  return static_cast<int>(std::min(k, static_cast<float>(gen.display_count - 1)));
}

void scroll_sections() {
  const int base = gen.message_lines;
  for (;;) {
    reset_message_lines(base);
    show_label_below({"Pan/zoom disabled for scrolling"});
    show_menu(
        {"Scroll through sections", "Change colour table", "Read another map", "Quit Tolsvik"});
    switch (wait_job(1)) {
      case 1: {
        tolpixmenuhide();
        tolpixsliderinit(1, 0.0f, 0.0f);
        int shown = -1;
        for (;;) {
          const int job = wait_job(0);
          if (job == kJobPointer) break;
          if (job != kJobSlider1) continue;
          float value = 0;
          tolpixsliderread(value);
          const int k = scroll_image(value);
          if (k != shown) {
            tolpixdrawimages(k);
            shown = k;
          }
        }
        tolpixsliderhide();
        break;
      }
      case 2:
        tolpixmenuhide();
        tolpixsliderhide();
        colour_table();
        break;
      case 3:
        tolpixmenuhide();
        tolpixlabelhide();
        tolpixsliderhide();
        gen.display_count = -gen.display_count;
        return;
      case 4:
        quit_program();
      default:
        break;
    }
  }
}

int32_t delay_for(float percent) {
  return static_cast<int32_t>(std::lround(std::clamp(percent, 0.0f, 100.0f) * 10000.0f));
}

// The movie runs the stored images forwards and backwards (0, 1, .., N-1, N-2, .., 0,
// 1, ..), one step at every tick of the display's timer, which runs at the delay set on
// the slider, until a menu choice ends or changes it. Everything else waits with the
// timer stopped, so that no tick reaches another dialogue.
void play_movie() {
  const int count = -gen.display_count;
  const int base = gen.message_lines;
  float value = 50.0f;
  int direction = 1;
  auto run_timer = [&] {
    const int32_t delay = delay_for(value);
    tolpixtimer(delay);
  };
  auto stop_timer = [] {
    const int32_t off = -1;
    tolpixtimer(off);
  };
  auto from_start = [&] {
    gen.image_number = 0;
    direction = 1;
    run_timer();
  };
  bool show_controls = true;
  for (;;) {
    if (show_controls) {
      reset_message_lines(base);
      show_label_below({"Use slider bar to set delay : range 0 - 1 seconds"});
      tolpixsliderinit(1, value / 100.0f, 0.0f);
      tolpixmenuevent();
      show_menu(
          {"Change colour table", "Hide menu/labels/slider", "Read another map", "Quit Tolsvik"});
      show_controls = false;
      from_start();
    }
    switch (wait_job(0)) {
      case kJobTimer:
        tolpixdrawimages(gen.image_number);
        gen.image_number += direction;
        if (gen.image_number >= count - 1) {
          gen.image_number = count - 1;
          direction = -1;
        }
        if (gen.image_number <= 0) {
          gen.image_number = 0;
          direction = 1;
        }
        break;
      case kJobPointer:
        break;
      case 1:
        stop_timer();
        tolpixlabelhide();
        tolpixsliderhide();
        tolpixmenuhide();
        colour_table();
        show_controls = true;
        break;
      case 2:
        stop_timer();
        hide_widgets();
        run_timer();
        break;
      case 3:
        stop_timer();
        tolpixmenuhide();
        tolpixlabelhide();
        tolpixsliderhide();
        return;
      case 4:
        stop_timer();
        quit_program();
      case kJobSlider1:
        tolpixsliderread(value);
        from_start();
        break;
      default:
        stop_timer();
        return;
    }
  }
}

}  // namespace

int64_t stream1_line_length() {
  const int slot = imcom.lstream[1];
  if (slot < 1 || slot > kMaxSlots) return 0;
  const int64_t per_element = is_image_mode(imcom.mode[slot]) ? 1 : 2;
  return per_element * imcom.nxyz[slot][0];
}

bool raster_fits() {
  return gen.raster_width >= 1 && gen.raster_height >= 1 &&
         int64_t{gen.raster_width} * gen.raster_height <= kMapRasterSize;
}

int32_t colour_index(float v, bool above_min) {
  if (std::isnan(v)) return above_min ? kTopColourIndex : 0;
  if (v <= 0.0f) return 0;
  if (v >= kTopColourLevel) return kTopColourIndex;
  return static_cast<int32_t>(std::round(v));
}

void show_wait_lines() {
  push_message_line("wait for map display ...");
  push_message_line("to mark points, press left hand mouse button");
  push_message_line("to pan, hold down centre mouse button");
  push_message_line("to zoom, press right hand mouse button");
  show_label(gen.message_lines);
}

std::string_view draw_warning(int32_t status) {
  switch (status) {
    case 1:
      return "Warning : X event error";
    case 2:
      return "Warning : error reading back pixmap";
    case 3:
      return "Warning : map all zeroes";
    default:
      return {};
  }
}

namespace {
// Notes for the end of the next display, and whether the last display ended with warnings.
std::array<std::string, 4> display_notes;
bool warnings_on_show = false;
}  // namespace

void set_display_notes(std::initializer_list<std::string_view> notes) {
  display_notes = {};
  size_t n = 0;
  for (std::string_view note : notes)
    if (n < display_notes.size()) display_notes[n++] = note;
}

void show_warnings(std::span<const std::string_view> warnings) {
  bool any = false;
  auto warn = [&any](std::string_view w) {
    if (w.empty()) return;
    push_message_line(w);
    print_line(w);
    any = true;
  };
  for (std::string& note : display_notes) warn(note), note.clear();
  for (std::string_view w : warnings) warn(w);
  if (any) show_label(gen.message_lines);
  warnings_on_show = any;
}

bool take_display_warnings() {
  return std::exchange(warnings_on_show, false);
}

bool data_limits(float& low, float& high) {
  // The lines the display reads, with a buffer of its own: a transform line holds two
  // reals per value.
  static float line[2 * kMaxLine];
  const bool image = gen.is_image == 1;
  const int c = image ? compression_factor() : 1;
  const int64_t first = image ? gen.first_x : 0;
  const int64_t columns = int64_t{gen.shown_width} * c;
  const int64_t rows = image ? int64_t{gen.shown_height} * c : 2 * (gen.shown_height / 2);
  const int64_t reals = image ? first + columns : 2 * columns;
  const int64_t length = stream1_line_length();
  if (length > 2 * kMaxLine || first < 0 || columns < 0 || reals > length) return false;
  bool any = false;
  for (int s = image ? gen.first_z : 0; s <= (image ? gen.last_z : 0); ++s) {
    imposn(1, s, gen.first_y);
    for (int64_t j = 0; j < rows && irdlin(1, line) == 0; ++j)
      for (int64_t i = 0; i < columns; ++i) {
        const float v = image ? line[first + i] : std::hypot(line[2 * i], line[2 * i + 1]);
        if (!std::isfinite(v)) continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
      }
  }
  return any;
}

void centre_view() {
  // The picture is stored from the top left corner of the image area; a raster wider
  // or taller than the screen is moved back by half the excess. (For a transform wider
  // than the screen this is (screen_width - 2 x shown_width) / 2.)
  const int32_t x = (gen.screen_width - gen.raster_width) / 2;
  const int32_t y = (gen.screen_height - gen.raster_height) / 2;
  tolpixsetpan(x, y);
  // A new pan shows at the next redraw of the picture: redraw it now.
  tolpixdrawimages(gen.image_number);
}

void imread() {
  gen.scale = kTopColourLevel / (gen.amax - gen.amin);
  gen.display_count = 1;
  gen.section_count = gen.last_z - gen.first_z + 1;
  gen.multi_layout = 0;
  gen.status = 0;

  const Presentation p = choose_presentation();
  if (!p.draw) return;

  if (!limits_readable()) {
    show_label_below({"Map dimensions too large for program"});
    return;
  }
  const bool stored = gen.display_count != 1;
  // The section must fit the picture at its automatic centre, or no answer could
  // ever place it.
  if (!stored && (!raster_fits() || gen.shown_width > gen.raster_width ||
                  gen.shown_height > gen.raster_height)) {
    show_label_below({"Map too large for adding, re-specify"});
    return;
  }

  gen.image_number = 0;
  int column = 0;
  int base = gen.message_lines;  // message lines below the wait instructions
  // One warning of each kind: the three draw statuses and the early end of the file.
  std::array<std::string_view, 4> warnings{};
  bool ended = false;
  int stored_images = 0;
  for (int s = gen.first_z; s <= gen.last_z; ++s) {
    switch (p.placement) {
      case Placement::rows:
        next_row_centre(column, p.per_line);
        break;
      case Placement::stored:
        if (s == gen.first_z) {
          gen.centre_x = gen.raster_width / 2;
          gen.centre_y = gen.raster_height / 2;
        }
        break;
      case Placement::asked:
        ask_centre(s);
        break;
    }
    while (!placement_fits()) {
      push_message_line(" these values for centre take image out of bounds");
      ask_centre(s);
    }
    if (s == gen.first_z) {
      base = gen.message_lines;
      show_wait_lines();
    }

    if (stored) {
      std::fill_n(map.raster, int64_t{gen.shown_width} * gen.shown_height, 0);
    } else if (gen.new_display == 1) {
      std::fill_n(map.raster, int64_t{gen.raster_width} * gen.raster_height, 0);
    }
    ended = !read_section(s, stored);

    if (stored) {
      gen.image_number = s - gen.first_z;
      tolpixdrawimage(gen.shown_width, gen.shown_height, gen.image_number, map.raster, gen.status);
      ++stored_images;
      if (gen.status >= 1 && gen.status <= 3) warnings[gen.status - 1] = draw_warning(gen.status);
    } else {
      gen.new_display = 0;
    }
    if (ended) break;
  }

  if (!stored) {
    tolpixdrawimage(gen.raster_width, gen.raster_height, gen.image_number, map.raster, gen.status);
    if (gen.status >= 1 && gen.status <= 3) warnings[gen.status - 1] = draw_warning(gen.status);
  }
  tolpixlabelhide();
  if (ended) {
    warnings[3] = kFileEndedWarning;
    // Only the images read can be shown.
    if (stored) gen.display_count = gen.display_count > 0 ? stored_images : -stored_images;
  }
  reset_message_lines(base);
  show_warnings(warnings);

  if (gen.display_count > 1) {
    scroll_sections();
  } else if (gen.display_count < 0) {
    play_movie();
  }
}
