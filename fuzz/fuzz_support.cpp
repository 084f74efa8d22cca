// The fatal stop and the terminal lines of the harnesses, and their working folder.
//
// textio's stop.cpp defines exactly fatal_stop and print_line; with both defined here the
// linker never takes that object from the library, so the code under test stops through
// the exception below and prints nothing (printing every header would slow the fuzzer).
#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "textio/stop.h"

void fatal_stop(std::string_view) {
  throw fuzz::Stopped{};
}

void print_line(std::string_view) {}

namespace fuzz {

const std::string& enter_folder() {
  // Kept to the end of the process: the exit handler below still needs it. Every input
  // is written to a file, so a folder in memory (/dev/shm) is preferred to the disk.
  static const std::string* folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    const char* base = tmp && *tmp ? tmp : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    auto* path = new std::string(std::string(base) + "/tolsvik-fuzz-XXXXXX");
    if (mkdtemp(path->data()) == nullptr || chdir(path->c_str()) != 0) std::abort();
    std::atexit([] {
      remove_files("");
      if (chdir("/") == 0) rmdir(enter_folder().c_str());
    });
    return path;
  }();
  return *folder;
}

void write_file(const std::string& name, std::string_view bytes) {
  std::ofstream(name, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void remove_files(const std::string& prefix) {
  DIR* dir = opendir(".");
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && name.starts_with(prefix)) unlink(name.c_str());
  }
  closedir(dir);
}

}  // namespace fuzz
