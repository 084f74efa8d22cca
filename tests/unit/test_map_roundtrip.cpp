// Data transfer: every mode through rows, sections and part rows, the 8192-byte
// conversion chunks, rounding and wrapping of integer modes, positioning and short files.
#include <cmath>

#include "map_test_util.h"

namespace maptest {
namespace {

using MapRoundTrip = MapFileTest;

// Values a mode stores exactly: bytes, signed shorts or reals.
std::vector<float> sample_values(int mode, size_t n) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = mode == 0                ? (i * 37 + 11) % 256
           : mode == 2 || mode == 4 ? std::sin(static_cast<float>(i)) * 1.0e3f + 0.125f
                                    : static_cast<int>(i * 2741 % 65536) - 32768;
  return v;
}

auto same = [](const float* a, const float* b, size_t n) { return std::equal(a, a + n, b); };

TEST_F(MapRoundTrip, EveryModeThroughSectionsRowsAndPartRows) {
  const int nx = 7, ny = 3, nz = 3, element_bytes[5] = {1, 2, 4, 4, 8};
  for (int mode = 0; mode <= 4; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const int per = mode >= 3 ? 2 : 1;  // reals per element
    const size_t row = nx * per, sec = row * ny;
    const std::vector<float> data = sample_values(mode, sec * nz);
    const float* s2 = data.data() + 2 * sec;
    const std::string name = path("m" + std::to_string(mode) + ".map");

    create_map(2, name, mode, nx, ny, nz);
    iwrsec(2, data.data());                                               // section 0 at once
    for (int r = 0; r < ny; ++r) iwrlin(2, data.data() + sec + r * row);  // section 1 by rows
    iwrpal(2, s2, 2, 5);  // section 2, row 0: elements 2..5 at its start, zeros after
    for (int r = 1; r < ny; ++r) iwrlin(2, s2 + r * row);
    imclose(2);
    EXPECT_EQ(std::filesystem::file_size(name), 1024u + nx * ny * nz * element_bytes[mode]);

    open_read(3, name);
    EXPECT_EQ(mode_, mode);
    std::vector<float> got(2 * sec), part(4 * per);
    ASSERT_EQ(irdsec(3, got.data()), 0);
    for (int r = 0; r < ny; ++r) ASSERT_EQ(irdlin(3, got.data() + sec + r * row), 0);
    EXPECT_TRUE(same(got.data(), data.data(), 2 * sec));
    // Row 0 of section 2 holds elements 2..5 then zeros; read elements 1..4 of it.
    ASSERT_EQ(irdpal(3, part.data(), 1, 4), 0);
    std::vector<float> expect(s2 + 3 * per, s2 + 6 * per);
    expect.resize(4 * per, 0.0f);
    EXPECT_EQ(part, expect);
    ASSERT_EQ(irdlin(3, got.data()), 0) << "irdpal left the file at the next row";
    ASSERT_EQ(irdlin(3, got.data() + row), 0);
    EXPECT_TRUE(same(got.data(), s2 + row, 2 * row));
    EXPECT_EQ(irdlin(3, got.data()), 1) << "a row past the last one";
    imclose(3);
  }
}

// Mode 12: every half-precision pattern is (-1)^sign x 2^(max(exponent, 1) - 25) x (fraction
// + 1024 when the exponent is not 0), or infinity, or a NaN of the same sign.
TEST(HalfPrecision, EveryPatternDecodesExactly) {
  for (uint32_t bits = 0; bits <= 0xFFFF; ++bits) {
    const int e = bits >> 10 & 0x1F, f = bits & 0x3FF;
    const float size =
        e == 31 ? (f ? NAN : INFINITY) : std::ldexp(f + (e ? 1024 : 0), std::max(e, 1) - 25);
    const float want = bits & 0x8000 ? -size : size, got = half_to_real(bits);
    EXPECT_TRUE(std::isnan(want) ? std::isnan(got) && std::signbit(got) == std::signbit(want)
                                 : std::bit_cast<uint32_t>(got) == std::bit_cast<uint32_t>(want))
        << std::hex << bits;
  }
}

TEST_F(MapRoundTrip, LongRowsCrossConversionChunks) {
  // 20000 bytes: chunks of 8192, 8192, 3616; 8197 and 2 x 2049 shorts: odd tails.
  for (auto [mode, nx] : {std::pair{0, 20000}, {1, 8197}, {3, 2049}}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const int per = mode == 3 ? 2 : 1;
    const size_t row = static_cast<size_t>(nx) * per;
    const std::vector<float> data = sample_values(mode, 2 * row);
    const std::string name = path("long" + std::to_string(mode) + ".map");
    create_map(2, name, mode, nx, 2, 1);
    iwrsec(2, data.data());
    imclose(2);

    // The file holds the items a plain reader in our byte order sees.
    Bytes expect(1024);
    append_items(expect, data, mode == 0 ? 1 : 2, kNativeBig);
    const Bytes file = read_file(name);
    ASSERT_EQ(file.size(), expect.size());
    EXPECT_TRUE(std::equal(file.begin() + 1024, file.end(), expect.begin() + 1024));

    open_read(3, name, "old");
    std::vector<float> got(data.size());
    ASSERT_EQ(irdlin(3, got.data()), 0);
    ASSERT_EQ(irdlin(3, got.data() + row), 0);
    EXPECT_EQ(got, data);
    // A part row across a chunk boundary, then the next row.
    imposn(3, 0, 0);
    const int ix1 = 3, ix2 = nx - 2;
    ASSERT_EQ(irdpal(3, got.data(), ix1, ix2), 0);
    EXPECT_TRUE(same(got.data(), data.data() + ix1 * per, (ix2 - ix1 + 1) * per));
    ASSERT_EQ(irdlin(3, got.data()), 0);
    EXPECT_TRUE(same(got.data(), data.data() + row, row));
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
    create_map(2, name, mode, mode == 3 ? 6 : 12, 1, 1);
    iwrlin(2, in.data());
    imclose(2);
    open_read(3, name);
    std::vector<float> got(in.size());
    ASSERT_EQ(irdlin(3, got.data()), 0);
    EXPECT_EQ(got, mode == 0 ? mode0 : mode1);
    imclose(3);
  }
}

TEST_F(MapRoundTrip, PositioningFirstWriteAndOffsetsBeyondTwoGigabytes) {
  const int nx = 10, ny = 4, nz = 3;
  const std::vector<float> data = sample_values(2, nx * ny * nz);
  // iwrlin straight after icrhdr, without iwrhdr, starts at byte 1024.
  const int nxyz[3] = {nx, ny, nz};
  open_quiet(2, path("first.map"), "new");
  icrhdr(2, nxyz, nxyz, 2, nullptr, 0);
  iwrlin(2, data.data());
  imclose(2);
  const Bytes first = read_file(path("first.map"));
  ASSERT_EQ(first.size(), 1024u + 4 * nx);
  EXPECT_EQ(std::memcmp(&first[1024], data.data(), 4 * nx), 0);

  // Rows written out of order land where imposn put them.
  create_map(2, path("pos.map"), 2, nx, ny, nz);
  imposn(2, 1, 2);
  for (int r = ny + 2; r < ny * nz; ++r) iwrlin(2, data.data() + r * nx);
  imposn(2, 0, 0);
  for (int r = 0; r < ny + 2; ++r) iwrlin(2, data.data() + r * nx);
  imclose(2);
  open_read(3, path("pos.map"));
  std::vector<float> row(nx);
  imposn(3, 2, 3);
  ASSERT_EQ(irdlin(3, row.data()), 0);
  EXPECT_TRUE(same(row.data(), data.data() + (2 * ny + 3) * nx, nx));
  imposn(3, -3, -1);  // clamps to the first data row
  ASSERT_EQ(irdlin(3, row.data()), 0);
  EXPECT_TRUE(same(row.data(), data.data(), nx));

  // 4096 x 4096 reals are 64 MiB a section; section 33 starts past 2^31 bytes.
  const int n = 4096;
  const std::string name = path("big.map");
  create_map(2, name, 2, n, n, 40);
  const std::vector<float> big = sample_values(2, n);
  imposn(2, 33, 5);
  iwrlin(2, big.data());
  imclose(2);
  EXPECT_EQ(std::filesystem::file_size(name), 1024 + (33ull * n * n + 6ull * n) * 4);
  open_read(4, name);
  std::vector<float> got(n);
  imposn(4, 33, 5);
  ASSERT_EQ(irdlin(4, got.data()), 0);
  EXPECT_EQ(got, big);
  EXPECT_EQ(irdlin(4, got.data()), 1) << "the file ends after that row";
}

TEST_F(MapRoundTrip, ShortDataAndRawTransfer) {
  std::vector<float> values(75);
  for (int i = 0; i < 75; ++i) values[i] = i * 100 - 3000;
  open_read(1, write_map("short.map", {.nxyz = {10, 10, 1}, .mode = 1}, values, 2));
  std::vector<float> got(100, -1.0f);
  EXPECT_EQ(irdsec(1, got.data()), 1);
  EXPECT_TRUE(same(values.data(), got.data(), 75)) << "what was there is kept";
  imposn(1, 0, 7);
  EXPECT_EQ(irdlin(1, got.data()), 1) << "row 7 holds 5 of its 10 values";
  EXPECT_EQ(irdpal(1, got.data(), 8, 9), 1);
}

}  // namespace
}  // namespace maptest
