#include "listread.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n';
}

bool parse_integer(std::string_view token, long long& value) {
  if (token.empty() || token.size() > 40) return false;
  size_t i = 0;
  if (token[0] == '+' || token[0] == '-') i = 1;
  if (i == token.size()) return false;
  for (size_t j = i; j < token.size(); ++j)
    if (token[j] < '0' || token[j] > '9') return false;
  std::string copy(token);
  errno = 0;
  value = std::strtoll(copy.c_str(), nullptr, 10);
  return errno == 0;
}

// A real in Fortran's forms: 12, -3., .5, 1e3, 1.5E-2, 2d0. Special values such
// as "inf" or "nan" are not numbers a scientist types and are refused.
bool parse_real(std::string_view token, double& value) {
  if (token.empty() || token.size() > 60) return false;
  std::string copy(token);
  bool digit = false;
  for (char& c : copy) {
    if (c == 'd' || c == 'D') c = 'e';
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') {
      return false;
    }
  }
  if (!digit) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(value);
}

// Walks the fields of a list and hands each value (or empty field) to store.
// store(index, token) returns false when the token cannot be read.
template <typename Store>
ListResult walk(std::string_view text, int n, Store store) {
  ListResult result;
  size_t pos = 0;
  const size_t len = text.size();
  while (result.fields < n) {
    while (pos < len && is_blank(text[pos])) ++pos;
    if (pos >= len || text[pos] == '/') {
      result.ended = true;
      break;
    }
    if (text[pos] == ',') {  // an empty field
      ++result.fields;
      ++pos;
      continue;
    }
    size_t start = pos;
    while (pos < len && !is_blank(text[pos]) && text[pos] != ',' && text[pos] != '/') ++pos;
    std::string_view token = text.substr(start, pos - start);

    long long repeat = 1;
    std::string_view value = token;
    size_t star = token.find('*');
    if (star != std::string_view::npos) {
      long long r = 0;
      std::string_view count = token.substr(0, star);
      if (count.empty() || count[0] == '+' || count[0] == '-' || !parse_integer(count, r) ||
          r < 1) {
        result.error = true;
        break;
      }
      repeat = r;
      value = token.substr(star + 1);
    }
    for (long long i = 0; i < repeat && result.fields < n; ++i) {
      // "r*" alone gives r empty fields.
      if (!value.empty() && !store(result.fields, value)) {
        result.error = true;
        return result;
      }
      ++result.fields;
    }
    // The separator after a value: blanks, optionally one comma among them.
    while (pos < len && is_blank(text[pos])) ++pos;
    if (pos < len && text[pos] == ',') ++pos;
  }
  return result;
}

}  // namespace

ListResult list_read_ints(std::string_view text, int n, int* out) {
  return walk(text, n, [out](int i, std::string_view token) {
    long long v = 0;
    if (!parse_integer(token, v) || v < std::numeric_limits<int>::min() ||
        v > std::numeric_limits<int>::max())
      return false;
    out[i] = static_cast<int>(v);
    return true;
  });
}

ListResult list_read_reals(std::string_view text, int n, float* out) {
  return walk(text, n, [out](int i, std::string_view token) {
    double v = 0;
    if (!parse_real(token, v) || std::fabs(v) > std::numeric_limits<float>::max()) return false;
    out[i] = static_cast<float>(v);
    return true;
  });
}

ListResult list_read_doubles(std::string_view text, int n, double* out) {
  return walk(text, n, [out](int i, std::string_view token) {
    double v = 0;
    if (!parse_real(token, v)) return false;
    out[i] = v;
    return true;
  });
}
