// The project start menu: its three menus, the file names built from the image name, and the
// corner cycle.
#include "dialogue.h"
#include "driver/startmenu.h"
#include "textio/strings.h"

namespace {

using namespace prog;

std::string chosen_file() {
  return std::string(field_text(std::span<const char>(latref.map_file, kFileNameLength)));
}

// Creates one-pixel maps: the menu checks that they exist and can be opened as maps.
void touch(std::initializer_list<std::string> names) {
  for (const auto& n : names) {
    std::filesystem::create_directories(std::filesystem::path("./" + n).parent_path());
    test_maps::write_image(n, 1, 1, 1, [](int, int, int) { return 0.f; });
  }
}

// Picks `item` of the start menu and returns the chosen file name ("" for "Other image").
std::string pick(int item) {
  script::reset();
  script::menu(item);
  return start_menu(false) == StartChoice::Other ? "" : chosen_file();
}

TEST_F(ProgramTest, EachMenuBuildsItsFileNamesAndSetsItsModes) {
  const struct {
    std::string image;
    int type;
    std::vector<std::string> menu, files;  // the file of each item but the last two
  } menus[] = {
      {"img01 more text",
       0,
       {"Display image", "Display fourier transformation", "Display red. fourier transformation",
        "Display red. central fourier transformation", "Determine defoci in corners",
        "tvkclick.tvk", "Other image", "Quit"},
       {"img01.tvk", "FFTIR/img01.fft.tvk", "FFTIR/img01.red.fft.tvk",
        "CUT/img01.red.center.fft.tvk", "CUT/img01.tl.fft.tvk", "tvkclick.tvk"}},
      // A leading m marks a masked image, whatever the project type.
      {"mabc",
       2,
       {"Display unmasked image", "Display masked image", "Display fourier transformation",
        "Display red. fourier transformation", "Display red. central fourier transformation",
        "Determine defoci in corners", "tvkclick.tvk", "Other image", "Quit"},
       {"abc.tvk", "mabc.tvk", "FFTIR/mabc.fft.tvk", "FFTIR/mabc.red.fft.tvk",
        "CUT/mabc.red.center.fft.tvk", "CUT/abc.tl.fft.tvk", "tvkclick.tvk"}},
      {"abc",
       2,
       {"Display Original Diff-pattern", "Display Background-subtracted Diff-pattern",
        "Display averaged peak positions", "Display origin refinement map", "Other image", "Quit"},
       {"abc.tvk", "abc.crt.tvk", "abc.ave.tvk", "abc.refine.tvk"}},
  };
  for (const auto& m : menus) {
    SCOPED_TRACE(m.image);
    write_datafile(m.image, m.type);
    for (const auto& f : m.files) touch({f});
    for (size_t item = 1; item <= m.files.size(); ++item)
      EXPECT_EQ(pick(item), m.files[item - 1]) << item;
    EXPECT_EQ(script::last_menu(), m.menu);
    EXPECT_EQ(pick(m.files.size() + 1), "");  // "Other image"
  }
  // The modes each choice of the plain menu sets, and resets when the menu shows again.
  write_datafile("img01");
  const int kinds[] = {0, 1, 2, 1, 1, 0};
  for (int item = 1; item <= 6; ++item) {
    pick(item);
    EXPECT_EQ(datafile.transform_kind, kinds[item - 1]) << item;
    EXPECT_EQ(datafile.central_flag, item == 4) << item;
    EXPECT_EQ(datafile.corner_counter, item == 5) << item;
    EXPECT_EQ(datafile.click_mode, item == 6) << item;
  }
  pick(7);
  EXPECT_EQ(datafile.click_mode + datafile.corner_counter + datafile.central_flag, 0);
  EXPECT_EQ(std::string(field_text(datafile.spot_file)), "img01.spt");
  EXPECT_EQ(std::string(field_text(datafile.param_line_a)), "24.102,9.738,-4.324,20.342");
  EXPECT_EQ(std::string(field_text(datafile.param_line_b)), "20.761,15.644,-9.441,18.530");
  EXPECT_FLOAT_EQ(datafile.param_1, 10500.0f);
  EXPECT_FLOAT_EQ(datafile.param_2, 9500.0f);
  // The diffraction menu tells its choice on standard output.
  write_datafile("abc", 2);
  redirected([] { pick(3); }, "out.txt");
  EXPECT_EQ(read_lines("out.txt").at(1), " getting: abc.ave.tvk          or abc.ave.tvk         ");
}

TEST_F(ProgramTest, MissingFilesDefaultsAndQuit) {
  // A built file that is missing is asked for again.
  write_datafile("img01");
  touch({"other.map"});
  script::reset();
  script::menu(2);
  script::answer("other.map");
  start_menu(false);
  EXPECT_EQ(chosen_file(), "other.map");
  EXPECT_EQ(script::last_prompt().back(), "File cannot be found, please retype it :");
  EXPECT_NE(script::log_with("iobox|").front().find(">FFTIR/img01.fft.tvk"), std::string::npos);
  // Without DATAFILE.dat the project defaults apply; a short file's missing lines are blank.
  std::filesystem::remove("DATAFILE.dat");
  datafile.corner_counter = 3;
  EXPECT_EQ(start_menu(false), StartChoice::Other);
  EXPECT_EQ(std::string(field_text(datafile.param_line_a)), "1.0,0.0,0.0,0.1");
  EXPECT_EQ(std::string(field_text(datafile.param_line_b)), "1.0,0.0,0.0,0.1");
  EXPECT_EQ(datafile.corner_counter, 0);
  EXPECT_TRUE(field_text(datafile.image_name).empty());
  write_lines("DATAFILE.dat", {"only", "three", "lines"});
  EXPECT_EQ(pick(7), "");
  EXPECT_EQ(datafile.project_type, 0);
  // Quit ends the program.
  for (auto [image, type, quit] : {std::tuple{"img01", 0, 8}, {"abc", 2, 6}}) {
    write_datafile(image, type);
    EXPECT_EQ(testsupport::run([quit] { pick(quit); }).status, 0) << image;
  }
}

}  // namespace
