#include "strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {
bool blank(char c) {
  return c == ' ' || c == '\0';
}
bool separator(char c) {
  return c == ',' || c == ' ';
}
}  // namespace

int shorten(std::string_view text) {
  for (size_t i = text.size(); i > 0; --i)
    if (!blank(text[i - 1])) return static_cast<int>(i);
  return 1;
}

int inkomma(std::span<char> text) {
  int last = 0, first = 0;
  for (size_t i = text.size(); i > 0; --i) {
    if (!blank(text[i - 1])) {
      last = static_cast<int>(i);
      break;
    }
  }
  if (last == 0) return 1;
  while (blank(text[first])) ++first;

  // Rewrite in place: the write position never passes the read position.
  int written = 0;
  bool after_separator = false;
  for (int i = first; i < last; ++i) {
    char c = text[i];
    if (blank(c) || separator(c)) {
      if (after_separator) continue;
      text[written++] = ',';
      after_separator = true;
    } else {
      text[written++] = c;
      after_separator = false;
    }
  }
  for (int i = written; i < last; ++i) text[i] = ' ';
  int n = written + 1;
  if (written > 0 && text[written - 1] == ',') {
    text[written - 1] = ' ';
    --n;
  }
  return n;
}

int lnblank(std::string_view text) {
  size_t end = text.find('\0');
  if (end == std::string_view::npos) end = text.size();
  for (size_t i = end; i > 0; --i)
    if (text[i - 1] != ' ') return static_cast<int>(i);
  return 0;
}

int rmblank(std::span<char> out, std::string_view in) {
  size_t count = 0;
  for (char c : in) {
    if (c == ' ') continue;
    if (count >= out.size()) break;
    out[count++] = c;
  }
  const size_t fill_to = std::min(in.size(), out.size());
  for (size_t i = count; i < fill_to; ++i) out[i] = ' ';
  return static_cast<int>(count);
}

std::string hex_format(int value) {
  if (value < 0) value += 256;
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(value) & 0xFFu);
  return buf;
}

int intoch(int value, std::span<char> text) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", value);
  set_field(text, std::string_view(buf, static_cast<size_t>(n)));
  return n;
}

std::time_t getdate(std::span<char> text) {
  std::time_t now = std::time(nullptr);
  char buf[64] = {};
  std::tm parts{};
  localtime_r(&now, &parts);
  // The calendar text of ctime: "Sun Dec  6 19:59:38 2026\n".
  if (std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y\n", &parts) == 0) buf[0] = '\0';
  set_field(text, buf);
  return now;
}

int imin(int a, int b) {
  return a < b ? a : b;
}
int imax(int a, int b) {
  return a > b ? a : b;
}

void sleepdelay(int microseconds) {
  if (microseconds <= 0) return;
  timespec wait{microseconds / 1000000, static_cast<long>(microseconds % 1000000) * 1000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void set_field(std::span<char> field, std::string_view text) {
  const size_t n = std::min(field.size(), text.size());
  std::copy_n(text.begin(), n, field.begin());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

std::string_view field_text(std::span<const char> field) {
  std::string_view text(field.data(), field.size());
  text = text.substr(0, text.find('\0'));
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string visible_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0) {
      out.push_back(' ');
    } else if (c < 0x20 || c == 0x7f) {
      out.push_back('^');
      out.push_back(static_cast<char>(c ^ 0x40));
    } else if (c >= 0x80) {
      const char octal[5] = {'\\', static_cast<char>('0' + (c >> 6)),
                             static_cast<char>('0' + ((c >> 3) & 7)),
                             static_cast<char>('0' + (c & 7)), '\0'};
      out += octal;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}
