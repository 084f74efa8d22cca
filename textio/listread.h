// The list-directed (free-format) reader: one reader for typed answers, the answer
// file, DATAFILE.dat and every text file the tools read.
//
// Values are separated by commas and/or blanks. An empty field between two commas
// leaves its output unchanged; a slash ends the list and leaves the remaining
// outputs unchanged; r*v repeats the value v r times and r* gives r empty fields.
#pragma once

#include <string_view>

struct ListResult {
  int fields = 0;      // fields consumed (values and empty fields), at most n
  bool ended = false;  // the list stopped early: a slash, or the text ran out
  bool error = false;  // a field could not be read as the requested kind
  bool complete() const { return !error && fields > 0; }
};

// Reads up to n integers from text into out[0..n-1].
ListResult list_read_ints(std::string_view text, int n, int* out);
// Reads up to n reals from text into out[0..n-1]. Accepts 1e3, 2000., .5, 1d3.
ListResult list_read_reals(std::string_view text, int n, float* out);
ListResult list_read_doubles(std::string_view text, int n, double* out);
