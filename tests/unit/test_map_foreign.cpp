// Opening existing maps: byte order from the machine stamp, old-style files,
// files without a stamp, and the writes such files refuse.
#include "map_test_util.h"

namespace maptest {
namespace {

using MapOpen = MapFileTest;

const int kElementBytes[5] = {1, 2, 4, 4, 8};

// A 3 x 2 map of the given mode in either byte order, with its data values.
Bytes stamped_map(int mode, bool big, std::vector<float>& values) {
  RawHeader h;
  h.nxyz[0] = 3;
  h.nxyz[1] = 2;
  h.mode = mode;
  h.nxyzst[0] = -7;
  h.mxyz[0] = 300;
  h.cell[0] = 123.25f;
  h.dens[0] = -5.5f;
  h.dens[1] = 1.0e6f;
  h.extra[3] = 0x01020304;
  h.origin[2] = -0.5f;
  h.rms = 3.5f;
  h.nlabl = 1;
  h.titles = {"stamped"};
  Bytes b = header_bytes(h, big);
  const int per = mode >= 3 ? 2 : 1;
  values.clear();
  for (int i = 0; i < 6 * per; ++i)
    values.push_back(mode == 0                ? 250.0f - i
                     : mode == 1 || mode == 3 ? -1000.0f * i + 7
                                              : 1.5e-3f * i - 2.0f);
  append_items(b, values, mode == 0 ? 1 : mode == 1 || mode == 3 ? 2 : 4, big);
  return b;
}

TEST_F(MapOpen, EitherByteOrderReadsTheSameValues) {
  for (bool big : {true, false}) {
    for (int mode = 0; mode <= 4; ++mode) {
      SCOPED_TRACE(std::string(big ? "big" : "little") + "-endian mode " + std::to_string(mode));
      std::vector<float> values;
      const std::string name = path("s.map");
      write_file(name, stamped_map(mode, big, values));
      open_quiet(1, name, "ro");
      const std::string notice = "\n!!! New style 21st century map : " + name + "\n";
      const size_t warning = opened_text_.find("!!! Warning - architecture incompatibility !!! \n");
      EXPECT_EQ(warning != std::string::npos, big != kNativeBig);
      ASSERT_NE(opened_text_.find(notice), std::string::npos) << opened_text_;
      if (warning != std::string::npos) {
        EXPECT_LT(warning, opened_text_.find(notice));
      }

      int n[3], m;
      read_header(1, n, m);
      EXPECT_EQ(n[0] * 10 + n[1], 32);
      EXPECT_EQ(m, mode);
      int sz[3], sam[3], st[3], extra[25];
      irtsiz(1, sz, sam, st);
      irtext(1, extra, 1, 25);
      float org[3], rms, cell[6];
      irtorg(1, org[0], org[1], org[2]);
      irtrms(1, rms);
      irtcel(1, cell);
      EXPECT_EQ(st[0], -7);
      EXPECT_EQ(sam[0], 300);
      EXPECT_EQ(extra[3], 0x01020304);
      int last[2] = {5, 5};
      irtext(1, last, 25, 2);  // only word 25 exists from there
      EXPECT_EQ(last[1], 5);
      EXPECT_EQ(org[2], -0.5f);
      EXPECT_EQ(rms, 3.5f);
      EXPECT_EQ(cell[0], 123.25f);
      EXPECT_EQ(imcom.denmmm[imcom.lstream[1]][1], 1.0e6f);
      EXPECT_EQ(std::string(imcom.labels[imcom.lstream[1]][0], 7), "stamped");
      std::vector<float> got(values.size());
      ASSERT_EQ(irdsec(1, got.data()), 0);
      EXPECT_EQ(got, values);
      imclose(1);
    }
  }
}

TEST_F(MapOpen, ForeignFilesAreNeverWritten) {
  std::vector<float> values;
  const std::string name = path("f.map");
  write_file(name, stamped_map(2, !kNativeBig, values));
  const Bytes before = read_file(name);
  auto header = run_in_child([&] {
    imopen(1, name, "old");
    iwrhdr(1, title("x").c_str(), 0, 0, 0, 0);
  });
  auto row = run_in_child([&] {
    imopen(1, name, "OLD");
    iwrlin(1, values.data());
  });
  const std::string message =
      "!!! Error - cannot overwrite map of different machine \n\n"
      "architecture - use refashion program and retry.\n";
  for (const ChildResult& r : {header, row}) {
    EXPECT_TRUE(r.exited && r.status == 0);
    EXPECT_TRUE(r.out.ends_with(message)) << r.out;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(read_file(name), before);
}

TEST_F(MapOpen, OldStyleFiles) {
  RawHeader h;
  h.nxyz[0] = 4;
  h.new_style = false;
  h.word54 = 12.5f;
  h.word55 = -3.0f;
  Bytes b = header_bytes(h, kNativeBig);
  append_items(b, {1, 2, 3, 4}, 4, kNativeBig);
  const std::string name = path("old.map");
  write_file(name, b);

  open_quiet(1, name, "ro");
  EXPECT_NE(opened_text_.find("\n!!! Warning - old style 20th century map : " + name + "\n"),
            std::string::npos);
  int n[3], m, iform = 0;
  read_header(1, n, m);
  imform(1, iform);
  EXPECT_EQ(iform, -1);
  float x, y, z, rms;
  irtorg(1, x, y, z);
  irtrms(1, rms);
  EXPECT_EQ(x, 12.5f);
  EXPECT_EQ(y, -3.0f);
  EXPECT_EQ(z, 0.0f);
  EXPECT_EQ(rms, 0.0f);
  float row[4];
  ASSERT_EQ(irdlin(1, row), 0);
  EXPECT_EQ(row[3], 4.0f);

  const std::string message =
      "!!! Error - cannot overwrite old-style 20th century map.\n"
      "    Use refashion program and retry.\n";
  for (int what = 0; what < 3; ++what) {
    ChildResult r = run_in_child([&] {
      imopen(2, name, "old");
      int nxyz[3], mxyz[3], mode;
      float a, c, d;
      if (what == 0) iwrhdr(2, title("x").c_str(), -1, 0, 0, 0);
      irdhdr(2, nxyz, mxyz, mode, a, c, d);
      if (what == 1) iwrlin(2, row);
      if (what == 2) iwrpal(2, row, 0, 1);
    });
    EXPECT_TRUE(r.exited && r.status == 0) << what;
    EXPECT_TRUE(r.out.ends_with(message)) << r.out;
  }
  EXPECT_EQ(read_file(name), b);

  // Without the marker and in the other byte order, the file cannot be judged at all.
  write_file(name, header_bytes(h, !kNativeBig));
  ChildResult r = run_in_child([&] { imopen(1, name, "ro"); });
  EXPECT_TRUE(r.exited && r.status == 0);
  EXPECT_TRUE(r.out.ends_with("!!! Fatal error - cannot read from or write to file : " + name +
                              "\n!!! Use endflip followed by refashion to reformat maps "
                              "correctly !!!\n"))
      << r.out;
  EXPECT_EQ(r.err, "");
}

TEST_F(MapOpen, MissingStampMeansNativeOrder) {
  RawHeader h;
  h.nxyz[0] = 2;
  h.stamp = false;
  Bytes b = header_bytes(h, kNativeBig);
  append_items(b, {-1.25f, 8.0f}, 4, kNativeBig);
  const std::string name = path("ns.map");
  write_file(name, b);
  open_quiet(1, name, "ro");
  EXPECT_NE(opened_text_.find("\n!!! Warning - no machine stamp in file : " + name + "\n"),
            std::string::npos);
  int n[3], m;
  read_header(1, n, m);
  float row[2];
  ASSERT_EQ(irdlin(1, row), 0);
  EXPECT_EQ(row[0], -1.25f);
  EXPECT_EQ(row[1], 8.0f);
}

TEST_F(MapOpen, SummaryLines) {
  std::vector<float> values;
  const std::string name = path("sum.map");
  const Bytes b = stamped_map(0, kNativeBig, values);
  write_file(name, b);
  std::string full = name;
  full.resize(60, ' ');
  const std::string size = std::to_string(b.size());
  open_quiet(1, name + "   ", "ro");
  EXPECT_TRUE(opened_text_.ends_with(" Filename for RO      image file on unit   1 : " + full +
                                     "\n" + std::string(29, ' ') +
                                     "Size= " + std::string(10 - size.size(), ' ') + size + "\n\n"))
      << opened_text_;
  open_quiet(11, path("new.map"), "New");
  full = path("new.map");
  full.resize(60, ' ');
  EXPECT_EQ(opened_text_, "\n Filename for NEW     image file on unit  11 : " + full + "\n\n");
  open_quiet(12, path("scr.map"), "scratch");
  EXPECT_TRUE(opened_text_.starts_with("\n Filename for SCRATCH image file on unit  12 : "));
  imclose(12);
  EXPECT_FALSE(std::filesystem::exists(path("scr.map"))) << "scratch files go on close";
}

}  // namespace
}  // namespace maptest
