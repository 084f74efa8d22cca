#include "records.h"

// One definition of each shared record; static storage makes them zero at start
// and keeps the large rasters out of the way until a tool touches their pages.
GenRecord gen;
MapRecord map;
OvlyRecord ovly;
DatafileRecord datafile;
int32_t locjob;
LatrefRecord latref;
SplineRecord spline;
