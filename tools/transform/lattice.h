// Lattice refinement ("Lattice refinement" of the main menu): an origin, spots marked on
// the displayed map (or read from a file) with their indices, the least-squares fit of
// origin and lattice vectors, the predicted lattice drawn over the map as boxes or
// circles, and the result stored in a text file or in DATAFILE.dat. Vectors can also be
// typed in or read from DATAFILE.dat and drawn without a fit.
//
// Spots, vectors, origin and order count live in the lattice record `latref` and survive
// between calls.
#pragma once

// The tool; returns to the main menu.
void lattice();
// The spot editor: marks, deletes, re-indexes and saves spots. On return gen.status is 0
// for "Calculate a lattice" and 1 for "Return main menu".
void lattice_read();
// Fits origin and vectors to the spots, sets the refinement flag of latref and writes the
// result into label lines 2 to 8 (gen.message_lines counts them).
void lattice_refine();
// Draws a cross on every spot that has none and lists the last spots in the label.
void lattice_display();
// Offers to store the lattice in DATAFILE.dat: 1 the first (good) lattice with its
// origin, 2 the second (bad) one. The outcome replaces the last label line in use.
void savlat(int which);
