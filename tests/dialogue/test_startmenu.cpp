// The project start menu: its three menus, the file names built from the image name,
// and the corner cycle.
#include "driver/startmenu.h"
#include "textio/strings.h"
#include "program_fixture.h"

namespace {

using prog::ProgramTest;
using prog::read_lines;
using prog::write_datafile;
using prog::write_lines;

std::string chosen_file() {
  return std::string(field_text(std::span<const char>(latref.map_file, kFileNameLength)));
}

// Creates empty files: the menu only checks that they exist.
void touch(std::initializer_list<std::string> names) {
  for (const auto& n : names) {
    prog::fs::create_directories(prog::fs::path(n).parent_path().empty()
                                     ? prog::fs::path(".")
                                     : prog::fs::path(n).parent_path());
    write_lines(n, {});
  }
}

// Picks `item` of the start menu and returns the chosen file name ("" for "Other image").
std::string pick(int item) {
  script::reset();
  script::menu(item);
  StartChoice c = start_menu(false);
  return c == StartChoice::Other ? "" : chosen_file();
}

TEST_F(ProgramTest, PlainMenuBuildsEveryFileName) {
  write_datafile("img01 more text");
  touch({"img01.tvk", "FFTIR/img01.fft.tvk", "FFTIR/img01.red.fft.tvk",
         "CUT/img01.red.center.fft.tvk", "CUT/img01.tl.fft.tvk", "tvkclick.tvk"});
  EXPECT_EQ(pick(1), "img01.tvk");
  EXPECT_EQ(
      script::last_menu(),
      (std::vector<std::string>{
          "Display image", "Display fourier transformation", "Display red. fourier transformation",
          "Display red. central fourier transformation", "Determine defoci in corners",
          "tvkclick.tvk", "Other image", "Quit"}));
  EXPECT_EQ(datafile.transform_kind, 0);
  EXPECT_EQ(std::string(field_text(datafile.spot_file)), "img01.spt");

  EXPECT_EQ(pick(2), "FFTIR/img01.fft.tvk");
  EXPECT_EQ(datafile.transform_kind, 1);
  EXPECT_EQ(pick(3), "FFTIR/img01.red.fft.tvk");
  EXPECT_EQ(datafile.transform_kind, 2);
  EXPECT_EQ(datafile.central_flag, 0);
  EXPECT_EQ(pick(4), "CUT/img01.red.center.fft.tvk");
  EXPECT_EQ(datafile.central_flag, 1);
  EXPECT_EQ(pick(5), "CUT/img01.tl.fft.tvk");
  EXPECT_EQ(datafile.corner_counter, 1);
  EXPECT_EQ(pick(6), "tvkclick.tvk");
  EXPECT_EQ(datafile.click_mode, 1);
  // Showing the menu again resets the modes a choice set.
  EXPECT_EQ(pick(7), "");
  EXPECT_EQ(datafile.click_mode, 0);
  EXPECT_EQ(datafile.corner_counter, 0);
  EXPECT_EQ(datafile.central_flag, 0);
  // The project's lattice lines and the numbers of line 58.
  EXPECT_EQ(std::string(field_text(datafile.param_line_a)), "24.102,9.738,-4.324,20.342");
  EXPECT_EQ(std::string(field_text(datafile.param_line_b)), "20.761,15.644,-9.441,18.530");
  EXPECT_FLOAT_EQ(datafile.param_1, 10500.0f);
  EXPECT_FLOAT_EQ(datafile.param_2, 9500.0f);
}

TEST_F(ProgramTest, MaskedMenuDropsTheLeadingM) {
  write_datafile("mabc");
  touch({"abc.tvk", "mabc.tvk", "FFTIR/mabc.fft.tvk", "CUT/abc.tl.fft.tvk", "CUT/abc.tr.fft.tvk"});
  EXPECT_EQ(pick(1), "abc.tvk");
  EXPECT_EQ(script::last_menu().size(), 9u);
  EXPECT_EQ(script::last_menu()[0], "Display unmasked image");
  EXPECT_EQ(pick(2), "mabc.tvk");
  EXPECT_EQ(pick(3), "FFTIR/mabc.fft.tvk");
  // Every choice starts from the name as read: a second "unmasked" is still abc.
  EXPECT_EQ(pick(1), "abc.tvk");
  EXPECT_EQ(pick(6), "CUT/abc.tl.fft.tvk");
  EXPECT_EQ(pick(8), "");
  // A masked name governs the menu even in a diffraction project.
  write_datafile("mabc", 2);
  EXPECT_EQ(pick(2), "mabc.tvk");
  EXPECT_EQ(script::last_menu().size(), 9u);
}

TEST_F(ProgramTest, DiffractionMenuAppendsTheChosenPattern) {
  write_datafile("abc", 2);
  touch({"abc.tvk", "abc.crt.tvk", "abc.ave.tvk", "abc.refine.tvk"});
  const char* expected[] = {"abc.tvk", "abc.crt.tvk", "abc.ave.tvk", "abc.refine.tvk"};
  for (int item = 1; item <= 4; ++item) {
    EXPECT_EQ(pick(item), expected[item - 1]);
    EXPECT_EQ(datafile.diffraction_choice, item);
  }
  EXPECT_EQ(script::last_menu(),
            (std::vector<std::string>{"Display Original Diff-pattern",
                                      "Display Background-subtracted Diff-pattern",
                                      "Display averaged peak positions",
                                      "Display origin refinement map", "Other image", "Quit"}));
  EXPECT_EQ(pick(5), "");

  // The two lines on standard output.
  std::fflush(stdout);
  int saved = ::dup(1);
  int fd = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(fd, 1);
  ::close(fd);
  pick(3);
  std::fflush(stdout);
  ::dup2(saved, 1);
  ::close(saved);
  auto lines = read_lines("out.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], " df_filename:      3 = abc                 ");
  EXPECT_EQ(lines[1], " getting: abc.ave.tvk          or abc.ave.tvk         ");
}

TEST_F(ProgramTest, CornerCycleVisitsTheFourCornersInTurn) {
  write_datafile("mdemo");
  touch(
      {"CUT/demo.tl.fft.tvk", "CUT/demo.tr.fft.tvk", "CUT/demo.bl.fft.tvk", "CUT/demo.br.fft.tvk"});
  // Taken at once after each fit, the counter walks tl, tr, bl, br and round again.
  const char* order[] = {"tl", "tr", "bl", "br", "tl"};
  datafile.corner_counter = 0;
  for (int i = 0; i < 5; ++i) {
    script::reset();
    EXPECT_EQ(start_menu(true), StartChoice::File);
    EXPECT_EQ(chosen_file(), std::string("CUT/demo.") + order[i] + ".fft.tvk") << i;
    EXPECT_EQ(datafile.transform_kind, 1);
  }
  EXPECT_EQ(datafile.corner_counter, 1);
  EXPECT_TRUE(script::log_with("menu|").empty());  // no menu was shown

  // From the menu the cycle starts at the top left, or at the corner CTF fitting left.
  datafile.corner_counter = 3;
  EXPECT_EQ(pick(6), "CUT/demo.tl.fft.tvk");
  datafile.corner_start = 3;
  EXPECT_EQ(pick(6), "CUT/demo.bl.fft.tvk");
  EXPECT_EQ(datafile.corner_counter, 3);
}

TEST_F(ProgramTest, MissingBuiltFileIsAskedForAgain) {
  write_datafile("img01");
  touch({"other.map"});
  script::reset();
  script::menu(2);
  script::answer("other.map");
  start_menu(false);
  EXPECT_EQ(chosen_file(), "other.map");
  EXPECT_EQ(script::last_prompt().back(), "File cannot be found, please retype it :");
  EXPECT_EQ(
      script::log_with("iobox|").front().substr(script::log_with("iobox|").front().rfind('>')),
      ">FFTIR/img01.fft.tvk");
}

TEST_F(ProgramTest, WithoutDatafileTheProjectDefaultsApply) {
  datafile.corner_counter = 3;
  EXPECT_EQ(start_menu(false), StartChoice::Other);
  EXPECT_EQ(std::string(field_text(datafile.param_line_a)), "1.0,0.0,0.0,0.1");
  EXPECT_EQ(std::string(field_text(datafile.param_line_b)), "1.0,0.0,0.0,0.1");
  EXPECT_EQ(datafile.corner_counter, 0);
  EXPECT_TRUE(field_text(datafile.image_name).empty());

  // A short or damaged file: the lines it lacks count as blank.
  write_lines("DATAFILE.dat", {"only", "three", "lines"});
  EXPECT_EQ(pick(7), "");  // "Other image" of the plain menu
  EXPECT_EQ(datafile.project_type, 0);
  EXPECT_FLOAT_EQ(datafile.param_1, 0);
}

using ProgramDeathTest = ProgramTest;

TEST_F(ProgramDeathTest, QuitEndsTheProgram) {
  write_datafile("img01");
  EXPECT_EXIT(pick(8), ::testing::ExitedWithCode(0), "");
  write_datafile("abc", 2);
  EXPECT_EXIT(pick(6), ::testing::ExitedWithCode(0), "");
}

}  // namespace
