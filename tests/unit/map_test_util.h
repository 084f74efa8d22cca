// Helpers of the map-file tests: map files built byte by byte in either byte order, and a
// folder for each test.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "mapfile/mapfile.h"
#include "tests/support/child.h"

namespace maptest {

using Bytes = std::vector<uint8_t>;
constexpr bool kNativeBig = std::endian::native == std::endian::big;

inline void put(Bytes& b, size_t offset, uint32_t bits, int size, bool big) {
  if (b.size() < offset + size) b.resize(offset + size, 0);
  for (int i = 0; i < size; ++i) b[offset + i] = bits >> (big ? 8 * (size - 1 - i) : 8 * i);
}
// Header word 1..256 (an int32_t or a float).
template <class T>
void put_word(Bytes& b, int word, T v, bool big) {
  put(b, 4 * (word - 1), std::bit_cast<uint32_t>(v), 4, big);
}

// The fields of a header as a file holds them.
struct RawHeader {
  int32_t nxyz[3] = {1, 1, 1}, mode = 2, nxyzst[3] = {}, mxyz[3] = {1, 1, 1};
  float cell[6] = {1, 1, 1, 90, 90, 90};
  int32_t mapcrs[3] = {1, 2, 3};
  float dens[3] = {};
  int32_t ispg = 0, nsymbt = 0, extra[25] = {};
  float origin[3] = {};
  bool new_style = true;         // "MAP " marker and a stamp
  bool stamp = true;             // write the machine stamp (new style only)
  float word54 = 0, word55 = 0;  // old style: x and y origin
  float rms = 0;
  int32_t nlabl = 0;
  std::vector<std::string> titles = {};
};

// The 1024-byte header in the given byte order.
inline Bytes header_bytes(const RawHeader& h, bool big) {
  Bytes b(224, 0);
  for (int i = 0; i < 3; ++i) {
    put_word(b, 1 + i, h.nxyz[i], big);
    put_word(b, 5 + i, h.nxyzst[i], big);
    put_word(b, 8 + i, h.mxyz[i], big);
    put_word(b, 17 + i, h.mapcrs[i], big);
    put_word(b, 20 + i, h.dens[i], big);
  }
  put_word(b, 4, h.mode, big);
  for (int i = 0; i < 6; ++i) put_word(b, 11 + i, h.cell[i], big);
  put_word(b, 23, h.ispg, big);
  put_word(b, 24, h.nsymbt, big);
  for (int i = 0; i < 25; ++i) put_word(b, 25 + i, h.extra[i], big);
  if (h.new_style) {
    for (int i = 0; i < 3; ++i) put_word(b, 50 + i, h.origin[i], big);
    std::memcpy(&b[208], "MAP ", 4);
    if (h.stamp) b[212] = big ? 0x11 : 0x44, b[213] = big ? 0x11 : 0x41;
    put_word(b, 55, h.rms, big);
  } else {
    put_word(b, 54, h.word54, big);
    put_word(b, 55, h.word55, big);
  }
  put_word(b, 56, h.nlabl, big);
  b.resize(1024, ' ');
  for (size_t t = 0; t < h.titles.size() && t < 10; ++t)
    std::memcpy(&b[224 + 80 * t], h.titles[t].data(), std::min<size_t>(80, h.titles[t].size()));
  return b;
}

// Appends values as items of the given size (1, 2 or 4 bytes; 4 = 32-bit real).
inline void append_items(Bytes& b, const std::vector<float>& values, int size, bool big) {
  for (float v : values)
    put(b, b.size(), size == 4 ? std::bit_cast<uint32_t>(v) : static_cast<int32_t>(v), size, big);
}

inline void write_file(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}
inline Bytes read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline std::string title(std::string t) {
  t.resize(kTitleLength, ' ');
  return t;
}

// Each test gets its own folder and leaves no map file open behind it.
class MapFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int s = 1; s <= kMaxStreams; ++s) {
      if (imcom.lstream[s] != 0) imclose(s);  // closing twice is harmless
      imcom.lstream[s] = 0;
    }
    imcom.numopen = 0;
  }
  std::string path(const std::string& name) const { return dir_ / name; }
  // Writes a map of the header and the values as items of the given size; returns its path.
  std::string write_map(const std::string& name, const RawHeader& h,
                        const std::vector<float>& values = {}, int size = 4,
                        bool big = kNativeBig) {
    Bytes b = header_bytes(h, big);
    append_items(b, values, size, big);
    write_file(path(name), b);
    return path(name);
  }

  // Opens quietly, keeping what imopen printed in opened_text_.
  void open_quiet(int stream, const std::string& name, const char* status) {
    ::testing::internal::CaptureStdout();
    imopen(stream, name, status);
    opened_text_ = ::testing::internal::GetCapturedStdout();
  }
  // Opens and reads the header quietly; returns what irdhdr printed, the size in nxyz_.
  std::string open_read(int stream, const std::string& name, const char* status = "ro") {
    open_quiet(stream, name, status);
    int mxyz[3];
    float dmin, dmax, dmean;
    ::testing::internal::CaptureStdout();
    irdhdr(stream, nxyz_, mxyz, mode_, dmin, dmax, dmean);
    return ::testing::internal::GetCapturedStdout();
  }
  // Opens a new map quietly and writes its header; the caller writes the data.
  void create_map(int stream, const std::string& name, int mode, int nx, int ny, int nz) {
    const int nxyz[3] = {nx, ny, nz};
    open_quiet(stream, name, "new");
    icrhdr(stream, nxyz, nxyz, mode, nullptr, 0);
    iwrhdr(stream, title("made here").c_str(), 0, 0.0f, 1.0f, 0.5f);
  }

  testsupport::TempFolder dir_;
  std::string opened_text_;
  int nxyz_[3] = {}, mode_ = -1;
};

}  // namespace maptest
