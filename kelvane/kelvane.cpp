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
// Mode 4 keeps every other line byte for byte, including carriage returns and a
// missing final newline. A file shorter than LINE is extended with empty lines; a
// file that does not exist yet is created the same way, so a first fit in a fresh
// folder still records its result. The new contents go to a temporary file in the
// same folder that is then renamed over the original: an interrupted or failed run
// leaves the old parameter file intact.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

bool read_file(const std::string& name, std::string& contents, bool& exists) {
  contents.clear();
  FILE* in = std::fopen(name.c_str(), "rb");
  if (in == nullptr) {
    exists = false;
    return errno == ENOENT;
  }
  exists = true;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) contents.append(buffer, got);
  bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

// Replaces line number `line` (from 1) of contents with text.
std::string replace_line(const std::string& contents, long line, const std::string& text) {
  // Start offsets of every line; a trailing newline does not begin another line.
  std::vector<size_t> starts;
  for (size_t pos = 0; pos < contents.size();) {
    starts.push_back(pos);
    size_t nl = contents.find('\n', pos);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  const long count = static_cast<long>(starts.size());
  std::string out;
  if (line <= count) {
    size_t begin = starts[line - 1];
    size_t nl = contents.find('\n', begin);
    size_t end = nl == std::string::npos ? contents.size() : nl;
    // Keep the line's own terminator: a carriage return before the newline stays.
    bool crlf = end > begin && contents[end - 1] == '\r';
    out.reserve(contents.size() + text.size());
    out.append(contents, 0, begin);
    out.append(text);
    if (crlf) out.push_back('\r');
    out.append(contents, end, std::string::npos);
    return out;
  }
  out = contents;
  if (!out.empty() && out.back() != '\n') out.push_back('\n');
  out.append(static_cast<size_t>(line - count - 1), '\n');
  out.append(text);
  out.push_back('\n');
  return out;
}

// Writes contents beside `name` and renames it over `name`.
int write_replacing(const std::string& name, const std::string& contents, bool existed) {
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

  const char* data = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    ssize_t put = write(fd, data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      close(fd);
      unlink(temp.c_str());
      errno = saved;
      return failure("cannot write", temp);
    }
    data += put;
    left -= static_cast<size_t>(put);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
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

  std::string name = argv[2];
  // Edit the file a symbolic link points at, so the link itself survives.
  char resolved[PATH_MAX];
  if (realpath(name.c_str(), resolved) != nullptr) name = resolved;

  std::string contents;
  bool exists = false;
  if (!read_file(name, contents, exists)) return failure("cannot read", name);
  return write_replacing(name, replace_line(contents, line, text), exists);
}

}  // namespace

int main(int argc, char** argv) {
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
