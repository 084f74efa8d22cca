// The parameter-file editor run as the program runs it, on a file in its working directory:
// the exit status, the file's contents afterwards, and nothing else left in the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/support/child.h"

namespace fs = std::filesystem;

namespace {

struct Edit {
  std::string before;
  std::vector<std::string> args;  // after "kelvane"
  std::string after;              // the file afterwards
};

class Kelvane : public ::testing::Test {
 protected:
  int run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {TOLSVIK_BIN_DIR "/kelvane"};
    argv.insert(argv.end(), args.begin(), args.end());
    const testsupport::Finished r = testsupport::run(argv, dir.path().string());
    errors = r.err;
    return r.status;
  }
  std::string file(const std::string& name = "DATAFILE.dat") {
    return testsupport::read_text(dir / name);
  }
  long entries() {
    return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
  }
  testsupport::TempFolder dir;
  std::string errors;
};

TEST_F(Kelvane, Mode4ReplacesOneLineKeepingTheOthersByteForByte) {
  const std::string q(5000, 'q'), kept = "first line  \n" + q + "\nold value\r\n\n  last\tline";
  const Edit edits[] = {
      // clang-format off
      // A short file is extended with empty lines; an unfinished last line is closed first.
      {"one\ntwo\n", {"4", "DATAFILE.dat", "5", "25.612,4.518,-3.211,20.955"},
       "one\ntwo\n\n\n25.612,4.518,-3.211,20.955\n"},
      {"alpha\nbeta", {"4", "DATAFILE.dat", "3", "gamma"}, "alpha\nbeta\ngamma\n"},
      {"", {"4", "DATAFILE.dat", "1", "x"}, "x\n"},
      {kept, {"4", "DATAFILE.dat", "3", "10500.00,9500.00,35.000"},
       "first line  \n" + q + "\n10500.00,9500.00,35.000\r\n\n  last\tline"},
      // The last line stays without its newline; words are joined with one blank; the line
      // number may carry leading blanks.
      {kept, {"4", "DATAFILE.dat", " 5", "new", "", "last  line"},
       "first line  \n" + q + "\nold value\r\n\nnew  last  line"},
      {kept, {"4", "DATAFILE.dat", "2", ""}, "first line  \n\nold value\r\n\n  last\tline"},
      // Modes 5 and 6 change nothing.
      {"x\ny\nz", {"5", "DATAFILE.dat", "32", "43", "M"}, "x\ny\nz"},
      {"x\ny\nz", {"6", "DATAFILE.dat"}, "x\ny\nz"},
      // clang-format on
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(testing::PrintToString(e.args));
    std::ofstream(dir / "DATAFILE.dat", std::ios::binary) << e.before;
    EXPECT_EQ(run(e.args), 0) << errors;
    EXPECT_EQ(file(), e.after);
    EXPECT_EQ(entries(), 1);
    EXPECT_EQ(errors, "");
  }
}

TEST_F(Kelvane, BadCommandsAndFailuresAreReportedAndLeaveTheFileAlone) {
  std::ofstream(dir / "DATAFILE.dat") << "keep\nme\n";
  const std::vector<std::string> bad[] = {{},
                                          {"4"},
                                          {"4", "DATAFILE.dat"},
                                          {"4", "DATAFILE.dat", "3"},  // something missing
                                          {"4", "DATAFILE.dat", "0", "text"},
                                          {"4", "DATAFILE.dat", "-2", "text"},
                                          {"4", "DATAFILE.dat", "3x", "text"},
                                          {"4", "DATAFILE.dat", "999999999", "text"},
                                          {"7", "DATAFILE.dat", "3", "text"},
                                          {"0", "DATAFILE.dat"},
                                          {"four", "DATAFILE.dat", "3", "text"}};
  for (const auto& args : bad) {
    EXPECT_NE(run(args), 0) << testing::PrintToString(args);
    EXPECT_NE(errors.find("usage: kelvane"), std::string::npos) << errors;
  }
  EXPECT_EQ(file(), "keep\nme\n");
  fs::remove(dir / "DATAFILE.dat");
  fs::create_directory(dir / "DATAFILE.dat");
  EXPECT_EQ(run({"4", "DATAFILE.dat", "1", "text"}), 1);
  EXPECT_NE(errors.find("DATAFILE.dat is a directory"), std::string::npos) << errors;
  EXPECT_EQ(run({"4", "nofolder/DATAFILE.dat", "1", "text"}), 1);
  EXPECT_NE(errors.find("temporary file"), std::string::npos) << errors;
  EXPECT_EQ(entries(), 1);
}

}  // namespace
