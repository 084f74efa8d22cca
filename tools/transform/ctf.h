// CTF fitting ("CTF fitting" of the main menu): the predicted Thon rings drawn over the
// transform on display as ellipses, the two principal defocus values and the astigmatism
// angle changed with menu buttons until the rings lie on the rings seen, and the result
// stored in DATAFILE.dat through the editor's command lines.
//
// With datafile.corner_counter 0 the whole image's defocus pair and angle are fitted and
// stored in line 34. With corner_counter 1 to 4 (top left, top right, bottom left, bottom
// right) the transform of that corner is on display: its mean defocus is fitted with the
// astigmatism of line 34 and stored in its line, 25 to 28, and the tool leaves
// corner_counter and corner_start for the start menu, which goes on with the next corner
// (or with corner_start when that is set).
#pragma once

// The tool; returns to the main menu.
void ctffit();
