// Colour tables: the start-up grey table and the schemes of "Change colour table".
//
// The arithmetic is single precision throughout and follows the order of the
// formulas of each scheme, so that a table is the same cell for cell on every run.
// Components are rounded to the nearest integer (halves away from zero) and kept in
// 0..65535 before they reach the display.
#include "tools/area/colour_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "display/tolpix.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/format.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "textio/textfile.h"

LktbleRecord lktble;

namespace {

constexpr int kLastCell = 127;  // scheme cells are 1..127
constexpr int32_t kFull = 65535;
constexpr float kN = 127.0f;          // number of scheme cells
constexpr float kS = 65536.0f / kN;   // step of the plain ramps
constexpr float kW = 65535.0f / kN;   // step of the blended schemes
constexpr float kBlankSlider = 0.0f;  // position argument of an absent second slider

// Nearest integer, halves away from zero; values beyond the int32 range saturate.
int32_t nearest(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::lround(v));
}

// A colour component: rounded and kept inside what a colour cell holds.
int32_t component(float v) {
  return std::clamp(nearest(v), 0, kFull);
}

// a / b where a zero b gives an infinite (or zero) quotient instead of a trap: the
// blended schemes then fall back to one of their two colours.
float ratio(float a, float b) {
  if (b != 0.0f) return a / b;
  if (a == 0.0f) return 0.0f;
  return std::copysign(std::numeric_limits<float>::infinity(), a);
}

void set_cell(ColourCells& red, ColourCells& green, ColourCells& blue, int i, int32_t r, int32_t g,
              int32_t b) {
  if (i < 0 || i > kLastCell) return;
  red[i] = r;
  green[i] = g;
  blue[i] = b;
}

void set_grey(ColourCells& red, ColourCells& green, ColourCells& blue, int i, int32_t v) {
  set_cell(red, green, blue, i, v, v, v);
}

// Loads cells 0..127 into the display.
void load(ColourCells& red, ColourCells& green, ColourCells& blue) {
  for (int i = 0; i <= kLastCell; ++i) {
    red[i] = std::clamp(red[i], 0, kFull);
    green[i] = std::clamp(green[i], 0, kFull);
    blue[i] = std::clamp(blue[i], 0, kFull);
  }
  tolpixsetcolourtable(0, kLastCell, red.data(), green.data(), blue.data());
}

void load_current() {
  load(lktble.red, lktble.green, lktble.blue);
}

// Every scheme is built over a black background cell.
void black_background() {
  set_grey(lktble.red, lktble.green, lktble.blue, 0, 0);
}

// Cells 1..127 as the plain grey ramp i * S.
void grey_ramp() {
  for (int i = 1; i <= kLastCell; ++i)
    set_grey(lktble.red, lktble.green, lktble.blue, i, component(static_cast<float>(i) * kS));
}

// The background slider: cell 0 grey at p percent of full brightness.
void set_background(float p) {
  set_grey(lktble.red, lktble.green, lktble.blue, 0, component(p * 65535.0f * 0.01f));
  load_current();
}

// The slider loop of the schemes that end on any job but a slider move: slider 1 is
// the background, slider 2 (when present) goes to `second`.
template <typename Second>
void slider_loop_until_other(bool two_sliders, Second second) {
  for (;;) {
    int job = wait_job(0);
    if (job == kJobSlider1) {
      set_background(slider_percent());
    } else if (job == kJobSlider2) {
      if (two_sliders) second(slider_percent());
    } else {
      tolpixlabelhide();
      hide_sliders();
      return;
    }
  }
}

// ---- 1. Black/White with lower and upper thresholds ----

