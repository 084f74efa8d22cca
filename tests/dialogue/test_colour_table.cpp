// The colour-table command walked through the scripted display: the tables loaded
// into the colour cells, the lines and widgets shown, and the changes to gen.
#include <cmath>
#include <fstream>

#include "dialogue.h"
#include "tools/area/colour_table.h"

namespace {

// Nearest integer of a ramp step i * 65536 / 127, computed in double.
int ramp(int i) {
  return static_cast<int>(std::lround(i * 65536.0 / 127.0));
}

class ColourTable : public prog::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    gen.message_lines = 1;
    gen.amin = 0.0f;
    gen.amax = 250.0f;
    gen.dmean = 120.0f;
  }
  // Runs the command; true when it returned by itself, false when the script ran out.
  static bool run() {
    try {
      colour_table();
      return true;
    } catch (const script::End&) {
      return false;
    }
  }
};

TEST_F(ColourTable, DefaultRequestInstallsGreyWithoutDialogueOnce) {
  lktble.default_request = 1;
  ASSERT_TRUE(run());
  EXPECT_EQ(script::colour_loads(), 1);
  EXPECT_TRUE(script::log_with("menu|").empty());
  EXPECT_EQ(lktble.default_request, 0);
  EXPECT_EQ(script::red()[0], 0);
  EXPECT_EQ(script::red()[1], 516);
  EXPECT_EQ(script::green()[64], 33026);
  EXPECT_EQ(script::blue()[127], 65535);  // 65536 limited
  // With the request served, the next call is the command and waits for a choice.
  EXPECT_FALSE(run());
  ASSERT_EQ(script::last_menu().size(), 12u);
  EXPECT_EQ(script::last_menu()[10], "Read from file");
}

TEST_F(ColourTable, PlainSchemesWithoutSliders) {
  script::menu(2);  // White/Black
  ASSERT_TRUE(run());
  EXPECT_EQ(script::red()[0], 65535);
  EXPECT_EQ(script::green()[1], ramp(126));
  EXPECT_EQ(script::blue()[127], 0);
  EXPECT_FALSE(script::state().menu_shown);

  script::menu(5);  // Black/blue/violet/white
  ASSERT_TRUE(run());
  EXPECT_EQ(script::red()[0], 0);  // a new scheme starts from a black background
  EXPECT_EQ(script::red()[42], 0);
  EXPECT_EQ(script::blue()[42], 21673);
  EXPECT_EQ(script::red()[43], 22189);
  EXPECT_EQ(script::blue()[43], 65535);
  EXPECT_EQ(script::green()[85], ramp(85));
  EXPECT_EQ(script::red()[85], 65535);
  for (int i : {126, 127}) EXPECT_EQ(script::green()[i], 65535) << i;

  script::menu(12);  // Return main menu: nothing loaded
  int loads = script::colour_loads();
  ASSERT_TRUE(run());
  EXPECT_EQ(script::colour_loads(), loads);
}

TEST_F(ColourTable, BlackWhiteThresholdsAndRescale) {
  script::menu(1);
  script::slider(1, 40.0f);  // L = 50
  script::mark(5, 5);
  script::menu(1);  // Re-scale to these thresholds
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::shown("Use left and right sliders to set lower and upper thresholds"));
  for (int i = 1; i <= 50; ++i) ASSERT_EQ(script::red()[i], 0) << i;
  EXPECT_EQ(script::green()[51], 840);                               // 65535 / 78
  EXPECT_EQ(script::blue()[127], std::lround(77 * 65535.0 / 78.0));  // 64695
  EXPECT_TRUE(script::shown("min, max =      100.      250."));
  EXPECT_FLOAT_EQ(gen.amin, 100.0f);
  EXPECT_FLOAT_EQ(gen.amax, 250.0f);
  EXPECT_EQ(gen.redisplay, 1);
  EXPECT_FALSE(script::state().menu_shown);
  EXPECT_FALSE(script::state().label_shown);
}

