// Fatal conditions of the map-file layer, each run in a child process: the
// message on standard output, the STOP line on standard error (or none), and
// exit status 0. Damaged headers must stop with a message, never crash.
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
  void expect_fatal(const Fatal& f) {
    SCOPED_TRACE(f.what);
    ChildResult r = run_in_child(f.body);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0) << "99 means it did not stop\n" << r.out << r.err;
    EXPECT_TRUE(r.out.ends_with(f.out_tail)) << "output:\n" << r.out;
    if (f.stop.empty()) {
      EXPECT_EQ(r.err.find("STOP"), std::string::npos) << r.err;
    } else {
      EXPECT_TRUE(r.err.ends_with("STOP " + f.stop + " statement executed\n")) << r.err;
    }
  }

  std::string map_file(const std::string& name, const RawHeader& h, size_t data_bytes = 0) {
    Bytes b = header_bytes(h, kNativeBig);
    b.resize(b.size() + data_bytes, 0);
    write_file(path(name), b);
    return path(name);
  }

  static void read_it(int stream, const std::string& name, const char* status = "ro") {
    int nxyz[3], mxyz[3], mode;
    float a, b, c;
    imopen(stream, name, status);
    irdhdr(stream, nxyz, mxyz, mode, a, b, c);
  }
};

TEST_F(MapFatal, OpeningStreams) {
  const std::string good = map_file("good.map", RawHeader{}, 4);
  expect_fatal({"stream 13", [&] { imopen(13, good, "ro"); },
                "\n\n IMOPEN: Invalid STREAM number!!!\n\n\n", "Open Error !!!"});
  expect_fatal({"sixth file",
                [&] {
                  for (int s = 1; s <= 6; ++s) imopen(s, good, "ro");
                },
                "\n\n IMOPEN: No More than 5 files can be opened!!!\n\n\n", "open error!!!"});
  expect_fatal({"no free unit left",
                [&] {
                  for (int s = 1; s <= 5; ++s) imopen(s, good, "ro");
                  imclose(9);  // never opened: the count drops, no unit is freed
                  imopen(6, good, "ro");
                },
                "\n IMOPEN: file stream number overflow!!!\n\n", "Open error!!!"});
  expect_fatal({"new file exists", [&] { imopen(4, good, "new"); },
                " (Q)QOPEN NEW file already exists: " + good + "\n", ""});
  expect_fatal({"missing file", [&] { imopen(1, path("none.map"), "ro"); },
                "!!! Error - cannot open map file : " + path("none.map") + "\n", ""});
  EXPECT_EQ(read_file(good).size(), 1028u) << "the existing file is left alone";

  // After a close the sixth open succeeds.
  for (int s = 1; s <= 5; ++s) open_quiet(s, good, "ro");
  imclose(3);
  open_quiet(7, good, "ro");
  EXPECT_EQ(imcom.numopen, 5);
}

TEST_F(MapFatal, UnknownStatusIsNeverRead) {
  const std::string good = map_file("u.map", RawHeader{}, 4);
  const std::string message = "!!! Fatal error - attempted UNKNOWN status file read !!!\n";
  expect_fatal({"header", [&] { read_it(1, good, "unknown"); },
                "\n!!! Warning - file : " + good +
                    " has UNKNOWN status !!!\n\n\n Filename for "
                    "UNKNOWN image file on unit   1 : " +
                    (good + std::string(60, ' ')).substr(0, 60) + "\n\n" + message,
                ""});
  float row[1];
  expect_fatal({"row",
                [&] {
                  imopen(1, good, "Unknown");
                  imposn(1, 0, 0);
                  irdlin(1, row);
                },
                message, ""});
}

