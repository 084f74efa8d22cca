// What every x11 test includes: GoogleTest, the window-driving code of samples/ (a private
// Xvfb, the simulated user, window discovery, read-back, screenshots), the child processes
// and temporary folders of the tests, and PNG files read back through libpng.
#pragma once

// Xlib's macros None, Bool, Status, True, False and Success break GoogleTest's headers when
// those come later, so GoogleTest is read first, with any such macros hidden for the moment.
#pragma push_macro("None")
#pragma push_macro("Bool")
#pragma push_macro("Status")
#pragma push_macro("True")
#pragma push_macro("False")
#pragma push_macro("Success")
#undef None
#undef Bool
#undef Status
#undef True
#undef False
#undef Success
#include <gtest/gtest.h>
#pragma pop_macro("None")
#pragma pop_macro("Bool")
#pragma pop_macro("Status")
#pragma pop_macro("True")
#pragma pop_macro("False")
#pragma pop_macro("Success")

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "samples/program_window.h"
#include "samples/xdrive.h"
#include "tests/support/child.h"

namespace testsupport {

// An 8-bit RGB picture read from a PNG file; width 0 when it cannot be read.
struct RgbPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* at(int x, int y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

inline RgbPicture read_png(const std::string& path) {
  RgbPicture p;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return p;
  png.format = PNG_FORMAT_RGB;
  p.rgb.resize(PNG_IMAGE_SIZE(png));
  if (png_image_finish_read(&png, nullptr, p.rgb.data(), 0, nullptr))
    p.width = png.width, p.height = png.height;
  return p;
}

}  // namespace testsupport
