// Map streams: opening and closing files under stream numbers, positioning, and
// moving rows, sections and part rows between the file and arrays of reals.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

#include "mapfile/mapfile.h"
#include "mapfile/slots.h"
#include "textio/format.h"
#include "textio/stop.h"

namespace {

// Conversions go through one buffer of this size per call (8192 bytes, or
// 4096 16-bit values).
constexpr int kChunkBytes = 8192;

constexpr int64_t kMarkerOffset = 208;
constexpr int64_t kAxesOffset = 64;

void print_blank_lines(int n) {
  for (int i = 0; i < n; ++i) print_line();
}

// Marker, axis-order and stamp checks of an existing file, run when it is opened.
void judge_existing_file(int slot, const std::string& name) {
  // A file shorter than a header carries nothing to judge; irdhdr reports it.
  if (disk_length(slot) < kHeaderBytes) return;
  char marker[4];
  disk_seek(slot, kMarkerOffset);
  disk_read(slot, Item::byte, marker, 4);
  disk_seek(slot, kAxesOffset);
  disk_read(slot, Item::int32, imcom.mapcrs[slot], 3);

  // A valid map numbers one of its axes 1; if none reads as 1 in our byte
  // order, the file was written in the other one.
  const int32_t* axes = imcom.mapcrs[slot];
  if (axes[0] != 1 && axes[1] != 1 && axes[2] != 1) {
    imcom.foreign[slot] = 1;
    print_line();
    print_line("!!! Warning - architecture incompatibility !!! ");
  }
  if (std::memcmp(marker, "MAP ", 4) != 0) {
    if (imcom.foreign[slot]) {
      print_line("!!! Fatal error - cannot read from or write to file : " + name);
      print_line("!!! Use endflip followed by refashion to reformat maps correctly !!!");
      fatal_stop();
    }
    print_line();
    print_line("!!! Warning - old style 20th century map : " + name);
    imcom.oldstyle[slot] = 1;
    return;
  }
  print_line();
  print_line("!!! New style 21st century map : " + name);
  unsigned char stamp[2];
  disk_seek(slot, kStampOffset);
  disk_read(slot, Item::byte, stamp, 2);
  if ((stamp[0] & 0xF0) == 0 && (stamp[1] & 0xF0) == 0) {
    print_line();
    print_line("!!! Warning - no machine stamp in file : " + name);
  } else {
    disk_use_stamp(slot);
  }
}

// Rounds to the nearest integer, halves away from zero, and keeps the low 32
// bits: callers store the low 8 or 16 of them, so values out of range wrap.
uint32_t rounded_low_bits(float v) {
  const double t = std::trunc(v >= 0.0f ? double{v} + 0.5 : double{v} - 0.5);
  if (std::fabs(t) < 2147483648.0) return static_cast<uint32_t>(static_cast<int64_t>(t));
  if (!std::isfinite(t)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(t, 4294967296.0)));
}

// An integer item's value as a real.
template <typename T>
float as_real(T item) {
  return static_cast<float>(item);
}

// Moves count file items of type T (bytes or 16-bit items) between the file and an
// array of reals through one chunk buffer, each item's real given by value(item). A
// read returns 0 when all were read, 1 when the file ended first (array then holds
// what was read).
template <typename T, float (*value)(T)>
int read_converted(int slot, Item kind, float* array, int64_t count) {
  constexpr int64_t chunk = kChunkBytes / sizeof(T);
  T buf[chunk];
  for (int64_t done = 0; done < count;) {
    const int64_t m = std::min(count - done, chunk);
    const int64_t got = disk_read(slot, kind, buf, m);
    for (int64_t i = 0; i < got; ++i) array[done + i] = value(buf[i]);
    if (got != m) return 1;
    done += m;
  }
  return 0;
}

// Writing rounds each real and keeps the low bits that fit in T.
template <typename T>
void write_converted(int slot, Item kind, const float* array, int64_t count) {
  constexpr int64_t chunk = kChunkBytes / sizeof(T);
  T buf[chunk];
  for (int64_t done = 0; done < count;) {
    const int64_t m = std::min(count - done, chunk);
    for (int64_t i = 0; i < m; ++i)
      buf[i] =
          static_cast<T>(static_cast<std::make_unsigned_t<T>>(rounded_low_bits(array[done + i])));
    disk_write(slot, kind, buf, m);
    done += m;
  }
}

