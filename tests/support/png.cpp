// A small PNG writer: 8-bit RGB, no filtering, one deflate block with the fixed Huffman codes
// and a greedy LZ77 search. Screens are mostly flat colour, so this packs a 1280x1024 screenshot
// into a few tens of kilobytes without needing a compression library.
#include <algorithm>
#include <array>
#include <cstdio>

#include "tests/support/x11_harness.h"

namespace x11test {
namespace {

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t v : data) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// Deflate writes bit fields least significant bit first; Huffman codes go most significant
// bit first, so they are reversed before writing.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void bits(uint32_t value, int count) {
    acc_ |= value << fill_;
    fill_ += count;
    while (fill_ >= 8) {
      out_.push_back(acc_ & 0xff);
      acc_ >>= 8;
      fill_ -= 8;
    }
  }
  void code(uint32_t code, int length) {
    uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1) << (length - 1 - i);
    bits(reversed, length);
  }
  void flush() {
    if (fill_ > 0) out_.push_back(acc_ & 0xff);
    acc_ = 0;
    fill_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint32_t acc_ = 0;
  int fill_ = 0;
};

void literal_length_symbol(BitWriter& w, int symbol) {
  if (symbol < 144)
    w.code(0x30 + symbol, 8);
  else if (symbol < 256)
    w.code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    w.code(symbol - 256, 7);
  else
    w.code(0xc0 + symbol - 280, 8);
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                               33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void match(BitWriter& w, int length, int distance) {
  int i = 28;
  while (kLengthBase[i] > length) --i;
  literal_length_symbol(w, 257 + i);
  w.bits(length - kLengthBase[i], kLengthExtra[i]);
  int d = 29;
  while (kDistBase[d] > distance) --d;
  w.code(d, 5);
  w.bits(distance - kDistBase[d], kDistExtra[d]);
}

std::vector<uint8_t> zlib_compress(const std::vector<uint8_t>& data) {
  constexpr int kWindow = 32768, kMask = kWindow - 1, kHashSize = 1 << 15;
  constexpr int kMinMatch = 3, kMaxMatch = 258, kMaxChain = 16;
  std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window; header check mod 31
  BitWriter w(out);
  w.bits(1, 1);  // final block
  w.bits(1, 2);  // fixed Huffman codes
  std::vector<int> head(kHashSize, -1), prev(kWindow, -1);
  const int n = static_cast<int>(data.size());
  auto hash = [&](int p) { return ((data[p] << 10) ^ (data[p + 1] << 5) ^ data[p + 2]) & 0x7fff; };
  auto insert = [&](int p) {
    if (p + kMinMatch > n) return;
    int h = hash(p);
    prev[p & kMask] = head[h];
    head[h] = p;
  };
  for (int i = 0; i < n;) {
    int best_len = 0, best_dist = 0;
    if (i + kMinMatch <= n) {
      int limit = std::min(kMaxMatch, n - i);
      int cand = head[hash(i)];
      for (int chain = kMaxChain; cand >= 0 && i - cand <= kWindow && chain > 0; --chain) {
        int len = 0;
        while (len < limit && data[cand + len] == data[i + len]) ++len;
        if (len > best_len) best_len = len, best_dist = i - cand;
        if (len == limit) break;
        int next = prev[cand & kMask];
        if (next >= cand) break;  // the ring slot was reused by a newer position
        cand = next;
      }
    }
    if (best_len >= kMinMatch) {
      match(w, best_len, best_dist);
      for (int k = 0; k < best_len; ++k) insert(i + k);
      i += best_len;
    } else {
      literal_length_symbol(w, data[i]);
      insert(i);
      ++i;
    }
  }
  literal_length_symbol(w, 256);  // end of block
  w.flush();
  uint32_t a = adler32(data);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((a >> shift) & 0xff);
  return out;
}

void put_u32(std::vector<uint8_t>& v, uint32_t x) {
  for (int shift = 24; shift >= 0; shift -= 8) v.push_back((x >> shift) & 0xff);
}

void chunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
  put_u32(file, data.size());
  size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  put_u32(file, crc32(file.data() + start, file.size() - start));
}

}  // namespace

bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != 3u * width * height) return false;
  std::vector<uint8_t> raw;
  raw.reserve((3u * width + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    raw.insert(raw.end(), rgb.begin() + 3u * width * y, rgb.begin() + 3u * width * (y + 1));
  }
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> header;
  put_u32(header, width);
  put_u32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(file, "IHDR", header);
  chunk(file, "IDAT", zlib_compress(raw));
  chunk(file, "IEND", {});
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace x11test
