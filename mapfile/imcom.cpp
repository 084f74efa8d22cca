// The imcom record, the stream -> slot bookkeeping and the disk operations of
// the map-file layer: the only place that talks to the CCP4 disk-I/O library.
#include <ccp4/library_file.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "mapfile/mapfile.h"
#include "mapfile/slots.h"
#include "textio/format.h"
#include "textio/stop.h"

namespace {

constexpr ImcomRecord initial_imcom() {
  ImcomRecord r{};
  r.nbhdr = 1024;
  r.nbytes[0] = 1;
  r.nbytes[1] = 2;
  r.nbytes[2] = 4;
  r.nbytes[3] = 4;
  r.nbytes[4] = 8;
  r.nblabels = 800;
  for (int32_t& flag : r.needpos) flag = 1;
  return r;
}

struct SlotFile {
  CCP4::CCP4File* file = nullptr;
  int64_t pos = 0;     // byte position of the next transfer
  int64_t length = 0;  // file length as last learnt (reads and writes)
  bool read_only = false;
  std::string name;
};

SlotFile files[kMaxSlots + 1];

// The disk layer reads and writes at most this many items per call (its counts
// and results are int).
constexpr int64_t kMaxItemsPerCall = int64_t{1} << 28;

int item_size(Item kind) {
  switch (kind) {
    case Item::byte:
      return 1;
    case Item::int16:
      return 2;
    default:
      return 4;
  }
}

int item_mode(Item kind) {
  switch (kind) {
    case Item::byte:
      return CCP4_BYTE;
    case Item::int16:
      return CCP4_INT16;
    case Item::int32:
      return CCP4_INT32;
    default:
      return FLOAT32;
  }
}

int read_items(CCP4::CCP4File* f, Item kind, unsigned char* dest, size_t n) {
  switch (kind) {
    case Item::byte:
      return CCP4::ccp4_file_readchar(f, dest, n);
    case Item::int16:
      return CCP4::ccp4_file_readshort(f, dest, n);
    case Item::int32:
      return CCP4::ccp4_file_readint(f, dest, n);
    default:
      return CCP4::ccp4_file_readfloat(f, dest, n);
  }
}

int write_items(CCP4::CCP4File* f, Item kind, const unsigned char* src, size_t n) {
  switch (kind) {
    case Item::byte:
      return CCP4::ccp4_file_writechar(f, src, n);
    case Item::int16:
      return CCP4::ccp4_file_writeshort(f, src, n);
    case Item::int32:
      return CCP4::ccp4_file_writeint(f, src, n);
    default:
      return CCP4::ccp4_file_writefloat(f, src, n);
  }
}

[[noreturn]] void write_failed(int slot) {
  print_line("QWRITE: i/o error (may be out of disc space): " + files[slot].name);
  fatal_stop();
}

}  // namespace

ImcomRecord imcom = initial_imcom();

std::string_view trim_name(std::string_view name) {
  size_t end = name.find_last_not_of(std::string_view(" \0", 2));
  return end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1);
}

int stream_slot(int stream, bool need_file) {
  if (stream < 1 || stream > kMaxStreams) {
    print_line("!!! Error - map stream number outside 1 to 12 :" + fmt_i(stream, 6));
    fatal_stop("Error");
  }
  int slot = imcom.lstream[stream];
  if (slot < 1 || slot > kMaxSlots) {
    print_line("!!! Error - no map file was opened on stream" + fmt_i(stream, 4));
    fatal_stop("Error");
  }
  if (need_file && files[slot].file == nullptr) {
    print_line("!!! Error - map file on stream" + fmt_i(stream, 4) + " is closed");
    fatal_stop("Error");
  }
  return slot;
}

const std::string& slot_name(int slot) {
  return files[slot].name;
}

void check_readable(int slot) {
  if (imcom.unknownstat[slot]) {
    print_line("!!! Fatal error - attempted UNKNOWN status file read !!!");
    fatal_stop();
  }
}

void check_writable(int slot) {
  if (imcom.oldstyle[slot]) {
    print_line("!!! Error - cannot overwrite old-style 20th century map.");
    print_line("    Use refashion program and retry.");
    fatal_stop();
  }
  if (imcom.foreign[slot]) {
    print_line("!!! Error - cannot overwrite map of different machine ");
    print_line();
    print_line("architecture - use refashion program and retry.");
    fatal_stop();
  }
  // Modes 6 and 12 are only read: a map made from one is written in output_mode.
  const int mode = imcom.mode[slot];
  if (mode == 6 || mode == 12) {
    print_line("!!! Error - map mode" + fmt_i(mode, 6) +
               " is read, never written : " + files[slot].name);
    fatal_stop("Error");
  }
}

int element_bytes(int slot) {
  int mode = imcom.mode[slot];
  if (mode == 6 || mode == 12) return 2;  // the 16-bit image modes beyond the table of 0..4
  if (mode < 0 || mode > 4) {
    print_line("!!! Error - map mode" + fmt_i(mode, 6) +
               " is not one of 0 to 4, 6 or 12 : " + files[slot].name);
    fatal_stop("Error");
  }
  return imcom.nbytes[mode];
}

