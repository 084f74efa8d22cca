// Changes to the project parameter file DATAFILE.dat: every command line of the external
// editor kelvane (and the copy made before a lattice is stored) is built here, and run
// here without a shell.
//
// A command is echoed on the terminal as " Running: " and its line; the program run gets
// the words of that line exactly as a shell would have split them (double quotes group a
// word and are dropped). kelvane is looked for beside the running program, then on PATH.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct EditorCommand {
  std::string line;               // the command line as echoed, without trailing blanks
  std::vector<std::string> argv;  // its words: argv[0] is "cp" or "kelvane"
};

// A number as the command lines carry it: fixed point in `width` characters with
// `decimals` decimals, every blank removed.
std::string editor_number(double value, int width, int decimals);

// "cp -f DATAFILE.dat datafile.backup"
EditorCommand backup_command();
// "kelvane 4 DATAFILE.dat " + line in `line_width` characters + " " + text
EditorCommand replace_line_command(int line, int line_width, std::string_view text);
// "kelvane 5 DATAFILE.dat " + line in `line_width` characters + " 43 M"
EditorCommand mark_line_command(int line, int line_width);
// "kelvane 6 DATAFILE.dat"
EditorCommand finish_command();

// Storing a lattice: the copy, line 32 (which = 1, the good lattice) or 35 (which = 2, the
// bad one) with ax, ay, bx, by, for the good lattice line 58 with the origin x0, y0, and
// the closing mode-6 command.
std::vector<EditorCommand> lattice_save_commands(int which, float ax, float ay, float bx, float by,
                                                 float x0, float y0);
// Storing the whole image's defocus: line 34 gets "D1,D2,angle" (the quotes of the
// command line are the shell's).
std::vector<EditorCommand> defocus_save_commands(float defocus1, float defocus2, float angle);
// Storing a corner's mean defocus in its line (25 to 28).
std::vector<EditorCommand> corner_save_commands(int line, float mean_defocus);

// Runs the commands in order and returns true when every one succeeded. Otherwise the
// rest are not run and `failure` says which command failed and why ("Failed (exit status
// 1): kelvane 4 ..."), a text for the label that also went to the terminal. Nothing is
// run when a number of the lines does not fit its field.
bool run_editor_commands(const std::vector<EditorCommand>& commands, std::string& failure);

// The editor run for "kelvane": the one given to use_editor_program, else kelvane beside
// the running program, else the first on PATH; "" when there is none.
std::string editor_program();
// Runs `path` for "kelvane" from now on ("" looks for kelvane again); for a host that
// brings its own editor, such as a test's stand-in.
void use_editor_program(const std::string& path);
