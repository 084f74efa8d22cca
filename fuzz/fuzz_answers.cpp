// Answer-file replay: "tolsvik -f answers.txt" with the input as the answer file, run
// through start-up against the scripted display, where the user accepts what the file
// offers. The answers name the sample maps (or anything else); the run ends where the
// program waits for anything else (a menu choice, a mark).
#include <cstdint>
#include <string>

#include "driver/startup.h"
#include "fuzz/fuzz_program.h"
#include "fuzz/fuzz_support.h"
#include "scripted_display.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_folder();
  write_sample_maps();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::write_file("answers.txt", fuzz::bytes(data, size));
  run_dialogue([] {
    // The user accepts every answer the file offers.
    for (int i = 0; i < 16; ++i) script::accept();
    std::string args[] = {"tolsvik", "-f", "answers.txt"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), nullptr};
    tolsvik_main(3, argv);
  });
  return 0;
}
