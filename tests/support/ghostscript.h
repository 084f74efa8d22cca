// A PostScript file printed by Ghostscript onto an A4 raster (595 x 842 points at 72 dpi;
// row 0 at the top of the page), so tests can check what a printed page looks like.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child.h"

namespace gstest {

struct Raster {
  int width = 0, height = 0, channels = 0;  // 1 grey (pgmraw), 3 colour (ppmraw)
  std::vector<unsigned char> pixels;        // rows from the top, channels interleaved
  std::string error;                        // empty when the raster is valid
  bool ok() const { return error.empty(); }
  unsigned char at(int x, int y, int channel = 0) const {
    return pixels[(static_cast<size_t>(y) * width + x) * channels + channel];
  }
};

inline Raster render(const std::string& ps_path, const std::string& device, int dpi) {
  Raster r;
  const std::string out = ps_path + "." + device;
  const testsupport::Finished gs = testsupport::run(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sPAPERSIZE=a4", "-sDEVICE=" + device,
       "-r" + std::to_string(dpi), "-sOutputFile=" + out, ps_path});
  std::istringstream in(testsupport::read_text(out));
  std::remove(out.c_str());
  auto field = [&in] {  // the next header field, past comments
    std::string word;
    while (in >> word && word[0] == '#') std::getline(in, word);
    return word;
  };
  const std::string magic = field();
  r.width = std::atoi(field().c_str());
  r.height = std::atoi(field().c_str());
  const int max = std::atoi(field().c_str());
  in.get();
  r.channels = magic == "P6" ? 3 : 1;
  r.pixels.resize(static_cast<size_t>(r.width) * r.height * r.channels);
  in.read(reinterpret_cast<char*>(r.pixels.data()), r.pixels.size());
  if (gs.status != 0 || (magic != "P5" && magic != "P6") || max != 255 || !in)
    r.error = "Ghostscript (package ghostscript) did not print " + ps_path + ": status " +
              std::to_string(gs.status) + "\n" + gs.out + gs.err;
  return r;
}

}  // namespace gstest
