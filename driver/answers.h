// Reading numbers out of a typed answer (80 characters).
#pragma once

#include <string_view>

// Parses up to n (1 to 6) values from the answer into out; outputs of empty fields,
// of fields after a slash and past the end of the answer stay as they were.
// Returns false when the answer cannot be read as values of that kind.
bool parse_integers(int n, std::string_view answer, int* out);
bool parse_reals(int n, std::string_view answer, float* out);