void black_white() {
  auto& t = lktble;
  black_background();
  grey_ramp();
  load_current();

  const float amin = gen.amin;
  const float amax = gen.amax;
  auto show_help = [&] {
    show_label_below(
        {"min, max, mean =" + fmt_g(amin, 15, 7) + fmt_g(amax, 15, 7) + fmt_g(gen.dmean, 15, 7),
         "Use left and right sliders to set lower and upper thresholds"});
  };
  show_help();

  int lower = 1;
  int upper = kLastCell;
  float lo = std::max(amin + (amax - amin) / kTopColourLevel, amin);
  float hi = amax;
  float pos1 = 0.0f;
  float pos2 = 0.95f;
  start_sliders(2, pos1, pos2);

  // Cells lower..upper ramp from black towards white.
  auto ramp = [&] {
    for (int i = lower; i <= upper; ++i)
      set_grey(t.red, t.green, t.blue, i,
               component(static_cast<float>((i - lower) * kFull) /
                         static_cast<float>(upper - lower + 1)));
  };

  for (;;) {
    int job = wait_job(0);
    if (job == kJobSlider1) {
      float p = slider_percent();
      pos1 = p * 0.01f;
      lower = std::clamp(nearest(p * kTopColourLevel * 0.01f), 1, upper - 1);
      for (int i = 1; i <= std::max(lower - 1, 1); ++i) set_grey(t.red, t.green, t.blue, i, 0);
      ramp();
      lo = std::max(amin + static_cast<float>(lower) * (amax - amin) / kTopColourLevel, amin);
      load_current();
    } else if (job == kJobSlider2) {
      float p = slider_percent();
      pos2 = p * 0.01f;
      upper = std::max(nearest(p * kTopColourLevel * 0.01f), lower + 1);
      ramp();
      for (int i = std::min(upper + 1, kLastCell); i <= kLastCell; ++i)
        set_grey(t.red, t.green, t.blue, i, kFull);
      hi = std::min(amin + static_cast<float>(upper) * (amax - amin) / kTopColourLevel, amax);
      load_current();
    } else if (job == kJobPointer) {
      tolpixlabelhide();
      hide_sliders();
      show_label_below({"min, max =" + fmt_f(lo, 10, 0) + fmt_f(hi, 10, 0)});
      show_menu({"Re-scale to these thresholds", "Return main menu"});
      int answer = wait_job(0);
      if (answer == 1) {
        tolpixlabelhide();
        gen.amin = lo;
        gen.amax = hi;
        gen.redisplay = 1;
        return;
      }
      if (answer == 2) return;
      // Anything else goes back to adjusting: bring the sliders back where they were.
      show_help();
      start_sliders(2, pos1, pos2);
    }
  }
}

// ---- 2. White/Black ----

void white_black() {
  auto& t = lktble;
  set_grey(t.red, t.green, t.blue, 0, kFull);
  for (int i = 1; i <= kLastCell; ++i)
    set_grey(t.red, t.green, t.blue, i, component(static_cast<float>(std::abs(i - 127)) * kS));
  load_current();
}

// ---- 3. Monochrome ----

void monochrome() {
  int pick = menu_choice({"Red", "Green", "Blue", "Yellow", "Magenta", "Cyan", "Return main menu"});
  if (pick == 7) return;
  static constexpr float kFactors[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                           {1, 1, 0}, {1, 0, 1}, {0, 1, 1}};
  const float* f = kFactors[pick - 1];
  auto& t = lktble;
  black_background();
  for (int i = 1; i <= kLastCell; ++i) {
    float v = static_cast<float>(i) * kS;
    set_cell(t.red, t.green, t.blue, i, component(v * f[0]), component(v * f[1]),
             component(v * f[2]));
  }
  load_current();
  show_label_below({"Use slider to set background"});
  start_sliders(1, 0.0f, kBlankSlider);
  slider_loop_until_other(false, [](float) {});
}

// ---- 4. Metallic ----

void metallic() {
  int pick = menu_choice({"Gold", "Silver", "Bronze", "Return main menu"});
  if (pick == 4) return;
  static constexpr float kFactors[3][3] = {
      {1.0f, 0.7f, 0.1f}, {0.6f, 0.6f, 0.7f}, {0.8f, 0.4f, 0.2f}};
  const float* f = kFactors[pick - 1];
  auto& t = lktble;
  const float k = 65535.0f / (kS * 1.9027972f * 122.0f);
  black_background();

  // Brightness grows as exp((i/100)^q): q bends the curve.
  auto build = [&](float q) {
    for (int i = 1; i <= kTopColourIndex; ++i) {
      float fi = static_cast<float>(i);
      float base = std::exp(std::pow(fi * 0.01f, q)) * k * kS * fi;
      set_cell(t.red, t.green, t.blue, i, component(base * f[0]), component(base * f[1]),
               component(base * f[2]));
    }
    set_grey(t.red, t.green, t.blue, kTopColourIndex + 1, kFull);
    set_grey(t.red, t.green, t.blue, 127, kFull);
    load_current();
  };
  build(2.0f);
  show_label_below({"Use left/right sliders to set background/brightness"});
  start_sliders(2, 0.0f, 0.5f);
  slider_loop_until_other(true, [&](float p) { build(p * 0.04f); });
}

