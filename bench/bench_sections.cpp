// The section display of a 4096 x 4096 map (read, compress, scale and place) at
// compression 1 and 4, and the transform display of a 2049 x 4096 half transform,
// run against the scripted display (which copies each handed-over picture).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/records.h"
#include "driver/sections.h"
#include "driver/transform.h"
#include "mapfile/mapfile.h"
#include "scripted_display.h"
#include "tests/support/test_maps.h"

namespace {

constexpr int kSide = 4096;
constexpr int kHalf = kSide / 2 + 1;
std::filesystem::path folder;

std::string image_name() {
  return (folder / "image.map").string();
}
std::string transform_name() {
  return (folder / "transform.map").string();
}

// A ramp of values 0..255 in every row (both parts of each complex value).
void write_map(const std::string& name, int nx, int ny, int mode) {
  const int per_row = mode == 4 ? 2 * nx : nx;
  test_maps::write_rows(name, nx, ny, 1, mode, [&](int y, int, float* row) {
    for (int x = 0; x < per_row; ++x) row[x] = static_cast<float>((x * 7 + y * 3) % 256);
  });
}

// gen as start-up leaves it for the whole image at the given compression, on a
// screen of 4096 x 4096; the centre question is answered with the automatic centre.
void image_setup(int compression) {
  gen.is_image = 1;
  gen.compression = compression;
  gen.first_x = gen.first_y = 0;
  gen.shown_width = gen.shown_height = kSide / compression;
  gen.first_z = gen.last_z = 0;
  gen.screen_width = gen.screen_height = kSide;
  gen.raster_width = gen.raster_height = kSide;
  gen.amin = 0.0f;
  gen.amax = 255.0f;
  gen.new_display = 1;
  gen.message_lines = 1;
  gen.defaults_unit = 0;
  datafile.click_mode = 1;
}

void BM_imread(benchmark::State& state) {
  const int compression = static_cast<int>(state.range(0));
  test_maps::open_map(image_name());
  for (auto _ : state) {
    script::reset();
    image_setup(compression);
    imread();
    benchmark::DoNotOptimize(script::pictures().at(0).raster.data());
  }
  test_maps::close_map();
  state.SetBytesProcessed(state.iterations() * int64_t{kSide} * kSide * 4);
}
BENCHMARK(BM_imread)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_fftread(benchmark::State& state) {
  test_maps::open_map(transform_name());
  for (auto _ : state) {
    script::reset();
    gen.is_image = 0;
    gen.compression = 1;
    gen.shown_width = kHalf;  // h = 0 .. 2048
    gen.first_y = 1;          // k = -2047 .. 2047 around row 2048
    gen.shown_height = kSide - 1;
    gen.screen_width = gen.screen_height = kSide;
    gen.raster_width = 2 * kHalf;
    gen.raster_height = kSide;
    gen.amin = 0.0f;
    gen.amax = 255.0f;
    gen.new_display = 1;
    gen.message_lines = 1;
    datafile.corner_counter = 1;  // amplitudes without the question
    fftread();
    benchmark::DoNotOptimize(script::pictures().at(0).raster.data());
  }
  test_maps::close_map();
  state.SetBytesProcessed(state.iterations() * int64_t{kHalf} * kSide * 8);
}
BENCHMARK(BM_fftread)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  folder = std::filesystem::temp_directory_path() / ("tolsvik-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  write_map(image_name(), kSide, kSide, 2);
  write_map(transform_name(), kHalf, kSide, 4);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
