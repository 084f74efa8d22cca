// The one way the tests run something in a child process: a program (kelvane, Ghostscript,
// tolsvik, the display probe) or a piece of this test program that is expected to stop the
// process (a fatal stop, a Quit item). Its standard input, output and error are pipes.
// Also the temporary folder every test that writes files works in.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// True in a child running a piece of the test program: a stop there is expected.
extern bool in_child;

class Child {
 public:
  // Runs argv[0] (searched on PATH) in `cwd` ("" = here). DISPLAY is `display` in the child,
  // unset when that is empty.
  explicit Child(const std::vector<std::string>& argv, const std::string& display = "",
                 const std::string& cwd = "");
  // Runs body in a copy of this process; a body that returns ends the child with status 99.
  explicit Child(const std::function<void()>& body);
  ~Child();  // closes stdin, waits up to 2 s, then kills
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Sends `line` and a newline; throws std::runtime_error when the child no longer reads.
  void write_line(const std::string& line);
  void close_stdin();
  // Stdout lines until a line equal to `marker` (consumed), which must come within `timeout`
  // seconds; otherwise throws std::runtime_error with what the child wrote so far.
  std::vector<std::string> read_until(const std::string& marker, double timeout = 30);
  // Waits for the end: the exit status, or 128 + signal. Throws on timeout.
  int wait_exit(double timeout = 30);
  std::string out();  // all of stdout so far
  std::string err();  // all of stderr so far
  bool running();
  pid_t pid() const { return pid_; }

 private:
  void start(const std::function<void()>& in_child_after_pipes);
  bool pump(int timeout_ms);  // false once stdout is closed
  bool reap(bool block);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string pending_, out_all_, err_all_;
  bool exited_ = false;
  int status_ = 0;
};

struct Finished {
  int status;
  std::string out, err;
};
// Runs to the end with an empty standard input.
Finished run(const std::vector<std::string>& argv, const std::string& cwd = "");
Finished run(const std::function<void()>& body);

// A fresh empty folder, removed with everything in it at the end; while `enter` it is also
// the working directory.
class TempFolder {
 public:
  explicit TempFolder(bool enter = false);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_, previous_;
  pid_t owner_;
};

// Text files line by line.
std::vector<std::string> read_lines(const std::string& path);
void write_lines(const std::string& path, const std::vector<std::string>& lines);
std::string read_text(const std::string& path);

}  // namespace testsupport
