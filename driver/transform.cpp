#include "driver/transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/tolpix.h"
#include "driver/answerfile.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "driver/sections.h"
#include "mapfile/mapfile.h"

namespace {

// One line of complex values, two reals each: room for 16384 of them, the widest
// line the program accepts.
constexpr int kMaxComplex = 16384;
float line_buffer[2 * kMaxComplex];

// Amplitudes unless the user answers with something that does not start with a
// blank; in a replay any non-blank answer selects intensities.
void ask_display_choice() {
  Answer reply;
  const bool have_answer = replay_answer(reply);
  if (have_answer && !reply.view().empty()) ovly.amplitude_display = 0;
  if (!have_answer) {
    ask_below({" Enter display choice :", " (\"<cr>\" = amplitudes)", " (\" 1  \" = intensities)"},
              reply);
    if (reply.text[0] != ' ') ovly.amplitude_display = 0;
  }
  record_line(std::string_view(reply.text, kLineLength));
}

// Stores a colour index at a screen position, when that lies in the raster.
void put_index(int64_t x, int64_t y, int32_t index) {
  const int64_t row = int64_t{gen.raster_height} - y;
  if (x < 0 || x >= gen.raster_width || row < 0 || row >= gen.raster_height) return;
  map.raster[row * gen.raster_width + x] = index;
}

// Reads the lines of k = -t .. t - 1 and stores each value at (h, k) and at its
// Friedel mate (-h, -k). Returns false when the file ended first.
bool read_transform(int h_max, int t) {
  const bool amplitudes = ovly.amplitude_display == 1;
  const float amin = gen.amin;
  const float scale = gen.scale;
  const float amin2 = gen.amin * gen.amin;
  const float range2 = gen.amax * gen.amax - amin2;
  // Positions past the end of a short line read as zero.
  std::fill(std::begin(line_buffer), std::end(line_buffer), 0.0f);
  const int last_h = std::min(h_max, kMaxComplex - 1);
  imposn(1, 0, gen.first_y);
  for (int k = -t; k < t; ++k) {
    if (irdlin(1, line_buffer) != 0) return false;
    for (int h = 0; h <= last_h; ++h) {
      const float re = line_buffer[2 * h];
      const float im = line_buffer[2 * h + 1];
      const float power = re * re + im * im;
      int32_t index;
      if (amplitudes) {
        const float amplitude = std::sqrt(power);
        index = colour_index((amplitude - amin) * scale, amplitude > amin);
      } else {
        index = colour_index((power - amin2) * kTopColourLevel / range2, power > amin2);
      }
      put_index(int64_t{gen.centre_x} + h, int64_t{gen.centre_y} + k, index);
      put_index(int64_t{gen.centre_x} - h, int64_t{gen.centre_y} - k, index);
    }
  }
  return true;
}

}  // namespace

void fftread() {
  gen.status = 0;
  ovly.amplitude_display = 1;
  if (datafile.corner_counter == 0) ask_display_choice();

  gen.centre_x = gen.raster_width / 2;
  gen.centre_y = gen.raster_height / 2;
  record_line("");
  reset_message_lines();

  gen.scale = kTopColourLevel / (gen.amax - gen.amin);
  const int h_max = gen.shown_width - 1;
  const int t = gen.shown_height / 2;
  gen.area_x1 = gen.centre_x - h_max;
  gen.area_x2 = gen.centre_x + h_max;
  gen.area_y1 = gen.centre_y - t;
  gen.area_y2 = gen.centre_y + t;

  const int base = gen.message_lines;
  show_wait_lines();
  if (!raster_fits()) {
    tolpixlabelhide();
    reset_message_lines(base);
    add_label_line("Map dimensions too large for program");
    return;
  }
  if (gen.new_display == 1)
    std::fill_n(map.raster, int64_t{gen.raster_width} * gen.raster_height, 0);

  std::array<std::string_view, 2> warnings{};
  if (stream1_line_length() > 2 * kMaxComplex) {
    warnings[1] = "Map dimensions too large for program";
  } else if (t == 0) {
    // The rows shown are k = -t .. t - 1 and their mirrors: none for one row.
    warnings[1] = "Warning : nothing shown, the transform area is one row high";
  } else if (!read_transform(h_max, t)) {
    warnings[1] = kFileEndedWarning;
  }

  // A transform is one picture: image 0, whatever stored images were shown before.
  gen.image_number = 0;
  tolpixdrawimage(gen.raster_width, gen.raster_height, gen.image_number, map.raster, gen.status);
  tolpixlabelhide();
  warnings[0] = draw_warning(gen.status);
  reset_message_lines(base);
  show_warnings(warnings);

  centre_view();
}
