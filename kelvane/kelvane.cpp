// kelvane: the command-line editor of the project parameter file DATAFILE.dat.
//
//   kelvane 4 FILE LINE TEXT...   line LINE (counted from 1) of FILE becomes TEXT
//   kelvane 5 FILE [ARGS...]      accepted, changes nothing
//   kelvane 6 FILE [ARGS...]      accepted, changes nothing
//
// Tolsvik runs these through the shell after a lattice or defocus fit. The shell
// has already split the text on blanks (and removed the quotes around a defocus
// text), so the words after LINE are joined again with single blanks.
//
// A symbolic link is edited through: the file it points at changes, the link stays. A
// file the user may not write is refused.
//
// Mode 4 keeps every other line byte for byte, including carriage returns and a
// missing final newline. A file shorter than LINE is extended with empty lines; a
// file that does not exist yet is created the same way, so a first fit in a fresh
// folder still records its result. The new contents go to a temporary file in the
// same folder that is then renamed over the original: an interrupted or failed run
// leaves the old parameter file intact.
#include "kelvane/kelvane.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "textio/textfile.h"

namespace {

// Parameter files hold a few hundred lines; a larger number is a typing error,
// and honouring it would fill the disk with empty lines.
constexpr long kMaxLine = 100000;

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

int usage(const char* message) {
  if (message != nullptr) std::fprintf(stderr, "kelvane: %s\n", message);
  std::fprintf(stderr,
               "usage: kelvane 4 FILE LINE TEXT | kelvane 5 FILE [ARGS...] | kelvane 6 FILE "
               "[ARGS...]\n");
  return kExitUsage;
}

int failure(const std::string& what, const std::string& name) {
  std::fprintf(stderr, "kelvane: %s %s: %s\n", what.c_str(), name.c_str(), std::strerror(errno));
  return kExitFailure;
}

// A whole decimal number, nothing else; false for anything else.
bool parse_number(const char* text, long& value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

// One line of the file and the bytes that end it ("\n", "\r\n", a lone "\r" at the
// end of the file, or nothing).
struct Line {
  std::string text;
  std::string end;
};

bool read_file(const std::string& name, std::vector<Line>& lines, bool& exists) {
  lines.clear();
  TextReader in(name);
  if (!in.is_open()) {
    exists = false;
    return errno == ENOENT;
  }
  exists = true;
  std::string text;
  while (in.line(text)) {
    Line line{text, ""};
    if (in.newline()) {
      line.end = in.carriage_return() ? "\r\n" : "\n";
    } else if (!text.empty() && text.back() == '\r') {
      line.text.pop_back();
      line.end = "\r";
    }
    lines.push_back(std::move(line));
  }
  return !in.failed();
}

// Replaces line number `line` (from 1) with text; the line keeps its own line end.
void replace_line(std::vector<Line>& lines, long line, const std::string& text) {
  const long count = static_cast<long>(lines.size());
  if (line <= count) {
    lines[line - 1].text = text;
    return;
  }
  if (!lines.empty() && lines.back().end.find('\n') == std::string::npos) lines.back().end += "\n";
  lines.resize(static_cast<size_t>(line - 1), Line{"", "\n"});
  lines.push_back(Line{text, "\n"});
}

// Writes the lines beside `name` and renames the result over `name`.
int write_replacing(const std::string& name, const std::vector<Line>& lines, bool existed) {
  std::string dir = ".";
  std::string base = name;
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : name.substr(0, slash);
    base = name.substr(slash + 1);
  }
  std::string temp = dir + "/." + base + ".kelvaneXXXXXX";
  std::vector<char> pattern(temp.begin(), temp.end());
  pattern.push_back('\0');
  int fd = mkstemp(pattern.data());
  if (fd < 0) return failure("cannot create a temporary file in", dir);
  temp = pattern.data();

  // The edited file keeps the permissions of the original; a new one gets the
  // usual permissions of a created file.
  mode_t mode = 0644;
  struct stat info;
  if (existed && stat(name.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);

  TextWriter out(fd);
  for (const Line& line : lines) {
    out.text(line.text);
    out.text(line.end);
  }
  if (!out.close(true)) {
    int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return failure("cannot write", temp);
  }
  if (std::rename(temp.c_str(), name.c_str()) != 0) {
    int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return failure("cannot replace", name);
  }
  return 0;
}

int replace_mode(int argc, char** argv) {
  if (argc < 5) return usage("mode 4 needs a file, a line number and a text");
  long line = 0;
  if (!parse_number(argv[3], line) || line < 1 || line > kMaxLine)
    return usage("the line number must be a whole number from 1 to 100000");
  std::string text;
  for (int i = 4; i < argc; ++i) {
    if (i > 4) text.push_back(' ');
    text.append(argv[i]);
  }
  if (text.find('\n') != std::string::npos) return usage("the text must be a single line");

  // Edit the file a symbolic link points at (and create it there when it does not exist
  // yet), so that the link itself survives.
  const std::string name = resolve_links(argv[2]);
  if (const std::string kind = file_kind_fault(name); !kind.empty()) {
    std::fprintf(stderr, "kelvane: %s %s\n", name.c_str(), kind.c_str());
    return kExitFailure;
  }
  // The rename that replaces the file needs only a writable folder: a file the user may
  // not write (or that has no write permission at all) is refused here.
  struct stat info;
  if (stat(name.c_str(), &info) == 0 &&
      (access(name.c_str(), W_OK) != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
    std::fprintf(stderr, "kelvane: %s is write-protected, not changed\n", name.c_str());
    return kExitFailure;
  }

  std::vector<Line> lines;
  bool exists = false;
  if (!read_file(name, lines, exists)) return failure("cannot read", name);
  replace_line(lines, line, text);
  return write_replacing(name, lines, exists);
}

}  // namespace

int kelvane_main(int argc, char** argv) {
  if (argc < 3) return usage(nullptr);
  long mode = 0;
  if (!parse_number(argv[1], mode)) return usage("the mode must be 4, 5 or 6");
  switch (mode) {
    case 4:
      return replace_mode(argc, argv);
    case 5:
    case 6:
      // Bookkeeping modes of the parameter file: Tolsvik only needs them accepted.
      return 0;
    default:
      return usage("the mode must be 4, 5 or 6");
  }
}
