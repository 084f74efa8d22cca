// Rasters the display probe draws, shared with the tests that check them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

// Colour index of pixel (x, y) of a named test raster, 0 to 125.
inline int32_t pattern_value(const std::string& name, int x, int y, int width) {
  if (name == "zero") return 0;
  if (name == "ramp") return (x + 2 * y) % 126;
  if (name == "stripes") return (x / 4) % 2 == 0 ? 20 : 100;
  if (name == "noise") {
    uint32_t v = static_cast<uint32_t>(y * width + x) * 2654435761u;
    v ^= v >> 15;
    return static_cast<int32_t>(v % 126);
  }
  if (name == "dot") return (x == 0 && y == 0) ? 0 : (x == width - 1 && y == 0 ? 77 : 0);
  return 1 + (x + y) % 125;  // "diagonal" and anything else: never zero
}

inline std::vector<int32_t> pattern(const std::string& name, int width, int height) {
  std::vector<int32_t> raster(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      raster[static_cast<size_t>(y) * width + x] = pattern_value(name, x, y, width);
  return raster;
}

// The colour table the probe loads with "table": every picture cell distinct.
inline int32_t table_red(int i) {
  return i * 257;
}
inline int32_t table_green(int i) {
  return (255 - i) * 257;
}
inline int32_t table_blue(int i) {
  return ((i * 37) % 256) * 257;
}

}  // namespace probe
