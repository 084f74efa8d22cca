#include "tools/transform/editor.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/datafile.h"
#include "textio/format.h"
#include "textio/stop.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kBackupName = "datafile.backup";

std::string editor_override;

// The words a shell makes of one of our command lines: blanks separate words, double
// quotes group a word and are dropped. The lines hold numbers and fixed words only, so
// nothing else of the shell's syntax arises.
std::vector<std::string> shell_words(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

EditorCommand command(std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  EditorCommand c;
  c.argv = shell_words(line);
  c.line = std::move(line);
  return c;
}

std::string kelvane_prefix(int mode) {
  return "kelvane " + std::to_string(mode) + " " + kDatafileName;
}

std::string joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& p : parts) text += (text.empty() ? "" : ",") + p;
  return text;
}

bool executable(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A number that did not fit its field shows as asterisks; NaN and Inf are no numbers.
bool holds_bad_number(const std::string& line) {
  return line.find('*') != std::string::npos || line.find("NaN") != std::string::npos ||
         line.find("Inf") != std::string::npos;
}

// The copy of "cp -f": an existing copy that cannot be overwritten is removed first.
bool copy_file(const std::string& from, const std::string& to, std::string& why) {
  std::error_code ec;
  if (!fs::exists(from, ec)) {
    // Nothing to keep: kelvane creates the file with the first line it stores.
    print_line(std::string(" ") + from + " does not exist yet, no backup needed.");
    return true;
  }
  if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return true;
  std::error_code ignored;
  fs::remove(to, ignored);
  if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return true;
  why = "cannot copy, " + ec.message();
  return false;
}

bool run_program(const std::vector<std::string>& argv, std::string& why) {
  const std::string path = editor_program();
  if (path.empty()) {
    why = "kelvane not found beside the program or on PATH";
    return false;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(nullptr);  // our lines reach the terminal before the editor's
  pid_t pid = -1;
  const int err = posix_spawn(&pid, path.c_str(), nullptr, nullptr, args.data(), environ);
  if (err != 0) {
    why = "cannot start " + path + ", " + std::strerror(err);
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      why = std::string("lost the editor, ") + std::strerror(errno);
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  why = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                          : "killed by signal " + std::to_string(WTERMSIG(status));
  return false;
}

}  // namespace

std::string editor_number(double value, int width, int decimals) {
  std::string text = fmt_f(value, width, decimals);
  std::erase(text, ' ');
  return text;
}

EditorCommand backup_command() {
  return command(std::string("cp -f ") + kDatafileName + " " + kBackupName);
}

EditorCommand replace_line_command(int line, int line_width, std::string_view text) {
  return command(kelvane_prefix(4) + " " + fmt_i(line, line_width) + " " + std::string(text));
}

EditorCommand mark_line_command(int line, int line_width) {
  return command(kelvane_prefix(5) + " " + fmt_i(line, line_width) + " 43 M");
}

EditorCommand finish_command() {
  return command(kelvane_prefix(6));
}

std::vector<EditorCommand> lattice_save_commands(int which, float ax, float ay, float bx, float by,
                                                 float x0, float y0) {
  const int line = which == 1 ? datafile_line::kFirstLattice : datafile_line::kSecondLattice;
  std::vector<EditorCommand> c = {backup_command()};
  c.push_back(replace_line_command(line, 2,
                                   joined({editor_number(ax, 9, 3), editor_number(ay, 9, 3),
                                           editor_number(bx, 9, 3), editor_number(by, 9, 3)})));
  c.push_back(mark_line_command(line, 3));
  if (which == 1) {
    c.push_back(replace_line_command(datafile_line::kLatticeOrigin, 2,
                                     joined({editor_number(x0, 9, 3), editor_number(y0, 9, 3)})));
    c.push_back(mark_line_command(datafile_line::kLatticeOrigin, 2));
  }
  c.push_back(finish_command());
  return c;
}

std::vector<EditorCommand> defocus_save_commands(float defocus1, float defocus2, float angle) {
  const std::string text = joined(
      {editor_number(defocus1, 9, 2), editor_number(defocus2, 9, 2), editor_number(angle, 9, 3)});
  return {replace_line_command(datafile_line::kDefocus, 2, "\"" + text + "\""),
          mark_line_command(datafile_line::kDefocus, 2)};
}

std::vector<EditorCommand> corner_save_commands(int line, float mean_defocus) {
  return {replace_line_command(line, 3, fmt_f(mean_defocus, 9, 0)), mark_line_command(line, 3)};
}

bool run_editor_commands(const std::vector<EditorCommand>& commands, std::string& failure) {
  failure.clear();
  for (const EditorCommand& c : commands) {
    if (!holds_bad_number(c.line)) continue;
    failure = "Failed (a number does not fit its field): " + c.line;
    break;
  }
  for (size_t i = 0; i < commands.size() && failure.empty(); ++i) {
    const EditorCommand& c = commands[i];
    print_line(" Running: " + c.line);
    std::string why;
    bool ok = false;
    if (c.argv.size() == 4 && c.argv[0] == "cp")
      ok = copy_file(c.argv[2], c.argv[3], why);
    else
      ok = run_program(c.argv, why);
    if (!ok) failure = "Failed (" + why + "): " + c.line;
  }
  if (failure.empty()) return true;
  print_line(" " + failure);
  return false;
}

std::string editor_program() {
  if (!editor_override.empty()) return editor_override;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && executable(self.parent_path() / "kelvane")) return self.parent_path() / "kelvane";
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (true) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / "kelvane";
    if (executable(candidate)) return candidate;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

void use_editor_program(const std::string& path) {
  editor_override = path;
}
