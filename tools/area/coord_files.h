// Coordinate files: the positions "Output map coordinates" keeps, written and read in the
// standard, Spider and Imagic text layouts.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

class TextReader;
class TextWriter;

constexpr int kMaxPositions = 16384;

// One position: map column and row (transform h, k), and the density (image) or the intensity
// re^2 + im^2 (transform); 0 where the layout holds no value.
struct Position {
  int32_t x, y;
  float value;
  bool operator==(const Position&) const = default;
};

enum class CoordLayout { screen_only, standard, spider, imagic };

// What the layouts take besides the positions: image or transform, the map's rows (Imagic
// counts rows from the other side) and the displayed map's file name (Spider's header).
struct CoordFileInfo {
  bool image = true;
  int32_t ny = 0;
  std::string_view map_file;
};

// Writes the layout's header line (none for Imagic and screen only) and one record per
// position, numbered from 1.
void write_coord_file(TextWriter& out, CoordLayout layout, const CoordFileInfo& info,
                      std::span<const Position> list);

struct CoordFileRead {
  enum Outcome { done, too_many, bad_line } outcome = done;
  int64_t line = 0;  // the line of the file that is not a record (bad_line, too_many)
};
// Reads a coordinate file of the layout into table (kMaxPositions entries) and sets npos, the
// number of records (Spider: the highest record number; entries no record names are 0). Blank
// lines are passed over; a standard value written as asterisks (too wide for its field) reads
// as 0. A record whose position lies beyond what a map can hold (more than 999,999,999 either
// way), or whose Spider number is below 1, is a bad line; a Spider number above kMaxPositions,
// or more records than that, is too many.
CoordFileRead read_coord_file(TextReader& in, CoordLayout layout, int32_t ny,
                              std::span<Position> table, int32_t& npos);
