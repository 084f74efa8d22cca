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
  // The lattice without its large tables, which every use writes before reading.
  latref.spot_count = latref.order_count = latref.refined = 0;
  latref.x0 = latref.y0 = latref.ax = latref.ay = latref.bx = latref.by = 0;
  latref.length_a = latref.length_b = latref.angle_a = latref.angle_b = 0;
  std::memset(latref.tool_file, 0, sizeof latref.tool_file);
}