// ---- 5. Black/blue/violet/white ----

void black_blue_violet_white() {
  auto& t = lktble;
  const int k = nearest(kN / 3.0f);
  black_background();
  auto ramp = [](int i) { return component(static_cast<float>(i) * kS); };
  for (int i = 1; i <= k; ++i) set_cell(t.red, t.green, t.blue, i, 0, 0, ramp(i));
  for (int i = k + 1; i <= 2 * k; ++i) set_cell(t.red, t.green, t.blue, i, ramp(i), 0, kFull);
  for (int i = 2 * k + 1; i <= 3 * k; ++i)
    set_cell(t.red, t.green, t.blue, i, kFull, ramp(i), kFull);
  for (int i = 3 * k; i <= kLastCell; ++i) set_grey(t.red, t.green, t.blue, i, kFull);
  load_current();
}

// ---- 6. Magicworld ----

void magicworld() {
  auto& t = lktble;
  int32_t a = 25, b = 25, c = 25, d = 25, e = 26;
  black_background();
  colour_magicworld(a, b, c, d, e, t.red, t.green, t.blue);
  show_label_below({"Use left and right sliders to set background and brightness"});
  start_sliders(2, 0.0f, 0.5f);
  slider_loop_until_other(true, [&](float p) {
    e = std::max(nearest((std::exp(p * 0.0039999997f) - 1.0f) * kN), 1);
    a = std::max(nearest((std::exp((100.0f - p) * 0.0039999997f) - 1.0f) * kN), 1);
    d = std::max(nearest(std::exp(-(100.0f - p) * 0.0055555557f) / 3.784f * kN), 1);
    b = std::max(nearest(std::exp(-p * 0.0055555557f) / 3.784f * kN), 1);
    c = 127 - (a + e + b + d);
    colour_magicworld(a, b, c, d, e, t.red, t.green, t.blue);
  });
}

// ---- 7. Waterworld ----

void waterworld() {
  auto& t = lktble;
  int32_t n1 = 42, n2 = 42, n3 = 43;
  black_background();
  colour_waterworld(n1, n2, n3, t.red, t.green, t.blue);
  show_label_below({"Use left and right sliders to set background and brightness"});
  start_sliders(2, 0.0f, 0.5f);
  slider_loop_until_other(true, [&](float p) {
    n3 = nearest((p * 0.01f * 0.33333f + 0.166667f) * kN);
    n1 = nearest((p * 0.01f * -0.33333f + 0.5f) * kN);
    n2 = 128 - (n1 + n3);
    colour_waterworld(n1, n2, n3, t.red, t.green, t.blue);
  });
}

// ---- 8. Dreamworld ----

void dreamworld() {
  auto& t = lktble;
  show_label_below({"Use left / right sliders to set background / number of cycles"});
  float s = 0.08f / kN;
  black_background();
  colour_dreamworld(s, kN, t.red, t.green, t.blue);
  start_sliders(2, 0.0f, 0.0f);
  for (;;) {
    int job = wait_job(0);
    if (job == kJobSlider1) {
      set_background(slider_percent());
    } else if (job == kJobSlider2) {
      s = slider_percent() * 0.01f * 8.0f / kN;
      colour_dreamworld(s, kN, t.red, t.green, t.blue);
    } else if (job == kJobPointer) {
      hide_sliders();
      return;
    }
  }
}

// ---- 9. Complementary ----

