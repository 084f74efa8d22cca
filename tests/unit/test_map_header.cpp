// Map headers: the terminal print, reading every field, the written layout,
// titles by ntflag, creating and copying headers, and complex-array statistics.
#include "map_test_util.h"

namespace maptest {
namespace {

using MapHeader = MapFileTest;

std::string rjust(const std::string& s, size_t w) {
  return std::string(w > s.size() ? w - s.size() : 0, ' ') + s;
}

RawHeader sample_header() {
  RawHeader h;
  h.nxyz[0] = 5;
  h.nxyz[1] = 4;
  h.mode = 2;
  h.nxyzst[0] = -2;
  h.nxyzst[2] = 3;
  h.mxyz[0] = 5;
  h.mxyz[1] = 4;
  const float cell[6] = {12.5f, 40.0f, 1.0f, 90.0f, 90.0f, 120.0f};
  std::copy(cell, cell + 6, h.cell);
  h.mapcrs[0] = 2;
  h.mapcrs[1] = 1;
  h.dens[0] = -1.5f;
  h.dens[1] = 2.25f;
  h.dens[2] = 0.125f;
  h.extra[0] = 7;
  h.extra[24] = -9;
  h.origin[0] = 1.5f;
  h.origin[1] = -2.0f;
  h.rms = 0.75f;
  h.nlabl = 2;
  h.titles = {"first title", "second title"};
  return h;
}

TEST_F(MapHeader, PrintShowsEveryFieldInItsColumns) {
  Bytes b = header_bytes(sample_header(), kNativeBig);
  b.resize(1024 + 5 * 4 * 4);
  write_file(path("p.map"), b);
  open_quiet(1, path("p.map"), "ro");
  int n[3], m;
  const std::string printed = read_header(1, n, m);

  const std::string pre = "       ";
  std::string expect = "\n";
  expect += pre + "Number of columns, rows, sections ........      5     4     1\n";
  expect += pre + "Map mode .................................      2\n";
  expect += pre + "Start points on columns, rows, sections ..     -2     0     3\n";
  expect += pre + "Grid sampling on x, y, z .................      5     4     1\n";
  expect += pre + "Cell axes ................................      12.50     40.00      1.00\n";
  expect += pre + "Cell angles ..............................      90.00     90.00    120.00\n";
  expect += pre + "Fast, medium, slow axes ..................      Y     X     Z\n";
  expect +=
      pre + "Minimum density .......................... " + rjust("-1.500000000000", 25) + "\n";
  expect +=
      pre + "Maximum density .......................... " + rjust("2.250000000000", 25) + "\n";
  expect +=
      pre + "Mean density ............................. " + rjust("0.125000000000", 25) + "\n";
  expect += pre + "Origin ...................................       1.50     -2.00      0.00\n";
  expect +=
      pre + "RMS deviation ............................ " + rjust("0.750000000000", 25) + "\n";
  expect += pre + "Space group, # bytes symmetry ............      0     0\n";
  expect += pre + "Number of titles .........................      2\n";
  expect += "\n Titles :\n";
  expect += " " + title("first title") + "\n";
  expect += " " + title("second title") + "\n\n";
  EXPECT_EQ(printed, expect);
}

TEST_F(MapHeader, UnknownAxisAndTooManyTitlesAreShownSafely) {
  RawHeader h = sample_header();
  h.mapcrs[0] = 1;
  h.mapcrs[1] = 7;
  h.mapcrs[2] = -4;
  h.nlabl = 14;
  h.titles.assign(10, "t");
  write_file(path("q.map"), header_bytes(h, kNativeBig));
  open_quiet(1, path("q.map"), "ro");
  int n[3], m;
  const std::string printed = read_header(1, n, m);
  EXPECT_NE(printed.find("Fast, medium, slow axes ..................      X     ?     ?\n"),
            std::string::npos);
  EXPECT_NE(printed.find("!!! Warning - title count"), std::string::npos);
  EXPECT_NE(printed.find("Number of titles .........................     10\n"), std::string::npos);
  MapTitle got[kMaxTitles];
  int nl = -1;
  irtlab(1, got, nl);
  EXPECT_EQ(nl, 10);
}

TEST_F(MapHeader, ExtendedHeaderOnlyWithPositiveSpaceGroup) {
  for (int ispg : {5, 0}) {
    SCOPED_TRACE("ispg " + std::to_string(ispg));
    RawHeader h = sample_header();
    h.ispg = ispg;
    h.nsymbt = 160;
    Bytes b = header_bytes(h, kNativeBig);
    std::vector<float> data(5 * 4 + 40);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(i);
    append_items(b, data, 4, kNativeBig);
    write_file(path("x.map"), b);
    open_quiet(1, path("x.map"), "ro");
    int n[3], m;
    read_header(1, n, m);
    float row[5];
    ASSERT_EQ(irdlin(1, row), 0);
    EXPECT_EQ(row[0], ispg > 0 ? 40.0f : 0.0f) << "first data byte 1184 or 1024";
    int g, ns;
    irtsym(1, g, ns);
    EXPECT_EQ(g, ispg);
    EXPECT_EQ(ns, ispg > 0 ? 160 : 0);
    imposn(1, 0, 1);
    ASSERT_EQ(irdlin(1, row), 0);
    EXPECT_EQ(row[0], ispg > 0 ? 45.0f : 5.0f);
    imclose(1);
  }
}

TEST_F(MapHeader, WrittenHeaderLayoutStampAndSymmetryRecord) {
  int nxyz[3] = {3, 2, 1}, mxyz[3] = {30, 20, 10};
  const std::string t1 = title("made here");
  MapTitle labels[1];
  std::memcpy(labels[0], t1.data(), kTitleLength);
  open_quiet(4, path("w.map"), "new");
  icrhdr(4, nxyz, mxyz, 1, labels, 1);
  ialorg(4, 1.5f, 2.5f, 0.0f);
  ialrms(4, 4.0f);
  const int extra[2] = {11, 12};
  ialext(4, extra, 24, 2);
  int nsymbt = -1;
  ialsym(4, 1, nsymbt);
  EXPECT_EQ(nsymbt, 80);
  iwrhdr(4, title("second").c_str(), 1, -3.0f, 9.0f, 2.0f);
  const float row[3] = {1, -2, 3};
  iwrlin(4, row);
  iwrlin(4, row);
  imclose(4);

  const Bytes b = read_file(path("w.map"));
  ASSERT_EQ(b.size(), 1024u + 80 + 3 * 2 * 2);
  RawHeader h;
  h.nxyz[0] = 3;
  h.nxyz[1] = 2;
  h.mode = 1;
  std::copy(mxyz, mxyz + 3, h.mxyz);
  const float cell[6] = {30, 20, 10, 90, 90, 90};
  std::copy(cell, cell + 6, h.cell);
  h.dens[0] = -3;
  h.dens[1] = 9;
  h.dens[2] = 2;
  h.ispg = 1;
  h.nsymbt = 80;
  h.extra[23] = 11;
  h.extra[24] = 12;
  h.origin[0] = 1.5f;
  h.origin[1] = 2.5f;
  h.rms = 4.0f;
  h.nlabl = 2;
  h.titles = {"made here", "second"};
  Bytes expect = header_bytes(h, kNativeBig);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 1024), expect);
  const uint8_t stamp[4] = {kNativeBig ? uint8_t{0x11} : uint8_t{0x44},
                            kNativeBig ? uint8_t{0x11} : uint8_t{0x41}, 0, 0};
  EXPECT_EQ(std::memcmp(&b[212], stamp, 4), 0);
  const std::string record(b.begin() + 1024, b.begin() + 1104);
  EXPECT_EQ(record, title(" X,Y,Z"));
  EXPECT_EQ(b[1104 + (kNativeBig ? 1 : 0)], 1) << "data after the symmetry record";
}