// Reads n elements of the slot's mode into array; 0 when all were read, 1 when
// the file ended first (array then holds what was read).
int read_elements(int slot, float* array, int64_t n) {
  const int mode = imcom.mode[slot];
  const int64_t b = element_bytes(slot);
  const bool raw = imcom.nocon[slot] != 0;
  if (n <= 0) return 0;
  if (n > kBeyondAnyFile) return 1;  // more than any file holds
  if (mode == 0) {
    if (raw) return disk_read(slot, Item::byte, array, n) == n ? 0 : 1;
    return read_converted<unsigned char, as_real>(slot, Item::byte, array, n);
  }
  if (mode == 1 || mode == 3 || mode == 6 || mode == 12) {  // 16-bit items
    const int64_t count = n * b / 2;
    if (raw) return disk_read(slot, Item::int16, array, count) == count ? 0 : 1;
    if (mode == 6) return read_converted<uint16_t, as_real>(slot, Item::int16, array, count);
    if (mode == 12) return read_converted<uint16_t, half_to_real>(slot, Item::int16, array, count);
    return read_converted<int16_t, as_real>(slot, Item::int16, array, count);
  }
  const int64_t count = n * b / 4;
  return disk_read(slot, Item::real32, array, count) == count ? 0 : 1;
}

void write_elements(int slot, const float* array, int64_t n) {
  const int mode = imcom.mode[slot];
  const int64_t b = element_bytes(slot);
  const bool raw = imcom.nocon[slot] != 0;
  if (n <= 0) return;
  if (mode == 0) {
    if (raw) return disk_write(slot, Item::byte, array, n);
    write_converted<unsigned char>(slot, Item::byte, array, n);
  } else if (mode == 1 || mode == 3) {
    const int64_t count = n * b / 2;
    if (raw) return disk_write(slot, Item::int16, array, count);
    write_converted<int16_t>(slot, Item::int16, array, count);
  } else {
    disk_write(slot, Item::real32, array, n * b / 4);
  }
}

// Slot of a stream about to be read.
int reading_slot(int stream) {
  const int slot = stream_slot(stream, true);
  check_readable(slot);
  return slot;
}

// Slot of a stream about to be written; the first write goes to the first data byte.
int writing_slot(int stream) {
  const int slot = stream_slot(stream, true);
  check_writable(slot);
  if (imcom.needpos[slot]) {
    disk_seek(slot, kHeaderBytes + imcom.nsymbt[slot]);
    imcom.needpos[slot] = 0;
  }
  return slot;
}

int64_t row_elements(int slot) {
  return imcom.nxyz[slot][0];
}
int64_t section_elements(int slot) {
  return static_cast<int64_t>(imcom.nxyz[slot][0]) * imcom.nxyz[slot][1];
}

}  // namespace

float half_to_real(uint16_t bits) {
  const uint32_t sign = uint32_t{bits & 0x8000u} << 16;
  const uint32_t exponent = (bits >> 10) & 0x1Fu;
  const uint32_t fraction = bits & 0x3FFu;
  // Zero and subnormals are fraction x 2^-24, exact in a float (and normal there).
  if (exponent == 0)
    return std::bit_cast<float>(std::bit_cast<uint32_t>(fraction * 0x1p-24f) | sign);
  // Otherwise the exponent is rebiased from 15 to 127 and the fraction widened; the
  // all-ones exponent of infinities and NaNs stays all ones, keeping a NaN's payload.
  const uint32_t widened = exponent == 0x1F ? 0xFFu : exponent + (127 - 15);
  return std::bit_cast<float>(sign | widened << 23 | fraction << 13);
}

