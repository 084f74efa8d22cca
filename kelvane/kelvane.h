// kelvane: the command-line editor of the project parameter file DATAFILE.dat.
#pragma once

// Runs one kelvane command (argv[0] is the program name); returns the exit status: 0 when
// done, 1 when the file could not be read or written, 2 for a command it does not know.
int kelvane_main(int argc, char** argv);