TEST_F(MapHeader, TitlesFollowNtflag) {
  open_quiet(4, path("t.map"), "new");
  int nxyz[3] = {1, 1, 1};
  auto titles_after = [&](int present, int ntflag) {
    MapTitle in[kMaxTitles];
    for (int t = 0; t < kMaxTitles; ++t)
      std::memcpy(in[t], title("old " + std::to_string(t + 1)).data(), kTitleLength);
    icrhdr(4, nxyz, nxyz, 2, in, present);
    iwrhdr(4, title("new").c_str(), ntflag, 0, 0, 0);
    MapTitle out[kMaxTitles];
    int nl = -1;
    irtlab(4, out, nl);
    std::vector<std::string> words;
    for (int t = 0; t < nl; ++t) {
      std::string w(out[t], kTitleLength);
      words.push_back(w.erase(w.find_last_not_of(' ') + 1));
    }
    return words;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(titles_after(2, -1), (V{"old 1", "old 2"}));
  EXPECT_EQ(titles_after(3, 0), (V{"new"}));
  EXPECT_EQ(titles_after(3, 7), (V{"new"}));
  EXPECT_EQ(titles_after(2, 1), (V{"old 1", "old 2", "new"}));
  V ten_replaced{"old 1", "old 2", "old 3", "old 4", "old 5",
                 "old 6", "old 7", "old 8", "old 9", "new"};
  EXPECT_EQ(titles_after(10, 1), ten_replaced);
  EXPECT_EQ(titles_after(2, 2), (V{"new", "old 1", "old 2"}));
  V ten_shifted{"new",   "old 1", "old 2", "old 3", "old 4",
                "old 5", "old 6", "old 7", "old 8", "old 9"};
  EXPECT_EQ(titles_after(10, 2), ten_shifted);
  EXPECT_EQ(titles_after(0, 2), (V{"new"}));
}

TEST_F(MapHeader, CreatingAndCopyingHeaders) {
  open_quiet(1, path("a.map"), "new");
  open_quiet(2, path("b.map"), "new");
  MapTitle labels[12];
  for (auto& l : labels) std::memset(l, 'x', kTitleLength);
  int nxyz[3] = {8, 6, 2}, mxyz[3] = {16, 12, 4};
  icrhdr(1, nxyz, mxyz, 3, labels, 12);
  MapTitle out[kMaxTitles];
  int nl;
  irtlab(1, out, nl);
  EXPECT_EQ(nl, 10);
  icrhdr(2, nxyz, mxyz, 0, labels, -1);
  irtlab(2, out, nl);
  EXPECT_EQ(nl, 0);
  float cell[6];
  irtcel(1, cell);
  EXPECT_EQ(std::vector<float>(cell, cell + 6), (std::vector<float>{16, 12, 4, 90, 90, 90}));

  // itrhdr copies everything but the symmetry records.
  int nsymbt;
  ialsym(1, 1, nsymbt);
  ialorg(1, 3.0f, 4.0f, 5.0f);
  const float other_cell[6] = {1, 2, 3, 60, 70, 80};
  ialcel(1, other_cell);
  itrhdr(2, 1);
  int g, sz[3], sam[3], st[3];
  irtsym(2, g, nsymbt);
  EXPECT_EQ(g + nsymbt, 0);
  irtsiz(2, sz, sam, st);
  EXPECT_EQ(sz[0] * 100 + sz[1] * 10 + sz[2], 862);
  float x, y, z;
  irtorg(2, x, y, z);
  EXPECT_EQ(z, 5.0f);
  irtlab(2, out, nl);
  EXPECT_EQ(nl, 10);

  // iallab keeps the count and blanks the titles after it; itrlab and itrcel copy only theirs.
  iallab(1, labels, 2);
  ialorg(1, 0, 0, 0);
  itrlab(2, 1);
  irtlab(2, out, nl);
  EXPECT_EQ(nl, 2);
  EXPECT_EQ(std::string(imcom.labels[imcom.lstream[1]][2], kTitleLength), title(""));
  irtorg(2, x, y, z);
  EXPECT_EQ(z, 5.0f) << "itrlab copies titles only";
  icrhdr(2, nxyz, mxyz, 0, labels, 0);
  itrcel(2, 1);
  irtcel(2, cell);
  EXPECT_EQ(cell[3], 60.0f);
}

TEST(MapComplexStatistics, ModulusOverTheChosenBlock) {
  // 3 complex columns x 3 rows; the block is columns 2..3 of rows 2..3.
  const float a[] = {100, 0, 100, 0, 100, 0,  //
                     100, 0, 3,   4, 0,   1,  //
                     100, 0, 6,   8, -2,  0};
  float dmin, dmax, dmean;
  iclcdn(a, 3, 3, 2, 3, 2, 3, dmin, dmax, dmean);
  EXPECT_EQ(dmin, 1.0f);
  EXPECT_EQ(dmax, 10.0f);
  EXPECT_EQ(dmean, 4.5f);
}

}  // namespace
}  // namespace maptest
