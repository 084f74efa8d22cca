// Coordinate files: each layout written and read back, and files read with what no map holds.
#include <gtest/gtest.h>

#include "tests/support/child.h"
#include "textio/textfile.h"
#include "tools/area/coord_files.h"

namespace {

using V = std::vector<std::string>;
using P = std::vector<Position>;

P read_back(const V& lines, CoordLayout layout, CoordFileRead& got) {
  testsupport::write_lines("list.dat", lines);
  P table(kMaxPositions);
  int32_t npos = 0;
  TextReader in("list.dat");
  got = read_coord_file(in, layout, 512, table, npos);
  return P(table.begin(), table.begin() + npos);
}

// Rows with `write`: the list below written gives the lines, which read back. The others are
// files read: blank lines pass, Spider stores under the record's number and implies decimals, a
// value too wide for its field reads as 0, and what no map holds is refused.
TEST(CoordFiles, EachLayoutIsWrittenAndReadBackAndWhatNoMapHoldsIsRefused) {
  testsupport::TempFolder dir(true);
  using R = CoordFileRead;
  using L = CoordLayout;
  const P list = {{12, 34, 5.5f}, {-3, 500, 0}}, no_values = {{12, 34, 0}, {-3, 500, 0}};
  const struct {
    bool write;
    L layout;
    V lines;
    P back;
    R::Outcome outcome = R::done;
    int64_t line = 0;
  } cases[] = {
      // clang-format off
      {true, L::standard, {"        x         y      density", "        12        34         5.5",
                           "        -3       500         0.0"}, list},
      {true, L::spider, {" ; File output from Tolsvik : maps/ramp.map",
                         "    1 2   12.000000   34.000000", "    2 2   -3.000000  500.000000"},
       no_values},
      {true, L::imagic, {"    478.0000        12.00000        1.000000",
                         "    12.00000       -3.000000        1.000000"}, no_values},
      {false, L::spider, {"", "    3 2   -2.500000     1500000", "", "    1 2         1.0         2.0"},
       {{1, 2, 0}, {0, 0, 0}, {-3, 2, 0}}},
      {false, L::standard, {"", "        -3       500************    141421.4", "1 2 3.5"},
       {{-3, 500, 0}, {1, 2, 3.5f}}},
      {false, L::spider, {"", "    0 2         1.0         2.0"}, {}, R::bad_line, 2},
      {false, L::imagic, {"1 2", "1e12 3"}, {}, R::bad_line, 2},
      // clang-format on
  };
  for (const auto& c : cases) {
    if (c.write) {
      TextWriter out("list.dat");
      write_coord_file(out, c.layout, {true, 512, "maps/ramp.map"}, list);
      ASSERT_TRUE(out.close());
      EXPECT_EQ(testsupport::read_lines("list.dat"), c.lines);
    }
    CoordFileRead got;
    const P back = read_back(c.lines, c.layout, got);
    EXPECT_EQ(std::pair(got.outcome, got.line), std::pair(c.outcome, c.line)) << c.lines.at(1);
    EXPECT_EQ(back, c.outcome == R::done ? c.back : back) << c.lines.at(1);
  }
}

}  // namespace
