#include "driver/dialogue.h"

#include <sys/stat.h>

#include <algorithm>
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

namespace {
int32_t line_count(int nlines) {
  return std::clamp(nlines, 0, kMessageLines);
}
}  // namespace

void show_label(int nlines) {
  const int32_t n = line_count(nlines);
  tolpixlabeldisplay(&gen.message_text[0][0], kLineLength, n);
}

void ask(int nlines, Answer& reply) {
  const int32_t n = line_count(nlines);
  tolpixioboxdisplay(&gen.message_text[0][0], kLineLength, reply.text, kLineLength, n);
}

void ask_name(int nlines, char* name, int length) {
  const int32_t n = line_count(nlines);
  tolpixioboxdisplay(&gen.message_text[0][0], kLineLength, name, length, n);
}

// ---- Answer parsing ----

namespace {

// The re-typing dialogue shared by integers and reals: asks again until `parse`
// accepts the answer; an empty or "/" re-typed answer means all zeroes.
template <class T, class Parse>
void extract_values(int n, Answer& answer, std::array<T, 6>& out, const char* kind, Parse parse) {
  n = std::clamp(n, 1, 6);
  while (true) {
    if (parse(n, answer.view(), out.data())) return;
    put_message_line(1, "Typing error, re-type " + fmt_i(n, 1) + kind);
    answer.clear();
    ask(gen.message_lines + 1, answer);
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
    put_message_line(1, gen.must_exist == 1 ? "File cannot be found, please retype it :"
                                            : "File already present please re-type :");
    ask_name(gen.message_lines + 1, name, length);
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
      gen.message_lines = 1;
      set_message_line(2, "Click in main window to continue list");
      show_label(2);
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
      set_message_line(2, field_text(std::span<const char>(names[font - 1], kFontNameLength)));
      set_message_line(3, "Font type not available, type cr to continue");
      Answer reply;
      ask(3, reply);
      first = 0;
    }
  } else if (choice != 1) {
    tolpixmenuhide();
    return;
  }
  tolpixmenuhide();
  gen.message_lines = 1;
  set_message_line(2, "Mark cursor position for start of string with left mouse button");
  show_label(2);
  int32_t x = 0, y = 0;
  tolpixreadpointer(x, y);
  tolpixlabelhide();
  set_message_line(2, "Type in text string");
  Answer text;
  ask(2, text);
  tolpixdrawtext(x, y, text.text, kLineLength);
}

void hide_widgets() {
  tolpixmenuhide();
  tolpixsliderhide();
  put_message_line(1, "Type ctrl/m to restore menu");
  put_message_line(2, "Type ctrl/l to restore label");
  put_message_line(3, "Type ctrl/s to restore slider");
  put_message_line(4, "Type any key to acknowledge and continue");
  Answer reply;
  ask(gen.message_lines + 4, reply);
}

void modify_zoom() {
  while (true) {
    show_menu({"Type in new zoom factors", "Expand image to fill screen",
               "Return image to original", "Return main menu"});
    int choice = wait_job(1);
    if (choice == 1) {
      tolpixmenuhide();
      gen.message_lines = 1;
      put_message_line(1, "Type size in x and y in pixels, zoom factors in x and y");
      while (true) {
        Answer reply;
        ask(gen.message_lines + 1, reply);
        gen.message_lines = 1;
        Ints6 v{};
        extract_integers(4, reply, v);
        int32_t ierr = 0;
        tolpixchangezoom(v[2], v[3], v[0], v[1], ierr);
        gen.status = ierr;
        if (ierr == 0) return;
        // The question is repeated below the line that says why.
        gen.message_lines = 1;
        push_message_line("Insufficient resources for this zoom size");
        put_message_line(1, "Type size in x and y in pixels, zoom factors in x and y");
      }
    } else if (choice == 2) {
      const int sw = std::max(gen.shown_width, 1), sh = std::max(gen.shown_height, 1);
      const int f = std::min(gen.screen_width / sw, gen.screen_height / sh);
      gen.message_lines = 1;
      if (f > 1) {
        tolpixmenuhide();
        push_message_line("Wait for zoom window to be computed...");
        show_label(gen.message_lines);
        int32_t ierr = 0;
        tolpixchangezoom(f, f, f * gen.shown_width, f * gen.shown_height, ierr);
        gen.status = ierr;
        gen.message_lines = 1;
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
      gen.message_lines = 1;
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
