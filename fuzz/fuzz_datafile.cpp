// The start menu's reading of DATAFILE.dat: the input's first byte picks the menu item
// (and, with its top bit, the corner cycle without the menu), the rest is the file. The
// names it builds are checked as maps; a missing one is asked for, which ends the run.
#include <cstdint>

#include "driver/startmenu.h"
#include "fuzz/fuzz_program.h"
#include "fuzz/fuzz_support.h"
#include "scripted_display.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_folder();
  write_sample_maps();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fuzz::write_file("DATAFILE.dat", fuzz::bytes(data + 1, size - 1));
  const int item = 1 + (data[0] & 0x7f) % 10;
  const bool corners = (data[0] & 0x80) != 0;
  run_dialogue([&] {
    script::menu(item);
    start_menu(corners);
  });
  return 0;
}
