// Helpers of the program's dialogue tests: a fresh folder per test as the working
// directory, small map files written with the map-file layer, and runs of the program
// against the scripted display.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dialogue_maps.h"
#include "driver/records.h"
#include "driver/startup.h"
#include "mapfile/mapfile.h"
#include "scripted_display.h"

namespace prog {

namespace fs = std::filesystem;

// A fresh empty folder that is the working directory while the object lives.
class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/tolsvik-dialogue-XXXXXX";
    path_ = ::mkdtemp(pattern);
    previous_ = fs::current_path();
    fs::current_path(path_);
  }
  ~Folder() {
    std::error_code e;
    fs::current_path(previous_, e);
    fs::remove_all(path_, e);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_, previous_;
};

// Writes a map of nx x ny x nz elements in `mode` into the working directory;
// value(x, y, z) gives each density (for modes 3 and 4 the real part; imaginary(x, y, z)
// the imaginary part).
inline void write_map(const std::string& name, int nx, int ny, int nz, int mode,
                      const std::function<float(int, int, int)>& value,
                      const std::function<float(int, int, int)>& imaginary = nullptr) {
  const bool complex = mode >= 3;
  dialogue_maps::write_rows(name, nx, ny, nz, mode, [&](int y, int z, float* row) {
    for (int x = 0; x < nx; ++x) {
      if (complex) {
        row[2 * x] = value(x, y, z);
        row[2 * x + 1] = imaginary ? imaginary(x, y, z) : 0.0f;
      } else {
        row[x] = value(x, y, z);
      }
    }
  });
}

// A ramp image: density x + 10 y.
inline void write_ramp(const std::string& name, int nx, int ny, int nz = 1) {
  write_map(name, nx, ny, nz, 2, [](int x, int y, int z) { return float(x + 10 * y + 1000 * z); });
}

// Writes text lines as a file.
inline void write_lines(const std::string& name, const std::vector<std::string>& lines) {
  std::ofstream out(name);
  for (const auto& l : lines) out << l << "\n";
}

inline std::vector<std::string> read_lines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  std::string l;
  while (std::getline(in, l)) lines.push_back(l);
  return lines;
}

// A DATAFILE.dat whose line 12 is `image`, line 23 `type` and line 58 `line58`.
inline void write_datafile(const std::string& image, int type = 0,
                           const std::string& line58 = "10500.00,9500.00,35.000") {
  std::vector<std::string> lines(60);
  lines[11] = image;
  char t[16];
  std::snprintf(t, sizeof t, "%6d", type);
  lines[22] = t;
  lines[31] = "24.102,9.738,-4.324,20.342";
  lines[34] = "20.761,15.644,-9.441,18.530";
  lines[57] = line58;
  write_lines("DATAFILE.dat", lines);
}

// Runs the program with the given arguments until the script is used up (the
// scripted display then ends the run). Standard input comes from `input` when given
// (for "-s"); standard output goes to `stdout_file` when given. Returns the text of
// the script's end.
inline std::string run(std::vector<std::string> args, const std::string& stdout_file = "",
                       const std::string* input = nullptr) {
  std::vector<char*> argv;
  args.insert(args.begin(), "tolsvik");
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(stdout);
  int saved_out = -1, saved_in = -1;
  if (!stdout_file.empty()) {
    saved_out = ::dup(1);
    int fd = ::open(stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::close(fd);
  }
  if (input != nullptr) {
    write_lines("stdin.txt", {*input});
    saved_in = ::dup(0);
    int fd = ::open("stdin.txt", O_RDONLY);
    ::dup2(fd, 0);
    ::close(fd);
    // Whatever an earlier run left in the stream's buffer belongs to the old input.
    __fpurge(stdin);
    clearerr(stdin);
  }
  std::string ended;
  try {
    tolsvik_main(static_cast<int>(args.size()), argv.data());
  } catch (const script::End& e) {
    ended = e.what();
    if (std::getenv("SCRIPT_DEBUG")) {
      std::fprintf(stderr, "END: %s\n", e.what());
      for (auto& l : script::log()) std::fprintf(stderr, "  %s\n", l.c_str());
    }
  }
  std::fflush(stdout);
  if (saved_out >= 0) ::dup2(saved_out, 1), ::close(saved_out);
  if (saved_in >= 0) ::dup2(saved_in, 0), ::close(saved_in), __fpurge(stdin), clearerr(stdin);
  return ended;
}

// Resets the program and the scripted display before a test.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program();
    script::reset();
  }
  void TearDown() override { reset_program(); }
  Folder folder;
};

}  // namespace prog
