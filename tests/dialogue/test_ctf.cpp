// CTF fitting over a reduced central transform (129 x 256: N = 256, 2.8 Angstrom a pixel) with
// its origin at screen (150, 150): the whole image's road, the corner road that leaves the start
// menu its next corner, and the values that stop the rings.
#include "dialogue.h"
#include "driver/startmenu.h"
#include "textio/strings.h"
#include "tools/transform/ctf.h"
#include "tools/transform/editor.h"

namespace {

using namespace prog;
using V = std::vector<std::string>;

class Ctf : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    test_maps::write_transform("ft.map", 129, 256, [](int, int) { return std::pair(0.f, 0.f); });
    as_started("ft.map", {0, 128, 1, 255, 0, 0, 1, 300, 300, 0, 1}, false);
    gen.centre_x = gen.centre_y = 150;
    datafile.transform_kind = 1, datafile.central_flag = 1;
    lines[11] = "mimg", lines[14] = "50000.0", lines[15] = "7.0", lines[24] = "9417.";
    lines[25] = "10156.", lines[33] = "10500.00,9500.00,35.000", lines[92] = "0.07";
    lines[96] = "2.0,200.0";
  }
  // Runs the tool over DATAFILE.dat holding `lines` (none: no file).
  bool run_ctffit() {
    std::filesystem::remove("DATAFILE.dat");
    if (!lines.empty()) write_lines("DATAFILE.dat", lines);
    bool returned = false;
    redirected([&] { returned = walk(ctffit); }, "out.txt");
    return returned;
  }
  V lines = V(100);
};

TEST_F(Ctf, WholeImageButtonsRedrawTheRingsAndAFailedSaveIsReported) {
  use_editor_program("/bin/false");
  for (int item : {2, 1, 1, 9, 10, 14, 15}) script::menu(item);
  const bool returned = run_ctffit();
  use_editor_program("");
  ASSERT_TRUE(returned);
  EXPECT_TRUE(script::shown(
      "Failed (exit status 1): kelvane 4 DATAFILE.dat 34 \"10000.00,10000.00,2.000\""));
  EXPECT_EQ(read_lines("DATAFILE.dat"), lines);
  // Ellipses drawn after each removal (/): all rings below N/2 (the first marks the origin),
  // at most 4, none, at most 4, circles, turned; none at the end.
  std::string drawn;
  for (const std::string& e : script::log())
    drawn += e == "rmvectors" ? "/" : e.starts_with("elipse ") ? e.substr(15) + ";" : "";
  const std::string four = "2 2 35;44 46 35;63 66 35;77 81 35;",
                    turned = "2 2 2;45 45 2;64 64 2;79 79 2;";
  EXPECT_EQ(drawn, "/" + four + "89 94 35;100 105 35;109 115 35;118 124 35;/" + four + "//" + four +
                       "/2 2 0;45 45 0;64 64 0;79 79 0;/" + turned + "/" + turned + "/");
  EXPECT_TRUE(script::shown("Current defocus =  10000.00 10000.00    2.000"));
  EXPECT_EQ(script::log_with("menu|Thon-Rings ON|Show all Thon-Rings|").size(), 1u);
  EXPECT_EQ(field_text(gen.message_text[0]), kTitleLine);
}

TEST_F(Ctf, CornerSavesItsLineAndLeavesTheNextCornerToTheStartMenu) {
  std::filesystem::create_directory("CUT");
  test_maps::write_image("CUT/img.tr.fft.tvk", 1, 1, 1, [](int, int, int) { return 0.f; });
  datafile.corner_counter = 1, datafile.corner_start = 3;
  script::menu(7), script::menu(4);  // (9417 +- 500) x 1.013 + 10, mean 9549.4
  ASSERT_TRUE(run_ctffit());
  const V saved = read_lines("DATAFILE.dat");
  lines[24] = "9549.";
  EXPECT_EQ(saved, lines);
  EXPECT_EQ(read_lines("out.txt"), (V{" Running: kelvane 4 DATAFILE.dat  25     9549.",
                                      " Running: kelvane 5 DATAFILE.dat  25 43 M"}));
  EXPECT_EQ(script::last_menu()[2], "Defocus Top      Left   =     9549. <=====");
  EXPECT_TRUE(script::shown("Fitting image Top Left"));
  EXPECT_EQ(std::tuple(datafile.corner_counter, datafile.corner_start, gen.new_display,
                       script::log_with("clear").size()),
            std::tuple(1, 2, 1, 1u));
  EXPECT_EQ(start_menu(true), StartChoice::File);
  EXPECT_EQ(field_text(latref.map_file), "CUT/img.tr.fft.tvk");
  // The top right corner, stored in the whole image's form in line 34 (without the quotes),
  // ends the corners.
  script::reset();
  script::menu(11);
  ASSERT_TRUE(run_ctffit());
  EXPECT_EQ(read_lines("DATAFILE.dat")[33], "10656.00,9656.00,35.000");
  EXPECT_EQ(read_lines("out.txt"),
            (V{" Running: kelvane 4 DATAFILE.dat 34 \"10656.00,9656.00,35.000\"",
               " Running: kelvane 5 DATAFILE.dat 34 43 M"}));
  EXPECT_EQ(datafile.corner_counter + script::log_with("clear").size(), 0u);
}

TEST_F(Ctf, ValuesThatStopTheRingsAreNamedAndEndTheCornerCycle) {
  const std::pair<int, std::string> cases[] = {
      // The line changed (0: no file, -1: the file ends at line 40, 1: transform kind 0).
      {0, "DATAFILE.dat not found: no microscope values for the rings"},
      {-1, "DATAFILE.dat line 97 (Cs, voltage): missing, the file ends after line 40"},
      {15, "DATAFILE.dat line 15 (magnification): must be above 0"},
      {16, "DATAFILE.dat line 16 (sampling step): not a number: \"7.0um\""},
      {1, "Sampling of this transform unknown: open it from the start menu"}};
  const V good = lines;
  for (const auto& [line, problem] : cases) {
    script::reset();
    lines = good;
    lines.resize(line == 0 ? 0 : line < 0 ? 40 : 100);
    if (line > 1) lines[line - 1] = line == 15 ? "0" : "7.0um";
    datafile.transform_kind = line != 1, datafile.corner_counter = 2;
    script::menu(1);
    ASSERT_TRUE(run_ctffit()) << problem;
    EXPECT_TRUE(script::shown(problem)) << problem;
    EXPECT_EQ(script::last_menu(), V{"Return main menu"});
    EXPECT_EQ(script::log_with("elipse").size() + script::log_with("clear").size(), 0u);
    EXPECT_EQ(datafile.corner_counter, 0);
  }
}

}  // namespace
