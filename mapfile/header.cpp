// Map headers: reading, printing, creating, copying and writing the 1024-byte
// header of a stream, and the setters and getters of its in-memory copy.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "mapfile/mapfile.h"
#include "mapfile/slots.h"
#include "textio/format.h"
#include "textio/stop.h"
#include "textio/strings.h"

namespace {

constexpr char kMarker[4] = {'M', 'A', 'P', ' '};

// The symmetry record written for space group 1.
constexpr int kSymmetryBytes = 80;

void blank_titles(int slot, int first) {
  for (int t = first; t < kMaxTitles; ++t) std::memset(imcom.labels[slot][t], ' ', kTitleLength);
}

[[noreturn]] void bad_header(int slot, const std::string& detail) {
  print_line("!!! Error - impossible map header in file : " + slot_name(slot));
  print_line("    " + detail);
  fatal_stop("Error");
}

// Refuses a header whose sizes or mode would make us index or allocate wrongly,
// and keeps the title count inside the ten titles the header holds.
void check_header(int slot, int64_t file_length) {
  const int32_t* n = imcom.nxyz[slot];
  if (n[0] <= 0 || n[1] <= 0 || n[2] <= 0)
    bad_header(slot, "Number of columns, rows, sections" + fmt_i(n[0], 11) + fmt_i(n[1], 11) +
                         fmt_i(n[2], 11) + " must all be positive");
  const int32_t mode = imcom.mode[slot];
  if (!is_image_mode(mode) && mode != 3 && mode != 4)
    bad_header(slot, "Map mode" + fmt_i(mode, 11) + " is not one of 0 to 4, 6 or 12");
  if (imcom.ispg[slot] > 0) {
    int64_t nsymbt = imcom.nsymbt[slot];
    if (nsymbt < 0) bad_header(slot, "Symmetry record length" + fmt_i(nsymbt, 11) + " is negative");
    if (kHeaderBytes + nsymbt > file_length)
      bad_header(slot,
                 "Symmetry records of" + fmt_i(nsymbt, 11) + " bytes run past the end of the file");
  }
  int32_t& nlabl = imcom.nlabl[slot];
  if (nlabl < 0 || nlabl > kMaxTitles) {
    int kept = std::clamp(nlabl, 0, kMaxTitles);
    print_line("!!! Warning - title count" + fmt_i(nlabl, 11) + " outside 0 to 10, taken as" +
               fmt_i(kept, 3) + " : " + slot_name(slot));
    nlabl = kept;
  }
}

std::string axis_letter(int32_t axis) {
  static const char* const kLetters[] = {"X", "Y", "Z"};
  return std::string("     ") + (axis >= 1 && axis <= 3 ? kLetters[axis - 1] : "?");
}

void print_header(int slot) {
  auto line = [](const char* text, const std::string& values) {
    print_line(std::string("       ") + text + values);
  };
  auto ints = [](const int32_t* v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += fmt_i(v[i], 6);
    return s;
  };
  auto reals = [](const float* v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += fmt_f(v[i], 10, 2);
    return s;
  };
  const int32_t* axes = imcom.mapcrs[slot];
  const int32_t symmetry[2] = {imcom.ispg[slot], imcom.nsymbt[slot]};

  print_line();
  line("Number of columns, rows, sections ........ ", ints(imcom.nxyz[slot], 3));
  // The modes beyond 0..4 are named, since many readers of the print will not know them.
  const int32_t mode = imcom.mode[slot];
  line("Map mode ................................. ",
       ints(&mode, 1) + (mode == 6    ? "  (unsigned 16-bit integers)"
                         : mode == 12 ? "  (half-precision reals)"
                                      : ""));
  line("Start points on columns, rows, sections .. ", ints(imcom.nxyzst[slot], 3));
  line("Grid sampling on x, y, z ................. ", ints(imcom.mxyz[slot], 3));
  line("Cell axes ................................ ", reals(imcom.cell[slot], 3));
  line("Cell angles .............................. ", reals(imcom.cell[slot] + 3, 3));
  line("Fast, medium, slow axes .................. ",
       axis_letter(axes[0]) + axis_letter(axes[1]) + axis_letter(axes[2]));
  line("Minimum density .......................... ", fmt_f(imcom.denmmm[slot][0], 25, 12));
  line("Maximum density .......................... ", fmt_f(imcom.denmmm[slot][1], 25, 12));
  line("Mean density ............................. ", fmt_f(imcom.denmmm[slot][2], 25, 12));
  line("Origin ................................... ", reals(imcom.origin[slot], 3));
  line("RMS deviation ............................ ", fmt_f(imcom.rms[slot], 25, 12));
  line("Space group, # bytes symmetry ............ ", ints(symmetry, 2));
  line("Number of titles ......................... ", ints(&imcom.nlabl[slot], 1));
  print_line();
  print_line(" Titles :");
  // A title's bytes reach the terminal only as visible characters: an escape sequence in
  // a file could otherwise recolour the terminal, set its title or ring its bell.
  for (int t = 0; t < imcom.nlabl[slot]; ++t)
    print_line(" " + visible_text(std::string_view(imcom.labels[slot][t], kTitleLength)));
  print_line();
}

}  // namespace

