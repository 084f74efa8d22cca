// What the harnesses share: the fatal stop as an exception, a private working folder, and
// small files written from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// Thrown by the harnesses' fatal stop: the code under test ended its run as the program
// would, with a message. Harnesses catch it; it is no finding.
struct Stopped {};

// Makes a fresh folder under the temporary folder the working directory (once per
// process) and returns its path.
const std::string& enter_folder();

// Writes bytes to a file of the working directory, replacing what was there.
void write_file(const std::string& name, std::string_view bytes);
std::string read_file(const std::string& name);

// Removes the files of the working directory whose names start with `prefix`.
void remove_files(const std::string& prefix);

inline std::string_view bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
