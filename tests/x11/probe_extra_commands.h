// Further probe commands for the overlay tests, kept apart from the probe's
// main command table. Returns false when the command is not one of these.
#pragma once

#include <sstream>
#include <string>

namespace probe_extra {

inline bool run(const std::string& command, std::istringstream& in) {
  (void)command;
  (void)in;
  return false;
}

}  // namespace probe_extra
