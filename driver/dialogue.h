// Console helpers of the program's dialogues: the message-line stack of gen, questions
// in the entry box, reading numbers out of a typed answer with its re-typing dialogue,
// the file-name check, the drawing helpers over the picture, and the small tools of the
// main menu (text strings, hiding the widgets, the zoom window).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/records.h"

using Ints6 = std::array<int32_t, 6>;
using Reals6 = std::array<float, 6>;

// A typed answer: 80 characters, blank-padded.
struct Answer {
  char text[kLineLength];
  Answer() { clear(); }
  void clear();
  void set(std::string_view value);
  std::string_view view() const;  // without trailing blanks
  bool is_default() const;        // empty or "/"
};

// ---- The message-line stack ----

// Writes `text` into message line n (1-based, 1..60), blank-padded.
void set_message_line(int n, std::string_view text);
// Writes `text` into line message_lines + 1 and counts it in use.
void push_message_line(std::string_view text);
// Writes `text` into line message_lines + offset without counting it.
void put_message_line(int offset, std::string_view text);
// Shows message lines 1..nlines in the label.
void show_label(int nlines);
// Shows message lines 1..nlines in the entry box with `reply` as editable text and
// waits for the answer, which replaces it.
void ask(int nlines, Answer& reply);
void ask_name(int nlines, char* name, int length);  // the same for a file name

// ---- Answer parsing with the re-typing dialogue ----

// Reads n (1..6) values out of the answer. While it cannot be read, line
// message_lines + 1 asks "Typing error, re-type n integers..." with an empty answer;
// an empty or "/" re-typed answer sets all six outputs to 0.
void extract_integers(int n, Answer& answer, Ints6& out);
void extract_reals(int n, Answer& answer, Reals6& out);

// ---- Files ----

// Returns when the named file exists (gen.must_exist = 1) or does not (0), asking for
// another name in the entry box meanwhile. name holds `length` characters.
void check_file(char* name, int length);
bool file_exists(std::string_view name);

// ---- Drawing helpers (screen coordinates) ----

void draw_cross(int x, int y, int size);
void remove_cross(int x, int y, int size);
void remove_box(int x1, int y1, int x2, int y2);
// Draws the part of the line through (px, py) with direction (b, a) that lies in the
// current section's rectangle and returns its end points.
void draw_line(float a, float b, int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int ix, int iy,
               float px, float py);

// ---- Tools of the main menu ----

void draw_string();
void hide_widgets();
void modify_zoom();

// Waits until the display reports a job code of at least `lowest`, and returns it.
int wait_job(int lowest);
// Shows a menu of the given items (each cut to 64 characters).
void show_menu(std::initializer_list<std::string_view> items);
