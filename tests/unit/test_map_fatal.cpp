// Fatal conditions, each run in a child process: the message on standard output,
// the STOP line on standard error (or nothing there), and exit status 0. Damaged
// headers must stop with a message, never crash; refused writes leave the file alone.
#include "map_test_util.h"

namespace maptest {
namespace {

struct Fatal {
  std::string what;
  std::function<void()> body;
  std::string out_tail;  // standard output ends with this
  std::string stop;      // stop text, empty for none
};

class MapFatal : public MapFileTest {
 protected:
  void expect_fatal(const std::vector<Fatal>& cases) {
    for (const Fatal& f : cases) {
      SCOPED_TRACE(f.what);
      const testsupport::Finished r = testsupport::run(f.body);
      EXPECT_EQ(r.status, 0) << "99 means it did not stop\n" << r.out << r.err;
      EXPECT_TRUE(r.out.ends_with(f.out_tail)) << "output:\n" << r.out;
      EXPECT_EQ(r.err, f.stop.empty() ? "" : "STOP " + f.stop + " statement executed\n");
    }
  }
  // Opens and reads the header; returns the stream.
  static int read_it(int stream, const std::string& name, const char* status = "ro") {
    int nxyz[3], mxyz[3], mode;
    float a, b, c;
    imopen(stream, name, status);
    irdhdr(stream, nxyz, mxyz, mode, a, b, c);
    return stream;
  }
  // Opens a new 2 x 2 map on stream 4; returns the stream.
  int fresh() {
    const int n[3] = {2, 2, 1};
    std::filesystem::remove(path("o.map"));
    imopen(4, path("o.map"), "new");
    icrhdr(4, n, n, 2, nullptr, 0);
    return 4;
  }
};

TEST_F(MapFatal, OpeningStreams) {
  const std::string good = write_map("good.map", RawHeader{}, {0});
  const std::string unknown = "!!! Fatal error - attempted UNKNOWN status file read !!!\n";
  std::string padded = good;
  padded.resize(60, ' ');
  float row[1];
  auto open_all = [&](int n) {
    for (int s = 1; s <= n; ++s) imopen(s, good, "ro");
  };
  expect_fatal({
      {"stream 13", [&] { imopen(13, good, "ro"); }, "\n\n IMOPEN: Invalid STREAM number!!!\n\n\n",
       "Open Error !!!"},
      {"sixth file", [&] { open_all(6); },
       "\n\n IMOPEN: No More than 5 files can be opened!!!\n\n\n", "open error!!!"},
      // Closing a stream never opened lowers the count but frees no unit.
      {"no free unit left", [&] { open_all(5), imclose(9), imopen(6, good, "ro"); },
       "\n IMOPEN: file stream number overflow!!!\n\n", "Open error!!!"},
      {"new file exists", [&] { imopen(4, good, "new"); },
       " (Q)QOPEN NEW file already exists: " + good + "\n", ""},
      {"missing file", [&] { imopen(1, path("none.map"), "ro"); },
       "!!! Error - cannot open map file : " + path("none.map") + "\n", ""},
      {"stream 0", [&] { irdlin(0, row); }, "outside 1 to 12 :     0\n", "Error"},
      {"never opened", [&] { irdlin(5, row); }, "no map file was opened on stream   5\n", "Error"},
      {"closed", [&] { imopen(1, good, "ro"), imclose(1), irdlin(1, row); },
       "!!! Error - map file on stream   1 is closed\n", "Error"},
      // A file opened with UNKNOWN status is never read.
      {"unknown header", [&] { read_it(1, good, "unknown"); },
       "\n!!! Warning - file : " + good + " has UNKNOWN status !!!\n\n\n Filename for " +
           "UNKNOWN image file on unit   1 : " + padded + "\n\n" + unknown,
       ""},
      {"unknown row", [&] { imopen(1, good, "Unknown"), imposn(1, 0, 0), irdlin(1, row); }, unknown,
       ""},
  });
  EXPECT_EQ(read_file(good).size(), 1028u) << "the existing file is left alone";

  // After a close the sixth open succeeds.
  for (int s = 1; s <= 5; ++s) open_quiet(s, good, "ro");
  imclose(3);
  open_quiet(7, good, "ro");
  EXPECT_EQ(imcom.numopen, 5);
}

TEST_F(MapFatal, DamagedHeaders) {
  write_file(path("e.map"), Bytes(8, 0));
  write_file(path("f.map"), Bytes(600, 1));
  const std::string head = "!!! Error - impossible map header in file : ";
  const std::vector<float> data(16);
  const std::string rows = write_map("z.map", {.nxyz = {1, 0, 1}}, data);
  const std::string cols = write_map("n.map", {.nxyz = {-5, 1, 1}}, data);
  const std::string none = write_map("c.map", {.nxyz = {0, 1, 1}}, data);
  const std::string mode = write_map("m.map", {.mode = 7}, data);
  const std::string neg = write_map("s.map", {.ispg = 1, .nsymbt = -80}, data);
  const std::string past = write_map("t.map", {.ispg = 1, .nsymbt = 1 << 30}, data);
  expect_fatal({
      {"file ends in the first words", [&] { read_it(1, path("e.map")); },
       "is not a map file: shorter than a 1024-byte map header (8 bytes)\n", "Error"},
      {"file ends inside the header", [&] { read_it(1, path("f.map")); },
       "!!! Error - " + path("f.map") +
           " is not a map file: shorter than a 1024-byte map header (600 bytes)\n",
       "Error"},
      {"no rows", [&] { read_it(1, rows); },
       head + rows +
           "\n    Number of columns, rows, sections          1          0          1 must all be "
           "positive\n",
       "Error"},
      {"negative columns", [&] { read_it(1, cols); }, "must all be positive\n", "Error"},
      {"no columns", [&] { read_it(1, none); }, "must all be positive\n", "Error"},
      {"mode 7", [&] { read_it(1, mode); },
       head + mode + "\n    Map mode          7 is not one of 0 to 4, 6 or 12\n", "Error"},
      {"negative symmetry length", [&] { read_it(1, neg); },
       "    Symmetry record length        -80 is negative\n", "Error"},
      {"symmetry past the end", [&] { read_it(1, past); },
       "    Symmetry records of 1073741824 bytes run past the end of the file\n", "Error"},
  });
}

TEST_F(MapFatal, SettersAndHeaderWrites) {
  int nsymbt = 0, extra[26] = {};
  const float row[2] = {1, 2};
  const std::string sg = write_map("sg.map", {.ispg = 3, .nsymbt = 80}, std::vector<float>(21));
  const std::string ro = write_map("ro.map", RawHeader{}, {0});
  expect_fatal({
      {"space group 2", [&] { ialsym(fresh(), 2, nsymbt); }, "",
       " MAPKIT spacegroup must be 0 or 1"},
      {"extra start 0", [&] { ialext(fresh(), extra, 0, 1); }, "",
       "IALEXT: Attempt to write out of bounds"},
      {"extra past word 25", [&] { ialext(fresh(), extra, 20, 7); }, "",
       "IALEXT: Attempt to write out of bounds"},
      {"extra read start 26", [&] { irtext(fresh(), extra, 26, 1); }, "",
       "IRTEXT: Error in start number"},
      // A space group other than 0 and 1 read from a file stops the header rewrite.
      {"rewrite space group 3",
       [&] { iwrhdr(read_it(1, sg, "old"), title("t").c_str(), -1, 0, 0, 0); }, "",
       "Error - MAPKIT spacegroup must be 0 or 1"},
      // Modes 6 and 12 are read, never written.
      {"write mode 12", [&] { ialmod(fresh(), 12), iwrlin(4, row); },
       "!!! Error - map mode    12 is read, never written : " + path("o.map") + "\n", "Error"},
      // The disk layer refuses to write a file opened read-only.
      {"write to read-only", [&] { iwrlin(read_it(1, ro), row); },
       "QWRITE: i/o error (may be out of disc space): " + ro + "\n", ""},
  });
  EXPECT_EQ(read_file(ro).size(), 1028u);
}

TEST_F(MapFatal, ForeignAndOldStyleFilesAreNeverWritten) {
  const std::string foreign = write_map("f.map", RawHeader{}, {0}, 4, !kNativeBig);
  const std::string old = write_map("old.map", {.new_style = false, .word54 = 2}, {0});
  // Without the marker and in the other byte order, a file cannot be judged at all.
  const std::string both = write_map("b.map", {.new_style = false}, {0}, 4, !kNativeBig);
  const Bytes before[2] = {read_file(foreign), read_file(old)};
  const float row[1] = {1};
  const std::string other =
      "!!! Error - cannot overwrite map of different machine \n\n"
      "architecture - use refashion program and retry.\n";
  const std::string old_style =
      "!!! Error - cannot overwrite old-style 20th century map.\n"
      "    Use refashion program and retry.\n";
  expect_fatal({
      {"foreign header",
       [&] { imopen(1, foreign, "old"), iwrhdr(1, title("x").c_str(), 0, 0, 0, 0); }, other, ""},
      {"foreign row", [&] { iwrlin(read_it(1, foreign, "OLD"), row); }, other, ""},
      {"old-style header",
       [&] { imopen(2, old, "old"), iwrhdr(2, title("x").c_str(), -1, 0, 0, 0); }, old_style, ""},
      {"old-style row", [&] { iwrlin(read_it(2, old, "old"), row); }, old_style, ""},
      {"old-style part row", [&] { iwrpal(read_it(2, old, "old"), row, 0, 0); }, old_style, ""},
      {"foreign old-style", [&] { imopen(1, both, "ro"); },
       "!!! Fatal error - cannot read from or write to file : " + both +
           "\n!!! Use endflip followed by refashion to reformat maps correctly !!!\n",
       ""},
  });
  EXPECT_EQ(read_file(foreign), before[0]);
  EXPECT_EQ(read_file(old), before[1]);
}

}  // namespace
}  // namespace maptest