void irdhdr(int stream, int nxyz[3], int mxyz[3], int& mode, float& dmin, float& dmax,
            float& dmean) {
  const int slot = stream_slot(stream, true);
  check_readable(slot);
  imcom.needpos[slot] = 0;
  disk_seek(slot, 0);

  if (disk_read(slot, Item::int32, imcom.nxyz[slot], 3) != 3) {
    print_line(" IRDHDR: End-of-File error !!!");
    fatal_stop("Error");
  }
  const int64_t length = disk_length(slot);
  if (length < kHeaderBytes) {
    print_line("!!! Error - map file shorter than its 1024-byte header : " + slot_name(slot));
    fatal_stop("Error");
  }
  float stamp_words[2];
  disk_read(slot, Item::int32, &imcom.mode[slot], 1);
  disk_read(slot, Item::int32, imcom.nxyzst[slot], 3);
  disk_read(slot, Item::int32, imcom.mxyz[slot], 3);
  disk_read(slot, Item::real32, imcom.cell[slot], 6);
  disk_read(slot, Item::int32, imcom.mapcrs[slot], 3);
  disk_read(slot, Item::real32, imcom.denmmm[slot], 3);
  disk_read(slot, Item::int32, &imcom.ispg[slot], 1);
  disk_read(slot, Item::int32, &imcom.nsymbt[slot], 1);
  disk_read(slot, Item::int32, imcom.extra[slot], 25);
  disk_read(slot, Item::real32, imcom.origin[slot], 3);
  disk_read(slot, Item::real32, stamp_words, 2);
  disk_read(slot, Item::real32, &imcom.rms[slot], 1);
  disk_read(slot, Item::int32, &imcom.nlabl[slot], 1);
  disk_read(slot, Item::byte, imcom.labels[slot], kMaxTitles * kTitleLength);
  std::memcpy(imcom.stamp[slot], stamp_words, sizeof stamp_words);

  check_header(slot, length);

  for (int i = 0; i < 3; ++i) {
    nxyz[i] = imcom.nxyz[slot][i];
    mxyz[i] = imcom.mxyz[slot][i];
  }
  mode = imcom.mode[slot];
  dmin = imcom.denmmm[slot][0];
  dmax = imcom.denmmm[slot][1];
  dmean = imcom.denmmm[slot][2];

  if (imcom.oldstyle[slot]) {
    // Words 54 and 55 of an old-style header hold the x and y origin.
    imcom.origin[slot][0] = stamp_words[1];
    imcom.origin[slot][1] = imcom.rms[slot];
    imcom.origin[slot][2] = 0.0f;
    imcom.rms[slot] = 0.0f;
  }
  if (imcom.ispg[slot] > 0 && imcom.nsymbt[slot] > 0) {
    disk_skip(slot, imcom.nsymbt[slot]);
  } else {
    imcom.ispg[slot] = 0;
    imcom.nsymbt[slot] = 0;
  }
  print_header(slot);
}

