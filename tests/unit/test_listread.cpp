// The list-directed reader and the answer parsing built on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/answers.h"
#include "textio/listread.h"

TEST(ListRead, IntegersWithSeparatorsEmptyFieldsSlashesAndRepeats) {
  const struct {
    std::string text;
    int n;
    bool error;
    std::vector<int> values;  // from all -1 before
  } cases[] = {
      {"  1 , 2,,4 5", 5, false, {1, 2, -1, 4, 5}},  // an empty field keeps the value
      {",7 / 8 8", 4, false, {-1, 7, -1, -1}},       // the slash ends the list
      {"3*7 2*,5", 6, false, {7, 7, 7, -1, -1, 5}},  // "2*" gives two empty fields
      {"1000000*4", 2, false, {4, 4, -1}},           // a long repeat fills what was asked
      {"0*4", 2, true, {}},
      {"-2*4", 2, true, {}},
      {"a,b", 2, true, {}},
      {"1.5", 1, true, {}},
      {"99999999999", 1, true, {}},
      {"12x", 1, true, {}},
      {"+", 1, true, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> v(std::max<size_t>(c.values.size(), c.n), -1);
    EXPECT_EQ(list_read_ints(c.text, c.n, v.data()).error, c.error) << c.text;
    if (!c.error) {
      EXPECT_EQ(v, c.values) << c.text;
    }
  }
  int w[5];
  EXPECT_TRUE(list_read_ints(",7 / 8 8", 4, w).ended);
  EXPECT_EQ(list_read_ints("  1 , 2,,4 5", 5, w).fields, 5);
}

TEST(ListRead, Reals) {
  float f[5] = {};
  ASSERT_FALSE(list_read_reals("1e3,2000. .5 -2d1 7", 5, f).error);
  EXPECT_EQ(std::vector<float>(f, f + 5), (std::vector<float>{1000, 2000, 0.5f, -20, 7}));
  for (const char* bad : {"inf", "1e50", "1.2.3", "e"})  // 1e50 is beyond single precision
    EXPECT_TRUE(list_read_reals(bad, 1, f).error) << bad;
  double d[2] = {};
  EXPECT_FALSE(list_read_doubles("0.1 , 1.5E-2", 2, d).error);
  EXPECT_EQ(std::vector<double>(d, d + 2), (std::vector<double>{0.1, 0.015}));
}

TEST(Answers, ShortAnswersKeepTheRemainingOutputs) {
  int v[7] = {1, 2, 3, 4, 5, 6, -7};
  std::string answer = "10,200";
  answer.resize(80, ' ');
  EXPECT_TRUE(parse_integers(4, answer, v));
  EXPECT_EQ(std::vector<int>(v, v + 4), (std::vector<int>{10, 200, 3, 4}));
  // n beyond six is held to six: the seventh value never reaches the caller.
  EXPECT_TRUE(parse_integers(9, "1 2 3 4 5 6 7", v));
  EXPECT_EQ(std::vector<int>(v + 5, v + 7), (std::vector<int>{6, -7}));
  EXPECT_FALSE(parse_integers(2, "a,b", v));
  float f[2] = {0, 0};
  EXPECT_TRUE(parse_reals(2, "1e3,2000.", f));
  EXPECT_EQ(std::vector<float>(f, f + 2), (std::vector<float>{1000, 2000}));
  EXPECT_FALSE(parse_reals(2, "1,x", f));
}
