#include "driver/dialogue.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "driver/answers.h"
#include "textio/format.h"
#include "textio/strings.h"

// ---- Answers ----

void Answer::clear() {
  std::memset(text, ' ', sizeof text);
}

void Answer::set(std::string_view value) {
  set_field(text, value);
}

std::string_view Answer::view() const {
  return field_text(text);
}

bool Answer::is_default() const {
  std::string_view v = view();
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  return v.empty() || v == "/";
}

// ---- The message-line stack ----

void set_message_line(int n, std::string_view text) {
  if (n < 1 || n > kMessageLines) return;
  set_field(gen.message_text[n - 1], text);
}

void push_message_line(std::string_view text) {
  if (gen.message_lines < 0) gen.message_lines = 0;
  if (gen.message_lines >= kMessageLines) gen.message_lines = kMessageLines - 1;
  ++gen.message_lines;
  set_message_line(gen.message_lines, text);
}

void put_message_line(int offset, std::string_view text) {
  set_message_line(gen.message_lines + offset, text);
}

void reset_message_lines(int count) {
  gen.message_lines = std::clamp(count, 0, kMessageLines);
}

namespace {

int32_t line_count(int nlines) {
  return std::clamp(nlines, 0, kMessageLines);
}

// Writes the lines below the lines in use and returns how many lines to show.
int lines_below(std::initializer_list<std::string_view> lines) {
  int offset = 0;
  for (std::string_view line : lines) put_message_line(++offset, line);
  return gen.message_lines + offset;
}

}  // namespace

void show_label(int nlines) {
  const int32_t n = line_count(nlines);
  tolpixlabeldisplay(&gen.message_text[0][0], kLineLength, n);
}

void show_label_below(std::initializer_list<std::string_view> lines) {
  show_label(lines_below(lines));
}

void add_label_line(std::string_view text) {
  push_message_line(text);
  show_label(gen.message_lines);
}

void read_mark(std::string_view text, int32_t& x, int32_t& y) {
  show_label_below({text});
  tolpixreadpointer(x, y);
}

void ask(int nlines, Answer& reply) {
  const int32_t n = line_count(nlines);
  reply.asked_lines = n;
  tolpixioboxdisplay(&gen.message_text[0][0], kLineLength, reply.text, kLineLength, n);
}

void ask_name(int nlines, char* name, int length) {
  const int32_t n = line_count(nlines);
  tolpixioboxdisplay(&gen.message_text[0][0], kLineLength, name, length, n);
}

void ask_below(std::initializer_list<std::string_view> lines, Answer& reply) {
  ask(lines_below(lines), reply);
}

void ask_name_below(std::initializer_list<std::string_view> lines, char* name, int length) {
  ask_name(lines_below(lines), name, length);
}

// ---- Answer parsing ----

namespace {

// The re-typing dialogue shared by integers and reals: asks again until `parse`
// accepts the answer; an empty or "/" re-typed answer means all zeroes.
template <class T, class Parse>
void extract_values(int n, Answer& answer, std::array<T, 6>& out, const char* kind, Parse parse) {
  n = std::clamp(n, 1, 6);
  // The question stays on show above the re-typing line.
  const int below =
      std::clamp(std::max(gen.message_lines, answer.asked_lines), 0, kMessageLines - 1);
  while (true) {
    if (parse(n, answer.view(), out.data())) return;
    answer.clear();
    set_message_line(below + 1, "Typing error, re-type " + fmt_i(n, 1) + kind);
    ask(below + 1, answer);
    if (answer.is_default()) {
      out.fill(T{});
      return;
    }
  }
}

}  // namespace

void extract_integers(int n, Answer& answer, Ints6& out) {
  extract_values(n, answer, out, " integers...",
                 [](int k, std::string_view a, int32_t* o) { return parse_integers(k, a, o); });
}

void extract_reals(int n, Answer& answer, Reals6& out) {
  extract_values(n, answer, out, " reals...",
                 [](int k, std::string_view a, float* o) { return parse_reals(k, a, o); });
}

// ---- Files ----

