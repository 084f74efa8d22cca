// The fixed-width number formatter: widths, rounding and overflow asterisks.
#include <gtest/gtest.h>

#include "textio/format.h"

TEST(Format, IntegersFixedExponentAndGeneral) {
  const std::pair<std::string, std::string> cases[] = {
      {fmt_i(123, 5), "  123"},
      {fmt_i(-12, 3), "-12"},
      {fmt_i(-123, 3), "***"},
      {fmt_i(123456, 5), "*****"},
      {fmt_i(0, 6), "     0"},
      {fmt_f(3.14159, 8, 3), "   3.142"},
      {fmt_f(-2.5, 8, 1), "    -2.5"},
      {fmt_f(0.5, 5, 2), " 0.50"},
      {fmt_f(0.5, 3, 2), ".50"},  // no room for the leading zero
      {fmt_f(-0.25, 4, 2), "-.25"},
      {fmt_f(2.0, 4, 0), "  2."},  // the point stays
      {fmt_f(1234.5, 6, 2), "******"},
      {fmt_f(1e300, 10, 2), "**********"},
      {fmt_e(1234.56, 12, 4), "  0.1235E+04"},
      {fmt_e(0.0, 10, 3), " 0.000E+00"},
      {fmt_e(-1.5e-5, 11, 3), " -0.150E-04"},
      {fmt_e(1.0, 5, 3), "*****"},
      {fmt_g(1.5, 10, 3), "  1.50    "},
      {fmt_g(12345.0, 10, 3), " 0.123E+05"},
      {fmt_g(0.05, 10, 3), " 0.500E-01"},
      // Rounding to three digits decides between fixed and exponent form.
      {fmt_g(99.96, 10, 3), "  100.    "},
      {fmt_g(999.6, 10, 3), " 0.100E+04"},
      {fmt_g(0.09996, 10, 3), " 0.100    "},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
  EXPECT_EQ(fmt_f(1.0, 6, 500).size(), 6u);
}
