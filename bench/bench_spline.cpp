// Straightening: the spline fit of 200 marked points, and the straightening of a 1024 x 4096
// box by shear and by bi-linear bending, against one plain pass that reads the same rows
// from the map file and copies them into the output raster.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "tests/support/test_maps.h"
#include "tools/area/box.h"
#include "tools/spline/spline_routines.h"
#include "tools/spline/straighten.h"

namespace {

constexpr int kWidth = 1024, kHeight = 4096, kPoints = 200;
std::filesystem::path folder;
float centre[kHeight], angle[kHeight];

double curve(double y) {
  return 512.0 + 150.0 * std::sin(y / 700.0) + 40.0 * std::sin(y / 230.0);
}

void BM_FitOf200Points(benchmark::State& state) {
  std::vector<double> xd(kPoints), yd(kPoints), wd(kPoints), rd(kPoints), xn(kPoints), fn(kPoints),
      gn(kPoints), dn(kPoints), theta(kPoints);
  std::vector<double> work(vc03ad_work_size(kPoints, kPoints));
  for (auto _ : state) {
    // Marks every 20 rows, rounded to whole pixels, with weightless end points.
    for (int i = 0; i < kPoints; ++i) {
      xd[i] = i * (kHeight - 1.0) / (kPoints - 1);
      yd[i] = std::round(curve(xd[i]));
      wd[i] = i == 0 || i == kPoints - 1 ? 0.0 : 1.0;
    }
    int n = kPoints;
    vc03ad(kPoints, n, xd.data(), yd.data(), wd.data(), rd.data(), xn.data(), fn.data(), gn.data(),
           dn.data(), theta.data(), 0, work.data());
    benchmark::DoNotOptimize(fn.data());
  }
}
BENCHMARK(BM_FitOf200Points)->Unit(benchmark::kMillisecond);

const StraightenBox kBox{0, 0, kWidth, kHeight, 0, 100.0f};

void BM_PlainPass(benchmark::State& state) {
  for (auto _ : state) {
    for (int j = 0; j < kHeight; ++j) {
      imposn(1, 0, j);
      irdlin(1, box.line);
      std::copy(box.line, box.line + kWidth, spline.raster + int64_t{j} * kSplineRasterWidth);
    }
    benchmark::DoNotOptimize(spline.raster);
  }
}
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMillisecond);

void BM_Shear(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(straighten_shear(kBox, centre, 512.0f));
}
BENCHMARK(BM_Shear)->Unit(benchmark::kMillisecond);

void BM_Bilinear(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(straighten_bilinear(kBox, centre, angle, 512.0f));
}
BENCHMARK(BM_Bilinear)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  folder = std::filesystem::temp_directory_path() / ("tolsvik-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string map = (folder / "box.map").string();
  test_maps::write_rows(map, kWidth, kHeight, 1, 2, [](int y, int, float* row) {
    for (int x = 0; x < kWidth; ++x) row[x] = static_cast<float>((x * 7 + y * 3) % 256);
  });
  test_maps::open_map(map);
  for (int j = 0; j < kHeight; ++j) {
    centre[j] = static_cast<float>(curve(j));
    angle[j] = j == 0 ? 0.0f : std::atan(centre[j] - centre[j - 1]);
  }
  angle[0] = angle[1];
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  test_maps::close_map();
  std::filesystem::remove_all(folder);
  return 0;
}
