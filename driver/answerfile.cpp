#include "driver/answerfile.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"

namespace {

constexpr const char* kRecordingFile = "Tolsvik.tmp";

struct Answers {
  std::FILE* replay = nullptr;     // the answer file, or standard input
  std::FILE* recording = nullptr;  // "Tolsvik.tmp"
  std::string answer_file;         // the name given after "-f"
  std::string held;                // a record read ahead and given back
  bool holding = false;
};
Answers answers;

// One record of the replay unit, without its line end; false at the end of the unit.
// Records longer than a file name are cut.
bool next_record(std::string& line) {
  line.clear();
  if (answers.holding) {
    answers.holding = false;
    line = answers.held;
    return true;
  }
  if (answers.replay == nullptr) return false;
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(answers.replay)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < static_cast<size_t>(kFileNameLength)) line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

// Numbers are read free-format, as a list that may start after blank records.
template <class T, class Read>
bool replay_values(int n, T* out, Read read) {
  std::string line;
  while (next_record(line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    ListResult r = read(line, n, out);
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
  gen.record_answers = 1;
  gen.defaults_unit = 0;
  if (!answers.answer_file.empty() && file_exists(answers.answer_file)) {
    answers.replay = std::fopen(answers.answer_file.c_str(), "r");
    if (answers.replay != nullptr) gen.defaults_unit = 11;
  }
  answers.recording = std::fopen(kRecordingFile, "w");
  if (answers.recording == nullptr) {
    print_line(" Cannot write the answers to Tolsvik.tmp, they are not recorded.");
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
    bool written = std::fclose(answers.recording) == 0;
    answers.recording = nullptr;
    // The recorded answers replace the answer file. This is a plain rename, so any
    // file name works; between file systems the file is copied instead.
    namespace fs = std::filesystem;
    std::error_code error;
    if (written) fs::rename(kRecordingFile, answers.answer_file, error);
    if (written && error) {
      error.clear();
      fs::copy_file(kRecordingFile, answers.answer_file, fs::copy_options::overwrite_existing,
                    error);
      if (!error) fs::remove(kRecordingFile, error);
    }
    if (!written || error)
      print_line(" Could not store the answers in " + answers.answer_file +
                 ", they remain in Tolsvik.tmp");
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
