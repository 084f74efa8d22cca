// The program's text files, line by line: one reader and one writer for DATAFILE.dat,
// colour tables, kelvane and every file the tools read and write. Numbers in a line are
// read free-format through the list-directed reader (textio/listread.h); lines are
// written with the texts of the number formatter (textio/format.h). The FILE handle is
// closed when the reader or writer goes out of scope.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "textio/listread.h"

struct FileCloser {
  void operator()(std::FILE* file) const;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Why a path cannot be used as an ordinary file, in words that follow its name: "is a
// directory", "is a named pipe", "is a character device", "is a block device" or "is a
// socket"; empty for a regular file or a path that does not exist (links are followed).
std::string file_kind_fault(const std::string& path);

// The path a chain of symbolic links ends at: the path itself when it is not a link, the
// target of a link whose target does not exist yet. Relative targets are taken from the
// folder of the link. Writing a file "through its link" writes this path.
std::string resolve_links(const std::string& path);

class TextReader {
 public:
  // Opened for reading; see is_open(). Only a regular file is opened: a named pipe or a
  // device would block or never end, a directory holds no lines.
  explicit TextReader(const std::string& path);
  bool is_open() const { return file_ != nullptr; }

  // The next line without its line end ("\n", or "\r\n"), cut to `limit` characters.
  // A last line without a line end is still a line. False at the end of the file or
  // on a read error (see failed()).
  bool line(std::string& text, std::size_t limit = std::string::npos);
  // The next line read as n values. At the end of the file nothing is stored and the
  // result is an error.
  ListResult ints(int n, int* out);
  ListResult reals(int n, float* out);

  // How the last line read ended: with "\r\n", with "\n" (or "\r\n"), or with the file.
  bool carriage_return() const { return carriage_return_; }
  bool newline() const { return newline_; }
  bool failed() const { return failed_; }

 private:
  FileHandle file_;
  bool carriage_return_ = false;
  bool newline_ = false;
  bool failed_ = false;
};

class TextWriter {
 public:
  // Opened for writing (a new or emptied file), or for appending.
  explicit TextWriter(const std::string& path, bool append = false);
  // Takes over an open file descriptor (closed with the writer).
  explicit TextWriter(int descriptor);
  bool is_open() const { return file_ != nullptr; }

  void line(std::string_view text);  // text and a line end
  void text(std::string_view text);  // text as it is
  // Flushes (and with `sync` forces to disk) and closes; false when anything written
  // was lost.
  bool close(bool sync = false);

 private:
  FileHandle file_;
  bool ok_ = true;
};
