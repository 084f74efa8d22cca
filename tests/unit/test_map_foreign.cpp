// Opening existing maps: byte order from the machine stamp, old-style files,
// files without a stamp, and the open summary.
#include "map_test_util.h"
#include "tests/support/test_maps.h"

namespace maptest {
namespace {

using MapOpen = MapFileTest;

// A 3 x 2 map of every mode (6, 12: by mrcfile) in either order reads the same header and data.
TEST_F(MapOpen, EitherByteOrderReadsTheSameValues) {
  RawHeader h{
      .nxyz = {3, 2, 1}, .nxyzst = {-7}, .mxyz = {300, 1, 1}, .cell = {123.25f, 1, 1, 90, 90, 90}};
  h.dens[0] = -5.5f, h.dens[1] = 1.0e6f, h.extra[3] = 0x01020304, h.origin[2] = -0.5f;
  h.rms = 3.5f, h.nlabl = 1, h.titles = {"stamped"};
  for (int mode : {0, 1, 2, 3, 4, 6, 12}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    h.mode = mode < 6 ? mode : 2;
    std::vector<float> values;
    for (int i = 0; i < 6 * (mode == 3 || mode == 4 ? 2 : 1); ++i)
      values.push_back(mode == 0 || mode == 12  ? 250 - i
                       : mode == 2 || mode == 4 ? 1.5e-3f * i - 2
                       : mode == 6              ? 65535 - 13107 * i  // above 32767 too
                                                : 7 - 1000 * i);
    const int size = mode == 0 ? 1 : mode == 1 || mode == 3 ? 2 : 4;
    std::string printed[2];
    int extra[2][26];
    for (bool big : {false, true}) {
      const std::string name = path(big ? "big.map" : "little.map");
      write_map(name, h, values, size, big);
      ASSERT_EQ(mode < 6 ? "" : test_maps::rewrite_with_mrcfile(name, mode, big), "");
      printed[big] = open_read(big + 1, name);
      const std::string notice = "\n!!! New style 21st century map : " + name + "\n";
      const size_t warning = opened_text_.find("!!! Warning - architecture incompatibility !!! \n");
      EXPECT_EQ(warning != std::string::npos, big != kNativeBig) << opened_text_;
      ASSERT_NE(opened_text_.find(notice), std::string::npos) << opened_text_;
      EXPECT_TRUE(big == kNativeBig || warning < opened_text_.find(notice)) << "warning first";
      std::fill_n(extra[big], 26, 5);
      irtext(big + 1, extra[big], 1, 26);  // only words 1..25 exist
      EXPECT_EQ(extra[big][3], 0x01020304);
      EXPECT_EQ(extra[big][25], 5);
      std::vector<float> got(values.size());
      ASSERT_EQ(irdsec(big + 1, got.data()), 0);
      EXPECT_EQ(got, values);
    }
    // The print shows every header field but the extra words; it names modes 6 and 12 (mode / 6).
    const char* named[] = {"", "6  (unsigned 16-bit integers)\n", "12  (half-precision reals)\n"};
    EXPECT_EQ(printed[0], printed[1]);
    for (const char* shown : {"123.25", named[mode / 6]})
      EXPECT_NE(printed[0].find(shown), std::string::npos) << printed[0];
    imclose(1);
    imclose(2);
  }
}

TEST_F(MapOpen, OldStyleFiles) {
  const std::string name =
      write_map("old.map", {.nxyz = {4, 1, 1}, .new_style = false, .word54 = 12.5f, .word55 = -3},
                {1, 2, 3, 4});
  open_read(1, name);
  EXPECT_NE(opened_text_.find("\n!!! Warning - old style 20th century map : " + name + "\n"),
            std::string::npos);
  int iform = 0;
  imform(1, iform);
  EXPECT_EQ(iform, -1);
  float org[3], row[4];
  irtorg(1, org[0], org[1], org[2]);
  EXPECT_EQ(std::vector<float>(org, org + 3), (std::vector<float>{12.5f, -3, 0}));
  EXPECT_EQ(imcom.rms[imcom.lstream[1]], 0.0f);
  ASSERT_EQ(irdlin(1, row), 0);
  EXPECT_EQ(row[3], 4.0f);
}

TEST_F(MapOpen, MissingStampMeansNativeOrder) {
  open_read(1, write_map("ns.map", {.nxyz = {2, 1, 1}, .stamp = false}, {-1.25f, 8.0f}));
  EXPECT_NE(opened_text_.find("\n!!! Warning - no machine stamp in file : " + path("ns.map")),
            std::string::npos);
  float row[2];
  ASSERT_EQ(irdlin(1, row), 0);
  EXPECT_EQ(std::vector<float>(row, row + 2), (std::vector<float>{-1.25f, 8.0f}));
}

}  // namespace
}  // namespace maptest
