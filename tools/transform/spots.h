// Peak and spot lists over the displayed transform, placed with the lattice of `latref`:
// "Display Peaklist" of the main menu and the spot list editor of the lattice tool.
#pragma once

// Reads a peak list file (offsets dx, dy from the lattice origin, one peak a line, at
// most 200) and draws a cross on every peak.
void show_peaks();
// The spot list editor: reads the project's spot list (datafile.spot_file), marks every
// listed reflection and its Friedel mate, toggles reflections clicked near, and writes
// the list back.
void getspo();
