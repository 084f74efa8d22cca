#include "driver/datafile.h"

#include "textio/stop.h"
#include "textio/textfile.h"

bool read_datafile_lines(int count, std::vector<std::string>& lines, int* present) {
  lines.clear();
  // A directory, named pipe or device of that name is no parameter file: said on the
  // terminal, and the program goes on as without one.
  if (const std::string kind = file_kind_fault(kDatafileName); !kind.empty()) {
    print_line(std::string(" ") + kDatafileName + " " + kind + ", it is not read.");
    return false;
  }
  TextReader in(kDatafileName);
  if (!in.is_open()) return false;
  std::string line;
  while (static_cast<int>(lines.size()) < count && in.line(line, kDatafileWidth))
    lines.push_back(line);
  if (present != nullptr) *present = static_cast<int>(lines.size());
  lines.resize(count > 0 ? count : 0);
  return true;
}
