#include "format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string fit(std::string s, int w) {
  if (w <= 0) return {};
  if (static_cast<int>(s.size()) > w) return std::string(w, '*');
  return std::string(w - s.size(), ' ') + s;
}

// Drops the optional zero before the decimal point when the field is too narrow.
std::string drop_leading_zero(std::string s, int w) {
  if (static_cast<int>(s.size()) <= w) return s;
  if (s.rfind("0.", 0) == 0) return s.substr(1);
  if (s.rfind("-0.", 0) == 0) return "-" + s.substr(2);
  return s;
}

}  // namespace

std::string fmt_i(long long value, int w) {
  return fit(std::to_string(value), w);
}

std::string fmt_f(double value, int w, int d) {
  if (d < 0) d = 0;
  if (!std::isfinite(value))
    return fit(std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf"), w);
  // %#.0f keeps the decimal point, as Fortran's F editing does.
  // The largest double has 309 integer digits; 150 decimals is more than any field.
  if (d > 150) d = 150;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%#.*f", d, value);
  return fit(drop_leading_zero(buf, w), w);
}

std::string fmt_e(double value, int w, int d) {
  if (d < 1) d = 1;
  if (!std::isfinite(value))
    return fit(std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf"), w);
  std::string digits;
  int exponent = 0;
  if (value == 0.0) {
    digits.assign(static_cast<size_t>(d), '0');
  } else {
    // d significant digits as 0.ddd x 10^exponent.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(value));
    std::string t = buf;
    size_t epos = t.find('e');
    for (size_t i = 0; i < epos; ++i)
      if (t[i] != '.') digits += t[i];
    exponent = std::stoi(t.substr(epos + 1)) + 1;
  }
  std::string exp_text;
  int mag = std::abs(exponent);
  char sign = exponent < 0 ? '-' : '+';
  char buf[16];
  if (mag <= 99) {
    std::snprintf(buf, sizeof buf, "E%c%02d", sign, mag);
  } else {
    std::snprintf(buf, sizeof buf, "%c%03d", sign, mag);
  }
  exp_text = buf;
  std::string s =
      (std::signbit(value) && value != 0.0 ? "-" : "") + std::string("0.") + digits + exp_text;
  return fit(drop_leading_zero(s, w), w);
}

std::string fmt_g(double value, int w, int d) {
  if (d < 1) d = 1;
  double mag = std::fabs(value);
  if (!std::isfinite(value)) return fmt_e(value, w, d);
  if (mag == 0.0) return fmt_f(value, w - 4, d - 1) + "    ";
  // Exponent k with 10^(k-1) <= |v| < 10^k after rounding to d significant digits.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", d - 1, mag);
  int k = std::atoi(std::string(buf).substr(std::string(buf).find('e') + 1).c_str()) + 1;
  if (k < 0 || k > d) return fmt_e(value, w, d);
  return fmt_f(value, w - 4, d - k) + "    ";
}