int free_slot() {
  for (int slot = 1; slot <= kMaxSlots; ++slot)
    if (files[slot].file == nullptr) return slot;
  return 0;
}

bool disk_open(int slot, const std::string& name, OpenKind kind) {
  int flags = O_RDWR;
  switch (kind) {
    case OpenKind::create:
      flags = O_RDWR | O_CREAT | O_TRUNC;
      break;
    case OpenKind::scratch:
      flags = O_RDWR | O_CREAT | O_TRUNC | O_TMP;
      break;
    case OpenKind::unknown:
      flags = O_RDWR | O_CREAT;
      break;
    case OpenKind::read_write:
      flags = O_RDWR;
      break;
    case OpenKind::read_only:
      flags = O_RDONLY;
      break;
  }
  CCP4::CCP4File* f = CCP4::ccp4_file_open(name.c_str(), flags);
  if (f == nullptr) return false;
  // The stamp position is given in words: word 54 starts at byte 212.
  CCP4::ccp4_file_setstamp(f, kStampOffset / 4);
  SlotFile& s = files[slot];
  s.file = f;
  s.name = name;
  s.read_only = kind == OpenKind::read_only;
  s.pos = 0;
  s.length = std::max(0L, CCP4::ccp4_file_length(f));
  CCP4::ccp4_file_setmode(f, CCP4_BYTE);
  CCP4::ccp4_file_seek(f, 0, SEEK_SET);
  return true;
}

void disk_close(int slot) {
  SlotFile& s = files[slot];
  if (s.file == nullptr) return;
  CCP4::CCP4File* f = s.file;
  s.file = nullptr;
  // Buffered data reaches the disk only now; losing it is a write failure.
  if (CCP4::ccp4_file_close(f) != 0) write_failed(slot);
}

std::string disk_name(int slot) {
  char* full = CCP4::ccp4_file_name(files[slot].file);
  if (full == nullptr) return files[slot].name;
  std::string text = full;
  std::free(full);
  return text;
}

int64_t disk_length(int slot) {
  SlotFile& s = files[slot];
  s.length = std::max<int64_t>(s.length, CCP4::ccp4_file_length(s.file));
  return s.length;
}

void disk_seek(int slot, int64_t byte) {
  SlotFile& s = files[slot];
  s.pos = std::clamp<int64_t>(byte, 0, kBeyondAnyFile);
  // Nothing can be read past the end of a file that is only read, and the disk layer
  // refuses (with a line of its own) positions no file system holds.
  const int64_t at = s.read_only ? std::min(s.pos, s.length) : s.pos;
  if (at >= kBeyondAnyFile) return;
  CCP4::ccp4_file_setmode(s.file, CCP4_BYTE);
  CCP4::ccp4_file_seek(s.file, static_cast<long>(at), SEEK_SET);
}

void disk_skip(int slot, int64_t bytes) {
  disk_seek(slot, files[slot].pos + bytes);
}

int64_t disk_read(int slot, Item kind, void* dest, int64_t count) {
  SlotFile& s = files[slot];
  if (count <= 0) return 0;
  const int size = item_size(kind);
  if (s.pos >= s.length || count > (s.length - s.pos) / size) {
    // The file may have grown since we last asked (written through this slot).
    const int64_t available = std::max<int64_t>(disk_length(slot) - s.pos, 0) / size;
    count = std::min(count, available);
  }
  if (count == 0) return 0;
  CCP4::ccp4_file_setmode(s.file, item_mode(kind));
  auto* out = static_cast<unsigned char*>(dest);
  int64_t done = 0;
  while (done < count) {
    int64_t n = std::min(count - done, kMaxItemsPerCall);
    int got = read_items(s.file, kind, out + done * size, static_cast<size_t>(n));
    if (got != n) {
      // Position unknown after a failed read: put it back where we believe it is.
      CCP4::ccp4_file_clearerr(s.file);
      disk_seek(slot, s.pos + done * size);
      return done;
    }
    done += n;
  }
  s.pos += done * size;
  return done;
}

void disk_write(int slot, Item kind, const void* src, int64_t count) {
  SlotFile& s = files[slot];
  if (count <= 0) return;
  const int size = item_size(kind);
  if (count > (kBeyondAnyFile - s.pos) / size) write_failed(slot);
  CCP4::ccp4_file_setmode(s.file, item_mode(kind));
  const auto* in = static_cast<const unsigned char*>(src);
  for (int64_t done = 0; done < count;) {
    int64_t n = std::min(count - done, kMaxItemsPerCall);
    if (write_items(s.file, kind, in + done * size, static_cast<size_t>(n)) != n)
      write_failed(slot);
    done += n;
  }
  s.pos += count * size;
  s.length = std::max(s.length, s.pos);
}

void disk_use_stamp(int slot) {
  CCP4::ccp4_file_rarch(files[slot].file);
  disk_seek(slot, files[slot].pos);
}

void disk_write_stamp(int slot) {
  SlotFile& s = files[slot];
  if (CCP4::ccp4_file_warch(s.file) != 0) write_failed(slot);
  s.length = std::max(s.length, kStampOffset + 4);
  disk_seek(slot, kStampOffset + 4);
}