void complementary() {
  int pick = menu_choice({"Red/green", "Blue/orange", "Return main menu"});
  if (pick == 3) return;
  auto& t = lktble;
  // Cells below the threshold t take the first colour, cells from t on the second.
  auto build = [&](int threshold) {
    threshold = std::clamp(threshold, 0, kLastCell);
    for (int i = 1; i <= threshold; ++i) {
      int32_t v = component(static_cast<float>(i) * kS);
      if (pick == 1) {
        set_cell(t.red, t.green, t.blue, i, 0, v, 0);
      } else {
        set_cell(t.red, t.green, t.blue, i, 0, 0, v);
      }
    }
    if (threshold < kLastCell) {
      for (int i = std::max(threshold, 1); i <= kLastCell; ++i) {
        float v = static_cast<float>(i) * kS;
        if (pick == 1) {
          set_cell(t.red, t.green, t.blue, i, component(v), 0, 0);
        } else {
          set_cell(t.red, t.green, t.blue, i, component(v),
                   component(v / static_cast<float>(128 - i)), component(v * 0.125f));
        }
      }
    }
    load_current();
  };
  black_background();
  show_label_below({"Move slider to increase background threshold"});
  build(nearest(kN * 0.5f));
  start_sliders(1, 0.5f, kBlankSlider);
  for (;;) {
    int job = wait_job(0);
    if (job == kJobSlider1) {
      build(nearest(kN * slider_percent() * 0.01f));
    } else if (job == kJobPointer) {
      hide_sliders();
      return;
    }
  }
}

// ---- 10. Saturation ----

void saturation() {
  int pick = menu_choice({"Background black/white", "Background white/black", "Return main menu"});
  if (pick == 3) return;
  auto& t = lktble;
  const int32_t orange_red = component(kN * kS);
  const int32_t orange_green = 65535 * 165 / 255;
  // Cells 1..n ramp in grey, cells from n on are orange (saturated).
  auto build = [&](int n) {
    n = std::clamp(n, 0, kLastCell);
    for (int i = 1; i <= n; ++i) {
      int steps = pick == 1 ? i : kTopColourIndex + 1 - i;
      set_grey(t.red, t.green, t.blue, i, component(static_cast<float>(steps) * kS));
    }
    if (n < kLastCell)
      for (int i = std::max(n, 1); i <= kLastCell; ++i)
        set_cell(t.red, t.green, t.blue, i, orange_red, orange_green, 0);
    load_current();
  };
  black_background();
  build(kTopColourIndex);
  show_label_below({"Use slider bar to set saturation"});
  start_sliders(1, 0.95f, kBlankSlider);
  for (;;) {
    int job = wait_job(0);
    if (job == kJobSlider1) {
      build(nearest(slider_percent() * kN * 0.01f));
    } else if (job == kJobPointer) {
      hide_sliders();
      return;
    }
  }
}

// ---- 11. Read from file ----

// One record of a table file: red, green and blue of one cell. An empty field or a
// slash keeps the cell's component as it was. False when the record cannot be read.
bool read_record(const std::string& line, int cell) {
  auto& t = lktble;
  int v[3] = {t.red[cell], t.green[cell], t.blue[cell]};
  ListResult r = list_read_ints(line, 3, v);
  bool slash_ended = r.ended && line.find('/') != std::string::npos;
  if (r.error || (r.fields < 3 && !slash_ended)) return false;
  set_cell(t.red, t.green, t.blue, cell, std::clamp(v[0], 0, kFull), std::clamp(v[1], 0, kFull),
           std::clamp(v[2], 0, kFull));
  return true;
}

// Returns false when the user gave no name (the scheme menu is shown again).
bool read_from_file() {
  char name[kFileNameLength];
  std::fill(std::begin(name), std::end(name), ' ');
  ask_name_below({"Colour table file name ..."}, name, kFileNameLength);
  if (field_text(name).empty()) return false;

  gen.must_exist = 1;
  check_file(name, kFileNameLength);
  const std::string path(field_text(name));

  TextReader in(path);
  if (!in.is_open()) {
    print_line("Colour table file " + path + " cannot be opened");
  } else {
    std::string line;
    for (int cell = 1; cell <= kLastCell; ++cell)
      if (!in.line(line) || !read_record(line, cell)) break;
  }
  load_current();
  return true;
}

}  // namespace

// ---- The three scheme builders and Dreamworld's helpers ----

