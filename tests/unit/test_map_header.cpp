// Map headers: the written layout and the terminal print, the extended header,
// titles by ntflag, creating and copying headers, and complex-array statistics.
#include "map_test_util.h"

namespace maptest {
namespace {

using MapHeader = MapFileTest;

// The layer writes a header with a symmetry record; the file holds it byte for
// byte, and reading it back prints every field in its columns.
TEST_F(MapHeader, WrittenLayoutAndPrint) {
  RawHeader h{.nxyz = {5, 4, 1},
              .nxyzst = {-2, 0, 3},
              .mxyz = {10, 8, 2},
              .cell = {12.5f, 40, 1, 90, 90, 120},
              .mapcrs = {2, 1, 3},
              .dens = {-1.5f, 2.25f, 0.125f},
              .ispg = 1,
              .nsymbt = 80,
              .extra = {7},
              .origin = {1.5f, -2},
              .rms = 0.75f,
              .nlabl = 2,
              .titles = {"first title", "second title"}};
  h.extra[24] = -9;
  MapTitle first;
  title("first title").copy(first, kTitleLength);
  open_quiet(4, path("w.map"), "new");
  icrhdr(4, h.nxyz, h.nxyz, 1, &first, 1);
  ialmod(4, 2);
  ialsiz(4, h.nxyz, h.nxyzst);
  ialsam(4, h.mxyz);
  ialcel(4, h.cell);
  ialuvw(4, 2, 1, 3);
  ialext(4, h.extra, 1, 1);
  ialext(4, h.extra + 24, 25, 1);
  ialorg(4, 1.5f, -2.0f, 0.0f);
  ialrms(4, 0.75f);
  int nsymbt = -1;
  ialsym(4, 1, nsymbt);
  EXPECT_EQ(nsymbt, 80);
  iwrhdr(4, title("second title").c_str(), 1, -1.5f, 2.25f, 0.125f);
  std::vector<float> data(20);
  for (int i = 0; i < 20; ++i) data[i] = i - 7.5f;
  iwrsec(4, data.data());
  imclose(4);

  const Bytes b = read_file(path("w.map"));
  ASSERT_EQ(b.size(), 1024u + 80 + 20 * 4);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 1024), header_bytes(h, kNativeBig));
  EXPECT_EQ(std::string(b.begin() + 1024, b.begin() + 1104), title(" X,Y,Z"));
  EXPECT_EQ(std::memcmp(&b[1104], data.data(), 80), 0) << "data after the symmetry record";

  const std::string expect = R"(
       Number of columns, rows, sections ........      5     4     1
       Map mode .................................      2
       Start points on columns, rows, sections ..     -2     0     3
       Grid sampling on x, y, z .................     10     8     2
       Cell axes ................................      12.50     40.00      1.00
       Cell angles ..............................      90.00     90.00    120.00
       Fast, medium, slow axes ..................      Y     X     Z
       Minimum density ..........................           -1.500000000000
       Maximum density ..........................            2.250000000000
       Mean density .............................            0.125000000000
       Origin ...................................       1.50     -2.00      0.00
       RMS deviation ............................            0.750000000000
       Space group, # bytes symmetry ............      1    80
       Number of titles .........................      2

 Titles :
)";
  EXPECT_EQ(open_read(1, path("w.map")),
            expect + " " + title("first title") + "\n " + title("second title") + "\n\n");
}

TEST_F(MapHeader, TitlesFollowNtflag) {
  open_quiet(4, path("t.map"), "new");
  const int nxyz[3] = {1, 1, 1};
  MapTitle in[kMaxTitles], out[kMaxTitles];
  for (int t = 0; t < kMaxTitles; ++t) title(std::string(1, 'a' + t)).copy(in[t], kTitleLength);
  // Old titles a..j, of which the first `present` are set; "N" is the new one.
  const std::tuple<int, int, const char*> cases[] = {
      {2, -1, "ab"}, {3, 0, "N"}, {3, 7, "N"},           {2, 1, "abN"},
      {2, 2, "Nab"}, {0, 2, "N"}, {10, 1, "abcdefghiN"}, {10, 2, "Nabcdefghi"}};
  for (auto [present, ntflag, expect] : cases) {
    icrhdr(4, nxyz, nxyz, 2, in, present);
    iwrhdr(4, title("N").c_str(), ntflag, 0, 0, 0);
    int nl = -1;
    irtlab(4, out, nl);
    std::string want;
    for (const char* c = expect; *c; ++c) want += title(std::string(1, *c));
    EXPECT_EQ(std::string(out[0], nl * kTitleLength), want) << present << " " << ntflag;
  }
}

TEST(MapComplexStatistics, ModulusOverTheChosenBlock) {
  // 3 complex columns x 3 rows; the block is columns 2..3 of rows 2..3.
  const float a[] = {100, 0, 100, 0, 100, 0,  //
                     100, 0, 3,   4, 0,   1,  //
                     100, 0, 6,   8, -2,  0};
  float dmin, dmax, dmean;
  iclcdn(a, 3, 3, 2, 3, 2, 3, dmin, dmax, dmean);
  EXPECT_EQ(std::vector<float>({dmin, dmax, dmean}), (std::vector<float>{1, 10, 4.5f}));
}

}  // namespace
}  // namespace maptest
