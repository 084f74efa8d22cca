// Transform display dialogues: the display choice, amplitude and intensity levels, the Friedel
// mirror around the origin and the coverage of the typed half numbers.
#include <cmath>

#include "dialogue.h"
#include "driver/answerfile.h"
#include "driver/transform.h"

namespace {

using namespace prog;

class Transform : public DisplayTest {
 protected:
  // A transform of nx x ny complex values f(h, row), shown with half numbers tx, ty.
  static void start(int nx, int ny, const std::function<std::pair<float, float>(int, int)>& f,
                    int tx, int ty, int sw, int sh, float amin, float amax) {
    test_maps::close_map();
    test_maps::write_transform("map.fft", nx, ny, f);
    as_started("map.fft", {0, tx, ny / 2 - ty, ny / 2 + ty, 0, 0, 1, sw, sh, amin, amax}, false);
    gen.is_image = 0;
  }
  static bool run() { return walk(fftread); }
};

// Row 4 (k = 0) of a transform with 8 rows holds (600, 800) at h = 1 and (3, 4) at h = 2.
std::pair<float, float> two_values(int h, int row) {
  if (row == 4 && h == 1) return {600.0f, 800.0f};
  if (row == 4 && h == 2) return {3.0f, 4.0f};
  return {0.0f, 0.0f};
}

TEST_F(Transform, AmplitudeAndIntensityLevels) {
  start(4, 8, two_values, 3, 2, 40, 30, 0.0f, 1000.0f);
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_EQ(ovly.amplitude_display, 1);
  EXPECT_EQ(gen.centre_x, 20);
  EXPECT_EQ(gen.centre_y, 15);
  // Amplitude 1000 -> 125; amplitude 5 -> 0.625 -> 1; the mirror on the left.
  EXPECT_EQ(picture().at(21, 15), 125);
  EXPECT_EQ(picture().at(22, 15), 1);
  EXPECT_EQ(picture().at(19, 15), 125);
  EXPECT_EQ(picture().at(18, 15), 1);

  script::reset();
  gen.new_display = 1;
  gen.amax = 10.0f;
  script::answer("1");
  ASSERT_TRUE(run());
  EXPECT_EQ(ovly.amplitude_display, 0);
  EXPECT_EQ(picture().at(22, 15), 31);  // intensity 25 of 100 -> 31.25
  EXPECT_EQ(picture().at(21, 15), 125);
  EXPECT_EQ(picture().at(18, 15), 31);
}

// The choice: interactive answers count only when they start with a non-blank;
// corner mode never asks; a replayed non-blank line selects intensities.
TEST_F(Transform, DisplayChoice) {
  const std::vector<std::pair<std::string, int>> answers = {{"", 1}, {" 1", 1}, {"1", 0}};
  for (const auto& [text, amplitudes] : answers) {
    script::reset();

    start(4, 8, two_values, 3, 2, 40, 30, 0.0f, 1000.0f);
    script::answer(text);
    ASSERT_TRUE(run());
    EXPECT_EQ(ovly.amplitude_display, amplitudes) << '"' << text << '"';
  }
  EXPECT_EQ(script::last_prompt(),
            (std::vector<std::string>{"Tolsvik - image display program H14.76",
                                      " Enter display choice :", " (\"<cr>\" = amplitudes)",
                                      " (\" 1  \" = intensities)"}));
  EXPECT_EQ(gen.message_lines, 1);

  script::reset();
  start(4, 8, two_values, 3, 2, 40, 30, 0.0f, 1000.0f);
  datafile.corner_counter = 2;
  ASSERT_TRUE(run());
  EXPECT_TRUE(script::log_with("iobox").empty());
  EXPECT_EQ(ovly.amplitude_display, 1);
  // A replayed non-blank line selects intensities; it is recorded with a blank line.
  script::reset();
  datafile.corner_counter = 0;
  write_lines("answers.txt", {" 1"});
  start(4, 8, two_values, 3, 2, 40, 30, 0.0f, 1000.0f);
  answers_from_file("answers.txt");
  const bool returned = run();
  answers_finish();
  ASSERT_TRUE(returned);
  EXPECT_EQ(ovly.amplitude_display, 0);
  EXPECT_EQ(read_lines("answers.txt"), (std::vector<std::string>{" 1" + std::string(78, ' '), ""}));
}

// Half numbers 10, 10 on a transform of 22 rows (origin row 11): the stored rows
// k = -10..9 on the right, their mirrors k = -9..10 on the left, within the 21 x 21
// square around the centre of the raster; nothing else is drawn, and the view is
// centred.
TEST_F(Transform, HalfNumbersCoverTheSquareWithTheFriedelMirror) {
  auto value = [](int h, int row) {
    return std::pair<float, float>{static_cast<float>(h + 1), static_cast<float>(row + 1)};
  };
  start(11, 22, value, 10, 10, 60, 40, 0.0f, 50.0f);
  script::answer("");
  ASSERT_TRUE(run());
  EXPECT_EQ(gen.area_x1, 20);
  EXPECT_EQ(gen.area_x2, 40);
  EXPECT_EQ(gen.area_y1, 10);
  EXPECT_EQ(gen.area_y2, 30);
  EXPECT_TRUE(script::shown("to zoom, press right hand mouse button"));
  // The raster is the screen, with the origin in its middle: nothing to pan, and the
  // picture is shown again with the pan.
  EXPECT_EQ(script::log_with("setpan"), (std::vector<std::string>{"setpan 0 0"}));
  EXPECT_EQ(script::log().back(), "drawimages 0");

  auto index = [&](int h, int row) {
    auto [re, im] = value(h, row);
    return test_maps::expected_index(std::hypot(re, im), 0.0, 50.0);
  };
  const auto& p = picture();
  int drawn = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      const int h = x - 30, k = (40 - y) - 20;  // screen y = raster_height - row
      int want = 0;
      if (h > 10 || h < -10)
        want = 0;
      else if (h > 0 && k >= -10 && k <= 9)
        want = index(h, 11 + k);
      else if (h < 0 && k >= -9 && k <= 10)
        want = index(-h, 11 - k);
      else if (h == 0 && std::abs(k) <= 10) {
        // Drawn from row k and from row -k; the row read later (rows run upwards
        // from k = -10) stays. The ends show row k = -10 only.
        want = std::abs(k) == 10 ? index(0, 1) : index(0, 11 + std::abs(k));
      }
      drawn += p.at(x, y) != 0;
      ASSERT_EQ(p.at(x, y), want) << "h " << h << " k " << k;
    }
  EXPECT_EQ(drawn, 21 * 21 - 20);
}

}  // namespace