bool file_exists(std::string_view name) {
  std::string path(name);
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

void check_file(char* name, int length) {
  while (true) {
    bool exists = file_exists(field_text(std::span<const char>(name, length)));
    if ((gen.must_exist == 1) == exists) return;
    ask_name_below({gen.must_exist == 1 ? "File cannot be found, please retype it :"
                                        : "File already present please re-type :"},
                   name, length);
  }
}

// ---- Drawing helpers ----

namespace {

void one_line(bool draw, int x1, int y1, int x2, int y2) {
  int32_t a[1] = {x1}, b[1] = {y1}, c[1] = {x2}, d[1] = {y2};
  int32_t n = 1;
  if (draw)
    tolpixdrawlines(a, b, c, d, n);
  else
    tolpixremovelines(a, b, c, d, n);
}

void cross(bool draw, int x, int y, int size) {
  const int half = size / 2;
  one_line(draw, x - half, y - half, x + half, y + half);
  one_line(draw, x - half, y + half, x + half, y - half);
}

}  // namespace

void draw_cross(int x, int y, int size) {
  cross(true, x, y, size);
}

void remove_cross(int x, int y, int size) {
  cross(false, x, y, size);
}

void remove_box(int x1, int y1, int x2, int y2) {
  one_line(false, x1, y1, x2, y1);
  one_line(false, x2, y1, x2, y2);
  one_line(false, x1, y2, x2, y2);
  one_line(false, x1, y1, x1, y2);
}

void draw_line(float a, float b, int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int ix, int iy,
               float px, float py) {
  // Real to integer conversions truncate toward zero; values far outside any
  // picture are kept within the 32-bit range first.
  auto trunc = [](float v) {
    if (!(v == v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -2.0e9f, 2.0e9f));
  };
  if (b == 0) {
    x1 = ix, y1 = gen.area_y1, x2 = ix, y2 = gen.area_y2;
  } else if (a == 0) {
    x1 = gen.area_x1, y1 = iy, x2 = gen.area_x2, y2 = iy;
  } else {
    x1 = gen.area_x1;
    y1 = trunc(py - (px - x1) / b * a);
    if (y1 < gen.area_y1) {
      y1 = gen.area_y1;
      x1 = trunc(px - (py - y1) / a * b);
    } else if (y1 > gen.area_y2) {
      y1 = gen.area_y2;
      x1 = trunc(px + (y1 - py) / a * b);
    }
    x2 = gen.area_x2;
    y2 = trunc(py + (x2 - px) / b * a);
    if (y2 > gen.area_y2) {
      y2 = gen.area_y2;
      x2 = trunc(px + (y2 - py) / a * b);
    } else if (y2 < gen.area_y1) {
      y2 = gen.area_y1;
      x2 = trunc(px - (py - y2) / a * b);
    }
  }
  one_line(true, x1, y1, x2, y2);
}

// ---- Menus and waiting ----

int wait_job(int lowest) {
  int32_t job = kJobNone;
  do {
    job = kJobNone;
    tolpixwait(job);
  } while (job < lowest);
  return job;
}

namespace {
// The items of the menu on show: the display library keeps using them while the
// menu exists, so they live in static storage.
char menu_items[kMaxMenuItems][kMenuItemLength];
}  // namespace

void show_menu(std::initializer_list<std::string_view> items) {
  int32_t n = 0;
  for (std::string_view item : items) {
    if (n == kMaxMenuItems) break;
    set_field(menu_items[n], item);
    ++n;
  }
  tolpixmenuinit(&menu_items[0][0], kMenuItemLength, n);
}

int menu_choice(std::initializer_list<std::string_view> items,
                std::initializer_list<int32_t> also) {
  show_menu(items);
  const int count = std::min(static_cast<int>(items.size()), kMaxMenuItems);
  for (;;) {
    int32_t job = kJobNone;
    tolpixwait(job);
    if ((job >= 1 && job <= count) || std::find(also.begin(), also.end(), job) != also.end())
      return job;
  }
}

// ---- Sliders ----

void start_sliders(int count, float pos1, float pos2) {
  tolpixsliderinit(count, pos1, pos2);
  tolpixcolourbarinit();
}

void hide_sliders() {
  tolpixcolourbarhide();
  tolpixsliderhide();
}

float slider_percent() {
  float p = 0.0f;
  tolpixsliderread(p);
  if (std::isnan(p)) return 0.0f;
  return std::clamp(p, 0.0f, 100.0f);
}

// ---- Tools of the main menu ----

void draw_string() {
  constexpr int kPage = 25;
  // Far more names than any display offers, so the list is never cut short.
  constexpr int kFontListCapacity = 256;
  show_menu({"Keep current text font", "Select new text font", "Return main menu"});
  int choice = wait_job(1);
  if (choice == 2) {
    static char names[kFontListCapacity][kFontNameLength];
    int32_t nfonts = 0;
    tolpixcheckfonts(&names[0][0], nfonts);
    nfonts = std::clamp(nfonts, 0, kFontListCapacity);
    int first = 0;  // first font of the page on show
    static char page[kPage][kMenuItemLength];
    while (true) {
      const int32_t count = nfonts == 0 ? 0 : std::min(kPage, nfonts - first);
      for (int i = 0; i < count; ++i)
        set_field(page[i], field_text(std::span<const char>(names[first + i], kFontNameLength)));
      tolpixmenuinit(&page[0][0], kMenuItemLength, count);
      reset_message_lines();
      show_label_below({"Click in main window to continue list"});
      int job = wait_job(0);
      if (job == kJobPointer || job > count) {
        first += kPage;
        if (first >= nfonts) first = 0;
        continue;
      }
      int32_t font = first + job;
      int32_t ierr = 0;
      tolpixchangefont(font, ierr);
      gen.status = ierr;
      tolpixlabelhide();
      if (gen.status == 0) break;
      Answer reply;
      ask_below({field_text(std::span<const char>(names[font - 1], kFontNameLength)),
                 "Font type not available, type cr to continue"},
                reply);
      first = 0;
    }
  } else if (choice != 1) {
    tolpixmenuhide();
    return;
  }
  tolpixmenuhide();
  reset_message_lines();
  int32_t x = 0, y = 0;
  read_mark("Mark cursor position for start of string with left mouse button", x, y);
  tolpixlabelhide();
  Answer text;
  ask_below({"Type in text string"}, text);
  tolpixdrawtext(x, y, text.text, kLineLength);
}

void hide_widgets() {
  tolpixmenuhide();
  tolpixsliderhide();
  Answer reply;
  ask_below({"Type ctrl/m to restore menu", "Type ctrl/l to restore label",
             "Type ctrl/s to restore slider", "Type any key to acknowledge and continue"},
            reply);
}

void modify_zoom() {
  while (true) {
    show_menu({"Type in new zoom factors", "Expand image to fill screen",
               "Return image to original", "Return main menu"});
    int choice = wait_job(1);
    if (choice == 1) {
      tolpixmenuhide();
      reset_message_lines();
      while (true) {
        Answer reply;
        ask_below({"Type size in x and y in pixels, zoom factors in x and y"}, reply);
        reset_message_lines();
        Ints6 v{};
        extract_integers(4, reply, v);
        int32_t ierr = 0;
        tolpixchangezoom(v[2], v[3], v[0], v[1], ierr);
        gen.status = ierr;
        if (ierr == 0) return;
        // The question is repeated below the line that says why.
        reset_message_lines();
        push_message_line("Insufficient resources for this zoom size");
      }
    } else if (choice == 2) {
      const int sw = std::max(gen.shown_width, 1), sh = std::max(gen.shown_height, 1);
      const int f = std::min(gen.screen_width / sw, gen.screen_height / sh);
      reset_message_lines();
      if (f > 1) {
        tolpixmenuhide();
        add_label_line("Wait for zoom window to be computed...");
        int32_t ierr = 0;
        tolpixchangezoom(f, f, f * gen.shown_width, f * gen.shown_height, ierr);
        gen.status = ierr;
        reset_message_lines();
        if (ierr == 0) {
          tolpixzoominit();
          tolpixlabelhide();
          return;
        }
        push_message_line("Insufficient resources for this zoom size");
      } else {
        push_message_line("Image too large to zoom");
      }
      show_label(gen.message_lines);
      reset_message_lines();
    } else if (choice == 3) {
      tolpixmenuhide();
      tolpixzoomhide();
      int32_t ierr = 0;
      tolpixchangezoom(4, 4, 256, 256, ierr);
      return;
    } else {
      tolpixmenuhide();
      return;
    }
  }
}
