// The map-file layer on a file written from the input: the check before opening, the
// header read and print, and the reads the displays make (rows of the first, last and
// absent sections, part rows, a whole small section, raw transfers).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapfile/mapfile.h"

namespace {

// The longest line the displays read (16384 complex values).
constexpr int64_t kLine = 2 * 16384;
float row[kLine];
// Whole sections are read only when they are this small.
constexpr int64_t kSection = 1 << 16;
float section[2 * kSection];

void read_as_displayed(const int nxyz[3], int mode, uint32_t choice) {
  const int64_t reals = (mode == 3 || mode == 4 ? 2 : 1) * int64_t{nxyz[0]};
  if (reals > kLine) return;  // the displays refuse such lines before reading
  const int last_section = nxyz[2] - 1, last_row = nxyz[1] - 1;
  const int sections[] = {0, last_section, nxyz[2], static_cast<int>(choice % 4096), INT_MAX};
  for (int s : sections) {
    imposn(1, s, static_cast<int>(choice >> 12) % std::max(nxyz[1], 1));
    irdlin(1, row);
    irdlin(1, row);
  }
  imposn(1, 0, last_row);
  irdlin(1, row);
  imposn(1, last_section, 0);
  const int ix1 = static_cast<int>(choice % static_cast<uint32_t>(std::max(nxyz[0], 1)));
  irdpal(1, row, ix1, nxyz[0] - 1);
  if (int64_t{nxyz[0]} * nxyz[1] <= kSection) {
    imposn(1, 0, 0);
    irdsec(1, section);
  }
  ialcon(1, false);  // raw items, as a copy without conversion reads them
  imposn(1, 0, 0);
  irdlin(1, row);
  ialcon(1, true);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::write_file("input.map", fuzz::bytes(data, size));
  // Positions chosen by the input's last bytes.
  uint32_t choice = 0;
  if (size >= 4) std::memcpy(&choice, data + size - 4, 4);
  try {
    int nxyz[3], mxyz[3], mode;
    float dmin, dmax, dmean;
    imopen(1, "input.map", "ro");
    irdhdr(1, nxyz, mxyz, mode, dmin, dmax, dmean);
    read_as_displayed(nxyz, mode, choice);
  } catch (const fuzz::Stopped&) {
  }
  imclose(1);
  imcom.numopen = 0;
  return 0;
}
