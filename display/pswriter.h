// The PostScript writer: dumps a picture (grey, or 8-bit values through a colour table) as a
// one-page PostScript file for printing, plus the page layout that places a region of the
// picture on a 210 x 295 mm sheet.
//
// The writer keeps its state between calls, so a dump is a fixed sequence:
//   pscriptinit; for colour pscriptcolourtable; one pscriptgreyimage or pscriptcolourimage
//   call per row (all of one kind, top row first); pscriptendimage; pscriptend.
// The caller opens the file; pscriptend closes it. Every call without an open file does
// nothing. Nothing here depends on X11.
#pragma once

#include <cstdio>

// Starts a page on unit. paper is not used (the page size line is left blank);
// orientation is 1 for landscape, 0 for portrait. The origin and size of the printed
// image are in millimetres; rle is kept but rows are always written as plain hex.
void pscriptinit(std::FILE* unit, int paper, int orientation, float xorigin, float yorigin,
                 float width, float height, int rle, int ncols, int nrows);
// Sets the colour table of the next colour image: 256 entries each, 0..255
// (values outside that range are clamped into it).
void pscriptcolourtable(const int* red, const int* green, const int* blue);
// Writes one row of ncols grey values; the first row also writes the image header.
void pscriptgreyimage(const unsigned char* row);
// Writes one row of ncols colour-table indices; the first row also writes the header.
void pscriptcolourimage(const unsigned char* row);
// Closes the image.
void pscriptendimage();
// Ends the page and closes the unit.
void pscriptend();

// Placement of a printed region on the page, in millimetres. orientation is 0 for
// portrait, 1 for landscape; the margins are the distances from the page's lower left
// corner (as seen in that orientation) to the image.
struct PageLayout {
  int orientation;
  float width, height, xmargin, ymargin;
};
// Layout for a region of nx by ny pixels (both >= 1) printed width millimetres wide
// (width <= 0 selects the widest that fits, and no width exceeds it). A region at least
// as wide as it is tall is printed in landscape.
PageLayout page_layout(int nx, int ny, float width);
