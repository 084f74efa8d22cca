// The fixed-width number formatter: widths, rounding and overflow asterisks.
#include <gtest/gtest.h>

#include "textio/format.h"

TEST(Format, Integers) {
  EXPECT_EQ(fmt_i(123, 5), "  123");
  EXPECT_EQ(fmt_i(-12, 3), "-12");
  EXPECT_EQ(fmt_i(-123, 3), "***");
  EXPECT_EQ(fmt_i(123456, 5), "*****");
  EXPECT_EQ(fmt_i(0, 6), "     0");
}

TEST(Format, Fixed) {
  EXPECT_EQ(fmt_f(3.14159, 8, 3), "   3.142");
  EXPECT_EQ(fmt_f(-2.5, 8, 1), "    -2.5");
  EXPECT_EQ(fmt_f(0.5, 5, 2), " 0.50");
  EXPECT_EQ(fmt_f(0.5, 3, 2), ".50");  // no room for the leading zero
  EXPECT_EQ(fmt_f(-0.25, 4, 2), "-.25");
  EXPECT_EQ(fmt_f(2.0, 4, 0), "  2.");  // the point stays with no decimals
  EXPECT_EQ(fmt_f(1234.5, 6, 2), "******");
  EXPECT_EQ(fmt_f(1e300, 10, 2), "**********");
  EXPECT_EQ(fmt_f(1.0, 6, 500).size(), 6u);
}

TEST(Format, ExponentAndGeneral) {
  EXPECT_EQ(fmt_e(1234.56, 12, 4), "  0.1235E+04");
  EXPECT_EQ(fmt_e(0.0, 10, 3), " 0.000E+00");
  EXPECT_EQ(fmt_e(-1.5e-5, 11, 3), " -0.150E-04");
  EXPECT_EQ(fmt_e(1.0, 5, 3), "*****");
  EXPECT_EQ(fmt_g(1.5, 10, 3), "  1.50    ");
  EXPECT_EQ(fmt_g(12345.0, 10, 3), " 0.123E+05");
  EXPECT_EQ(fmt_g(0.05, 10, 3), " 0.500E-01");
  // Rounding to three digits decides between fixed and exponent form.
  EXPECT_EQ(fmt_g(99.96, 10, 3), "  100.    ");
  EXPECT_EQ(fmt_g(999.6, 10, 3), " 0.100E+04");
  EXPECT_EQ(fmt_g(0.09996, 10, 3), " 0.100    ");
}
