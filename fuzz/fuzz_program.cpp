#include "fuzz/fuzz_program.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "driver/startup.h"
#include "fuzz/fuzz_support.h"
#include "mapfile/mapfile.h"
#include "scripted_display.h"

namespace {

void write_map(const std::string& name, int nx, int ny, int nz, int mode) {
  const int nxyz[3] = {nx, ny, nz};
  const bool complex = mode >= 3;
  std::vector<float> line(static_cast<size_t>(complex ? 2 * nx : nx));
  imopen(2, name, "new");
  icrhdr(2, nxyz, nxyz, mode, nullptr, 0);
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y) {
      for (size_t i = 0; i < line.size(); ++i) line[i] = std::sin(float(i + 7 * y + 31 * z));
      iwrlin(2, line.data());
    }
  char title[kTitleLength];
  std::memset(title, ' ', sizeof title);
  iwrhdr(2, title, 0, -1.0f, 1.0f, 0.0f);
  imclose(2);
}

}  // namespace

void write_sample_maps() {
  try {
    write_map("m.map", 6, 5, 1, 2);
    write_map("s.map", 4, 4, 3, 0);
    write_map("t.map", 5, 8, 1, 4);
    write_map("img.tvk", 6, 5, 1, 1);
  } catch (const fuzz::Stopped&) {
  }
}

void run_dialogue(const std::function<void()>& dialogue) {
  reset_program();
  script::reset();
  script::config().screen_width = 96;
  script::config().screen_height = 64;
  try {
    dialogue();
  } catch (const script::End&) {
  } catch (const fuzz::Stopped&) {
  }
  try {
    reset_program();
    // A stop inside imopen leaves its file open for no one to close.
    for (int stream = 1; stream <= kMaxStreams; ++stream) imclose(stream);
  } catch (const fuzz::Stopped&) {
  }
  imcom.numopen = 0;
  fuzz::remove_files("Tolsvik.tmp");
}
