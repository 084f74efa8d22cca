// The parameter-file editor as Tolsvik runs it: through the shell, on a file in
// the working directory, with the exit status and the file contents checked.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class Kelvane : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvane_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // Beside the test folder, so that the folder holds only what kelvane leaves.
  std::string errors_file() const { return dir_.string() + ".stderr"; }

  void write(const std::string& name, const std::string& contents) const {
    std::ofstream out(path(name), std::ios::binary);
    out << contents;
  }

  static std::string slurp(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string read(const std::string& name) const { return slurp(path(name)); }

  // Runs "kelvane ARGS" in the test folder; returns the exit status, keeps stderr.
  int run(const std::string& args) {
    std::string command = "cd '" + dir_.string() + "' && '" TOLSVIK_BIN_DIR "/kelvane' " + args +
                          " 2>'" + errors_file() + "'";
    int status = std::system(command.c_str());
    errors_ = slurp(errors_file());
    fs::remove(errors_file());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Entries in the folder: a temporary file left behind would show up here.
  long file_count() const {
    return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  }

  fs::path dir_;
  std::string errors_;
};

TEST_F(Kelvane, ShortFileIsExtendedWithEmptyLines) {
  write("DATAFILE.dat", "one\ntwo\n");
  EXPECT_EQ(run("4 DATAFILE.dat 5 25.612,4.518,-3.211,20.955"), 0);
  EXPECT_EQ(read("DATAFILE.dat"), "one\ntwo\n\n\n25.612,4.518,-3.211,20.955\n");

  // Without a final newline the last line is closed before the extension.
  write("short.dat", "alpha\nbeta");
  EXPECT_EQ(run("4 short.dat 3 gamma"), 0);
  EXPECT_EQ(read("short.dat"), "alpha\nbeta\ngamma\n");

  write("empty.dat", "");
  EXPECT_EQ(run("4 empty.dat 1 x"), 0);
  EXPECT_EQ(read("empty.dat"), "x\n");
}

TEST_F(Kelvane, ReplacesOneLineAndKeepsTheOthersByteForByte) {
  std::string long_line(5000, 'q');
  write("DATAFILE.dat", "first line  \n" + long_line + "\nold value\r\n\n  last\tline");
  EXPECT_EQ(run("4 DATAFILE.dat 3 \"10500.00,9500.00,35.000\""), 0);
  EXPECT_EQ(read("DATAFILE.dat"),
            "first line  \n" + long_line + "\n10500.00,9500.00,35.000\r\n\n  last\tline");

  // The last line without a newline stays without one; a text split by the shell
  // is joined with single blanks; the line number may carry leading blanks.
  EXPECT_EQ(run("4 DATAFILE.dat ' 5' new   last line"), 0);
  EXPECT_EQ(read("DATAFILE.dat"),
            "first line  \n" + long_line + "\n10500.00,9500.00,35.000\r\n\nnew last line");

  EXPECT_EQ(run("4 DATAFILE.dat 2 ''"), 0);
  EXPECT_EQ(read("DATAFILE.dat"), "first line  \n\n10500.00,9500.00,35.000\r\n\nnew last line");
  EXPECT_EQ(file_count(), 1);
}

TEST_F(Kelvane, KeepsPermissionsAndSymbolicLinksAndCreatesAMissingFile) {
  EXPECT_EQ(run("4 DATAFILE.dat 3 0.000,0.000"), 0);
  EXPECT_EQ(read("DATAFILE.dat"), "\n\n0.000,0.000\n");
  chmod(path("DATAFILE.dat").c_str(), 0600);
  fs::create_symlink("DATAFILE.dat", path("link.dat"));
  EXPECT_EQ(run("4 link.dat 1 mdemo"), 0);
  EXPECT_TRUE(fs::is_symlink(path("link.dat")));
  EXPECT_EQ(read("DATAFILE.dat"), "mdemo\n\n0.000,0.000\n");
  struct stat info;
  ASSERT_EQ(stat(path("DATAFILE.dat").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(Kelvane, ModesFiveAndSixChangeNothing) {
  const std::string contents = "x\ny\nz";
  write("DATAFILE.dat", contents);
  EXPECT_EQ(run("5 DATAFILE.dat  32 43 M"), 0);
  EXPECT_EQ(run("5 DATAFILE.dat 58 43 M"), 0);
  EXPECT_EQ(run("6 DATAFILE.dat"), 0);
  EXPECT_EQ(read("DATAFILE.dat"), contents);
  EXPECT_EQ(file_count(), 1);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Kelvane, BadCommandsGiveUsageAndLeaveTheFileAlone) {
  const std::string contents = "keep\nme\n";
  write("DATAFILE.dat", contents);
  const char* bad[] = {
      "",                        // nothing at all
      "4",                       // no file
      "4 DATAFILE.dat",          // no line
      "4 DATAFILE.dat 3",        // no text
      "4 DATAFILE.dat 0 text",   // lines count from 1
      "4 DATAFILE.dat -2 text",  //
      "4 DATAFILE.dat 3x text",  // not a number
      "4 DATAFILE.dat 999999999 text",
      "7 DATAFILE.dat 3 text",    // unknown modes
      "0 DATAFILE.dat",           //
      "four DATAFILE.dat 3 text"  //
  };
  for (const char* args : bad) {
    SCOPED_TRACE(args);
    EXPECT_NE(run(args), 0);
    EXPECT_NE(errors_.find("usage: kelvane"), std::string::npos) << errors_;
  }
  EXPECT_EQ(read("DATAFILE.dat"), contents);
  EXPECT_EQ(file_count(), 1);
}

TEST_F(Kelvane, FailuresToReadOrWriteAreReported) {
  fs::create_directory(path("DATAFILE.dat"));
  EXPECT_EQ(run("4 DATAFILE.dat 1 text"), 1);
  EXPECT_NE(errors_.find("cannot read"), std::string::npos) << errors_;
  EXPECT_TRUE(fs::is_directory(path("DATAFILE.dat")));
  EXPECT_EQ(run("4 nofolder/DATAFILE.dat 1 text"), 1);
  EXPECT_NE(errors_.find("temporary file"), std::string::npos) << errors_;
  EXPECT_EQ(file_count(), 1);
}

}  // namespace
