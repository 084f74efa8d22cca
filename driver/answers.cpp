#include "answers.h"

#include <algorithm>

#include "textio/listread.h"

// Running out of text before n values is not an error: the outputs not reached
// keep the values the caller gave them (a caller that zeroes them first gets its
// defaults). Letters or malformed numbers are typing errors.
bool parse_integers(int n, std::string_view answer, int* out) {
  n = std::clamp(n, 1, 6);
  return !list_read_ints(answer, n, out).error;
}

bool parse_reals(int n, std::string_view answer, float* out) {
  n = std::clamp(n, 1, 6);
  return !list_read_reals(answer, n, out).error;
}
