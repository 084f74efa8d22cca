// make_demo OUTDIR: writes the demo project into OUTDIR (created if needed):
//
//   DATAFILE.dat                   project parameters of the simulation
//   demo.tvk, mdemo.tvk            the crystal image and its masked variant
//   FFTIR/mdemo.fft.tvk            transform of mdemo.tvk
//   FFTIR/mdemo.red.fft.tvk        transform of mdemo.tvk reduced 2 x 2
//   CUT/mdemo.red.center.fft.tvk   transform of the central half of mdemo.tvk, reduced 2 x 2
//   CUT/demo.tl.fft.tvk ...        transforms of the four corner quarters of demo.tvk
//   stack.tvk, filament.tvk, tvkclick.tvk
//   mdemo.spt, demo.pk             spot list and peak list of the visible reflections
//
// Every run writes the same files: all randomness comes from a fixed seed.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "samples/demo_maps.h"
#include "samples/demo_model.h"
#include "samples/demo_texts.h"

namespace {

void make_project(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder / "FFTIR");
  fs::create_directories(folder / "CUT");
  auto at = [&folder](const char* name) { return (folder / name).string(); };

  const demo::Model model;
  const int n = model.size;
  const double pixel = demo::pixel_angstrom(model);
  std::vector<float> image = demo::crystal_image(model);
  demo::write_image(at("demo.tvk"), image, n, n, 1, 2, pixel, "Tolsvik demo: 2D crystal image");

  // Masked: the crystal and a margin around it, everything else at the mean.
  double sum = 0.0;
  for (float v : image) sum += v;
  const float mean = static_cast<float>(sum / image.size());
  std::vector<float> masked(image.size());
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      size_t i = static_cast<size_t>(y) * n + x;
      masked[i] = mean + demo::mask_weight(model, x, y) * (image[i] - mean);
    }
  demo::write_image(at("mdemo.tvk"), masked, n, n, 1, 2, pixel,
                    "Tolsvik demo: 2D crystal image, masked");

  std::vector<float> transform = demo::write_transform(at("FFTIR/mdemo.fft.tvk"), masked, n,
                                                       "Tolsvik demo: transform of mdemo.tvk");
  demo::write_transform(at("FFTIR/mdemo.red.fft.tvk"), demo::bin2(masked, n), n / 2,
                        "Tolsvik demo: transform of mdemo.tvk reduced 2 x 2");

  std::vector<float> centre = demo::bin2(demo::cut(masked, n, n / 4, n / 4, n / 2), n / 2);
  demo::taper_edges(centre, n / 4, n / 64);
  demo::write_transform(at("CUT/mdemo.red.center.fft.tvk"), centre, n / 4,
                        "Tolsvik demo: transform of the centre of mdemo.tvk reduced 2 x 2");

  struct Corner {
    const char* file;
    int x0, y0;
  };
  const Corner corners[4] = {{"CUT/demo.tl.fft.tvk", 0, n / 2},
                             {"CUT/demo.tr.fft.tvk", n / 2, n / 2},
                             {"CUT/demo.bl.fft.tvk", 0, 0},
                             {"CUT/demo.br.fft.tvk", n / 2, 0}};
  for (const Corner& c : corners) {
    std::vector<float> area = demo::cut(image, n, c.x0, c.y0, n / 2);
    demo::taper_edges(area, n / 2, n / 32);
    demo::write_transform(at(c.file), area, n / 2,
                          "Tolsvik demo: transform of a corner of demo.tvk");
  }

  int nx, ny, nz;
  std::vector<float> stack = demo::stack_image(model, nx, ny, nz);
  demo::write_image(at("stack.tvk"), stack, nx, ny, nz, 2, pixel,
                    "Tolsvik demo: crystal patch turning 15 degrees a section");
  std::vector<float> filament = demo::filament_image(model, nx, ny);
  demo::write_image(at("filament.tvk"), filament, nx, ny, 1, 2, pixel,
                    "Tolsvik demo: curved helical filament");
  std::vector<float> click = demo::click_image(nx, ny);
  demo::write_image(at("tvkclick.tvk"), click, nx, ny, 1, 0, 0.0, "Tolsvik demo: click grid");

  std::vector<demo::Spot> spots = demo::visible_spots(model, transform, n);
  demo::write_lines(at("DATAFILE.dat"), demo::datafile_lines(model));
  demo::write_lines(at("mdemo.spt"), demo::spot_list_lines(spots));
  demo::write_lines(at("demo.pk"), demo::peak_list_lines(spots));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo OUTDIR\n");
    return 2;
  }
  try {
    make_project(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo: %s\n", e.what());
    return 1;
  }
  return 0;
}
