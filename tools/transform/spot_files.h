// Spot lists: the table of selected reflections shared by the spot list editor and the
// lattice display, and the spot list file (".spt") they read and write, one reflection
// per line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TextReader;

// Reflections with h from 0 to 50 and k from -50 to 50; a reflection with negative h is
// kept as its Friedel mate (-h, -k).
constexpr int kSpotIndexLimit = 50;

// The spot list record: one value per reflection, h fastest. The editor keeps 1 for a
// selected reflection and 0 otherwise; the lattice display keeps the value of the file.
struct SpotlistRecord {
  int32_t value[2 * kSpotIndexLimit + 1][kSpotIndexLimit + 1];  // [k + 50][h]
};
extern SpotlistRecord spotlist;

// Turns (h, k) into the mate the table keeps: h >= 0, and k >= 0 when h is 0.
void stored_reflection(int& h, int& k);
// The entry of (h, k) or of its mate; nullptr outside the table.
int32_t* spot_entry(int h, int k);
void clear_spotlist();

// The line the editor writes for (h, k): both right-aligned in 6 characters, separated by
// a comma (13 characters).
std::string spot_list_line(int h, int k);

// Reads the rest of a spot list: every line holds h, k and optionally a value (1 when the
// line has no third number); blank lines are passed over. `take` gets each reflection as
// written. Returns false at the first line that is not a reflection.
bool read_spot_list(TextReader& in, const std::function<void(int h, int k, int value)>& take);
