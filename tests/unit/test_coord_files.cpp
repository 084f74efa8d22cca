// Coordinate files: each layout written and read back, and files that cannot be taken in.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/child.h"
#include "textio/textfile.h"
#include "tools/area/coord_files.h"

namespace {

using V = std::vector<std::string>;
using P = std::vector<Position>;

P read_back(const std::string& file, CoordLayout layout, CoordFileRead& got) {
  P table(kMaxPositions + 1);
  int32_t npos = -1;
  TextReader in(file);
  got = read_coord_file(in, layout, 512, table, npos);
  return P(table.begin(), table.begin() + npos);
}

TEST(CoordFiles, EachLayoutIsWrittenAndReadBack) {
  testsupport::TempFolder dir;
  // An intensity too wide for its field reads back as 0; Spider and Imagic keep no value.
  const P list = {{12, 34, 5.5f}, {-3, 500, 2e10f}}, no_values = {{12, 34, 0}, {-3, 500, 0}};
  const struct {
    CoordLayout layout;
    bool image;
    V lines;
    P back;
  } cases[] = {
      {CoordLayout::standard,
       true,
       {"        x         y      density", "        12        34         5.5",
        "        -3       500************"},
       {{12, 34, 5.5f}, {-3, 500, 0}}},
      {CoordLayout::standard,
       false,
       {"        x         y    intensity   amplitude",
        "        12        34         5.5         2.3",
        "        -3       500************    141421.4"},
       {{12, 34, 5.5f}, {-3, 500, 0}}},
      {CoordLayout::spider,
       true,
       {" ; File output from Tolsvik : maps/ramp.map", "    1 2   12.000000   34.000000",
        "    2 2   -3.000000  500.000000"},
       no_values},
      {CoordLayout::imagic,
       true,
       {"    478.0000        12.00000        1.000000",
        "    12.00000       -3.000000        1.000000"},
       no_values},
  };
  for (const auto& c : cases) {
    TextWriter out(dir / "list.dat");
    write_coord_file(out, c.layout, {c.image, 512, "maps/ramp.map"}, list);
    ASSERT_TRUE(out.close());
    EXPECT_EQ(testsupport::read_lines(dir / "list.dat"), c.lines);
    CoordFileRead got;
    EXPECT_EQ(read_back(dir / "list.dat", c.layout, got), c.back);
    EXPECT_EQ(got.outcome, CoordFileRead::done);
  }
}

TEST(CoordFiles, RecordsOutsideWhatAMapHoldsAreRefused) {
  testsupport::TempFolder dir;
  V full(kMaxPositions + 2, "1 2 3");
  const struct {
    CoordLayout layout;
    V lines;
    CoordFileRead::Outcome outcome;
    int line;
    P back;
  } cases[] = {
      // Blank lines pass; Spider stores under the record's number, with implied decimals.
      {CoordLayout::spider,
       {"", "    3 2   -2.500000     1500000", "", "    1 2         1.0         2.0"},
       CoordFileRead::done,
       0,
       {{1, 2, 0}, {0, 0, 0}, {-3, 2, 0}}},
      {CoordLayout::spider,
       {"", "    0 2         1.0         2.0"},
       CoordFileRead::bad_line,
       2,
       {}},
      {CoordLayout::spider,
       {"", "16385 2         1.0         2.0"},
       CoordFileRead::too_many,
       2,
       {}},
      {CoordLayout::imagic, {"1 2", "1e12 3"}, CoordFileRead::bad_line, 2, {}},
      {CoordLayout::standard, {"", "1 2 3", "x y"}, CoordFileRead::bad_line, 3, {}},
      {CoordLayout::standard, full, CoordFileRead::too_many, kMaxPositions + 2, {}},
  };
  for (const auto& c : cases) {
    testsupport::write_lines(dir / "list.dat", c.lines);
    CoordFileRead got;
    const P back = read_back(dir / "list.dat", c.layout, got);
    EXPECT_EQ(got.outcome, c.outcome) << c.lines.at(1);
    EXPECT_EQ(got.line, c.line) << c.lines.at(1);
    if (c.outcome == CoordFileRead::done) {
      EXPECT_EQ(back, c.back);
    }
  }
}

}  // namespace
