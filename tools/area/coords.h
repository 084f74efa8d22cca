// "Output map coordinates": positions clicked on the displayed map, each marked with a small
// numbered box and shown in the label with its map value, kept in a coordinate file of one of
// three text layouts (tools/area/coord_files.h). An existing file is read first and its
// positions drawn again; the file is replaced by the old and the new positions only when the
// user leaves with "Return main menu".
#pragma once

#include <cstdint>

struct CoordsRecord {
  int32_t npos;  // positions in the list
};
extern CoordsRecord coords;

// The main-menu command.
void output_coords();
