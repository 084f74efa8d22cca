// Start-up: the switches, the file name, limits, compression and density questions, answer
// files recorded and replayed, and the stops.
#include <fstream>

#include "dialogue.h"

namespace {

using namespace prog;

const std::string kHead = std::string("iobox|") + kTitleLine + "|";

// A transform of nx x ny complex values whose real part is 1 + x + y.
void write_transform(const std::string& name, int nx, int ny, float peak = 0) {
  test_maps::write_transform(name, nx, ny, [&](int h, int row) {
    return std::pair{peak > 0 ? (h == 3 && row == 5 ? peak : 2.f) : float(1 + h + row), 0.f};
  });
}

TEST_F(ProgramTest, InteractiveImageQuestionsInOrderWithTheirTexts) {
  write_ramp("ramp.map", 40, 30);
  answers({"missing.map", "ramp.map", "", "", "", ""});    // a missing file is asked again
  EXPECT_NE(run({}).find("job code"), std::string::npos);  // waiting in the main menu
  const auto boxes = script::log_with("iobox|");
  ASSERT_GE(boxes.size(), 5u);
  EXPECT_EQ(boxes[0], kHead + kVersionLine + "|Type in file name ...|>");
  EXPECT_EQ(boxes[1],
            kHead + kVersionLine + "|File cannot be found, please retype it :|>missing.map");
  EXPECT_EQ(boxes[2], kHead +
                          " number of points (x,y)=   40   30| $enter limits (xmin,max,ymin,max)"
                          "| [ (0,0) is lower-left corner ] :|>");
  EXPECT_EQ(boxes[3], kHead + "Enter pixel compression factor <cr> for default (none)|>");
  EXPECT_EQ(boxes[4], kHead +
                          " current min,max density limits =    0.000       329.0"
                          "| type density limits (\"<cr>\"= current):|>");
  EXPECT_EQ(std::vector<int>({gen.first_x, gen.last_x, gen.first_y, gen.last_y, gen.raster_width,
                              gen.raster_height, gen.new_display}),
            std::vector<int>({0, 39, 0, 29, 1230, 974, 0}));
  EXPECT_EQ(script::last_menu().size(), 21u);
  // The display was started as described: mirrored y, 4x zoom of 256 x 256, grey table.
  EXPECT_TRUE(script::state().mirrored);
  EXPECT_EQ(script::log_with("zoom ").front(), "zoom 4 4 256 256 ierr=0");
  EXPECT_EQ(script::green()[64], 33026);
}

TEST_F(ProgramTest, AnswersChooseTheShownAreaAndAreAskedAgainWhenTheyCannotBeRead) {
  write_ramp("ramp.map", 100, 50);
  write_ramp("stack.map", 20, 20, 4);
  const struct {
    std::vector<std::string> answers;
    std::vector<int> area;  // first and last x, y, z, shown width, height
    float amin, amax;
    std::string said = "";  // why the answer was asked again
  } cases[] = {
      {{"ramp.map", "0,0,0,0", "", ""}, {0, 99, 0, 49, 0, 0, 100, 50}, 0, 589},
      {{"ramp.map", "-5,500,10,20", "", ""}, {0, 99, 10, 20, 0, 0, 100, 11}, 0, 589},
      {{"ramp.map", "10,20", "", ""}, {10, 20, 0, 49, 0, 0, 11, 50}, 0, 589},
      {{"ramp.map", "/", "", ""}, {0, 99, 0, 49, 0, 0, 100, 50}, 0, 589},
      // Compression 3 drops what does not fill a block.
      {{"ramp.map", "", "3", ""}, {0, 98, 0, 47, 0, 0, 33, 16}, 0, 589},
      // Letters are asked again; densities low above high too.
      {{"ramp.map", "a,b", "2,30,3,20", "", "50,10", "10,50"},
       {2, 30, 3, 20, 0, 0, 29, 18},
       10,
       50},
      // Zero limits of a stack take its first section only.
      {{"stack.map", "0,0,0,0,0,0", "", ""}, {0, 19, 0, 19, 0, 0, 20, 20}, 0, 3209},
      // Nonsense is asked again, saying why.
      {{"ramp.map", "50,10,0,0", "", "", ""},
       {0, 99, 0, 49, 0, 0, 100, 50},
       0,
       589,
       "Limits in x: minimum above maximum, please re-enter:"},
      {{"stack.map", "0,0,0,0,1,9", "0,0,0,0,1,3", "", ""},
       {0, 19, 0, 19, 1, 3, 20, 20},
       0,
       3209,
       "Limits in z: sections run from 0 to 3, please re-enter:"},
      {{"ramp.map", "", "0", "3", ""},
       {0, 98, 0, 47, 0, 0, 33, 16},
       0,
       589,
       "Pixel compression factor must be 1 to 50, please re-enter:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers[1]);
    fresh();
    answers(c.answers);
    script::answer("");  // the centre
    run({});
    EXPECT_EQ(std::vector<int>({gen.first_x, gen.last_x, gen.first_y, gen.last_y, gen.first_z,
                                gen.last_z, gen.shown_width, gen.shown_height}),
              c.area);
    EXPECT_FLOAT_EQ(gen.amin, c.amin);
    EXPECT_FLOAT_EQ(gen.amax, c.amax);
    EXPECT_TRUE(c.said.empty() || script::shown(c.said)) << c.said;
  }
  fresh();
  answers({"ramp.map", "a,b", "", "", "50,10", "10,50", ""});
  run({});
  // The question stays above the re-typing line.
  EXPECT_NE(script::log_with("iobox|")[2].find(
                "| [ (0,0) is lower-left corner ] :|Typing error, re-type 4 integers...|>"),
            std::string::npos);
  EXPECT_EQ(std::count_if(script::log().begin(), script::log().end(),
                          [](auto& e) { return e.find("type density limits") != e.npos; }),
            2);
}

TEST_F(ProgramTest, DensityDefaultsOfImagesDiffractionAndTransforms) {
  write_ramp("ramp.map", 40, 30);  // densities 0 .. 329
  write_transform("ft.map", 20, 16, 500);
  const struct {
    std::string file;
    int project_type, choice, central;
    std::string prompt;
    float amin, amax;  // the high default lowered to the file's maximum
  } cases[] = {
      {"ramp.map", 0, 0, 0, " type density limits (\"<cr>\"= current):", 0, 329},
      {"ramp.map", 2, 1, 0, " type density limits (\"<cr>\"=    0,  2000):", 0, 329},
      {"ramp.map", 2, 2, 0, " type density limits (\"<cr>\"=  -10,    50):", -10, 50},
      {"ramp.map", 2, 3, 0, " type density limits (\"<cr>\"=   -5,    10):", -5, 10},
      {"ramp.map", 2, 4, 0, " type density limits (\"<cr>\"=  -10,    50):", -10, 50},
      {"ft.map", 0, 0, 0, " type density limits (\"<cr>\"= min, 1000):", 2, 500},
      {"ft.map", 0, 0, 1, " type density limits (\"<cr>\"= min, 300):", 2, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prompt);
    fresh();
    datafile.project_type = c.project_type;
    datafile.diffraction_choice = c.choice;
    datafile.central_flag = c.central;
    answers({c.file, "", "", "", ""});
    run({});
    EXPECT_TRUE(script::shown(c.prompt));
    EXPECT_FLOAT_EQ(gen.amin, c.amin);
    EXPECT_FLOAT_EQ(gen.amax, c.amax);
  }
}

TEST_F(ProgramTest, TransformHalfNumbersChooseTheRowsAroundTheOrigin) {
  write_transform("ft.map", 33, 64);
  const struct {
    std::string half;
    int width, height, first_y;
  } cases[] = {{"", 33, 63, 1}, {"10,10", 11, 21, 22}, {"100,100", 33, 63, 1}};
  for (const auto& c : cases) {
    fresh();
    answers({"ft.map", c.half, "", ""});
    run({});
    EXPECT_EQ(std::vector<int>({gen.is_image, gen.shown_width, gen.shown_height, gen.first_y}),
              std::vector<int>({0, c.width, c.height, c.first_y}))
        << c.half;
  }
  EXPECT_TRUE(script::shown("$ enter half number in x, half number in y  :"));
  EXPECT_TRUE(script::shown(" number of points (x,y) =   33   64"));

  // Recorded as typed + 1, and replayed as typed across blank records.
  fresh();
  answers({"ft.map", "10,12", "", ""});
  run({"-f", "answers.txt"});
  auto rec = read_lines("answers.txt");
  ASSERT_GE(rec.size(), 3u);
  EXPECT_EQ(rec[2], "          11          13");
  rec.insert(rec.begin() + 2, "");
  write_lines("answers.txt", rec);
  fresh();
  for (int i = 0; i < 4; ++i) script::accept();
  run({"-f", "answers.txt"});
  EXPECT_TRUE(script::shown("Modify half number in x, half number in y  :"));
  EXPECT_NE(script::log_with("iobox|")[1].find("|>10,12"), std::string::npos);
  EXPECT_EQ(gen.shown_height, 25);
}

TEST_F(ProgramTest, RecordedAnswersReplayFromTheAnswerFile) {
  write_ramp("ramp.map", 40, 30);
  answers({"ramp.map", "30,2,3,20", "2,30,3,20", "2", "5,200", ""});  // limits asked again
  // The file name is never given to a shell.
  const std::string name = "my answers; touch pwned $(touch pwned2) 'x'.txt";
  run({"-f", name});
  EXPECT_FALSE(std::filesystem::exists("pwned") || std::filesystem::exists("pwned2"));
  EXPECT_FALSE(std::filesystem::exists("Tolsvik.tmp"));
  const auto rec = read_lines(name);
  ASSERT_EQ(rec.size(), 6u);  // one record per question
  EXPECT_EQ(rec[0], "ramp.map");

  // The second run offers every recorded answer; accepting them gives the same display.
  fresh();
  for (int i = 0; i < 5; ++i) script::accept();
  run({"-f", name});
  const auto boxes = script::log_with("iobox|");
  ASSERT_GE(boxes.size(), 4u);
  EXPECT_EQ(boxes[0], kHead + kVersionLine + "|Input filename ...|>ramp.map");
  EXPECT_NE(boxes[1].find("| Default limits (xmin,max,ymin,max)| Type new limits or <cr> to use "
                          "defaults :|>2,30,3,20"),
            std::string::npos);
  EXPECT_EQ(boxes[2], kHead + "Pixel compression factor = 2 type a new one or <cr> for default|>");
  EXPECT_NE(boxes[3].find("| file min,max density limits ="), std::string::npos);
  EXPECT_NE(boxes[3].find("|Modify default values :|>5.0,200.0"), std::string::npos);
  EXPECT_EQ(std::vector<float>({float(gen.first_x), float(gen.last_y), float(gen.compression),
                                gen.amin, gen.amax}),
            std::vector<float>({2, 20, 2, 5, 200}));
  EXPECT_EQ(read_lines(name), rec);  // recorded again

  // Given on standard input, the recorded file replays the same display silently.
  fresh();
  const std::string input = testsupport::read_text(name);
  run({"-s"}, "out.txt", &input);
  EXPECT_TRUE(script::log_with("iobox|").empty());
  EXPECT_EQ(std::vector<float>({float(gen.first_x), float(gen.last_y), float(gen.compression),
                                gen.amin, gen.amax}),
            std::vector<float>({2, 20, 2, 5, 200}));
}

TEST_F(ProgramTest, AnswersThatEndOrDoNotFitContinueInTheWindow) {
  write_ramp("ramp.map", 40, 30);
  write_ramp("stack.map", 20, 20, 3);
  // An image's answers meet a stack: the rest is asked, with the reason.
  write_lines("answers.txt", {"stack.map", "           2           1", "0 0 0 0", "1", "0 0", ""});
  script::accept();
  answers({"0,0,0,0,1,2", "", ""});
  script::menu(1);  // auto layout of the sections
  run({"-f", "answers.txt"});
  EXPECT_TRUE(script::shown(
      "Default file specification incompatible with new file, proceeding interactively."));
  EXPECT_TRUE(script::shown(" number of points (x,y,z)=   20   20    3"));
  EXPECT_EQ(gen.last_z, 2);
  // An empty answer file asks the file name with the reason.
  fresh();
  write_lines("answers.txt", {});
  script::answer("ramp.map");
  run({"-f", "answers.txt"});
  EXPECT_EQ(script::log_with("iobox|").front(),
            kHead + kVersionLine +
                "|Answers ended or could not be read, proceeding interactively."
                "|Type in file name ...|>");
  // Answers on standard input are read silently, nonsense replaced and said on the terminal;
  // when they end the window asks.
  const struct {
    std::string input, said;
    size_t boxes;
    int width;
  } replays[] = {{"ramp.map\n0 0 0 0\n1\n0 100\n\n", "Number of columns, rows, sections", 0, 40},
                 {"ramp.map\n", "Number of columns, rows, sections", 4, 40},
                 {"ramp.map\n50 10 0 0\n0\n0 100\n\n",
                  "Limits in x: minimum above maximum, taken as 10,10\n"
                  "Pixel compression factor must be 1 to 1, taken as 1\n",
                  0, 1}};
  for (const auto& r : replays) {
    fresh();
    answers({"", "", "", ""});
    run({"-s"}, "out.txt", &r.input);
    EXPECT_EQ(script::log_with("iobox|").size(), r.boxes);
    EXPECT_EQ(gen.shown_width, r.width);
    EXPECT_NE(testsupport::read_text("out.txt").find(r.said), std::string::npos);
  }
}

TEST_F(ProgramTest, StopsWithTheirLines) {
  write_ramp("ramp.map", 40, 30);
  test_maps::write_image("wide.map", 16385, 1, 1, [](int, int, int) { return 1.f; });
  write_ramp("bad.map", 4, 4);
  {
    std::fstream f("bad.map", std::ios::in | std::ios::out | std::ios::binary);
    const int32_t columns = -7;
    f.write(reinterpret_cast<const char*>(&columns), 4);
  }
  const struct {
    std::vector<std::string> args;
    std::string input, last_line;
    std::function<void()> script;
  } cases[] = {
      {{"-x"}, "", " Unknown switch, exiting.", [] {}},
      {{"-s"}, "nothere.map\n", "Input file not found nothere.map", [] {}},
      {{"-s"}, "bad.map\n", "!!! Error - impossible map header in file : bad.map", [] {}},
      // Too large a raster in a replay cannot be asked again.
      {{"-s"},
       "ramp.map\n0 0 0 0\n1\n0 0\n",
       "*** Error - insufficient resources for size of image",
       [] { script::config().max_pixels = 10; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + c.last_line);
    const testsupport::Finished r = testsupport::run([&] {
      fresh();
      c.script();
      run(c.args, "", c.input.empty() ? nullptr : &c.input);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.last_line + "\n"), std::string::npos) << r.out;
  }
  // A map wider than the program's lines: told in the entry box, then the stop.
  const testsupport::Finished wide = testsupport::run([&] {
    fresh();
    answers({"wide.map", "x"});
    std::atexit([] {
      for (const auto& l : script::last_prompt()) std::fprintf(stderr, "%s\n", l.c_str());
    });
    run({});
  });
  EXPECT_NE(wide.err.find("Map dimensions too large for program\nType any key to exit"),
            std::string::npos)
      << wide.err;
}

}  // namespace
