// Colour tables: the grey table installed at start-up and the named schemes of the
// main-menu command "Change colour table".
//
// A table is three arrays of colour components 0..65535. Cell 0 is the background
// cell, cells 1..127 carry the scheme; every table is loaded into cells 0..127.
#pragma once

#include <array>
#include <cstdint>

// Component arrays as the display takes them (256 cells; only 0..127 are used).
using ColourCells = std::array<int32_t, 256>;

struct LktbleRecord {
  int32_t default_request;       // 1: the next colour_table call installs the grey table silently
  ColourCells red, green, blue;  // the table last built (what the display holds)
};
extern LktbleRecord lktble;

// The command (scheme menu), or the silent grey-table installer when
// lktble.default_request is 1.
void colour_table();
// Forgets the table last built, for a fresh run of the program.
void colour_table_reset();

// Builders of three schemes: fill cells 1..127 of the arrays and load the table.
// colour_dreamworld: s sets the number of colour cycles, n is the number of cells.
void colour_dreamworld(const float& s, const float& n, ColourCells& red, ColourCells& green,
                       ColourCells& blue);
// colour_magicworld: lengths of the blue, blue-to-red, red, red-to-green and yellow
// segments.
void colour_magicworld(const int32_t& a, const int32_t& b, const int32_t& c, const int32_t& d,
                       const int32_t& e, ColourCells& red, ColourCells& green, ColourCells& blue);
// colour_waterworld: lengths of the violet, blue and cyan parts (n3 is implied).
void colour_waterworld(const int32_t& n1, const int32_t& n2, const int32_t& n3, ColourCells& red,
                       ColourCells& green, ColourCells& blue);

// Dreamworld's helpers. colour_compon replaces x by the wave value it works on.
float colour_compon(float& x);
float colour_icurve(const float& x, const float& a);
