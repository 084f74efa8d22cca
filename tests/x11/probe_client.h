// The test side of the display probe: starts it under a test X server, sends
// commands and reads its answers, and looks at its windows as the user sees them.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/x11_harness.h"

namespace probe {

class Probe {
 public:
  Probe(const x11test::Xvfb& server, int width = 0, int height = 0)
      : process_({std::string(TOLSVIK_BIN_DIR) + "/tolpix_probe"}, server.display()) {
    init_lines_ = cmd("init " + std::to_string(width) + " " + std::to_string(height));
  }

  // Sends one command and returns the lines it printed.
  std::vector<std::string> cmd(const std::string& line, double timeout = 30) {
    process_.write_line(line);
    return process_.read_until("<<done>>", timeout);
  }
  // Sends a command that blocks for the user; returns once the probe said so.
  void start(const std::string& line, const std::string& marker) {
    process_.write_line(line);
    auto lines = process_.read_until("<<done>>" == marker ? "<<done>>" : marker, 30);
    (void)lines;
  }
  std::vector<std::string> finish(double timeout = 30) {
    return process_.read_until("<<done>>", timeout);
  }

  // The "key value..." lines of the probe's state report.
  std::map<std::string, std::string> state() {
    std::map<std::string, std::string> values;
    for (const std::string& line : cmd("state")) {
      std::string key, rest;
      std::istringstream in(line);
      in >> key;
      if (key == "window") {
        std::string name;
        in >> name;
        key += " " + name;
      }
      std::getline(in, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      values[key] = rest;
    }
    return values;
  }
  Window window(const std::string& name) {
    return static_cast<Window>(std::stoul(state()["window " + name]));
  }
  std::vector<int> ints(const std::string& key) {
    std::vector<int> numbers;
    std::istringstream in(state()[key]);
    std::string word;
    while (in >> word) {
      try {
        numbers.push_back(std::stoi(word));
      } catch (...) {
      }
    }
    return numbers;
  }

  const std::vector<std::string>& init_lines() const { return init_lines_; }
  x11test::Process& process() { return process_; }

 private:
  x11test::Process process_;
  std::vector<std::string> init_lines_;
};

// The first number after a prefix in the lines ("ierr 0" -> 0).
inline int number_after(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines)
    if (line.rfind(prefix, 0) == 0) return std::stoi(line.substr(prefix.size()));
  ADD_FAILURE() << "no line starting with \"" << prefix << "\"";
  return -9999;
}

inline bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace probe
