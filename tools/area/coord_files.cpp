#include "tools/area/coord_files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "textio/format.h"
#include "textio/listread.h"
#include "textio/textfile.h"

namespace {

// No map has positions beyond this either way; it also keeps every field of the standard
// layout within its width.
constexpr double kCoordinateLimit = 999'999'999;
constexpr std::size_t kLongestRecord = 4096;  // characters of a line looked at

// ---- The layouts ----

bool has_header(CoordLayout layout) {
  return layout == CoordLayout::standard || layout == CoordLayout::spider;
}

std::string header_line(CoordLayout layout, const CoordFileInfo& info) {
  if (layout == CoordLayout::spider)
    return " ; File output from Tolsvik : " + std::string(info.map_file);
  return info.image ? "        x         y      density"
                    : "        x         y    intensity   amplitude";
}

// A real in free format, as a list-directed write gives it.
std::string free_real(double v) {
  return " " + fmt_g(v, 15, 7);
}

std::string record_line(CoordLayout layout, int number, const Position& p,
                        const CoordFileInfo& info) {
  switch (layout) {
    case CoordLayout::standard: {
      std::string line = fmt_i(p.x, 10) + fmt_i(p.y, 10) + fmt_f(p.value, 12, 1);
      if (!info.image) line += fmt_f(std::sqrt(std::max(p.value, 0.0f)), 12, 1);
      return line;
    }
    case CoordLayout::spider:
      return fmt_i(number, 5) + fmt_i(2, 2) + fmt_f(p.x, 12, 6) + fmt_f(p.y, 12, 6);
    case CoordLayout::imagic: {
      std::string line =
          free_real(static_cast<double>(info.ny) - p.y) + free_real(p.x) + free_real(1.0);
      return line.substr(0, line.find_last_not_of(' ') + 1);
    }
    case CoordLayout::screen_only:
      break;
  }
  return {};
}

bool blank(std::string_view text) {
  return text.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Nearest integer (halves away from zero) of a coordinate a map can have.
bool coordinate(double v, int32_t& out) {
  if (!(std::fabs(v) <= kCoordinateLimit)) return false;
  out = static_cast<int32_t>(std::lround(v));
  return true;
}

// A field of a fixed-layout record, `decimals` implied when it has no decimal point (0: an
// integer field). Blanks count for nothing and an empty field is 0; a field past the end of the
// line is empty.
bool fixed_field(std::string_view line, std::size_t from, std::size_t width, int decimals,
                 double& out) {
  std::string s;
  for (std::size_t i = from; i < from + width && i < line.size(); ++i)
    if (line[i] != ' ') s += line[i];
  out = 0;
  if (s.empty()) return true;
  bool point = false, exponent = false;
  for (char& c : s) {
    if (c == 'd' || c == 'D') c = 'e';
    if (c == '.')
      point = true;
    else if (c == 'e' || c == 'E')
      exponent = true;
    else if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-')
      return false;
  }
  if (decimals == 0 && (point || exponent)) return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
  out = point ? v : v / std::pow(10.0, decimals);
  return true;
}

// A record of the layout: the position and, for Spider, the number it is stored under.
bool read_record(CoordLayout layout, std::string text, int32_t ny, Position& p, int64_t& number) {
  p = Position{0, 0, 0.0f};
  if (layout == CoordLayout::spider) {
    double n = 0, x = 0, y = 0, two = 0;
    if (!fixed_field(text, 0, 5, 0, n) || !fixed_field(text, 5, 2, 0, two) ||
        !fixed_field(text, 7, 12, 6, x) || !fixed_field(text, 19, 12, 6, y) || n < 1)
      return false;
    number = static_cast<int64_t>(std::min(n, 1e9));
    return coordinate(x, p.x) && coordinate(y, p.y);
  }
  if (layout == CoordLayout::imagic) {
    float r[2] = {0, 0};
    int32_t row = 0;
    const ListResult got = list_read_reals(text, 2, r);
    return !got.error && got.fields == 2 && coordinate(r[0], row) &&
           coordinate(static_cast<double>(ny) - row, p.y) && coordinate(r[1], p.x);
  }
  // A value too wide for its field was written as asterisks (a run of them, perhaps right after
  // the number before it): it reads as 0. One asterisk is a repeat count.
  for (std::size_t i = text.find("**"); i != std::string::npos; i = text.find("**", i)) {
    const std::size_t end = std::min(text.find_first_not_of('*', i), text.size());
    text.replace(i, end - i, " 0 ");
  }
  int xy[2] = {0, 0};
  float r[3] = {0, 0, 0};
  const ListResult ints = list_read_ints(text, 2, xy);
  const ListResult reals = list_read_reals(text, 3, r);
  if (ints.error || ints.fields < 2 || reals.error) return false;
  p = Position{xy[0], xy[1], r[2]};
  return std::abs(static_cast<double>(p.x)) <= kCoordinateLimit &&
         std::abs(static_cast<double>(p.y)) <= kCoordinateLimit;
}

}  // namespace

void write_coord_file(TextWriter& out, CoordLayout layout, const CoordFileInfo& info,
                      std::span<const Position> list) {
  if (layout == CoordLayout::screen_only) return;
  if (has_header(layout)) out.line(header_line(layout, info));
  for (std::size_t k = 0; k < list.size(); ++k)
    out.line(record_line(layout, static_cast<int>(k + 1), list[k], info));
}

CoordFileRead read_coord_file(TextReader& in, CoordLayout layout, int32_t ny,
                              std::span<Position> table, int32_t& npos) {
  npos = 0;
  std::fill(table.begin(), table.end(), Position{0, 0, 0.0f});
  const int64_t limit = std::min<int64_t>(kMaxPositions, static_cast<int64_t>(table.size()));
  std::string text;
  int64_t line = 0;
  if (has_header(layout) && in.line(text, kLongestRecord)) ++line;
  while (in.line(text, kLongestRecord)) {
    ++line;
    if (blank(text)) continue;
    Position p{};
    int64_t number = npos + 1;
    if (!read_record(layout, text, ny, p, number)) return {CoordFileRead::bad_line, line};
    if (number > limit) return {CoordFileRead::too_many, line};
    table[static_cast<std::size_t>(number - 1)] = p;
    npos = static_cast<int32_t>(std::max<int64_t>(npos, number));
  }
  return {};
}