TEST_F(ColourTable, BlackWhiteUpperSliderResumeAndReturn) {
  gen.amin = -10.0f;
  gen.amax = 240.0f;
  script::menu(1);
  script::mark(1, 1);        // no slider moved: lo = amin + (amax - amin) / 125
  script::job(7);            // neither choice: back to the sliders
  script::slider(2, 80.0f);  // U = 100
  script::mark(1, 1);
  script::menu(2);  // Return main menu
  ASSERT_TRUE(run());
  std::vector<std::string> lines = script::lines_shown();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "min, max =       -8.      240."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "min, max =       -8.      190."), lines.end());
  EXPECT_EQ(script::log_with("sliderinit 2").size(), 2u);
  EXPECT_EQ(script::red()[100], std::lround(99 * 65535.0 / 100.0));
  for (int i = 101; i <= 127; ++i) ASSERT_EQ(script::blue()[i], 65535) << i;
  EXPECT_FLOAT_EQ(gen.amin, -10.0f);  // thresholds not taken over
  EXPECT_EQ(gen.redisplay, 0);
}

TEST_F(ColourTable, SliderSchemesEndOnAMarkOrAnyOtherJob) {
  script::menu(3);  // Monochrome
  script::menu(1);  // Red
  script::slider(1, 40.0f);
  script::job(3);  // any other job ends it
  ASSERT_TRUE(run());
  EXPECT_EQ(script::red()[64], 33026);
  EXPECT_EQ(script::green()[64], 0);
  EXPECT_EQ(script::blue()[127], 0);
  EXPECT_EQ(script::red()[0], 26214);  // background at 40 %
  EXPECT_EQ(script::green()[0], 26214);
  const script::State& s = script::state();
  EXPECT_FALSE(s.sliders_shown || s.colourbar_shown || s.label_shown || s.menu_shown);
}

TEST_F(ColourTable, DreamworldHelpers) {
  float x = 0.25f;
  EXPECT_NEAR(colour_compon(x), 1.16756 * std::tanh(1.28), 1e-5);
  EXPECT_FLOAT_EQ(x, 1.28f);  // the argument receives the wave value
  EXPECT_FLOAT_EQ(colour_icurve(0.5f, 0.0f), 32767.5f);
  EXPECT_FLOAT_EQ(colour_icurve(2.0f, 0.25f), 65535.0f);
  EXPECT_FLOAT_EQ(colour_icurve(-0.1f, 0.0f), 0.0f);
}

TEST_F(ColourTable, ComplementaryThreshold) {
  script::menu(9);
  script::menu(1);  // Red/green, threshold 64
  script::mark(0, 0);
  ASSERT_TRUE(run());
  EXPECT_EQ(script::green()[63], ramp(63));
  EXPECT_EQ(script::red()[63], 0);
  EXPECT_EQ(script::red()[64], 33026);
  EXPECT_EQ(script::green()[64], 0);
  EXPECT_EQ(script::red()[127], 65535);
}

TEST_F(ColourTable, ReadFromFile) {
  lktble.default_request = 1;
  ASSERT_TRUE(run());
  std::string good;
  for (int i = 1; i <= 100; ++i)
    good += std::to_string(i) + (i % 2 ? " , " : "  ") + std::to_string(2 * i) + "," +
            std::to_string(3 * i) + "\n";
  const std::string path = "colours.txt";
  std::ofstream(path) << good;
  script::menu(11);
  script::answer("");  // blank: the scheme menu again
  script::menu(11);
  script::answer(path + ".missing");
  script::answer(path);  // re-typed after the check
  ASSERT_TRUE(run());
  EXPECT_EQ(script::log_with("menu|").size(), 2u);
  EXPECT_TRUE(script::shown("File cannot be found, please retype it :"));
  EXPECT_EQ(gen.must_exist, 1);
  EXPECT_EQ(script::red()[1], 1);
  EXPECT_EQ(script::green()[100], 200);
  EXPECT_EQ(script::blue()[100], 300);
  EXPECT_EQ(script::red()[101], ramp(101));  // cells not in the file keep their values
  EXPECT_EQ(script::blue()[127], 65535);

  // Values are kept to what a cell holds; an unreadable record stops the reading.
  const std::string bad = "bad.txt";
  std::ofstream(bad) << "70000 -5 7\n1,,3\nred green blue\n9 9 9\n";
  script::menu(11);
  script::answer(bad);
  ASSERT_TRUE(run());
  EXPECT_EQ(script::red()[1], 65535);
  EXPECT_EQ(script::green()[1], 0);
  EXPECT_EQ(script::blue()[1], 7);
  EXPECT_EQ(script::green()[2], 4);  // empty field: unchanged
  EXPECT_EQ(script::blue()[2], 3);
  EXPECT_EQ(script::red()[3], 3);  // the bad record and everything after it untouched
  EXPECT_EQ(script::red()[4], 4);
}

}  // namespace
