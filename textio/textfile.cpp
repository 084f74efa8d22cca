#include "textio/textfile.h"

#include <unistd.h>

void FileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

TextReader::TextReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}

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