float colour_compon(float& x) {
  x = std::sin(6.2831855f * x) * 1.28f;
  float up = std::exp(x);
  float down = std::exp(-x);
  return 1.16756f * (up - down) / (up + down);
}

float colour_icurve(const float& x, const float& a) {
  float v = x * 65535.0f * (a + 1.0f - a * x);
  if (!(v > 0.0f)) return 0.0f;  // also catches NaN
  return std::min(v, 65535.0f);
}

void colour_dreamworld(const float& s, const float& n, ColourCells& red, ColourCells& green,
                       ColourCells& blue) {
  // Each component is a wave over the cells; the three waves are a third of a
  // cycle apart and bent by their own curve.
  static constexpr float kOffset[3] = {2.0f / 3.0f, 0.0f, 1.0f / 3.0f};
  static constexpr float kCurve[3] = {-0.35f, 0.25f, 0.35f};
  ColourCells* out[3] = {&red, &green, &blue};
  for (int i = 1; i <= kLastCell; ++i) {
    float fi = static_cast<float>(i);
    float f = fi / n;
    float q = (n - fi) * fi / 16384.0f;
    float t = fi * s;
    for (int c = 0; c < 3; ++c) {
      float phase = t + kOffset[c];
      float wave = colour_compon(phase);
      (*out[c])[i] = static_cast<int32_t>(colour_icurve(wave * q + f, kCurve[c]));
    }
  }
  load(red, green, blue);
}

void colour_magicworld(const int32_t& a_in, const int32_t& b_in, const int32_t& c_in,
                       const int32_t& d_in, const int32_t& e_in, ColourCells& red,
                       ColourCells& green, ColourCells& blue) {
  const int a = std::clamp(a_in, 0, kLastCell);
  const int b = std::clamp(b_in, 0, kLastCell);
  const int c = std::clamp(c_in, 0, kLastCell);
  const int d = std::clamp(d_in, 0, kLastCell);
  const int e = std::clamp(e_in, 0, kLastCell);

  // The envelope exponent x rises from -4 to about 0 over blue, violet and red, then
  // restarts at 0 for the green and yellow part.
  float x = -4.0f;
  float dx = ratio(4.0f, static_cast<float>(a + b + c));
  auto lum = [](int i) { return static_cast<float>(i) * kW; };
  auto cell = [&](int i, float r, float g, float bl) {
    set_cell(red, green, blue, i, component(r), component(g), component(bl));
    x += dx;
  };

  for (int i = 1; i <= a; ++i) cell(i, 0.0f, 0.0f, std::exp(x) * lum(i));

  const int k0 = a + 1;
  const int k1 = a + b / 2;
  const float rk = ratio(static_cast<float>(k1) * kW, static_cast<float>(k1 - k0));
  for (int i = k0; i <= k1; ++i) {
    float l = lum(i);
    float h = std::exp(x) * l;
    float f = ratio(h, static_cast<float>(i - k0 + 1) * rk / l + 1.0f);
    cell(i, h - f, 0.0f, f);
  }

  const int j0 = k1 + 1;
  const int j1 = k1 + b / 2;
  const int32_t wj = nearest(ratio(static_cast<float>(j0) * kW, static_cast<float>(j1 - j0)));
  for (int i = j0; i <= j1; ++i) {
    float l = lum(i);
    float h = std::exp(x) * l;
    float f = ratio(h, ratio(l, static_cast<float>(j1 - i + 1) * static_cast<float>(wj)) + 1.0f);
    cell(i, h - f, 0.0f, f);
  }

  for (int i = j1 + 1; i <= j1 + c; ++i) cell(i, std::exp(x) * lum(i), 0.0f, 0.0f);

  const int p0 = j1 + c + 1;
  const int p1 = p0 + d - 1;
  x = 0.0f;
  dx = ratio(1.1f, static_cast<float>(128 - p0));
  const float rp = ratio(static_cast<float>(p1) * kW, static_cast<float>(p1 - p0));
  for (int i = p0; i <= p1; ++i) {
    float l = lum(i);
    float h = std::exp(x) * l;
    float f = ratio(h, ratio(l, static_cast<float>(i - p0 + 1) * rp) + 1.0f);
    cell(i, h - f, f, 0.0f);
  }

  for (int i = p1 + 1; i <= p1 + e / 2; ++i) {
    float h = std::exp(x) * lum(i);
    cell(i, h / 2.0f, h / 2.0f, 0.0f);
  }

  const int q0 = p1 + e / 2 + 1;
  if (q0 < kLastCell) {
    for (int i = q0; i <= kLastCell; ++i) {
      float l = lum(i);
      float h = std::exp(x) * l;
      int32_t step = (i - q0 + 1) * kFull / (kLastCell - q0);
      float f = ratio(h, ratio(2.0f * l, static_cast<float>(step)) + 1.0f);
      cell(i, h - f, h - f, f);
    }
  } else {
    set_grey(red, green, blue, kLastCell, kFull);
  }
  load(red, green, blue);
}

