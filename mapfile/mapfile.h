// Map files: the 1024-byte header, its in-memory copy per open file, and the
// stream-based reading and writing of rows, sections and part rows.
//
// A stream is a number 1..12 chosen by the caller and bound to a file by imopen;
// at most five files are open at once, each in a slot 1..5 of imcom. Data arrays
// are 32-bit reals, two per complex element (real part first); with the conversion
// flag off (ialcon false) they carry the raw file items packed one after another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Data modes. Real-valued images, one real per element: 0 unsigned bytes, 1 signed 16-bit
// integers, 2 32-bit reals, and the modes of today's cameras, 6 unsigned 16-bit integers and
// 12 IEEE half-precision reals. Transforms, two reals per element (real part first): 3 pairs
// of signed 16-bit integers, 4 pairs of 32-bit reals. A header of any other mode is refused.
// Modes 6 and 12 are read, never written.

// True for a mode that holds a real-valued image (0, 1, 2, 6, 12); false for the transform
// modes 3 and 4 and for modes this layer does not know. Whatever treats a map as an image
// (gen.is_image, the tools' checks of their input) asks this.
constexpr bool is_image_mode(int mode) {
  return (mode >= 0 && mode <= 2) || mode == 6 || mode == 12;
}

// The mode of a map a tool writes from the data of a map of mode `mode` (boxing an area,
// straightening): that same mode, except that images of the read-only modes 6 and 12 are
// written as 32-bit reals (mode 2), which hold each of their values exactly.
constexpr int output_mode(int mode) {
  return mode == 6 || mode == 12 ? 2 : mode;
}

// Value of an IEEE half-precision real given by its 16 bits (a mode-12 element), exact for
// every pattern: subnormals, signed zeros, infinities, and NaNs with their sign and payload.
float half_to_real(uint16_t bits);

constexpr int kMaxStreams = 12;
constexpr int kMaxSlots = 5;
constexpr int kMaxTitles = 10;
constexpr int kTitleLength = 80;

using MapTitle = char[kTitleLength];

// Header copies and stream state, indexed by slot 1..5 (index 0 unused).
struct ImcomRecord {
  int32_t lstream[kMaxStreams + 1];  // slot of each stream number
  int32_t nbhdr;                     // header length in bytes (1024)
  int32_t nbytes[5];                 // element size of modes 0..4
  int32_t nblabels;                  // title area in bytes (800)
  int32_t nxyz[kMaxSlots + 1][3];
  int32_t mode[kMaxSlots + 1];
  int32_t nxyzst[kMaxSlots + 1][3];
  int32_t mxyz[kMaxSlots + 1][3];
  float cell[kMaxSlots + 1][6];
  int32_t mapcrs[kMaxSlots + 1][3];
  float denmmm[kMaxSlots + 1][3];  // dmin, dmax, dmean
  int32_t ispg[kMaxSlots + 1];
  int32_t nsymbt[kMaxSlots + 1];
  int32_t extra[kMaxSlots + 1][25];
  float origin[kMaxSlots + 1][3];
  char stamp[kMaxSlots + 1][2][4];  // header words 53 (marker) and 54 (stamp)
  float rms[kMaxSlots + 1];
  int32_t nlabl[kMaxSlots + 1];
  char labels[kMaxSlots + 1][kMaxTitles][kTitleLength];
  int32_t numopen;
  int32_t foreign[kMaxSlots + 1];
  int32_t nocon[kMaxSlots + 1];
  int32_t needpos[kMaxSlots + 1];
  int32_t oldstyle[kMaxSlots + 1];
  int32_t unknownstat[kMaxSlots + 1];
};
extern ImcomRecord imcom;

// Why an existing file cannot be opened as a map, judged from its kind and its first
// 1024 bytes without opening it as one: empty when it can; otherwise what is wrong, in
// words that follow its name ("is a directory", "is a named pipe", "cannot be read:
// Permission denied", "is not a map file: it holds text", "has a damaged machine stamp:
// ..."). imopen refuses such a file with this text; start-up asks for another name.
std::string map_file_fault(std::string_view name);

// Streams (opening, positioning, data transfer).
void imopen(int stream, std::string_view name, std::string_view status);
void imform(int stream, int& iform);
void imclose(int stream);
void imposn(int stream, int section, int line);
// Reads return 0 when done, 1 when the file ended or a read failed.
int irdlin(int stream, float* array);
int irdsec(int stream, float* array);
int irdpal(int stream, float* array, int ix1, int ix2);
void iwrlin(int stream, const float* array);
void iwrsec(int stream, const float* array);
void iwrpal(int stream, const float* array, int ix1, int ix2);

// Header input and output.
void irdhdr(int stream, int nxyz[3], int mxyz[3], int& mode, float& dmin, float& dmax,
            float& dmean);
void iwrhdr(int stream, const char* title, int ntflag, float dmin, float dmax, float dmean);
void icrhdr(int stream, const int nxyz[3], const int mxyz[3], int mode, const MapTitle* labels,
            int nl);
void itrhdr(int stream, int fromstream);
void itrlab(int stream, int fromstream);
void itrcel(int stream, int fromstream);
void iclcdn(const float* array, int nx, int ny, int ix1, int ix2, int iy1, int iy2, float& dmin,
            float& dmax, float& dmean);

// Setters and getters of the slot's header copy.
void ialcel(int stream, const float cell[6]);
void irtcel(int stream, float cell[6]);
void ialext(int stream, const int* extra, int start, int count);
void irtext(int stream, int* extra, int start, int count);
void iallab(int stream, const MapTitle* labels, int nl);
void irtlab(int stream, MapTitle* labels, int& nl);
void ialmod(int stream, int mode);
void ialorg(int stream, float xorigin, float yorigin, float zorigin);
void irtorg(int stream, float& xorigin, float& yorigin, float& zorigin);
void ialrms(int stream, float rms);
void irtrms(int stream, float& rms);
void ialsam(int stream, const int mxyz[3]);
void irtsam(int stream, int mxyz[3]);
void ialsiz(int stream, const int nxyz[3], const int nxyzst[3]);
void irtsiz(int stream, int nxyz[3], int mxyz[3], int nxyzst[3]);
void ialsym(int stream, int ispg, int& nsymbt);
void irtsym(int stream, int& ispg, int& nsymbt);
void ialuvw(int stream, int mapc, int mapr, int maps);
void irtuvw(int stream, int& mapc, int& mapr, int& maps);
void ialcon(int stream, bool convert);
