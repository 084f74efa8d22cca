// Fatal stop of the program: the one way a fatal condition ends the run.
#pragma once

#include <string_view>

// Flushes standard output, writes "STOP <text> statement executed" to standard
// error when a text is given, and ends the process with exit status 0 (fatal
// conditions of the map-file layer and the driver are not failures of the
// process itself: the scientist reads the message and starts again).
[[noreturn]] void fatal_stop(std::string_view stop_text = {});

// Writes one whole line to standard output (a message that is not window text).
void print_line(std::string_view text = {});
