// Section display: the chosen sections of a real-valued map read from stream 1,
// averaged in compression blocks, turned into colour indices and placed on the
// screen as one picture, as rows of sections in one picture, or as stored images
// that are scrolled with the slider or played as a movie.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

// Displays sections first_z..last_z of the map on stream 1 with the settings of
// gen. On return a negative gen.display_count means the user chose "Read another
// map" from the scrolling or movie menu.
void imread();

// ---- Shared with the transform display ----

// Colour index 0..kTopColourIndex of a scaled density v = (density - amin) x scale: clamped and
// rounded half away from zero. When v is not a number (an infinite scale met a
// density equal to amin, or the density itself was not a number) the index is the top one
// for a density above amin and 0 otherwise.
int32_t colour_index(float v, bool above_min);

// Adds the four "wait for map display ..." lines below the message lines in use and
// shows them in the label.
void show_wait_lines();

// Text of the label warning for a nonzero status of tolpixdrawimage: 1 "Warning : X
// event error", 2 "Warning : error reading back pixmap", 3 "Warning : map all zeroes";
// empty for any other status.
std::string_view draw_warning(int32_t status);

// Adds the notes given since the last display and the non-empty warnings below the
// message lines in use, writes each on the terminal too and, when there is at least one,
// shows them in the label. The display ends with them so that they can be read after the
// wait instructions are gone.
void show_warnings(std::span<const std::string_view> warnings);
// Lines for the end of the next display, shown and written with its warnings (replacing
// any not shown yet; at most four).
void set_display_notes(std::initializer_list<std::string_view> notes);
// True (once) when the last display ended with warnings in the label: the main menu then
// leaves the label on show until the user acts.
bool take_display_warnings();

// The lowest and highest finite density (for a transform: amplitude) of what the display
// of the map on stream 1 shows with the settings of gen; false when it holds none.
bool data_limits(float& low, float& high);

// Number of reals irdlin delivers for one line of the map on stream 1 (two per
// complex value; 0 when the stream is not open), for checking it against a buffer.
int64_t stream1_line_length();

// Pans the view so that the middle of the raster is in the middle of the screen: a
// transform's origin, or a section at its automatic centre.
void centre_view();

// Whether a raster_width x raster_height picture fits the map record.
bool raster_fits();

inline constexpr std::string_view kFileEndedWarning =
    "Warning : map file ended before the display was complete";
