// What the dialogue tests share: a fresh folder as working directory and a fresh program for
// each test, runs of the program against the scripted display, and a map as start-up leaves it
// for the displays.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "driver/dialogue.h"
#include "driver/records.h"
#include "driver/startup.h"
#include "scripted_display.h"
#include "tests/support/child.h"
#include "tests/support/test_maps.h"

namespace prog {

using testsupport::read_lines;
using testsupport::write_lines;

// Runs body with standard input from the text `input` (when given) and standard output into
// the file `out` (when given).
inline void redirected(const std::function<void()>& body, const std::string& out = "",
                       const std::string* input = nullptr) {
  std::fflush(stdout);
  const int saved_out = dup(1), saved_in = dup(0);
  if (!out.empty()) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1), close(fd);
  }
  if (input) {
    write_lines("stdin.txt", {*input});
    const int fd = open("stdin.txt", O_RDONLY);
    dup2(fd, 0), close(fd);
  }
  __fpurge(stdin);  // what an earlier run left buffered belongs to the old input
  clearerr(stdin);
  body();
  std::fflush(stdout);
  dup2(saved_out, 1), dup2(saved_in, 0), close(saved_out), close(saved_in);
  __fpurge(stdin);
  clearerr(stdin);
}

// Runs the program with the arguments until the script is used up; returns why it ended.
inline std::string run(std::vector<std::string> args, const std::string& out = "",
                       const std::string* input = nullptr) {
  std::vector<char*> argv;
  args.insert(args.begin(), "tolsvik");
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string ended;
  redirected(
      [&] {
        try {
          tolsvik_main(static_cast<int>(args.size()), argv.data());
        } catch (const script::End& e) {
          ended = e.what();
        }
      },
      out, input);
  return ended;
}

// The user's typed answers, one after the other.
inline void answers(const std::vector<std::string>& texts) {
  for (const auto& t : texts) script::answer(t);
}

// A ramp image: density x + 10 y + 1000 z.
inline void write_ramp(const std::string& name, int nx, int ny, int nz = 1) {
  test_maps::write_image(name, nx, ny, nz,
                         [](int x, int y, int z) { return float(x + 10 * y + 1000 * z); });
}

// A DATAFILE.dat whose line 12 is `image` and line 23 `type`.
inline void write_datafile(const std::string& image, int type = 0) {
  std::vector<std::string> lines(60);
  lines[11] = image;
  lines[22] = "     " + std::to_string(type);
  lines[31] = "24.102,9.738,-4.324,20.342";
  lines[34] = "20.761,15.644,-9.441,18.530";
  lines[57] = "10500.00,9500.00,35.000";
  write_lines("DATAFILE.dat", lines);
}

// Each test in a fresh folder with the program and the scripted display as at process start.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { fresh(); }
  void TearDown() override { reset_program(); }
  static void fresh() {
    reset_program();
    script::reset();
  }
  testsupport::TempFolder folder{true};
};

// The display limits, compression and density limits chosen at start-up, and the size of the
// screen the display reported.
struct Limits {
  int x0, x1, y0, y1, z0, z1, compression;
  int screen_width, screen_height;
  float amin, amax;
};

// The map `name` written by the test, opened on stream 1, with gen as start-up leaves it for
// the display of an image (or of a transform: x1 + 1 columns h and rows origin +- y1 - y0).
inline void as_started(const std::string& name, const Limits& l, bool image = true) {
  test_maps::open_map(name);
  const int c = l.compression;
  gen.compression = c;
  gen.first_x = l.x0;
  gen.shown_width = (l.x1 - l.x0 + 1) / c;
  gen.last_x = gen.shown_width * c + l.x0 - 1;
  gen.first_y = l.y0;
  gen.shown_height = (l.y1 - l.y0 + 1) / c;
  gen.last_y = gen.shown_height * c + l.y0 - 1;
  gen.first_z = l.z0;
  gen.last_z = l.z1;
  gen.screen_width = l.screen_width;
  gen.screen_height = l.screen_height;
  gen.raster_width = std::max(l.screen_width, (image ? 1 : 2) * gen.shown_width);
  gen.raster_height = std::max(l.screen_height, gen.shown_height);
  gen.amin = l.amin;
  gen.amax = l.amax;
  gen.new_display = 1;
  gen.message_lines = 1;
  set_message_line(1, kTitleLine);
}

// A test that walks a display: the map closed again at the end.
class DisplayTest : public ProgramTest {
 protected:
  void TearDown() override {
    test_maps::close_map();
    ProgramTest::TearDown();
  }
  // Runs the display; true when it returned by itself, false when the script ran out.
  static bool walk(void (*display)()) {
    try {
      display();
      return true;
    } catch (const script::End&) {
      return false;
    }
  }
  static const script::Picture& picture(int n = 0) { return script::pictures().at(n); }
};

}  // namespace prog