void iwrhdr(int stream, const char* title, int ntflag, float dmin, float dmax, float dmean) {
  const int slot = stream_slot(stream, true);
  check_writable(slot);
  imcom.needpos[slot] = 0;
  imcom.denmmm[slot][0] = dmin;
  imcom.denmmm[slot][1] = dmax;
  imcom.denmmm[slot][2] = dmean;
  std::memcpy(imcom.stamp[slot][0], kMarker, 4);

  int32_t& nlabl = imcom.nlabl[slot];
  auto& labels = imcom.labels[slot];
  nlabl = std::clamp(nlabl, 0, kMaxTitles);
  if (ntflag == 1) {
    nlabl = std::min(nlabl + 1, kMaxTitles);
    std::memcpy(labels[nlabl - 1], title, kTitleLength);
  } else if (ntflag == 2) {
    // The new title goes first; the others move down one, the tenth is lost.
    int k = std::min(nlabl, kMaxTitles - 1);
    for (int t = k; t >= 1; --t) std::memcpy(labels[t], labels[t - 1], kTitleLength);
    std::memcpy(labels[0], title, kTitleLength);
    nlabl = k + 1;
  } else if (ntflag != -1) {
    nlabl = 1;
    std::memcpy(labels[0], title, kTitleLength);
  }

  float stamp_words[2];
  std::memcpy(stamp_words, imcom.stamp[slot], sizeof stamp_words);
  disk_seek(slot, 0);
  disk_write(slot, Item::int32, imcom.nxyz[slot], 3);
  disk_write(slot, Item::int32, &imcom.mode[slot], 1);
  disk_write(slot, Item::int32, imcom.nxyzst[slot], 3);
  disk_write(slot, Item::int32, imcom.mxyz[slot], 3);
  disk_write(slot, Item::real32, imcom.cell[slot], 6);
  disk_write(slot, Item::int32, imcom.mapcrs[slot], 3);
  disk_write(slot, Item::real32, imcom.denmmm[slot], 3);
  disk_write(slot, Item::int32, &imcom.ispg[slot], 1);
  disk_write(slot, Item::int32, &imcom.nsymbt[slot], 1);
  disk_write(slot, Item::int32, imcom.extra[slot], 25);
  disk_write(slot, Item::real32, imcom.origin[slot], 3);
  disk_write(slot, Item::real32, stamp_words, 2);
  disk_write(slot, Item::real32, &imcom.rms[slot], 1);
  disk_write(slot, Item::int32, &imcom.nlabl[slot], 1);
  disk_write(slot, Item::byte, labels, kMaxTitles * kTitleLength);
  disk_write_stamp(slot);

  if (imcom.ispg[slot] == 1 && imcom.nsymbt[slot] != 0) {
    char record[kSymmetryBytes];
    std::memset(record, ' ', sizeof record);
    std::memcpy(record, " X,Y,Z", 6);
    disk_seek(slot, kHeaderBytes);
    imcom.nsymbt[slot] = kSymmetryBytes;
    disk_write(slot, Item::byte, record, kSymmetryBytes);
  } else if (imcom.ispg[slot] != 0) {
    fatal_stop("Error - MAPKIT spacegroup must be 0 or 1");
  }
  disk_seek(slot, kHeaderBytes + imcom.nsymbt[slot]);
}

void icrhdr(int stream, const int nxyz[3], const int mxyz[3], int mode, const MapTitle* labels,
            int nl) {
  const int slot = stream_slot(stream);
  imcom.mode[slot] = mode;
  imcom.nlabl[slot] = std::clamp(nl, 0, kMaxTitles);
  imcom.ispg[slot] = 0;
  imcom.nsymbt[slot] = 0;
  imcom.rms[slot] = 0.0f;
  for (int i = 0; i < 3; ++i) {
    imcom.nxyz[slot][i] = nxyz[i];
    imcom.mxyz[slot][i] = mxyz[i];
    imcom.cell[slot][i] = static_cast<float>(mxyz[i]);
    imcom.cell[slot][i + 3] = 90.0f;
    imcom.nxyzst[slot][i] = 0;
    imcom.mapcrs[slot][i] = i + 1;
    imcom.denmmm[slot][i] = 0.0f;
    imcom.origin[slot][i] = 0.0f;
  }
  std::fill(std::begin(imcom.extra[slot]), std::end(imcom.extra[slot]), 0);
  blank_titles(slot, 0);
  for (int t = 0; t < imcom.nlabl[slot]; ++t)
    std::memcpy(imcom.labels[slot][t], labels[t], kTitleLength);
}

