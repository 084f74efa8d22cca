// kelvane's line editing: the input holds the words of a command (one per line: the mode,
// then the line number and the text) up to its first NUL, and after it the contents of
// DATAFILE.dat, which the command always names. After a mode-4 edit that kelvane reports
// done, line L must hold the text and the lines before it must be as they were (kelvane's
// own usage lines go to the error stream).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kelvane/kelvane.h"

namespace {

// Lines of a file as kelvane sees them, without their carriage returns.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  for (std::string& line : lines)
    while (!line.empty() && line.back() == '\r') line.pop_back();
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(fuzz::bytes(data, size));
  const size_t nul = input.find('\0');
  const std::string command = input.substr(0, nul);
  const std::string before = nul == std::string::npos ? "" : input.substr(nul + 1);
  std::vector<std::string> words;
  for (size_t start = 0; start <= command.size() && words.size() < 8;) {
    const size_t nl = std::min(command.find('\n', start), command.size());
    words.push_back(command.substr(start, nl - start));
    start = nl + 1;
  }
  // kelvane MODE DATAFILE.dat WORDS...: the file named is always the one written here.
  std::vector<std::string> args = {"kelvane"};
  if (!command.empty()) args.push_back(words[0]), args.push_back("DATAFILE.dat");
  for (size_t i = 1; i < words.size() && !command.empty(); ++i) args.push_back(words[i]);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  fuzz::write_file("DATAFILE.dat", before);
  const int status = kelvane_main(static_cast<int>(args.size()), argv.data());
  fuzz::remove_files(".DATAFILE.dat.kelvane");
  if (status != 0 || args.size() < 5 || args[1] != "4") return 0;

  std::string text = args[4];
  for (size_t i = 5; i < args.size(); ++i) text += " " + args[i];
  while (!text.empty() && text.back() == '\r') text.pop_back();
  const long line = std::strtol(args[3].c_str(), nullptr, 10);
  const std::vector<std::string> old_lines = lines_of(before),
                                 new_lines = lines_of(fuzz::read_file("DATAFILE.dat"));
  // Lines past the end of a file read as empty (an empty last line has no line of its own).
  auto at = [](const std::vector<std::string>& lines, long i) {
    return static_cast<size_t>(i) < lines.size() ? lines[i] : std::string();
  };
  if (line < 1 || at(new_lines, line - 1) != text) std::abort();
  for (long i = 0; i + 1 < line; ++i)
    if (at(new_lines, i) != at(old_lines, i)) std::abort();
  return 0;
}
