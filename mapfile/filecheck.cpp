// The check of an existing file before it is opened as a map: what kind of file it is,
// whether it can be read, whether it holds a whole header, and whether that header is a
// map's. It reads the header bytes itself, so that nothing reaches the disk layer (and
// none of its own signal lines the terminal) for a file it cannot use.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "mapfile/mapfile.h"
#include "mapfile/slots.h"
#include "textio/format.h"
#include "textio/strings.h"
#include "textio/textfile.h"

namespace {

constexpr size_t kAxesOffset = 64;  // mapc, mapr, maps
constexpr size_t kMarkerOffset = 208;

// Reads up to n bytes from the start of the file; the count read, or -1.
ssize_t read_start(int fd, unsigned char* to, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, to + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

int32_t word_at(const unsigned char* h, size_t offset, bool swapped) {
  unsigned char b[4];
  std::memcpy(b, h + offset, 4);
  if (swapped) std::reverse(b, b + 4);
  int32_t v;
  std::memcpy(&v, b, 4);
  return v;
}

// A map numbers one of its axes 1, in its own byte order.
bool names_axis_one(const unsigned char* h, bool swapped) {
  for (size_t i = 0; i < 3; ++i)
    if (word_at(h, kAxesOffset + 4 * i, swapped) == 1) return true;
  return false;
}

bool holds_text(const unsigned char* h, size_t n) {
  return std::all_of(h, h + n, [](unsigned char c) {
    return (c >= 0x20 && c < 0x7f) || c == '\n' || c == '\r' || c == '\t';
  });
}

// The number formats the disk layer converts from: reals in IEEE order of either kind
// (1, 4) or VAX (2), integers most (1) or least (4) significant byte first.
bool known_stamp(unsigned char reals, unsigned char integers) {
  const int f = reals >> 4, i = integers >> 4;
  if (f == 0 && i == 0) return true;  // no stamp: read without conversion
  return (f == 1 || f == 2 || f == 4) && (i == 1 || i == 4);
}

}  // namespace

std::string map_file_fault(std::string_view name) {
  const std::string path(trim_name(name));
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0)
    return errno == ENOENT || path.empty() ? "cannot be found"
                                           : std::string("cannot be read: ") + std::strerror(errno);
  if (std::string kind = file_kind_fault(path); !kind.empty()) return kind;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string("cannot be read: ") + std::strerror(errno);
  unsigned char h[kHeaderBytes];
  const ssize_t got = read_start(fd, h, sizeof h);
  const int error = errno;
  ::close(fd);
  if (got < 0) return std::string("cannot be read: ") + std::strerror(error);
  if (got < kHeaderBytes)
    return "is not a map file: shorter than a 1024-byte map header (" + std::to_string(got) +
           " bytes)";
  if (holds_text(h, sizeof h)) return "is not a map file: it holds text";
  if (!names_axis_one(h, false) && !names_axis_one(h, true))
    return "is not a map file: its header names no axis 1 in either byte order";
  if (std::memcmp(h + kMarkerOffset, "MAP ", 4) == 0 &&
      !known_stamp(h[kStampOffset], h[kStampOffset + 1]))
    return "has a damaged machine stamp: " + hex_format(h[kStampOffset]) + " " +
           hex_format(h[kStampOffset + 1]) + " names no number format";
  return {};
}
