// The dialogue helpers every command and tool converses through: the message-line
// stack of gen, the label, questions in the entry box, menus and waiting for job codes,
// the sliders, reading numbers out of a typed answer with its re-typing dialogue, the
// file-name check, the drawing helpers over the picture, and the small tools of the
// main menu (text strings, hiding the widgets, the zoom window). Tools never call the
// display's wait, menu or entry-box operations themselves.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "driver/records.h"

using Ints6 = std::array<int32_t, 6>;
using Reals6 = std::array<float, 6>;

// A typed answer: 80 characters, blank-padded.
struct Answer {
  char text[kLineLength];
  int asked_lines = 0;  // message lines of the question it answers (0: not asked here)
  Answer() { clear(); }
  void clear();
  void set(std::string_view value);
  std::string_view view() const;  // without trailing blanks
  bool is_default() const;        // empty or "/"
};

// ---- The message-line stack ----
//
// Lines 1..gen.message_lines are in use (line 1 is the title line). Questions and
// notes go below them; a dialogue that added lines sets the count back when done.

// Writes `text` into message line n (1-based, 1..60), blank-padded.
void set_message_line(int n, std::string_view text);
// Writes `text` into line message_lines + 1 and counts it in use.
void push_message_line(std::string_view text);
// Writes `text` into line message_lines + offset without counting it.
void put_message_line(int offset, std::string_view text);
// Keeps lines 1..count in use and forgets the ones below (the default keeps the title).
void reset_message_lines(int count = 1);

// ---- The label ----

// Shows message lines 1..nlines in the label.
void show_label(int nlines);
// Shows the lines in use with `lines` below them, without counting those in use.
void show_label_below(std::initializer_list<std::string_view> lines);
// Adds `text` below the lines in use, counts it and shows the label.
void add_label_line(std::string_view text);
// Shows the lines in use with `text` below them and reads a pointer mark (screen
// position).
void read_mark(std::string_view text, int32_t& x, int32_t& y);

// ---- Questions in the entry box ----

// Shows message lines 1..nlines in the entry box with `reply` as editable text and
// waits for the answer, which replaces it.
void ask(int nlines, Answer& reply);
void ask_name(int nlines, char* name, int length);  // the same for a file name
// Asks with `lines` written below the lines in use (not counted).
void ask_below(std::initializer_list<std::string_view> lines, Answer& reply);
void ask_name_below(std::initializer_list<std::string_view> lines, char* name, int length);

// ---- Menus and waiting ----

// Waits until the display reports a job code of at least `lowest`, and returns it.
int wait_job(int lowest);
// Shows a menu of the given items (each cut to 64 characters).
void show_menu(std::initializer_list<std::string_view> items);
// Shows the menu and waits for one of its items or one of the job codes `also` (a
// pointer mark, a rubber-band shape, ...); other job codes are passed over.
int menu_choice(std::initializer_list<std::string_view> items,
                std::initializer_list<int32_t> also = {});

// ---- Sliders ----

// Shows `count` sliders (1 or 2) at the given positions (0..1) with the colour bars.
void start_sliders(int count, float pos1, float pos2);
void hide_sliders();  // colour bars and sliders
// The position of the slider that moved, as a percentage 0..100.
float slider_percent();

// ---- Answer parsing with the re-typing dialogue ----

// Reads n (1..6) values out of the answer. While it cannot be read, the line below the
// question it answered (or below the lines in use) asks "Typing error, re-type n
// integers..." with an empty answer, the question still above it; an empty or "/"
// re-typed answer sets all six outputs to 0.
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