TEST_F(MapFatal, DamagedHeaders) {
  std::string name = path("d.map");
  write_file(name, Bytes(8, 0));
  expect_fatal({"file ends in the first words", [&] { read_it(1, name); },
                " IRDHDR: End-of-File error !!!\n", "Error"});
  write_file(name, Bytes(600, 1));
  expect_fatal({"file ends inside the header", [&] { read_it(1, name); },
                "!!! Error - map file shorter than its 1024-byte header : " + name + "\n",
                "Error"});

  const std::string head = "!!! Error - impossible map header in file : ";
  RawHeader h;
  h.nxyz[1] = 0;
  name = map_file("z.map", h, 64);
  expect_fatal({"no rows", [&] { read_it(1, name); },
                head + name +
                    "\n    Number of columns, rows, sections          1          0"
                    "          1 must all be positive\n",
                "Error"});
  h = RawHeader{};
  h.nxyz[0] = -5;
  name = map_file("n.map", h, 64);
  expect_fatal({"negative columns", [&] { read_it(1, name); }, "must all be positive\n", "Error"});
  h = RawHeader{};
  h.mode = 7;
  name = map_file("m.map", h, 64);
  expect_fatal({"mode 7", [&] { read_it(1, name); },
                head + name + "\n    Map mode          7 is not one of 0 to 4\n", "Error"});
  h = RawHeader{};
  h.ispg = 1;
  h.nsymbt = -80;
  name = map_file("s.map", h, 64);
  expect_fatal({"negative symmetry length", [&] { read_it(1, name); },
                "    Symmetry record length        -80 is negative\n", "Error"});
  h.nsymbt = 1 << 30;
  name = map_file("t.map", h, 64);
  expect_fatal({"symmetry past the end", [&] { read_it(1, name); },
                "    Symmetry records of 1073741824 bytes run past the end of the file\n",
                "Error"});
}

TEST_F(MapFatal, SettersAndHeaderWrites) {
  const std::string out = path("o.map");
  int n[3] = {2, 2, 1};
  auto fresh = [&] {
    std::filesystem::remove(out);
    imopen(4, out, "new");
    icrhdr(4, n, n, 2, nullptr, 0);
  };
  int nsymbt = 0;
  int extra[26] = {};
  expect_fatal({"space group 2",
                [&] {
                  fresh();
                  ialsym(4, 2, nsymbt);
                },
                "", " MAPKIT spacegroup must be 0 or 1"});
  expect_fatal({"extra start 0",
                [&] {
                  fresh();
                  ialext(4, extra, 0, 1);
                },
                "", "IALEXT: Attempt to write out of bounds"});
  expect_fatal({"extra past word 25",
                [&] {
                  fresh();
                  ialext(4, extra, 20, 7);
                },
                "", "IALEXT: Attempt to write out of bounds"});
  expect_fatal({"extra read start 26",
                [&] {
                  fresh();
                  irtext(4, extra, 26, 1);
                },
                "", "IRTEXT: Error in start number"});

  // A space group other than 0 and 1 read from a file stops the header rewrite.
  RawHeader h;
  h.ispg = 3;
  h.nsymbt = 80;
  const std::string sg = map_file("sg.map", h, 84);
  expect_fatal({"rewrite space group 3",
                [&] {
                  read_it(1, sg, "old");
                  iwrhdr(1, title("t").c_str(), -1, 0, 0, 0);
                },
                "", "Error - MAPKIT spacegroup must be 0 or 1"});

  // A mode outside 0..4 never reaches the element-size table.
  expect_fatal({"write mode 9",
                [&] {
                  fresh();
                  ialmod(4, 9);
                  const float row[2] = {1, 2};
                  iwrlin(4, row);
                },
                "!!! Error - map mode     9 is not one of 0 to 4 : " + out + "\n", "Error"});

  // The disk layer refuses to write a file opened read-only.
  const std::string ro = map_file("ro.map", RawHeader{}, 4);
  expect_fatal({"write to read-only",
                [&] {
                  read_it(1, ro);
                  const float v[1] = {1};
                  iwrlin(1, v);
                },
                "QWRITE: i/o error (may be out of disc space): " + ro + "\n", ""});
  EXPECT_EQ(read_file(ro).size(), 1028u);
}

}  // namespace
}  // namespace maptest
