// Data transfer through the map-file layer: every mode through rows, sections
// and part rows, the 8192-byte conversion chunks, rounding and wrapping of
// integer modes, positioning and short files.
#include <cmath>

#include "map_test_util.h"

namespace maptest {
namespace {

using MapRoundTrip = MapFileTest;

const int kElementBytes[5] = {1, 2, 4, 4, 8};

// Opens a new map on stream 2 and writes its header; the caller writes the data.
void create_map(const std::string& name, int mode, int nx, int ny, int nz) {
  int nxyz[3] = {nx, ny, nz};
  ::testing::internal::CaptureStdout();
  imopen(2, name, "new");
  icrhdr(2, nxyz, nxyz, mode, nullptr, 0);
  std::string t = title("round trip");
  iwrhdr(2, t.c_str(), 0, 0.0f, 1.0f, 0.5f);
  ::testing::internal::GetCapturedStdout();
}

// Values a mode stores exactly: bytes, signed shorts or reals.
std::vector<float> sample_values(int mode, size_t n) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i) {
    if (mode == 0)
      v[i] = static_cast<float>((i * 37 + 11) % 256);
    else if (mode == 1 || mode == 3)
      v[i] = static_cast<float>(static_cast<int>(i * 2741 % 65536) - 32768);
    else
      v[i] = std::sin(static_cast<float>(i)) * 1.0e3f + 0.125f;
  }
  return v;
}

TEST_F(MapRoundTrip, EveryModeThroughSectionsRowsAndPartRows) {
  const int nx = 7, ny = 3, nz = 3;
  for (int mode = 0; mode <= 4; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const int per = mode >= 3 ? 2 : 1;  // reals per element
    const size_t row = nx * per, sec = row * ny;
    const std::vector<float> data = sample_values(mode, sec * nz);
    const std::string name = path("m" + std::to_string(mode) + ".map");

    create_map(name, mode, nx, ny, nz);
    iwrsec(2, data.data());                                               // section 0 in one call
    for (int r = 0; r < ny; ++r) iwrlin(2, data.data() + sec + r * row);  // section 1 by rows
    iwrpal(2, data.data() + 2 * sec, 2, 5);  // section 2 row 0: elements 2..5 at its start
    for (int r = 1; r < ny; ++r) iwrlin(2, data.data() + 2 * sec + r * row);
    imclose(2);
    EXPECT_EQ(std::filesystem::file_size(name), 1024u + nx * ny * nz * kElementBytes[mode]);

    open_quiet(3, name, "ro");
    int n[3], m;
    read_header(3, n, m);
    EXPECT_EQ(m, mode);
    std::vector<float> got(sec * nz, -7.0f);
    ASSERT_EQ(irdsec(3, got.data()), 0);
    for (int r = 0; r < ny; ++r) ASSERT_EQ(irdlin(3, got.data() + sec + r * row), 0);
    std::vector<float> expect = data;
    std::fill(expect.begin() + 2 * sec, expect.begin() + 2 * sec + row, 0.0f);
    std::copy(data.begin() + 2 * sec + 2 * per, data.begin() + 2 * sec + 6 * per,
              expect.begin() + 2 * sec);
    // A part row of the last section, then the row after it.
    ASSERT_EQ(irdpal(3, got.data() + 2 * sec, 1, 4), 0);
    std::vector<float> part(got.begin() + 2 * sec, got.begin() + 2 * sec + 4 * per);
    EXPECT_EQ(part, std::vector<float>(expect.begin() + 2 * sec + per,
                                       expect.begin() + 2 * sec + 5 * per));
    ASSERT_EQ(irdlin(3, got.data() + 2 * sec + row), 0);
    ASSERT_EQ(irdlin(3, got.data() + 2 * sec + 2 * row), 0);
    std::copy(expect.begin() + 2 * sec, expect.begin() + 2 * sec + row, got.begin() + 2 * sec);
    EXPECT_EQ(got, expect);
    EXPECT_EQ(irdlin(3, got.data()), 1) << "a row past the last one";
    imclose(3);
  }
}

