// The test side of the display probe: starts it under a test X server, sends
// commands and reads its answers, and looks at its windows as the user sees them.
#pragma once

#include <map>
#include <memory>
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

// Shows the entry box with the probe's "iobox" command, waits until it is on
// the screen and puts the pointer over it (keys go where the pointer is). The
// probe answers no command until the box is answered, so nothing is asked of it.
inline x11test::WindowInfo open_iobox(Probe& p, x11test::XUser& user,
                                      const std::string& arguments) {
  Window id = p.window("iobox"), top = p.window("top");
  p.process().write_line("iobox " + arguments);
  p.process().read_until("iobox shown");
  auto [ok, tree] = x11test::wait_for_tree(user.dpy(), top, [&](const auto& windows) {
    for (const auto& w : windows)
      if (w.id == id && w.mapped) return true;
    return false;
  });
  EXPECT_TRUE(ok) << "the entry box did not appear";
  auto box = x11test::window_info(user.dpy(), id);
  user.move(box.x + 200, box.y + box.height - 8);
  return box;
}

// One X server for all tests of a suite.
class XServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new x11test::Xvfb(1280, 1024, 8); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static x11test::Xvfb& server() { return *server_; }

 private:
  inline static x11test::Xvfb* server_ = nullptr;
};

// Each test gets a fresh probe with a grey table loaded, and the user at the
// keyboard and mouse.
class ProbeTest : public XServerTest {
 protected:
  void SetUp() override {
    p = std::make_unique<Probe>(server());
    user = std::make_unique<x11test::XUser>(server().display());
    p->cmd("table 0 127 grey");
    image = x11test::window_info(user->dpy(), p->window("image"));
  }
  bool mapped(const std::string& name) {
    return x11test::window_info(user->dpy(), p->window(name)).mapped;
  }
  x11test::WindowInfo open_iobox(const std::string& arguments) {
    return probe::open_iobox(*p, *user, arguments);
  }
  std::unique_ptr<Probe> p;
  std::unique_ptr<x11test::XUser> user;
  x11test::WindowInfo image;
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
