// The list-directed reader and the answer parsing built on it.
#include <gtest/gtest.h>

#include <string>

#include "driver/answers.h"
#include "textio/listread.h"

TEST(ListRead, SeparatorsEmptyFieldsAndSlash) {
  int v[5] = {-1, -1, -1, -1, -1};
  ListResult r = list_read_ints("  1 , 2,,4 5", 5, v);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.fields, 5);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], -1);  // empty field between two commas
  EXPECT_EQ(v[3], 4);
  EXPECT_EQ(v[4], 5);

  int w[4] = {9, 9, 9, 9};
  r = list_read_ints(",7 / 8 8", 4, w);
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(w[0], 9);  // leading comma: first field empty
  EXPECT_EQ(w[1], 7);
  EXPECT_EQ(w[2], 9);  // the slash ends the list
  EXPECT_EQ(w[3], 9);
}

TEST(ListRead, RepeatCounts) {
  int v[6] = {0, 0, 0, 0, 0, 0};
  ListResult r = list_read_ints("3*7 2*,5", 6, v);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(v[0], 7);
  EXPECT_EQ(v[1], 7);
  EXPECT_EQ(v[2], 7);
  EXPECT_EQ(v[3], 0);  // 2* gives two empty fields
  EXPECT_EQ(v[4], 0);
  EXPECT_EQ(v[5], 5);

  // A repeat longer than the list fills only what was asked for.
  int w[3] = {0, 0, 0};
  int guard = 12345;
  r = list_read_ints("1000000*4", 2, w);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(w[0], 4);
  EXPECT_EQ(w[1], 4);
  EXPECT_EQ(w[2], 0);
  EXPECT_EQ(guard, 12345);

  EXPECT_TRUE(list_read_ints("0*4", 2, w).error);
  EXPECT_TRUE(list_read_ints("-2*4", 2, w).error);
}

TEST(ListRead, MalformedFieldsAreErrors) {
  int v[2] = {0, 0};
  EXPECT_TRUE(list_read_ints("a,b", 2, v).error);
  EXPECT_TRUE(list_read_ints("1.5", 1, v).error);
  EXPECT_TRUE(list_read_ints("99999999999", 1, v).error);
  EXPECT_TRUE(list_read_ints("12x", 1, v).error);
  EXPECT_TRUE(list_read_ints("+", 1, v).error);
  float f[2] = {0, 0};
  EXPECT_TRUE(list_read_reals("inf", 1, f).error);
  EXPECT_TRUE(list_read_reals("1e50", 1, f).error);  // beyond single precision
  EXPECT_TRUE(list_read_reals("1.2.3", 1, f).error);
  EXPECT_TRUE(list_read_reals("e", 1, f).error);
}

TEST(ListRead, RealForms) {
  float f[5] = {0, 0, 0, 0, 0};
  ListResult r = list_read_reals("1e3,2000. .5 -2d1 7", 5, f);
  EXPECT_FALSE(r.error);
  EXPECT_FLOAT_EQ(f[0], 1000.f);
  EXPECT_FLOAT_EQ(f[1], 2000.f);
  EXPECT_FLOAT_EQ(f[2], 0.5f);
  EXPECT_FLOAT_EQ(f[3], -20.f);
  EXPECT_FLOAT_EQ(f[4], 7.f);
  double d[2] = {0, 0};
  EXPECT_FALSE(list_read_doubles("0.1 , 1.5E-2", 2, d).error);
  EXPECT_DOUBLE_EQ(d[0], 0.1);
  EXPECT_DOUBLE_EQ(d[1], 0.015);
}

TEST(Answers, ShortAnswersKeepTheRemainingOutputs) {
  int v[6] = {1, 2, 3, 4, 5, 6};
  std::string answer = "10,200";
  answer.resize(80, ' ');
  EXPECT_TRUE(parse_integers(4, answer, v));
  EXPECT_EQ(v[0], 10);
  EXPECT_EQ(v[1], 200);
  EXPECT_EQ(v[2], 3);
  EXPECT_EQ(v[3], 4);

  // n beyond six is held to six: the seventh value never reaches the caller.
  int w[7] = {0, 0, 0, 0, 0, 0, -7};
  EXPECT_TRUE(parse_integers(9, "1 2 3 4 5 6 7", w));
  EXPECT_EQ(w[5], 6);
  EXPECT_EQ(w[6], -7);

  EXPECT_FALSE(parse_integers(2, "a,b", v));
  float f[2] = {0, 0};
  EXPECT_TRUE(parse_reals(2, "1e3,2000.", f));
  EXPECT_FLOAT_EQ(f[0], 1000.f);
  EXPECT_FLOAT_EQ(f[1], 2000.f);
  EXPECT_FALSE(parse_reals(2, "1,x", f));
}
