// The project start menu: the standard files of the project named in "DATAFILE.dat".
#pragma once

enum class StartChoice {
  File,   // a file was chosen: its name is in latref.map_file
  Other,  // "Other image": ask for a file name
};

// Reads "DATAFILE.dat" and shows the start menu (or, with `corners`, takes the action
// "Determine defoci in corners" at once). "Quit" ends the program. Without the file,
// sets the project defaults and returns Other.
StartChoice start_menu(bool corners);
// Forgets the image name kept from the last reading, for a fresh run.
void start_menu_reset();
