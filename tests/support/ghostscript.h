// Renders a PostScript file with Ghostscript and loads the resulting PGM/PPM raster, so tests
// can check what a printed page really looks like. Header-only, no test framework needed.
//
// Pages are rendered on A4 (595 x 842 points); row 0 of the raster is the top of the page.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace gstest {

struct Raster {
  int width = 0, height = 0, channels = 0;  // channels: 1 for PGM (P5), 3 for PPM (P6)
  std::vector<unsigned char> pixels;        // rows top to bottom, channels interleaved
  std::string error;                        // empty when the raster is valid

  bool ok() const { return error.empty(); }
  unsigned char at(int x, int y, int channel = 0) const {
    return pixels[(static_cast<size_t>(y) * width + x) * channels + channel];
  }
};

// Quotes a text for the shell.
inline std::string shell_quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Loads a binary PGM (P5) or PPM (P6) file with a maximum value of 255.
inline Raster load_pnm(const std::string& path) {
  Raster r;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    r.error = "cannot open " + path;
    return r;
  }
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t pos = 0;
  // Next header token, skipping white space and comments.
  auto token = [&]() {
    for (;;) {
      while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
      if (pos < data.size() && data[pos] == '#') {
        while (pos < data.size() && data[pos] != '\n') ++pos;
        continue;
      }
      break;
    }
    const size_t start = pos;
    while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
    return data.substr(start, pos - start);
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") {
    r.error = path + ": not a binary PGM/PPM file (magic '" + magic + "')";
    return r;
  }
  try {
    r.width = std::stoi(token());
    r.height = std::stoi(token());
    if (std::stoi(token()) != 255) {
      r.error = path + ": maximum value other than 255";
      return r;
    }
  } catch (const std::exception&) {
    r.error = path + ": bad header";
    return r;
  }
  ++pos;  // the single white space character after the maximum value
  r.channels = magic == "P5" ? 1 : 3;
  const size_t size = static_cast<size_t>(r.width) * r.height * r.channels;
  if (r.width <= 0 || r.height <= 0 || data.size() < pos + size) {
    r.error = path + ": truncated raster";
    return r;
  }
  r.pixels.assign(data.begin() + pos, data.begin() + pos + size);
  return r;
}

// Renders the first page of ps_path with the given Ghostscript device ("pgmraw" or
// "ppmraw") at dpi dots per inch and loads the result. On failure the raster's error says
// why, including Ghostscript's own messages.
inline Raster render(const std::string& ps_path, const std::string& device, int dpi) {
  Raster r;
  if (std::system("command -v gs >/dev/null 2>&1") != 0) {
    r.error =
        "Ghostscript (gs) is not installed; scripts/install-deps installs the package "
        "ghostscript";
    return r;
  }
  const std::string out_path = ps_path + "." + device + "." + std::to_string(getpid()) + ".pnm";
  const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -sDEVICE=" + device +
                              " -r" + std::to_string(dpi) +
                              " -sOutputFile=" + shell_quote(out_path) + " " +
                              shell_quote(ps_path) + " 2>&1 </dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    r.error = "cannot run: " + command;
    return r;
  }
  std::string messages;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) messages.append(buf, n);
  const int status = pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    r.error = "gs failed (status " + std::to_string(status) + "): " + command + "\n" + messages;
    std::remove(out_path.c_str());
    return r;
  }
  r = load_pnm(out_path);
  std::remove(out_path.c_str());
  return r;
}

}  // namespace gstest
