// Start-up of the program: switches and answers, the display, the project start menu,
// the map file and its header, the display limits, compression and density limits, and
// the first display. The main menu re-enters start-up at the steps below.
#pragma once

enum class StartStep {
  StartMenu,  // "DATAFILE.dat" read again and the start menu shown
  Corners,    // the start menu's "Determine defoci in corners" taken at once
  FileName,   // the file name question ("Other image")
  Limits,     // the display limits ("Display more sections")
  Density,    // the density limits ("Re-scale image")
};

// The program: start-up with the command-line arguments, then the main menu, which
// never returns (the program ends through a Quit item or a fatal stop).
[[noreturn]] int tolsvik_main(int argc, char** argv);

// Runs start-up from `from` to the end of the display of the chosen map.
void startup(StartStep from);

// Asks for another map file name until latref.map_file names an existing file that can be
// opened as a map: a missing one is asked again as by check_file, and for one that cannot
// be a map (a directory, a named pipe, text, a file shorter than a header) the entry box
// says what is wrong with it.
void check_map_file();

// Re-opens the displayed map on stream 1 when a command closed it (true when open).
bool reopen_map();
// Closes the displayed map on stream 1 if it is open.
void close_map();

// Puts the program back into its state at process start: every module resets its own
// state (the map closed, the answers closed, the menus' and tools' state and the shared
// records cleared). A host that runs the program more than once, such as the dialogue
// tests, calls this between runs.
void reset_program();

// Title lines of start-up.
constexpr const char* kTitleLine = "Tolsvik - image display program H14.76";
constexpr const char* kVersionLine = "Version 23.11.2001";