void imopen(int stream, std::string_view name, std::string_view status) {
  if (stream < 1 || stream > kMaxStreams) {
    print_blank_lines(2);
    print_line(" IMOPEN: Invalid STREAM number!!!");
    print_blank_lines(2);
    fatal_stop("Open Error !!!");
  }
  if (++imcom.numopen > kMaxSlots) {
    print_blank_lines(2);
    print_line(" IMOPEN: No More than 5 files can be opened!!!");
    print_blank_lines(2);
    fatal_stop("open error!!!");
  }
  std::string field(7, ' ');
  for (size_t i = 0; i < field.size() && i < status.size(); ++i)
    field[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(status[i])));
  const std::string_view kind_text = trim_name(field);
  OpenKind kind = OpenKind::read_write;
  if (kind_text == "NEW") {
    kind = OpenKind::create;
  } else if (kind_text == "SCRATCH") {
    kind = OpenKind::scratch;
  } else if (kind_text == "UNKNOWN") {
    kind = OpenKind::unknown;
  } else if (kind_text == "RO" || kind_text == "READONL") {
    kind = OpenKind::read_only;
  }
  const std::string file_name(trim_name(name));
  if (kind == OpenKind::create && access(file_name.c_str(), F_OK) == 0) {
    print_line(" (Q)QOPEN NEW file already exists: " + file_name);
    fatal_stop();
  }
  const int slot = free_slot();
  if (slot == 0) {
    print_line();
    print_line(" IMOPEN: file stream number overflow!!!");
    print_line();
    fatal_stop("Open error!!!");
  }
  const bool existing = kind == OpenKind::read_write || kind == OpenKind::read_only;
  // A missing file, and an existing one that is no map (a directory, a named pipe, text,
  // a damaged stamp), are reported here, before the disk layer adds its own signal lines.
  const bool missing = existing && access(file_name.c_str(), F_OK) != 0;
  if (existing && !missing) {
    const std::string fault = map_file_fault(file_name);
    if (!fault.empty()) {
      print_line("!!! Error - " + file_name + " " + fault);
      fatal_stop("Error");
    }
  }
  if (missing || !disk_open(slot, file_name, kind)) {
    print_line("!!! Error - cannot open map file : " + file_name);
    fatal_stop();
  }
  imcom.lstream[stream] = slot;
  imcom.needpos[slot] = 1;
  imcom.nocon[slot] = 0;
  imcom.oldstyle[slot] = 0;
  imcom.unknownstat[slot] = 0;
  imcom.foreign[slot] = 0;

  if (kind == OpenKind::unknown) {
    imcom.unknownstat[slot] = 1;
    print_line();
    print_line("!!! Warning - file : " + file_name + " has UNKNOWN status !!!");
    print_line();
  } else if (existing) {
    judge_existing_file(slot, file_name);
  }
  disk_seek(slot, 0);

  std::string full_name = disk_name(slot);
  full_name.resize(60, ' ');
  const std::string summary =
      " Filename for " + field + " image file on unit" + fmt_i(stream, 4) + " : " + full_name;
  if (existing) {
    print_line(summary);
    print_line(std::string(29, ' ') + "Size= " + fmt_i(disk_length(slot), 10));
  } else {
    print_line();
    print_line(summary);
  }
  print_line();
}

void imform(int stream, int& iform) {
  iform = imcom.oldstyle[stream_slot(stream)] ? -1 : 0;
}

void imclose(int stream) {
  if (stream >= 1 && stream <= kMaxStreams && imcom.lstream[stream] != 0)
    disk_close(imcom.lstream[stream]);
  imcom.numopen = std::max(imcom.numopen - 1, 0);
}

void imposn(int stream, int section, int line) {
  const int slot = stream_slot(stream, true);
  imcom.needpos[slot] = 0;
  const int64_t row_bytes = row_elements(slot) * element_bytes(slot);
  const int64_t s = std::max(section, 0);
  const int64_t r = std::max(line, 0);
  // Rows before the position, then bytes: sizes a header may claim make the product leave
  // any integer, and such a position lies past the data of every file.
  int64_t rows = 0, byte = 0;
  const bool beyond = __builtin_mul_overflow(s, int64_t{imcom.nxyz[slot][1]}, &rows) ||
                      __builtin_add_overflow(rows, r, &rows) ||
                      __builtin_mul_overflow(rows, row_bytes, &byte) ||
                      __builtin_add_overflow(byte, kHeaderBytes + imcom.nsymbt[slot], &byte);
  disk_seek(slot, beyond ? kBeyondAnyFile : byte);
}

int irdlin(int stream, float* array) {
  const int slot = reading_slot(stream);
  return read_elements(slot, array, row_elements(slot));
}

int irdsec(int stream, float* array) {
  const int slot = reading_slot(stream);
  return read_elements(slot, array, section_elements(slot));
}

int irdpal(int stream, float* array, int ix1, int ix2) {
  const int slot = reading_slot(stream);
  const int64_t b = element_bytes(slot);
  disk_skip(slot, ix1 * b);
  if (read_elements(slot, array, std::max(ix2 - ix1 + 1, 0)) != 0) return 1;
  disk_skip(slot, (row_elements(slot) - ix2 - 1) * b);
  return 0;
}

void iwrlin(int stream, const float* array) {
  const int slot = writing_slot(stream);
  write_elements(slot, array, row_elements(slot));
}

void iwrsec(int stream, const float* array) {
  const int slot = writing_slot(stream);
  write_elements(slot, array, section_elements(slot));
}

void iwrpal(int stream, const float* array, int ix1, int ix2) {
  const int slot = writing_slot(stream);
  const int64_t b = element_bytes(slot);
  const int64_t n = std::max(ix2 - ix1 + 1, 0);
  // A complex element is two reals, real part first.
  const int64_t first = is_image_mode(imcom.mode[slot]) ? ix1 : 2 * int64_t{ix1};
  write_elements(slot, array + first, n);
  disk_skip(slot, (row_elements(slot) - n) * b);
}
