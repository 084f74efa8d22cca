// What the user waits for on the screen: drawing a picture (conversion to bytes,
// transfer to the server, read-back check), redrawing it (every pan step,
// expose and menu hide), the zoom window, and loading a colour table. Runs on
// a private 8-bit Xvfb so the figures do not depend on a desktop.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "display/tolpix.h"
#include "display/xstate.h"
#include "samples/xdrive.h"

namespace {

std::vector<int32_t> raster_of(int side) {
  std::vector<int32_t> raster(static_cast<size_t>(side) * side);
  for (size_t i = 0; i < raster.size(); ++i)
    raster[i] = static_cast<int32_t>((i * 7 + i / side) % 126);
  return raster;
}

void BM_DrawImage(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  auto raster = raster_of(side);
  for (auto _ : state) {
    int32_t ierr = 0;
    tolpixdrawimage(side, side, 0, raster.data(), ierr);
    XSync(ds.display_id, False);
    if (ierr != 0) state.SkipWithError("picture refused");
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_DrawImage)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_RedrawPicture(benchmark::State& state) {
  auto raster = raster_of(1024);
  int32_t ierr = 0;
  tolpixdrawimage(1024, 1024, 0, raster.data(), ierr);
  int step = 0;
  for (auto _ : state) {
    tolpixsetpan(step % 40, step % 30);
    tolpixdrawimages(0);
    XSync(ds.display_id, False);
    ++step;
  }
}
BENCHMARK(BM_RedrawPicture)->Unit(benchmark::kMillisecond);

void BM_ZoomWindow(benchmark::State& state) {
  auto raster = raster_of(1024);
  int32_t ierr = 0;
  tolpixdrawimage(1024, 1024, 0, raster.data(), ierr);
  const int size = static_cast<int>(state.range(0));
  tolpixchangezoom(8, 8, size, size, ierr);
  ds.image_pointer_x = ds.image_pointer_y = 500;
  for (auto _ : state) {
    zoom_display();
    XSync(ds.display_id, False);
  }
  zoomhide();
}
BENCHMARK(BM_ZoomWindow)->Arg(136)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_SetColourTable(benchmark::State& state) {
  std::vector<int32_t> red(256), green(256), blue(256);
  int shift = 0;
  for (auto _ : state) {
    for (int i = 0; i < 256; ++i) red[i] = green[i] = blue[i] = ((i + shift) % 128) * 512;
    tolpixsetcolourtable(0, 127, red.data(), green.data(), blue.data());
    ++shift;
  }
}
BENCHMARK(BM_SetColourTable)->Unit(benchmark::kMillisecond);

// The dump of a whole picture to "Tolpix.ps": every row read back from the
// server, converted and written as hexadecimal (written in a scratch folder).
void BM_PostScriptDump(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  auto raster = raster_of(side);
  int32_t ierr = 0;
  tolpixdrawimage(side, side, 0, raster.data(), ierr);
  for (auto _ : state) {
    float width = 0;
    tolpixpostscriptdump(3, 0, 0, 0, 0, 0, width, 0, ierr);
    if (ierr != 0) state.SkipWithError("dump refused");
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_PostScriptDump)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// A lattice as the lattice tools mark it and clear it again at every refinement
// step: 16,384 segments (two calls of 8192) drawn and removed.
void BM_LatticeLines(benchmark::State& state) {
  auto raster = raster_of(1024);
  int32_t ierr = 0;
  tolpixdrawimage(1024, 1024, 0, raster.data(), ierr);
  std::vector<int32_t> x1(2 * kMaxLines), y1(x1.size()), x2(x1.size()), y2(x1.size());
  for (size_t i = 0; i < x1.size(); ++i) {  // all different, on a grid of 8 pixels
    x1[i] = static_cast<int32_t>(i % 128 * 8);
    y1[i] = static_cast<int32_t>(i / 128 * 8);
    x2[i] = x1[i] + 6;
    y2[i] = y1[i];
  }
  for (auto _ : state) {
    for (int half : {0, kMaxLines})
      tolpixdrawlines(&x1[half], &y1[half], &x2[half], &y2[half], kMaxLines);
    for (int half : {0, kMaxLines}) {
      int32_t n = kMaxLines;
      tolpixremovelines(&x1[half], &y1[half], &x2[half], &y2[half], n);
    }
  }
  state.SetItemsProcessed(state.iterations() * 2 * kMaxLines);
}
BENCHMARK(BM_LatticeLines)->Unit(benchmark::kMillisecond);

// 10,000 circles (the marks of a lattice's orders) drawn and removed: in one call
// each way (batched:1), or one call per circle (batched:0).
void BM_LatticeCircles(benchmark::State& state) {
  const bool batched = state.range(0) == 1;
  auto raster = raster_of(1024);
  int32_t ierr = 0;
  tolpixdrawimage(1024, 1024, 0, raster.data(), ierr);
  constexpr int32_t kCircles = 10000;
  std::vector<int32_t> x(kCircles), y(kCircles), r(kCircles, 4);
  for (int i = 0; i < kCircles; ++i) {
    x[i] = 10 + (i % 100) * 10;
    y[i] = 10 + (i / 100) * 10;
  }
  for (auto _ : state) {
    if (batched) {
      tolpixdrawcircles(x.data(), y.data(), r.data(), kCircles);
      tolpixremovecircles(x.data(), y.data(), r.data(), kCircles);
    } else {
      for (int i = 0; i < kCircles; ++i) tolpixdrawcircle(x[i], y[i], r[i]);
      for (int i = 0; i < kCircles; ++i) tolpixremovecircle(x[i], y[i], r[i]);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCircles);
}
BENCHMARK(BM_LatticeCircles)->ArgName("batched")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  xdrive::Xvfb server(1280, 1024, 8);
  // The PostScript dump writes into the working folder.
  char folder[] = "/tmp/tolsvik-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 1;
  setenv("DISPLAY", server.display().c_str(), 1);
  int32_t width = 0, height = 0;
  tolpixinit(width, height);
  std::vector<int32_t> grey(256);
  for (int i = 0; i < 256; ++i) grey[i] = (i < 128 ? i : 127) * 516;
  tolpixsetcolourtable(0, 127, grey.data(), grey.data(), grey.data());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  unlink("Tolpix.ps");
  rmdir(folder);
  return 0;
}