void colour_waterworld(const int32_t& n1_in, const int32_t& n2_in, const int32_t& /*n3*/,
                       ColourCells& red, ColourCells& green, ColourCells& blue) {
  const int n1 = std::clamp(n1_in, 0, kLastCell);
  const int n2 = std::clamp(n2_in, 0, kLastCell);
  auto lum = [](int i) { return static_cast<float>(i) * kW; };
  // Brightness envelope: exp(-1) at cell 1 rising to about exp(1) at cell 127.
  auto env = [&](int i) { return std::exp(-1.0f + static_cast<float>(i - 1) / 64.0f) * lum(i); };
  auto put = [&](int i, float r, float g, float b) {
    if (i >= 1 && i <= kLastCell)
      set_cell(red, green, blue, i, component(r), component(g), component(b));
  };

  for (int i = 1; i <= n1; ++i) put(i, env(i) / 2.0f, 0.0f, env(i) / 2.0f);

  const int k0 = n1 + 1;
  const int k1 = n1 + n2 / 2;
  const int32_t w = nearest(ratio(static_cast<float>(k0) * kW, static_cast<float>(k1 - k0)));
  for (int i = k0; i <= std::min(k1, kLastCell); ++i) {
    float g = env(i);
    float f =
        ratio(g, ratio(lum(i), static_cast<float>(k1 - i + 1) * static_cast<float>(w)) + 1.0f);
    put(i, f, 0.0f, g - f);
  }

  const int m0 = k1 + 1;
  const int m1 = k1 + n2 / 2;
  const float r = ratio(static_cast<float>(m1) * kW, static_cast<float>(m1 - m0));
  for (int i = m0; i <= std::min(m1, kLastCell); ++i) {
    float g = env(i);
    float f = ratio(g, static_cast<float>(i - m0 + 1) * r / lum(i) + 1.0f);
    put(i, 0.0f, g - f, f);
  }

  for (int i = m1 + 1; i < kLastCell; ++i) put(i, 0.0f, env(i) / 2.0f, env(i) / 2.0f);
  set_grey(red, green, blue, kLastCell, kFull);
  load(red, green, blue);
}

// ---- The command ----

void colour_table_reset() {
  lktble = LktbleRecord{};
}

void colour_table() {
  auto& t = lktble;
  if (t.default_request == 1) {
    black_background();
    grey_ramp();
    load_current();
    t.default_request = 0;
    return;
  }

  tolpixmenuhide();
  for (;;) {
    int pick = menu_choice({"Black/White", "White/Black", "Monochrome", "Metallic",
                            "Black/blue/violet/white", "Magicworld", "Waterworld", "Dreamworld",
                            "Complementary", "Saturation", "Read from file", "Return main menu"});
    switch (pick) {
      case 1:
        black_white();
        break;
      case 2:
        white_black();
        break;
      case 3:
        monochrome();
        break;
      case 4:
        metallic();
        break;
      case 5:
        black_blue_violet_white();
        break;
      case 6:
        magicworld();
        break;
      case 7:
        waterworld();
        break;
      case 8:
        dreamworld();
        break;
      case 9:
        complementary();
        break;
      case 10:
        saturation();
        break;
      case 11:
        if (!read_from_file()) continue;
        break;
      default:
        break;
    }
    tolpixmenuhide();
    return;
  }
}
