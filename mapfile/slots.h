// Inside the map-file layer: the open file behind each slot and the thin disk
// operations every header and stream operation goes through.
//
// Each slot remembers its byte position and the file length so that a read is
// checked against the end of the file before the disk layer is asked for it: a
// short file then gives a short read we report, never a read past the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How imopen wants the file opened (from its status text).
enum class OpenKind { create, scratch, unknown, read_write, read_only };

// Kinds of items moved between file and memory; 16- and 32-bit items and reals
// go through the byte-order conversion set up from the file's machine stamp.
enum class Item { byte, int16, int32, real32 };

constexpr int64_t kHeaderBytes = 1024;
constexpr int64_t kStampOffset = 212;  // byte offset of header word 54
// A byte position past the data of every file (256 TiB): positions are kept at most this
// far, reads there are short, writes there fail; the disk layer is never sent there.
constexpr int64_t kBeyondAnyFile = int64_t{1} << 48;

// Slot (1..5) of an open stream; stops the program for a stream outside 1..12
// or one that was never opened. With need_file, the file must still be open.
int stream_slot(int stream, bool need_file = false);

// Name of the slot's file as the caller gave it, for messages.
const std::string& slot_name(int slot);

// Stop the program when the slot's file may not be read (opened UNKNOWN) or
// may not be written (old-style, of foreign byte order, or of mode 6 or 12).
void check_readable(int slot);
void check_writable(int slot);

// Element size in bytes of the slot's mode; stops for a mode outside 0..4, 6, 12.
int element_bytes(int slot);

// Lowest free slot, 0 when all five are taken.
int free_slot();
// Opens name into the slot; false when the disk layer cannot open it.
bool disk_open(int slot, const std::string& name, OpenKind kind);
void disk_close(int slot);
// Full file name as the disk layer knows it, and the file size in bytes.
std::string disk_name(int slot);
int64_t disk_length(int slot);

// Positions at a byte (below 0: at 0; beyond kBeyondAnyFile: there). A file opened only
// for reading is not positioned past its end: the next read there is short.
void disk_seek(int slot, int64_t byte);
void disk_skip(int slot, int64_t bytes);
// Reads count items; returns how many were read (fewer at the end of the file).
int64_t disk_read(int slot, Item kind, void* dest, int64_t count);
// Writes count items; a failure stops the program with the disk layer's message.
void disk_write(int slot, Item kind, const void* src, int64_t count);

// Sets up byte-order conversion of later reads from the stamp at byte 212.
void disk_use_stamp(int slot);
// Writes this machine's stamp at byte 212.
void disk_write_stamp(int slot);

// Name with trailing blanks (and NULs of a fixed-width field) removed.
std::string_view trim_name(std::string_view name);
