#include "driver/answerfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "textio/textfile.h"

namespace {

constexpr const char* kRecordingFile = "Tolsvik.tmp";

struct Answers {
  std::FILE* replay = nullptr;     // the answer file, or standard input
  std::FILE* recording = nullptr;  // the recording, beside the answer file
  std::string answer_file;         // the name given after "-f"
  std::string target;              // the file the answers go to: the answer file through links
  std::string recording_name;      // "Tolsvik.tmp" (or a fresh name) beside the target
  bool existed = false;            // the answer file existed at the start
  std::string keep;                // why the answer file must be kept ("" when it may go)
  bool unreadable = false;         // a record could not be read as an answer
  std::string held;                // a record read ahead and given back
  bool holding = false;
};
Answers answers;

// The answer file is replaced only when it was read as one or did not exist: a map or a
// text given after "-f" by mistake must survive the run.
bool may_replace() {
  return answers.keep.empty() && !(answers.existed && answers.unreadable);
}

// Opens a new recording file in the target's folder: "Tolsvik.tmp" when there is none, a
// fresh name beside it when there is. An existing file or link of that name is never
// followed or overwritten.
std::FILE* open_recording() {
  const size_t slash = answers.target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : answers.target.substr(0, slash + 1);
  answers.recording_name = folder + kRecordingFile;
  int fd = ::open(answers.recording_name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    std::string pattern = answers.recording_name + ".XXXXXX";
    fd = ::mkstemp(pattern.data());
    answers.recording_name = pattern;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (fd >= 0) ::fchmod(fd, 0666 & ~mask);
  }
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "w");
  if (f == nullptr) ::close(fd);
  return f;
}

// Replaces the answer file (through its links) with the recording, keeping its
// permissions; says where the answers are when it must not or cannot.
void store_recording(bool written) {
  const std::string where = ", the answers are saved in " + answers.recording_name;
  if (!written) {
    print_line(" Could not write the answers to " + answers.recording_name);
    return;
  }
  if (!may_replace()) {
    const std::string why = answers.keep.empty() ? "was not read as an answer file" : answers.keep;
    print_line(" " + answers.answer_file + " " + why + ": it is kept" + where);
    return;
  }
  struct stat st;
  if (answers.existed && ::stat(answers.target.c_str(), &st) == 0)
    ::chmod(answers.recording_name.c_str(), st.st_mode & 07777);
  if (std::rename(answers.recording_name.c_str(), answers.target.c_str()) != 0)
    print_line(" Could not store the answers in " + answers.answer_file + where);
}

// One record of the replay unit, without its line end; false at the end of the unit.
// Records longer than a file name are cut.
// A record holding control characters (a NUL, an escape) is not an answer: the file is
// not read as an answer file.
bool next_record(std::string& line) {
  line.clear();
  if (answers.holding) {
    answers.holding = false;
    line = answers.held;
    return true;
  }
  if (answers.replay == nullptr) return false;
  int c = 0;
  bool any = false, binary = false;
  while ((c = std::fgetc(answers.replay)) != EOF) {
    any = true;
    if (c == '\n') break;
    if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7f) binary = true;
    if (line.size() < static_cast<size_t>(kFileNameLength)) line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (binary) answers.unreadable = true;
  return any && !binary;
}

// Numbers are read free-format, as a list that may start after blank records.
template <class T, class Read>
bool replay_values(int n, T* out, Read read) {
  std::string line;
  while (next_record(line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    ListResult r = read(line, n, out);
    if (r.error) answers.unreadable = true;
    return !r.error && r.fields > 0;
  }
  return false;
}

// One integer right-aligned in a field of 12 columns, as the recorder writes it.
bool recorded_integer(std::string_view field, int& value) {
  const size_t first = field.find_first_not_of(' ');
  if (field.size() != 12 || first == std::string_view::npos) return false;
  const char* end = field.data() + field.size();
  const auto [at, error] = std::from_chars(field.data() + first, end, value);
  return error == std::errc() && at == end;
}

}  // namespace

void answers_from_file(std::string_view answer_file) {
  answers.answer_file = std::string(field_text(answer_file));
  answers.target = resolve_links(answers.answer_file);
  answers.existed = file_exists(answers.target);
  answers.keep.clear();
  answers.unreadable = false;
  gen.record_answers = 1;
  gen.defaults_unit = 0;
  if (answers.existed) {
    // Only a regular file is read (a named pipe would block); only a writable one replaced.
    const std::string kind = file_kind_fault(answers.target);
    answers.keep = kind;
    struct stat st;
    if (kind.empty() && ::stat(answers.target.c_str(), &st) == 0 &&
        (::access(answers.target.c_str(), W_OK) != 0 ||
         (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
      answers.keep = "is write-protected";
    if (kind.empty()) answers.replay = std::fopen(answers.answer_file.c_str(), "r");
    if (answers.replay != nullptr) gen.defaults_unit = 11;
  }
  answers.recording = open_recording();
  if (answers.recording == nullptr) {
    print_line(" Cannot write the answers to " + answers.recording_name +
               ", they are not recorded.");
    gen.record_answers = 0;
  }
}

void answers_from_stdin() {
  answers.replay = stdin;
  gen.defaults_unit = 5;
  gen.record_answers = 0;
}

bool replay_line(std::string& line) {
  return next_record(line);
}

bool replay_integers(int n, int* out) {
  return replay_values(n, out, list_read_ints);
}

bool replay_mode_record(int* out) {
  std::string line;
  while (next_record(line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const std::string_view v(line);
    int mode = 0, sections = 0;
    if (v.size() == 24 && recorded_integer(v.substr(0, 12), mode) &&
        recorded_integer(v.substr(12), sections) && mode >= 0 && mode <= 4) {
      out[0] = mode, out[1] = sections;
      return true;
    }
    answers.held = line;
    answers.holding = true;
    return false;
  }
  return false;
}

bool replay_reals(int n, float* out) {
  return replay_values(n, out, list_read_reals);
}

bool replay_answer(Answer& reply) {
  if (gen.defaults_unit == 0) return false;
  std::string line;
  if (!replay_line(line)) {
    replay_failed();
    return false;
  }
  reply.set(line);
  return true;
}

void replay_failed() {
  gen.defaults_unit = 0;
  push_message_line("Answers ended or could not be read, proceeding interactively.");
}

void record_line(std::string_view text) {
  if (gen.record_answers != 1 || answers.recording == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), answers.recording);
  std::fputc('\n', answers.recording);
}

void answers_finish() {
  if (gen.record_answers == 1 && answers.recording != nullptr) {
    const bool written = std::fclose(answers.recording) == 0;
    answers.recording = nullptr;
    store_recording(written);
  }
  if (answers.recording != nullptr) std::fclose(answers.recording);
  answers.recording = nullptr;
  gen.record_answers = 0;
  if (answers.replay != nullptr && answers.replay != stdin) std::fclose(answers.replay);
  answers.replay = nullptr;
  answers.holding = false;
  gen.defaults_unit = 0;
  gen.new_display = 0;
}

void answers_reset() {
  gen.record_answers = 1;  // answers_finish closes whatever is open
  answers_finish();
}
