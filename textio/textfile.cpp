#include "textio/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

std::string file_kind_fault(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (S_ISFIFO(st.st_mode)) return "is a named pipe";
  if (S_ISCHR(st.st_mode)) return "is a character device";
  if (S_ISBLK(st.st_mode)) return "is a block device";
  if (S_ISSOCK(st.st_mode)) return "is a socket";
  return "is not a regular file";
}

std::string resolve_links(const std::string& path) {
  // As many links as the system follows in one path; a longer chain is a loop.
  constexpr int kMaxLinks = 40;
  std::string at = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return at;
    const std::string next(target.data(), static_cast<size_t>(n));
    const size_t slash = at.rfind('/');
    at = next.front() == '/' || slash == std::string::npos ? next : at.substr(0, slash + 1) + next;
  }
  return at;
}

void FileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

TextReader::TextReader(const std::string& path) {
  // Opening does not wait for a writer of a named pipe; anything but a regular file is
  // closed again at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = error;
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_.reset(::fdopen(fd, "rb"));
  if (!file_) ::close(fd);
}

bool TextReader::line(std::string& text, std::size_t limit) {
  text.clear();
  carriage_return_ = newline_ = false;
  if (!file_) return false;
  // Whole lines are scanned, so that the next call starts at the next line; what lies
  // beyond the limit is dropped.
  auto put = [&](char c) {
    if (text.size() < limit) text.push_back(c);
  };
  bool any = false;
  bool held_cr = false;  // a carriage return that may begin the line end
  int c = 0;
  while ((c = std::fgetc(file_.get())) != EOF) {
    any = true;
    if (c == '\n') {
      newline_ = true;
      carriage_return_ = held_cr;
      held_cr = false;
      break;
    }
    if (held_cr) put('\r');
    held_cr = c == '\r';
    if (!held_cr) put(static_cast<char>(c));
  }
  if (held_cr) put('\r');
  if (c == EOF && std::ferror(file_.get())) failed_ = true;
  return any && !failed_;
}

namespace {
ListResult end_of_file() {
  ListResult r;
  r.ended = r.error = true;
  return r;
}
}  // namespace

ListResult TextReader::ints(int n, int* out) {
  std::string text;
  if (!line(text)) return end_of_file();
  return list_read_ints(text, n, out);
}

ListResult TextReader::reals(int n, float* out) {
  std::string text;
  if (!line(text)) return end_of_file();
  return list_read_reals(text, n, out);
}

TextWriter::TextWriter(const std::string& path, bool append)
    : file_(std::fopen(path.c_str(), append ? "ab" : "wb")) {}

TextWriter::TextWriter(int descriptor) : file_(::fdopen(descriptor, "wb")) {
  if (!file_ && descriptor >= 0) ::close(descriptor);
}

void TextWriter::text(std::string_view text) {
  if (!file_) {
    ok_ = false;
    return;
  }
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size())
    ok_ = false;
}

void TextWriter::line(std::string_view line) {
  text(line);
  text("\n");
}

bool TextWriter::close(bool sync) {
  if (!file_) return false;
  bool ok = ok_ && std::fflush(file_.get()) == 0;
  if (sync && ok) ok = ::fsync(::fileno(file_.get())) == 0;
  ok = std::fclose(file_.release()) == 0 && ok;
  return ok;
}
