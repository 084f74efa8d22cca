// Start-up: the switches, the file name, limits, compression and density questions,
// answer files recorded and replayed, and the stops.
#include "program_fixture.h"
#include "tools/area/colour_table.h"

namespace {

using prog::ProgramTest;
using prog::read_lines;
using prog::run;
using prog::write_lines;
using prog::write_map;
using prog::write_ramp;

const char* kTitle = "Tolsvik - image display program H14.76";
const char* kVersion = "Version 23.11.2001";

// Writes the last entry-box prompt to standard error when the process ends, for the
// tests of a stop.
void tell_last_prompt() {
  std::string t;
  for (const auto& l : script::last_prompt()) t += l + "\n";
  std::fputs(t.c_str(), stderr);
}

std::vector<std::string> iobox_entries() {
  return script::log_with("iobox|");
}

// A transform of nx x ny complex values whose amplitude is 1 + x + y.
void write_transform(const std::string& name, int nx, int ny) {
  write_map(name, nx, ny, 1, 4, [](int x, int y, int) { return float(1 + x + y); });
}

TEST_F(ProgramTest, InteractiveImageQuestionsInOrderWithTheirTexts) {
  write_ramp("ramp.map", 40, 30);
  script::answer("missing.map");  // not there: asked again
  script::answer("ramp.map");
  script::answer("");  // limits: whole map
  script::answer("");  // compression: none
  script::answer("");  // densities: current
  script::answer("");  // centre: automatic
  std::string ended = run({});
  EXPECT_NE(ended.find("job code"), std::string::npos) << ended;  // waiting in the main menu

  auto boxes = iobox_entries();
  ASSERT_GE(boxes.size(), 6u);
  EXPECT_EQ(boxes[0], std::string("iobox|") + kTitle + "|" + kVersion + "|Type in file name ...|>");
  EXPECT_EQ(boxes[1], std::string("iobox|") + kTitle + "|" + kVersion +
                          "|File cannot be found, please retype it :|>missing.map");
  EXPECT_EQ(boxes[2], std::string("iobox|") + kTitle +
                          "| number of points (x,y)=   40   30| $enter limits (xmin,max,ymin,max)"
                          "| [ (0,0) is lower-left corner ] :|>");
  EXPECT_EQ(boxes[3], std::string("iobox|") + kTitle +
                          "|Enter pixel compression factor <cr> for default (none)|>");
  EXPECT_EQ(boxes[4], std::string("iobox|") + kTitle +
                          "| current min,max density limits =    0.000       329.0"
                          "| type density limits (\"<cr>\"= current):|>");

  EXPECT_EQ(gen.first_x, 0);
  EXPECT_EQ(gen.last_x, 39);
  EXPECT_EQ(gen.first_y, 0);
  EXPECT_EQ(gen.last_y, 29);
  EXPECT_EQ(gen.shown_width, 40);
  EXPECT_EQ(gen.shown_height, 30);
  EXPECT_EQ(gen.raster_width, 1230);
  EXPECT_EQ(gen.raster_height, 974);
  EXPECT_FLOAT_EQ(gen.amin, 0);
  EXPECT_FLOAT_EQ(gen.amax, 329);
  EXPECT_EQ(gen.new_display, 0);
  EXPECT_EQ(script::last_menu().size(), 21u);
  // The display was started as described: mirrored y, 4x zoom of 256 x 256, grey table.
  EXPECT_TRUE(script::state().mirrored);
  EXPECT_EQ(script::log_with("zoom ").front(), "zoom 4 4 256 256 ierr=0");
  EXPECT_EQ(script::green()[64], 33026);
}

TEST_F(ProgramTest, LimitsAreClampedAndZeroMeansTheWholeAxis) {
  write_ramp("ramp.map", 100, 50);
  struct Case {
    std::string limits;
    int first_x, last_x, first_y, last_y;
  } cases[] = {{"0,0,0,0", 0, 99, 0, 49},
               {"-5,500,10,20", 0, 99, 10, 20},
               {"10,20", 10, 20, 0, 49},
               {"/", 0, 99, 0, 49}};
  for (const auto& c : cases) {
    reset_program();
    script::reset();
    script::answer("ramp.map");
    script::answer(c.limits);
    script::answer("");
    script::answer("");
    script::answer("");
    run({});
    EXPECT_EQ(gen.first_x, c.first_x) << c.limits;
    EXPECT_EQ(gen.last_x, c.last_x) << c.limits;
    EXPECT_EQ(gen.first_y, c.first_y) << c.limits;
    EXPECT_EQ(gen.last_y, c.last_y) << c.limits;
  }
}

TEST_F(ProgramTest, CompressionDropsColumnsThatDoNotFillABlock) {
  write_ramp("ramp.map", 100, 10);
  script::answer("ramp.map");
  script::answer("");
  script::answer("3");
  script::answer("");
  script::answer("");
  run({});
  EXPECT_EQ(gen.compression, 3);
  EXPECT_EQ(gen.shown_width, 33);
  EXPECT_EQ(gen.last_x, 98);
  EXPECT_EQ(gen.shown_height, 3);
  EXPECT_EQ(gen.last_y, 8);
}

TEST_F(ProgramTest, TypingErrorsAndReversedDensitiesAreAskedAgain) {
  write_ramp("ramp.map", 40, 30);
  script::answer("ramp.map");
  script::answer("a,b");  // limits: not numbers
  script::answer("2,30,3,20");
  script::answer("");
  script::answer("50,10");  // low above high: asked again
  script::answer("10,50");
  script::answer("");
  run({});
  EXPECT_TRUE(script::shown("Typing error, re-type 4 integers..."));
  EXPECT_EQ(gen.first_x, 2);
  EXPECT_EQ(gen.last_x, 30);
  EXPECT_EQ(gen.first_y, 3);
  EXPECT_EQ(gen.last_y, 20);
  int density_questions = 0;
  for (const auto& e : iobox_entries())
    if (e.find("type density limits") != std::string::npos) ++density_questions;
  EXPECT_EQ(density_questions, 2);
  EXPECT_FLOAT_EQ(gen.amin, 10);
  EXPECT_FLOAT_EQ(gen.amax, 50);
}

TEST_F(ProgramTest, DensityDefaultsOfImagesDiffractionAndTransforms) {
  // Image of a diffraction project: the default pair of the chosen pattern, the
  // high limit lowered to the file's maximum.
  write_ramp("ramp.map", 40, 30);  // densities 0 .. 329
  datafile.project_type = 2;
  datafile.diffraction_choice = 1;
  script::answer("ramp.map");
  script::answer("");
  script::answer("");
  script::answer("");
  script::answer("");
  run({});
  // Without DATAFILE.dat the start menu resets nothing of the diffraction choice.
  EXPECT_TRUE(script::shown(" type density limits (\"<cr>\"=    0,  2000):"));
  EXPECT_FLOAT_EQ(gen.amin, 0);
  EXPECT_FLOAT_EQ(gen.amax, 329);

  for (int choice : {2, 3, 4}) {
    reset_program();
    script::reset();
    datafile.project_type = 2;
    datafile.diffraction_choice = choice;
    for (int i = 0; i < 5; ++i) script::answer(i == 0 ? "ramp.map" : "");
    run({});
    const char* expected = choice == 3 ? " type density limits (\"<cr>\"=   -5,    10):"
                                       : " type density limits (\"<cr>\"=  -10,    50):";
    EXPECT_TRUE(script::shown(expected)) << choice;
    EXPECT_FLOAT_EQ(gen.amin, choice == 3 ? -5 : -10);
    EXPECT_FLOAT_EQ(gen.amax, choice == 3 ? 10 : 50);
  }

  // Transforms: (min, 1000) lowered to the maximum 500 of the file, and (min, 300) for
  // a central transform.
  write_map("ft.map", 20, 16, 1, 4,
            [](int x, int y, int) { return x == 3 && y == 5 ? 500.f : 2.f; });
  for (int central : {0, 1}) {
    reset_program();
    script::reset();
    datafile.central_flag = central;
    script::answer("ft.map");
    script::answer("");  // half numbers
    script::answer("");  // densities
    script::answer("");  // display choice
    run({});
    EXPECT_TRUE(script::shown(central ? " type density limits (\"<cr>\"= min, 300):"
                                      : " type density limits (\"<cr>\"= min, 1000):"));
    EXPECT_FLOAT_EQ(gen.amin, 2);
    EXPECT_FLOAT_EQ(gen.amax, central ? 300 : 500);
  }
}

TEST_F(ProgramTest, TransformHalfNumbersChooseTheRowsAroundTheOrigin) {
  write_transform("ft.map", 33, 64);
  script::answer("ft.map");
  script::answer("");  // all columns, ny - 1 rows
  script::answer("");
  script::answer("");
  run({});
  EXPECT_TRUE(script::shown("$ enter half number in x, half number in y  :"));
  EXPECT_TRUE(script::shown(" number of points (x,y) =   33   64"));
  EXPECT_EQ(gen.is_image, 0);
  EXPECT_EQ(gen.shown_width, 33);
  EXPECT_EQ(gen.shown_height, 63);
  EXPECT_EQ(gen.first_y, 1);
  EXPECT_EQ(gen.compression, 1);

  reset_program();
  script::reset();
  script::answer("ft.map");
  script::answer("10,10");
  script::answer("");
  script::answer("");
  run({});
  EXPECT_EQ(gen.shown_width, 11);
  EXPECT_EQ(gen.shown_height, 21);
  EXPECT_EQ(gen.first_y, 22);
  EXPECT_EQ(gen.raster_width, 1230);

  // Half numbers beyond the file are kept to the rows it holds.
  reset_program();
  script::reset();
  script::answer("ft.map");
  script::answer("100,100");
  script::answer("");
  script::answer("");
  run({});
  EXPECT_EQ(gen.shown_width, 33);
  EXPECT_GE(gen.first_y, 0);
  EXPECT_LE(gen.first_y + gen.shown_height - 1, 63);
}

TEST_F(ProgramTest, TooLargeRasterAsksTheLimitsAgain) {
  write_ramp("ramp.map", 40, 30);
  script::config().max_pixels = 1230 * 974 - 1;  // not even the screen fits
  script::answer("ramp.map");
  script::answer("");
  script::answer("");
  script::answer("");  // limits again
  run({});
  EXPECT_TRUE(script::shown("Insufficient resources for size of image, please re-enter:"));
  auto boxes = iobox_entries();
  ASSERT_GE(boxes.size(), 4u);
  EXPECT_NE(boxes[3].find("Insufficient resources for size of image, please re-enter:"
                          "| number of points (x,y)="),
            std::string::npos)
      << boxes[3];
}

TEST_F(ProgramTest, RecordedAnswersReplayFromTheAnswerFile) {
  write_ramp("ramp.map", 40, 30);
  script::answer("ramp.map");
  script::answer("2,30,3,20");
  script::answer("2");
  script::answer("5,200");
  script::answer("");  // centre
  run({"-f", "answers.txt"});
  ASSERT_TRUE(prog::fs::exists("answers.txt"));
  EXPECT_FALSE(prog::fs::exists("Tolsvik.tmp"));
  auto rec = read_lines("answers.txt");
  ASSERT_GE(rec.size(), 6u);
  EXPECT_EQ(rec[0], "ramp.map");
  const auto first = gen;

  // The second run offers every recorded answer as the default text; accepting them
  // gives the same display.
  reset_program();
  script::reset();
  for (int i = 0; i < 5; ++i) script::accept();
  run({"-f", "answers.txt"});
  auto boxes = iobox_entries();
  ASSERT_GE(boxes.size(), 4u);
  EXPECT_EQ(boxes[0],
            std::string("iobox|") + kTitle + "|" + kVersion + "|Input filename ...|>ramp.map");
  EXPECT_NE(boxes[1].find("| Default limits (xmin,max,ymin,max)| Type new limits or <cr> to use "
                          "defaults :|>2,30,3,20"),
            std::string::npos)
      << boxes[1];
  EXPECT_EQ(boxes[2], std::string("iobox|") + kTitle +
                          "|Pixel compression factor = 2 type a new one or <cr> for default|>");
  EXPECT_NE(boxes[3].find("| file min,max density limits ="), std::string::npos);
  EXPECT_NE(boxes[3].find("|Modify default values :|>5.0,200.0"), std::string::npos) << boxes[3];
  EXPECT_EQ(gen.first_x, first.first_x);
  EXPECT_EQ(gen.last_y, first.last_y);
  EXPECT_EQ(gen.compression, 2);
  EXPECT_FLOAT_EQ(gen.amin, 5);
  EXPECT_FLOAT_EQ(gen.amax, 200);
  // And the answers were recorded again.
  EXPECT_EQ(read_lines("answers.txt"), rec);
}

TEST_F(ProgramTest, ZeroLimitsOfAStackChooseTheFirstSectionOnly) {
  write_ramp("stack.map", 20, 20, 4);
  for (int i = 0; i < 5; ++i) script::answer(i == 0 ? "stack.map" : i == 1 ? "0,0,0,0,0,0" : "");
  run({});
  EXPECT_EQ(gen.first_z, 0);
  EXPECT_EQ(gen.last_z, 0);
  EXPECT_EQ(gen.last_x, 19);
  EXPECT_TRUE(script::log_with("menu|Auto display").empty());  // one section: no layout menu
}

TEST_F(ProgramTest, TransformHalfNumbersReplayAsTyped) {
  write_transform("ft.map", 33, 64);
  script::answer("ft.map");
  script::answer("10,12");
  script::answer("");
  script::answer("");
  run({"-f", "answers.txt"});
  EXPECT_EQ(read_lines("answers.txt")[2], "          11          13");  // stored as typed + 1
  // Blank records between the numbers do not matter.
  auto rec = read_lines("answers.txt");
  rec.insert(rec.begin() + 2, "");
  write_lines("answers.txt", rec);

  reset_program();
  script::reset();
  for (int i = 0; i < 4; ++i) script::accept();
  run({"-f", "answers.txt"});
  EXPECT_TRUE(script::shown("Modify half number in x, half number in y  :"));
  EXPECT_NE(script::log_with("iobox|")[1].find("|>10,12"), std::string::npos);
  EXPECT_EQ(gen.shown_width, 11);
  EXPECT_EQ(gen.shown_height, 25);
}

TEST_F(ProgramTest, AnswerFileNameIsNeverGivenToAShell) {
  write_ramp("ramp.map", 40, 30);
  const std::string name = "my answers; touch pwned $(touch pwned2) 'x'.txt";
  for (int i = 0; i < 5; ++i) script::answer(i == 0 ? "ramp.map" : "");
  run({"-f", name});
  EXPECT_TRUE(prog::fs::exists(name));
  EXPECT_EQ(read_lines(name).front(), "ramp.map");
  EXPECT_FALSE(prog::fs::exists("pwned"));
  EXPECT_FALSE(prog::fs::exists("pwned2"));
  EXPECT_FALSE(prog::fs::exists("Tolsvik.tmp"));
}

TEST_F(ProgramTest, AnswerFileOfAnImageMeetsAStackAndContinuesInteractively) {
  write_ramp("flat.map", 20, 20);
  write_ramp("stack.map", 20, 20, 3);
  write_lines("answers.txt", {"stack.map", "           2           1", "0 0 0 0", "1", "0 0", ""});
  script::accept();               // file name as offered
  script::answer("0,0,0,0,1,2");  // limits, now asked interactively
  script::answer("");             // compression
  script::answer("");             // densities
  script::menu(1);                // auto layout of the sections
  run({"-f", "answers.txt"});
  EXPECT_TRUE(script::shown(
      "Default file specification incompatible with new file, proceeding interactively."));
  EXPECT_TRUE(script::shown(" $enter limits (xmin,max,ymin,max,zmin,max)"));
  EXPECT_TRUE(script::shown(" number of points (x,y,z)=   20   20    3"));
  EXPECT_EQ(gen.first_z, 1);
  EXPECT_EQ(gen.last_z, 2);
}

TEST_F(ProgramTest, StandardInputRepliesSilently) {
  write_ramp("ramp.map", 40, 30);
  std::string input = "ramp.map\n0 0 0 0\n1\n0 100\n\n";
  std::string ended = run({"-s"}, "out.txt", &input);
  EXPECT_TRUE(iobox_entries().empty());  // not one question in the window
  EXPECT_FLOAT_EQ(gen.amax, 100);
  EXPECT_EQ(gen.shown_width, 40);
  EXPECT_EQ(script::last_menu().size(), 21u);
  // The header print went to standard output.
  bool header = false;
  for (const auto& l : read_lines("out.txt"))
    if (l.find("Number of columns, rows, sections") != std::string::npos) header = true;
  EXPECT_TRUE(header);
}

TEST_F(ProgramTest, AnEmptyAnswerFileAsksTheFileNameWithTheReason) {
  write_ramp("ramp.map", 40, 30);
  write_lines("answers.txt", {});
  script::answer("ramp.map");
  run({"-f", "answers.txt"});
  EXPECT_EQ(script::log_with("iobox|").front(),
            std::string("iobox|") + kTitle + "|" + kVersion +
                "|Answers ended or could not be read, proceeding interactively."
                "|Type in file name ...|>");
}

TEST_F(ProgramTest, AnswersEndingEarlyContinueInteractively) {
  write_ramp("ramp.map", 40, 30);
  std::string input = "ramp.map\n";
  script::answer("");  // limits asked in the window
  script::answer("");
  script::answer("");
  script::answer("");
  run({"-s"}, "out.txt", &input);
  EXPECT_TRUE(script::shown(" $enter limits (xmin,max,ymin,max)"));
  EXPECT_EQ(gen.shown_width, 40);
}

using ProgramDeathTest = ProgramTest;

TEST_F(ProgramDeathTest, StopsWithTheirLines) {
  write_ramp("ramp.map", 40, 30);
  EXPECT_EXIT(run({"-x"}, "unknown.txt"), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_lines("unknown.txt"), std::vector<std::string>{" Unknown switch, exiting."});

  std::string input = "nothere.map\n";
  EXPECT_EXIT(run({"-s"}, "missing.txt", &input), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_lines("missing.txt"),
            std::vector<std::string>{"Input file not found nothere.map"});

  // A map wider than the program's lines: told in the entry box, then the stop.
  write_map("wide.map", 16385, 1, 1, 0, [](int, int, int) { return 1.f; });
  EXPECT_EXIT(
      {
        script::answer("wide.map");
        script::answer("x");
        std::atexit(tell_last_prompt);
        run({}, "wide.txt");
        std::exit(3);  // not reached when the program stops
      },
      ::testing::ExitedWithCode(0), "Map dimensions too large for program\nType any key to exit");

  // A header the map-file layer refuses is reported on the terminal.
  {
    write_ramp("bad.map", 4, 4);
    std::fstream f("bad.map", std::ios::in | std::ios::out | std::ios::binary);
    const int32_t columns = -7;
    f.write(reinterpret_cast<const char*>(&columns), 4);
  }
  input = "bad.map\n";
  EXPECT_EXIT(run({"-s"}, "bad.txt", &input), ::testing::ExitedWithCode(0), "");
  bool told = false;
  for (const auto& l : read_lines("bad.txt"))
    if (l.find("!!! Error - impossible map header in file") != std::string::npos) told = true;
  EXPECT_TRUE(told);

  // Too large a raster in a replay cannot be asked again.
  script::config().max_pixels = 10;
  input = "ramp.map\n0 0 0 0\n1\n0 0\n";
  EXPECT_EXIT(run({"-s"}, "big.txt", &input), ::testing::ExitedWithCode(0), "");
  auto lines = read_lines("big.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "*** Error - insufficient resources for size of image");
}

}  // namespace
