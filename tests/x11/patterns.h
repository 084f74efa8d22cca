// Rasters and the colour table the display probe draws, shared with the tests that check them.
#pragma once

#include <cstdint>
#include <string>

namespace probe {

// Colour index of pixel (x, y) of a named test raster, 0 to 125.
inline int32_t pattern_value(const std::string& name, int x, int y, int width) {
  if (name == "zero") return 0;
  if (name == "ramp") return (x + 2 * y) % 126;
  if (name == "noise") {
    uint32_t v = static_cast<uint32_t>(y * width + x) * 2654435761u;
    return static_cast<int32_t>((v ^ (v >> 15)) % 126);
  }
  return 1 + (x + y) % 125;  // "diagonal": never zero
}

// The table "table" loads: every picture cell distinct.
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
