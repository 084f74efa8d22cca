// What every x11 test includes: GoogleTest, the window-driving code of samples/ (a private
// Xvfb, the simulated user, window discovery, read-back, screenshots), the child processes
// and temporary folders of the tests, and PNG files read back through libpng.
#pragma once

// GoogleTest comes before the X11 headers, whose macros (None, Bool, Status, True, False,
// Success) would break it; test files include X11 headers only through this one.
// clang-format off
#include <gtest/gtest.h>
// clang-format on
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
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