TEST_F(MapRoundTrip, LongRowsCrossConversionChunks) {
  struct Case {
    int mode, nx;
  };
  // 20000 bytes: chunks of 8192, 8192, 3616; 8197 and 2 x 2049 shorts: odd tails.
  for (Case c : {Case{0, 20000}, Case{1, 8197}, Case{3, 2049}}) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    const int per = c.mode == 3 ? 2 : 1;
    const std::vector<float> data = sample_values(c.mode, static_cast<size_t>(c.nx) * per * 2);
    const std::string name = path("long.map");
    std::filesystem::remove(name);
    create_map(name, c.mode, c.nx, 2, 1);
    iwrsec(2, data.data());
    imclose(2);

    // The file holds the items a plain byte-order reader sees.
    const Bytes file = read_file(name);
    ASSERT_EQ(file.size(), 1024u + data.size() * (c.mode == 0 ? 1 : 2));
    for (size_t i : {size_t{0}, size_t{8191}, size_t{8192}, size_t{16384}, data.size() - 1}) {
      if (i >= data.size()) continue;
      float stored = c.mode == 0
                         ? file[1024 + i]
                         : static_cast<int16_t>(file[1024 + 2 * i] | file[1025 + 2 * i] << 8);
      if (kNativeBig && c.mode != 0)
        stored = static_cast<int16_t>(file[1024 + 2 * i] << 8 | file[1025 + 2 * i]);
      EXPECT_EQ(stored, data[i]) << "item " << i;
    }

    open_quiet(3, name, "old");
    int n[3], m;
    read_header(3, n, m);
    std::vector<float> got(data.size());
    ASSERT_EQ(irdlin(3, got.data()), 0);
    ASSERT_EQ(irdlin(3, got.data() + c.nx * per), 0);
    EXPECT_EQ(got, data);
    // A part row that spans a chunk boundary, then the next row's start.
    imposn(3, 0, 0);
    std::vector<float> part(static_cast<size_t>(c.nx) * per);
    const int ix1 = 3, ix2 = c.nx - 2;
    ASSERT_EQ(irdpal(3, part.data(), ix1, ix2), 0);
    EXPECT_TRUE(
        std::equal(part.begin(), part.begin() + (ix2 - ix1 + 1) * per, data.begin() + ix1 * per));
    std::vector<float> next(static_cast<size_t>(c.nx) * per);
    ASSERT_EQ(irdlin(3, next.data()), 0);
    EXPECT_TRUE(std::equal(next.begin(), next.end(), data.begin() + c.nx * per));
    imclose(3);
  }
}

TEST_F(MapRoundTrip, IntegerModesRoundHalvesAwayAndKeepLowBits) {
  const std::vector<float> in = {0.5f,   1.49f, -0.5f,    -1.0f,     256.0f,   255.5f,
                                 300.2f, -1.5f, 32767.5f, -32768.6f, 65539.0f, 1.0e10f};
  const std::vector<float> mode0 = {1, 1, 255, 255, 0, 0, 44, 254, 0, 255, 3, 0};
  const std::vector<float> mode1 = {1, 1, -1, -1, 256, 256, 300, -2, -32768, 32767, 3, -7168};
  for (int mode : {0, 1, 3}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const std::string name = path("r" + std::to_string(mode) + ".map");
    const int nx = mode == 3 ? 6 : 12;
    create_map(name, mode, nx, 1, 1);
    iwrlin(2, in.data());
    imclose(2);
    open_quiet(3, name, "ro");
    int n[3], m;
    read_header(3, n, m);
    std::vector<float> got(in.size());
    ASSERT_EQ(irdlin(3, got.data()), 0);
    EXPECT_EQ(got, mode == 0 ? mode0 : mode1);
    imclose(3);
  }
}

