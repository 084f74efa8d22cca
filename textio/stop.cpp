#include "stop.h"

#include <cstdio>
#include <cstdlib>

void fatal_stop(std::string_view stop_text) {
  std::fflush(stdout);
  if (!stop_text.empty()) {
    std::fprintf(stderr, "STOP %.*s statement executed\n", static_cast<int>(stop_text.size()),
                 stop_text.data());
  }
  std::fflush(stderr);
  std::exit(0);
}

void print_line(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  // Lines reach a pipe or a log file as they are written, not only when the program ends.
  std::fflush(stdout);
}
