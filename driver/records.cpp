#include "records.h"

#include <cstring>

// One definition of each shared record; static storage makes them zero at start
// and keeps the large rasters out of the way until a tool touches their pages.
GenRecord gen;
MapRecord map;
OvlyRecord ovly;
DatafileRecord datafile;
LatrefRecord latref;
SplineRecord spline;

void records_reset() {
  std::memset(&gen, 0, sizeof gen);
  std::memset(&datafile, 0, sizeof datafile);
  std::memset(latref.map_file, 0, sizeof latref.map_file);
}