TEST_F(MapRoundTrip, PositioningAndFirstWrite) {
  const int nx = 10, ny = 4, nz = 3;
  const std::vector<float> data = sample_values(2, nx * ny * nz);
  const std::string name = path("pos.map");
  // iwrlin straight after icrhdr, without iwrhdr, starts at byte 1024.
  int nxyz[3] = {nx, ny, nz};
  open_quiet(2, path("first.map"), "new");
  icrhdr(2, nxyz, nxyz, 2, nullptr, 0);
  iwrlin(2, data.data());
  imclose(2);
  const Bytes first = read_file(path("first.map"));
  ASSERT_EQ(first.size(), 1024u + 4 * nx);
  EXPECT_EQ(std::memcmp(&first[1024], data.data(), 4 * nx), 0);

  create_map(name, 2, nx, ny, nz);
  imposn(2, 1, 2);
  for (int r = ny + 2; r < ny * nz; ++r) iwrlin(2, data.data() + r * nx);
  imposn(2, 0, 0);
  for (int r = 0; r < ny + 2; ++r) iwrlin(2, data.data() + r * nx);
  imclose(2);

  open_quiet(3, name, "ro");
  int n[3], m;
  read_header(3, n, m);
  std::vector<float> row(nx);
  imposn(3, 2, 3);
  ASSERT_EQ(irdlin(3, row.data()), 0);
  EXPECT_TRUE(std::equal(row.begin(), row.end(), data.begin() + (2 * ny + 3) * nx));
  imposn(3, -3, -1);  // clamps to the first data row
  ASSERT_EQ(irdlin(3, row.data()), 0);
  EXPECT_TRUE(std::equal(row.begin(), row.end(), data.begin()));

  // irdpal of elements 10..19 of a 100-element row leaves the file at the next row.
  imclose(3);
  const std::vector<float> wide = sample_values(2, 200);
  create_map(path("wide.map"), 2, 100, 2, 1);
  iwrsec(2, wide.data());
  imclose(2);
  open_quiet(3, path("wide.map"), "ro");
  read_header(3, n, m);
  std::vector<float> part(10);
  ASSERT_EQ(irdpal(3, part.data(), 10, 19), 0);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), wide.begin() + 10));
  ASSERT_EQ(irdpal(3, part.data(), 0, 0), 0);
  EXPECT_EQ(part[0], wide[100]);

  // iwrpal 10..19 on an output of nx = 10 writes array elements 10..19 as a whole row.
  create_map(path("pal.map"), 2, 10, 2, 1);
  iwrpal(2, wide.data(), 10, 19);
  iwrlin(2, wide.data());
  imclose(2);
  open_quiet(4, path("pal.map"), "ro");
  read_header(4, n, m);
  std::vector<float> both(20);
  ASSERT_EQ(irdsec(4, both.data()), 0);
  EXPECT_TRUE(std::equal(both.begin(), both.begin() + 10, wide.begin() + 10));
  EXPECT_TRUE(std::equal(both.begin() + 10, both.end(), wide.begin()));
}

TEST_F(MapRoundTrip, SectionOffsetsBeyondTwoGigabytes) {
  // 4096 x 4096 reals are 64 MiB a section; section 33 starts past 2^31 bytes.
  const int n = 4096;
  const std::string name = path("big.map");
  create_map(name, 2, n, n, 40);
  const std::vector<float> row = sample_values(2, n);
  imposn(2, 33, 5);
  iwrlin(2, row.data());
  imclose(2);
  const uint64_t end = 1024 + (33ull * n * n + 6ull * n) * 4;
  EXPECT_EQ(std::filesystem::file_size(name), end);
  open_quiet(3, name, "ro");
  int nxyz[3], m;
  read_header(3, nxyz, m);
  std::vector<float> got(n);
  imposn(3, 33, 5);
  ASSERT_EQ(irdlin(3, got.data()), 0);
  EXPECT_EQ(got, row);
  EXPECT_EQ(irdlin(3, got.data()), 1) << "the file ends after that row";
}

TEST_F(MapRoundTrip, ShortDataAndRawTransfer) {
  RawHeader h;
  h.nxyz[0] = h.nxyz[1] = 10;
  h.mode = 1;
  Bytes b = header_bytes(h, kNativeBig);
  std::vector<float> values(75);
  for (int i = 0; i < 75; ++i) values[i] = static_cast<float>(i * 100 - 3000);
  append_items(b, values, 2, kNativeBig);
  write_file(path("short.map"), b);

  open_quiet(1, path("short.map"), "ro");
  int n[3], m;
  read_header(1, n, m);
  std::vector<float> got(100, -1.0f);
  EXPECT_EQ(irdsec(1, got.data()), 1);
  EXPECT_TRUE(std::equal(values.begin(), values.end(), got.begin())) << "what was there is kept";
  imposn(1, 0, 7);
  EXPECT_EQ(irdlin(1, got.data()), 1) << "row 7 holds 5 of its 10 values";
  EXPECT_EQ(irdpal(1, got.data(), 8, 9), 1);

  // Without conversion the array receives the file's 16-bit items packed.
  ialcon(1, false);
  imposn(1, 0, 0);
  ASSERT_EQ(irdlin(1, got.data()), 0);
  int16_t raw[10];
  std::memcpy(raw, got.data(), sizeof raw);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(raw[i], values[i]);
}

}  // namespace
}  // namespace maptest
