// Reading a 4096 x 4096 map row by row, as the section display does, in modes
// 0, 1, 2, 6 and 12, against a plain sequential read of the same file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapfile/mapfile.h"

namespace {

constexpr int kSide = 4096;
std::filesystem::path folder;

std::string map_name(int mode) {
  return (folder / ("bench" + std::to_string(mode) + ".map")).string();
}

// Runs body with standard output sent to /dev/null: imopen and irdhdr print.
template <typename F>
void quietly(F body) {
  std::fflush(stdout);
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  close(null);
  body();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
}

void create_maps() {
  std::vector<float> row(kSide);
  quietly([&] {
    for (int mode = 0; mode <= 2; ++mode) {
      int nxyz[3] = {kSide, kSide, 1};
      imopen(2, map_name(mode), "new");
      icrhdr(2, nxyz, nxyz, mode, nullptr, 0);
      std::string title(kTitleLength, ' ');
      iwrhdr(2, title.c_str(), 0, 0.0f, 255.0f, 127.5f);
      for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) row[x] = static_cast<float>((x * 7 + y * 3) % 256);
        iwrlin(2, row.data());
      }
      imclose(2);
    }
  });
  // Modes 6 and 12 are only read: the same 16-bit items as the mode-1 map, relabelled. As
  // half-precision reals those items are small normal and subnormal numbers.
  for (int32_t mode : {6, 12}) {
    std::filesystem::copy_file(map_name(1), map_name(mode));
    std::fstream(map_name(mode), std::ios::in | std::ios::out | std::ios::binary)
        .seekp(12)
        .write(reinterpret_cast<const char*>(&mode), 4);
  }
}

void BM_irdlin(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  std::vector<float> row(kSide);
  double sum = 0;
  for (auto _ : state) {
    quietly([&] {
      int nxyz[3], mxyz[3], m;
      float dmin, dmax, dmean;
      imopen(1, map_name(mode), "ro");
      irdhdr(1, nxyz, mxyz, m, dmin, dmax, dmean);
      for (int y = 0; y < kSide; ++y) {
        irdlin(1, row.data());
        sum += row[y];
      }
      imclose(1);
    });
  }
  benchmark::DoNotOptimize(sum);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(map_name(mode))));
}
BENCHMARK(BM_irdlin)->Arg(0)->Arg(1)->Arg(2)->Arg(6)->Arg(12)->Unit(benchmark::kMillisecond);

void BM_plain_fread(benchmark::State& state) {
  const std::string name = map_name(static_cast<int>(state.range(0)));
  std::vector<char> block(1 << 20);
  size_t total = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(name.c_str(), "rb");
    for (size_t n; (n = std::fread(block.data(), 1, block.size(), f)) > 0;) total += n;
    std::fclose(f);
  }
  benchmark::DoNotOptimize(total);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(name)));
}
BENCHMARK(BM_plain_fread)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  folder = std::filesystem::temp_directory_path() / ("tolsvik-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  create_maps();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
