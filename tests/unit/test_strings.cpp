// String utilities on fixed-length, blank-padded texts.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "textio/strings.h"

namespace {
std::string padded(const std::string& s, size_t n) {
  std::string t = s;
  t.resize(n, ' ');
  return t;
}
}  // namespace

TEST(Strings, InkommaRewritesSeparators) {
  // Text, width, the text afterwards and the length returned.
  const std::tuple<std::string, size_t, std::string, int> cases[] = {
      {"  1   2 ,  ,   3", 30, "1,2,3", 6},
      {"1 2 3,", 20, "1,2,3", 6},
      {"", 10, "", 1},
      {"12", 2, "12", 3}};  // nothing to rewrite, no room around it
  for (auto [text, width, after, length] : cases) {
    std::string t = padded(text, width);
    EXPECT_EQ(inkomma(t), length) << text;
    EXPECT_EQ(t, padded(after, width)) << text;
  }
}

TEST(Strings, LengthsOfBlankAndNulTerminatedTexts) {
  EXPECT_EQ(shorten(padded("", 40)), 1);
  EXPECT_EQ(shorten(padded("abc", 40)), 3);
  EXPECT_EQ(shorten(std::string("abc \0\0", 6)), 3);  // NULs count as blanks
  EXPECT_EQ(lnblank(padded("", 40)), 0);
  EXPECT_EQ(lnblank(std::string("ab \0zz", 6)), 2);
  EXPECT_EQ(lnblank(padded("x y", 9)), 3);
}

TEST(Strings, HexIntochAndRmblank) {
  EXPECT_EQ(hex_format(-1), "FF");
  EXPECT_EQ(hex_format(10), "0A");
  EXPECT_EQ(hex_format(255), "FF");
  EXPECT_EQ(hex_format(-128), "80");

  std::array<char, 8> t;
  EXPECT_EQ(intoch(-42, t), 3);
  EXPECT_EQ(std::string(t.data(), t.size()), "-42     ");
  std::array<char, 3> small;
  EXPECT_EQ(intoch(123456, small), 6);  // full length reported, text cut to fit
  EXPECT_EQ(std::string(small.data(), small.size()), "123");

  std::array<char, 12> out;
  out.fill('#');
  EXPECT_EQ(rmblank(out, " a b  c "), 3);
  EXPECT_EQ(std::string(out.data(), out.size()), "abc     ####");
  std::array<char, 2> tiny;
  EXPECT_EQ(rmblank(tiny, "abcdef"), 2);  // never past the end of out
  EXPECT_EQ(std::string(tiny.data(), 2), "ab");
}

TEST(Strings, Fields) {
  std::array<char, 6> f;
  set_field(f, "abcdefgh");
  EXPECT_EQ(std::string(f.data(), 6), "abcdef");
  set_field(f, "ab");
  EXPECT_EQ(field_text(f), "ab");
  f[1] = '\0';
  EXPECT_EQ(field_text(f), "a");
  EXPECT_EQ(imin(-3, 2), -3);
  EXPECT_EQ(imax(-3, 2), 2);
}