void itrhdr(int stream, int fromstream) {
  const int to = stream_slot(stream);
  const int from = stream_slot(fromstream);
  if (to != from) {
    std::memcpy(imcom.nxyz[to], imcom.nxyz[from], sizeof imcom.nxyz[to]);
    imcom.mode[to] = imcom.mode[from];
    std::memcpy(imcom.nxyzst[to], imcom.nxyzst[from], sizeof imcom.nxyzst[to]);
    std::memcpy(imcom.mxyz[to], imcom.mxyz[from], sizeof imcom.mxyz[to]);
    std::memcpy(imcom.cell[to], imcom.cell[from], sizeof imcom.cell[to]);
    std::memcpy(imcom.mapcrs[to], imcom.mapcrs[from], sizeof imcom.mapcrs[to]);
    std::memcpy(imcom.denmmm[to], imcom.denmmm[from], sizeof imcom.denmmm[to]);
    std::memcpy(imcom.extra[to], imcom.extra[from], sizeof imcom.extra[to]);
    std::memcpy(imcom.origin[to], imcom.origin[from], sizeof imcom.origin[to]);
    std::memcpy(imcom.stamp[to], imcom.stamp[from], sizeof imcom.stamp[to]);
    imcom.rms[to] = imcom.rms[from];
    itrlab(stream, fromstream);
  }
  // The copy carries no symmetry records of its own.
  imcom.ispg[to] = 0;
  imcom.nsymbt[to] = 0;
}

void itrlab(int stream, int fromstream) {
  const int to = stream_slot(stream);
  const int from = stream_slot(fromstream);
  if (to == from) return;
  imcom.nlabl[to] = imcom.nlabl[from];
  std::memcpy(imcom.labels[to], imcom.labels[from], sizeof imcom.labels[to]);
}

void itrcel(int stream, int fromstream) {
  const int to = stream_slot(stream);
  const int from = stream_slot(fromstream);
  std::memmove(imcom.cell[to], imcom.cell[from], sizeof imcom.cell[to]);
}

void iclcdn(const float* array, int nx, int /*ny*/, int ix1, int ix2, int iy1, int iy2, float& dmin,
            float& dmax, float& dmean) {
  dmin = 1.0e10f;
  dmax = -1.0e10f;
  float sum = 0.0f;
  for (int iy = iy1; iy <= iy2; ++iy) {
    const float* row = array + static_cast<int64_t>(iy - 1) * nx * 2;
    for (int ix = ix1; ix <= ix2; ++ix) {
      const float re = row[2 * (ix - 1)];
      const float im = row[2 * (ix - 1) + 1];
      const float modulus = std::sqrt(re * re + im * im);
      if (dmin >= modulus) dmin = modulus;
      if (dmax < modulus) dmax = modulus;
      sum += modulus;
    }
  }
  dmean = sum / static_cast<float>((ix2 - ix1 + 1) * (iy2 - iy1 + 1));
}

void ialcel(int stream, const float cell[6]) {
  std::memcpy(imcom.cell[stream_slot(stream)], cell, 6 * sizeof(float));
}

void irtcel(int stream, float cell[6]) {
  std::memcpy(cell, imcom.cell[stream_slot(stream)], 6 * sizeof(float));
}

void ialext(int stream, const int* extra, int start, int count) {
  const int slot = stream_slot(stream);
  if (start <= 0 || start + count > 26) fatal_stop("IALEXT: Attempt to write out of bounds");
  for (int i = 0; i < count; ++i) imcom.extra[slot][start - 1 + i] = extra[i];
}

