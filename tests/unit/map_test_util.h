// Helpers of the map-file tests: a per-test folder, map files built byte by
// byte in either byte order, and running code in a child process to see what
// it prints and how it ends.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "mapfile/mapfile.h"

namespace maptest {

using Bytes = std::vector<uint8_t>;
constexpr bool kNativeBig = std::endian::native == std::endian::big;

inline void put(Bytes& b, size_t offset, uint32_t bits, int size, bool big) {
  if (b.size() < offset + size) b.resize(offset + size, 0);
  for (int i = 0; i < size; ++i) {
    int shift = big ? 8 * (size - 1 - i) : 8 * i;
    b[offset + i] = static_cast<uint8_t>(bits >> shift);
  }
}
inline void put_i32(Bytes& b, int word, int32_t v, bool big) {
  put(b, 4 * (word - 1), static_cast<uint32_t>(v), 4, big);
}
inline void put_f32(Bytes& b, int word, float v, bool big) {
  put(b, 4 * (word - 1), std::bit_cast<uint32_t>(v), 4, big);
}

// The fields of a header as a file holds them.
struct RawHeader {
  int32_t nxyz[3] = {1, 1, 1};
  int32_t mode = 2;
  int32_t nxyzst[3] = {0, 0, 0};
  int32_t mxyz[3] = {1, 1, 1};
  float cell[6] = {1, 1, 1, 90, 90, 90};
  int32_t mapcrs[3] = {1, 2, 3};
  float dens[3] = {0, 0, 0};
  int32_t ispg = 0, nsymbt = 0;
  int32_t extra[25] = {};
  float origin[3] = {0, 0, 0};
  bool new_style = true;         // "MAP " marker and a stamp
  bool stamp = true;             // write the machine stamp (new style only)
  float word54 = 0, word55 = 0;  // old style: x and y origin
  float rms = 0;
  int32_t nlabl = 0;
  std::vector<std::string> titles;
};

// The 1024-byte header in the given byte order.
inline Bytes header_bytes(const RawHeader& h, bool big) {
  Bytes b(1024, 0);
  for (int i = 0; i < 3; ++i) {
    put_i32(b, 1 + i, h.nxyz[i], big);
    put_i32(b, 5 + i, h.nxyzst[i], big);
    put_i32(b, 8 + i, h.mxyz[i], big);
    put_i32(b, 17 + i, h.mapcrs[i], big);
    put_f32(b, 20 + i, h.dens[i], big);
  }
  put_i32(b, 4, h.mode, big);
  for (int i = 0; i < 6; ++i) put_f32(b, 11 + i, h.cell[i], big);
  put_i32(b, 23, h.ispg, big);
  put_i32(b, 24, h.nsymbt, big);
  for (int i = 0; i < 25; ++i) put_i32(b, 25 + i, h.extra[i], big);
  if (h.new_style) {
    for (int i = 0; i < 3; ++i) put_f32(b, 50 + i, h.origin[i], big);
    std::memcpy(&b[208], "MAP ", 4);
    if (h.stamp) {
      b[212] = big ? 0x11 : 0x44;
      b[213] = big ? 0x11 : 0x41;
    }
    put_f32(b, 55, h.rms, big);
  } else {
    put_f32(b, 54, h.word54, big);
    put_f32(b, 55, h.word55, big);
  }
  put_i32(b, 56, h.nlabl, big);
  std::memset(&b[224], ' ', 800);
  for (size_t t = 0; t < h.titles.size() && t < 10; ++t)
    std::memcpy(&b[224 + 80 * t], h.titles[t].data(), std::min<size_t>(80, h.titles[t].size()));
  return b;
}

// Appends values as items of the given size (1, 2 or 4 bytes; 4 = 32-bit real).
inline void append_items(Bytes& b, const std::vector<float>& values, int size, bool big) {
  for (float v : values) {
    uint32_t bits =
        size == 4 ? std::bit_cast<uint32_t>(v) : static_cast<uint32_t>(static_cast<int32_t>(v));
    put(b, b.size(), bits, size, big);
  }
}

inline void write_file(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}
inline Bytes read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::string title(const std::string& text) {
  std::string t = text;
  t.resize(kTitleLength, ' ');
  return t;
}

// What a child process printed and how it ended.
struct ChildResult {
  bool exited = false;
  int status = -1;
  std::string out, err;
};

// Runs body in a child process; a body that returns ends the child with status 99.
inline ChildResult run_in_child(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    body();
    std::fflush(stdout);
    _exit(99);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  auto slurp = [](FILE* f) {
    std::string s;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    std::fclose(f);
    return s;
  };
  ChildResult r;
  r.exited = WIFEXITED(wstatus);
  r.status = r.exited ? WEXITSTATUS(wstatus) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

// Each test gets its own folder and leaves no map file open behind it.
class MapFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tolsvik-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    bool closed[kMaxSlots + 1] = {};
    for (int s = 1; s <= kMaxStreams; ++s) {
      int slot = imcom.lstream[s];
      if (slot != 0 && !closed[slot]) {
        imclose(s);
        closed[slot] = true;
      }
      imcom.lstream[s] = 0;
    }
    imcom.numopen = 0;
    std::filesystem::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Opens quietly (imopen prints its notices and summary).
  void open_quiet(int stream, const std::string& name, const char* status) {
    ::testing::internal::CaptureStdout();
    imopen(stream, name, status);
    opened_text_ = ::testing::internal::GetCapturedStdout();
  }
  // Reads the header quietly and returns what irdhdr printed.
  std::string read_header(int stream, int nxyz[3], int& mode) {
    int mxyz[3];
    float dmin, dmax, dmean;
    ::testing::internal::CaptureStdout();
    irdhdr(stream, nxyz, mxyz, mode, dmin, dmax, dmean);
    return ::testing::internal::GetCapturedStdout();
  }

  std::filesystem::path dir_;
  std::string opened_text_;
};

}  // namespace maptest