void irtext(int stream, int* extra, int start, int count) {
  const int slot = stream_slot(stream);
  if (start < 1 || start > 25) fatal_stop("IRTEXT: Error in start number");
  const int n = std::min(start + count, 26) - start;
  for (int i = 0; i < n; ++i) extra[i] = imcom.extra[slot][start - 1 + i];
}

void iallab(int stream, const MapTitle* labels, int nl) {
  const int slot = stream_slot(stream);
  const int n = std::clamp(nl, 0, kMaxTitles);
  imcom.nlabl[slot] = n;
  for (int t = 0; t < n; ++t) std::memcpy(imcom.labels[slot][t], labels[t], kTitleLength);
  blank_titles(slot, n);
}

void irtlab(int stream, MapTitle* labels, int& nl) {
  const int slot = stream_slot(stream);
  nl = imcom.nlabl[slot];
  for (int t = 0; t < nl; ++t) std::memcpy(labels[t], imcom.labels[slot][t], kTitleLength);
}

void ialmod(int stream, int mode) {
  imcom.mode[stream_slot(stream)] = mode;
}

void ialorg(int stream, float xorigin, float yorigin, float zorigin) {
  const int slot = stream_slot(stream);
  imcom.origin[slot][0] = xorigin;
  imcom.origin[slot][1] = yorigin;
  imcom.origin[slot][2] = zorigin;
}

void irtorg(int stream, float& xorigin, float& yorigin, float& zorigin) {
  const int slot = stream_slot(stream);
  xorigin = imcom.origin[slot][0];
  yorigin = imcom.origin[slot][1];
  zorigin = imcom.origin[slot][2];
}

void ialrms(int stream, float rms) {
  imcom.rms[stream_slot(stream)] = rms;
}

void irtrms(int stream, float& rms) {
  rms = imcom.rms[stream_slot(stream)];
}

void ialsam(int stream, const int mxyz[3]) {
  std::memcpy(imcom.mxyz[stream_slot(stream)], mxyz, 3 * sizeof(int));
}

void irtsam(int stream, int mxyz[3]) {
  std::memcpy(mxyz, imcom.mxyz[stream_slot(stream)], 3 * sizeof(int));
}

void ialsiz(int stream, const int nxyz[3], const int nxyzst[3]) {
  const int slot = stream_slot(stream);
  std::memcpy(imcom.nxyz[slot], nxyz, 3 * sizeof(int));
  std::memcpy(imcom.nxyzst[slot], nxyzst, 3 * sizeof(int));
}

void irtsiz(int stream, int nxyz[3], int mxyz[3], int nxyzst[3]) {
  const int slot = stream_slot(stream);
  std::memcpy(nxyz, imcom.nxyz[slot], 3 * sizeof(int));
  std::memcpy(mxyz, imcom.mxyz[slot], 3 * sizeof(int));
  std::memcpy(nxyzst, imcom.nxyzst[slot], 3 * sizeof(int));
}

void ialsym(int stream, int ispg, int& nsymbt) {
  const int slot = stream_slot(stream);
  if (ispg == 0) {
    nsymbt = 0;
  } else if (ispg == 1) {
    nsymbt = kSymmetryBytes;
  } else {
    fatal_stop(" MAPKIT spacegroup must be 0 or 1");
  }
  imcom.ispg[slot] = ispg;
  imcom.nsymbt[slot] = nsymbt;
}

void irtsym(int stream, int& ispg, int& nsymbt) {
  const int slot = stream_slot(stream);
  ispg = imcom.ispg[slot];
  nsymbt = imcom.nsymbt[slot];
}

void ialuvw(int stream, int mapc, int mapr, int maps) {
  const int slot = stream_slot(stream);
  imcom.mapcrs[slot][0] = mapc;
  imcom.mapcrs[slot][1] = mapr;
  imcom.mapcrs[slot][2] = maps;
}

void irtuvw(int stream, int& mapc, int& mapr, int& maps) {
  const int slot = stream_slot(stream);
  mapc = imcom.mapcrs[slot][0];
  mapr = imcom.mapcrs[slot][1];
  maps = imcom.mapcrs[slot][2];
}

void ialcon(int stream, bool convert) {
  imcom.nocon[stream_slot(stream)] = convert ? 0 : 1;
}
