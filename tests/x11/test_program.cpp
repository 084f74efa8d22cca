// The real program under its own X server: start-up answers from standard input and from an
// answer file, the pictures it shows (read back pixel by pixel: on the 8-bit screen a pixel is
// its colour index), the header print, the project start menu, scrolling through a stack and
// quitting.
//
// The expected colour indices are computed here from the densities the test writes into its
// own map files: index = (density - low) x 125 / (high - low), rounded half away from zero and
// kept to 0..125. The limits are chosen so that this scale is exact in binary, so the result
// does not depend on how the program orders its floating-point steps.
#include <signal.h>
#include <stdlib.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program_window.h"
#include "tests/support/x11_harness.h"

namespace {

namespace fs = std::filesystem;
using x11test::ProgramWindow;

constexpr int kMainMenuItems = 21;
constexpr int kHideMenuItem = 5;  // "Hide menu/labels"
constexpr int kReturnItem = 21;   // "Return" to the start menu

// ---- Map files written byte by byte ----

// A map in memory: nz sections of ny rows of nx elements, rows from the bottom. Images hold
// one real per element, transforms (mode 4) two.
struct TestMap {
  int nx = 0, ny = 0, nz = 1, mode = 2;
  std::vector<float> values;
  float dmin = 0, dmax = 0, dmean = 0;
  std::string title;

  float at(int x, int y, int z = 0) const {
    return values[(static_cast<size_t>(z) * ny + y) * nx + x];
  }
  float re(int h, int row) const { return values[(static_cast<size_t>(row) * nx + h) * 2]; }
  float im(int h, int row) const { return values[(static_cast<size_t>(row) * nx + h) * 2 + 1]; }
};

static_assert(std::endian::native == std::endian::little,
              "the test maps are written little-endian");

template <class T>
void put(std::vector<char>& bytes, size_t word, T value) {
  static_assert(sizeof(T) == 4);
  std::memcpy(bytes.data() + 4 * word, &value, 4);
}

// A new-style header with a little-endian stamp, then the data in the map's mode.
void write_map(const fs::path& path, const TestMap& m) {
  std::vector<char> header(1024, ' ');
  std::memset(header.data(), 0, 224);
  const int32_t ints1[] = {m.nx, m.ny, m.nz, m.mode, 0, 0, 0, m.nx, m.ny, m.nz};
  for (size_t i = 0; i < 10; ++i) put(header, i, ints1[i]);
  const float cell[] = {float(m.nx), float(m.ny), float(m.nz), 90, 90, 90};
  for (size_t i = 0; i < 6; ++i) put(header, 10 + i, cell[i]);
  for (int32_t i = 0; i < 3; ++i) put(header, 16 + i, i + 1);
  put(header, 19, m.dmin);
  put(header, 20, m.dmax);
  put(header, 21, m.dmean);
  std::memcpy(header.data() + 208, "MAP ", 4);
  const unsigned char stamp[4] = {0x44, 0x41, 0, 0};
  std::memcpy(header.data() + 212, stamp, 4);
  put(header, 55, int32_t{1});
  std::memcpy(header.data() + 224, m.title.data(), std::min<size_t>(m.title.size(), 80));

  std::ofstream out(path, std::ios::binary);
  out.write(header.data(), header.size());
  for (float v : m.values) {
    if (m.mode == 0) {
      const auto b = static_cast<unsigned char>(v);
      out.put(static_cast<char>(b));
    } else if (m.mode == 1) {
      const auto s = static_cast<int16_t>(v);
      out.write(reinterpret_cast<const char*>(&s), 2);
    } else {
      out.write(reinterpret_cast<const char*>(&v), 4);
    }
  }
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Integer densities spread over -25 .. 274: with the limits 0 and 250 some fall below, some
// above, and some exactly on a half step (density 125 gives 62.5, shown as 63).
TestMap real_image() {
  TestMap m{64, 48, 1, 2, {}, -25, 274, 120, "real image for the picture tests"};
  for (int y = 0; y < m.ny; ++y)
    for (int x = 0; x < m.nx; ++x) m.values.push_back(float((x * 11 + y * 7) % 300 - 25));
  return m;
}

TestMap byte_image() {
  TestMap m{50, 40, 1, 0, {}, 0, 255, 128, "byte image"};
  for (int y = 0; y < m.ny; ++y)
    for (int x = 0; x < m.nx; ++x) m.values.push_back(float((x * 5 + y * 3) % 256));
  return m;
}

TestMap short_image() {
  TestMap m{40, 30, 1, 1, {}, -1000, 999, 0, "signed image"};
  for (int y = 0; y < m.ny; ++y)
    for (int x = 0; x < m.nx; ++x) m.values.push_back(float((x * 97 + y * 31) % 2000 - 1000));
  return m;
}

// Three sections that differ everywhere: section s holds 60 s + (x + 2 y) mod 50.
TestMap stack_image() {
  TestMap m{30, 20, 3, 2, {}, 0, 250, 100, "three sections"};
  for (int z = 0; z < m.nz; ++z)
    for (int y = 0; y < m.ny; ++y)
      for (int x = 0; x < m.nx; ++x) m.values.push_back(float(60 * z + (x + 2 * y) % 50));
  return m;
}

// Half of a transform: 9 columns h = 0..8 and 16 rows over k, the origin row at 8. Every value
// is m (3, 4) or m (4, -3) or m (-4, 3) for a whole m, so its amplitude 5 m is exact.
TestMap transform_half() {
  TestMap m{9, 16, 1, 4, {}, 0, 200, 50, "transform half"};
  for (int row = 0; row < m.ny; ++row)
    for (int h = 0; h < m.nx; ++h) {
      const float k = float(1 + (h * 7 + row * 5) % 45);
      const int kind = (h + row) % 3;
      const float re = kind == 0 ? 3 * k : kind == 1 ? 4 * k : -4 * k;
      const float im = kind == 0 ? 4 * k : kind == 1 ? -3 * k : 3 * k;
      m.values.push_back(re);
      m.values.push_back(im);
    }
  return m;
}

// ---- Expected pictures ----

uint8_t colour_index(double v) {
  if (!(v > 0)) return 0;
  if (v >= 125) return 125;
  return static_cast<uint8_t>(std::floor(v + 0.5));  // v > 0: half away from zero
}

// A picture the size of the image area, as the program's raster: rows from the top.
struct Raster {
  int width, height;
  std::vector<uint8_t> pixels;
  Raster(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0) {}
  void set(int x, int row, uint8_t v) {
    if (x >= 0 && x < width && row >= 0 && row < height)
      pixels[static_cast<size_t>(row) * width + x] = v;
  }
  std::vector<uint8_t> region(int x, int y, int w, int h) const {
    std::vector<uint8_t> out;
    for (int r = y; r < y + h; ++r)
      for (int c = x; c < x + w; ++c) out.push_back(pixels[static_cast<size_t>(r) * width + c]);
    return out;
  }
};

// What one section of an image should look like.
struct SectionView {
  int first_x = 0, last_x = 0, first_y = 0, last_y = 0;  // the limits asked for
  int compression = 1;
  double low = 0, high = 0;  // density limits
  bool auto_centre = true;
  int centre_x = 0, centre_y = 0;  // a typed centre, screen coordinates from the bottom left
};

// The section placed in the raster: blocks of compression x compression densities averaged,
// the section's centre at the raster's centre (or the typed one), map row first_y lowest on
// the screen. Sets `box` to the section's rectangle in window coordinates.
Raster expected_section(const TestMap& m, const SectionView& v, int width, int height, int box[4]) {
  Raster r(width, height);
  const int c = v.compression;
  const int shown_w = (v.last_x - v.first_x + 1) / c, shown_h = (v.last_y - v.first_y + 1) / c;
  const int cx = v.auto_centre ? width / 2 : v.centre_x;
  const int cy = v.auto_centre ? height / 2 : v.centre_y;
  const int x1 = cx - shown_w / 2, y1 = cy - shown_h / 2;
  for (int j = 0; j < shown_h; ++j)
    for (int i = 0; i < shown_w; ++i) {
      double sum = 0;
      for (int b = 0; b < c; ++b)
        for (int a = 0; a < c; ++a) sum += m.at(v.first_x + i * c + a, v.first_y + j * c + b);
      const double mean = sum / (c * c);
      r.set(x1 + i, height - (y1 + j), colour_index((mean - v.low) * 125 / (v.high - v.low)));
    }
  box[0] = x1;
  box[1] = height - (y1 + shown_h - 1);
  box[2] = shown_w;
  box[3] = shown_h;
  return r;
}

// ---- Running the program ----

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tolsvik-program-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

std::string tolsvik() {
  return std::string(TOLSVIK_BIN_DIR) + "/tolsvik";
}

// The program in `folder` on the test's server, and the user at its window.
struct Session {
  x11test::Process process;
  x11test::XUser user;
  std::unique_ptr<ProgramWindow> window;

  Session(const x11test::Xvfb& server, std::vector<std::string> arguments, const fs::path& folder,
          const std::vector<std::string>& answers = {})
      : process(with_program(std::move(arguments)), server.display(), folder.string()),
        user(server.display()) {
    for (const std::string& line : answers) process.write_line(line);
    try {
      window = std::make_unique<ProgramWindow>(user);
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string(e.what()) + "\n--- stdout ---\n" + process.all_stdout() +
                               "--- stderr ---\n" + process.stderr_text());
    }
  }
  ~Session() {
    if (process.running()) {
      kill(process.pid(), SIGTERM);
      try {
        process.wait_exit(10);
      } catch (const std::exception&) {
      }
    }
  }
  static std::vector<std::string> with_program(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), tolsvik());
    return arguments;
  }

  // Start-up is over when the main menu shows; its "Hide menu/labels" then clears the view
  // of boxes, redrawing the picture as it goes.
  void hide_boxes() {
    window->choose(kMainMenuItems, kHideMenuItem);
    window->answer("");  // "Type any key to acknowledge and continue"
  }

  // Checks a window rectangle against the same rectangle of an expected raster.
  void expect_picture(const Raster& r, int x, int y, int w, int h, const std::string& what) {
    std::string why;
    EXPECT_TRUE(window->wait_for_picture(x, y, w, h, r.region(x, y, w, h), why))
        << what << ": " << why << "\n--- stdout ---\n"
        << process.all_stdout() << "--- stderr ---\n"
        << process.stderr_text();
  }

  // Expects the next standard-output lines to include `line` (waiting for it).
  void expect_line(const std::string& line) {
    try {
      process.read_until(line, 5);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "expected the line [" << line << "] on standard output: " << e.what();
    }
  }
};

// Checks the section with a frame of two pixels around it, which must show the cleared raster.
void expect_section(Session& s, const TestMap& m, const SectionView& v, const std::string& what) {
  const x11test::WindowInfo image = s.window->image_info();
  int box[4];
  const Raster r = expected_section(m, v, image.width, image.height, box);
  s.expect_picture(r, box[0] - 2, box[1] - 2, box[2] + 4, box[3] + 4, what);
}

std::string fixed(double v, int width, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%*.*f", width, decimals, v);
  return text;
}

std::string sixes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) {
    char field[16];
    std::snprintf(field, sizeof field, "%6d", v);
    text += field;
  }
  return text;
}

std::vector<std::string> file_lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<double> numbers(const std::string& line) {
  std::string text = line;
  for (char& ch : text)
    if (ch == ',') ch = ' ';
  std::istringstream in(text);
  std::vector<double> out;
  for (double v; in >> v;) out.push_back(v);
  return out;
}

}  // namespace

// ---- Pictures of images from answers on standard input ----

TEST(ProgramPicture, ImagesFromStandardInputShowExactColourIndices) {
  x11test::Xvfb server;
  TempDir dir;
  const TestMap real = real_image(), bytes = byte_image(), shorts = short_image();
  write_map(dir.path / "real.map", real);
  write_map(dir.path / "byte.map", bytes);
  write_map(dir.path / "short.map", shorts);

  {
    // Limits 0,0,0,0 mean the whole map; an empty centre line centres it.
    Session s(server, {"-s"}, dir.path, {"real.map", "0 0 0 0", "1", "0 250", ""});
    s.hide_boxes();
    expect_section(s, real, {0, 63, 0, 47, 1, 0, 250}, "mode 2, whole map");
    // The header print of the map read.
    s.expect_line("!!! New style 21st century map : real.map");
    s.expect_line("       Number of columns, rows, sections ........ " + sixes({64, 48, 1}));
    s.expect_line("       Map mode ................................. " + sixes({2}));
    s.expect_line("       Minimum density .......................... " + fixed(-25, 25, 12));
    s.expect_line("       Maximum density .......................... " + fixed(274, 25, 12));
    s.expect_line("       Number of titles ......................... " + sixes({1}));
    s.expect_line(" Titles :");
    s.expect_line(" " + real.title + std::string(80 - real.title.size(), ' '));
  }
  {
    // Compression 3 over columns 2..61 and rows 1..46: 20 x 15 blocks, row 46 left out.
    Session s(server, {"-s"}, dir.path, {"real.map", "2 61 1 46", "3", "0 250", "/"});
    s.hide_boxes();
    expect_section(s, real, {2, 61, 1, 46, 3, 0, 250}, "mode 2, compression 3");
  }
  {
    Session s(server, {"-s"}, dir.path, {"byte.map", "0 0 0 0", "1", "20 220", ""});
    s.hide_boxes();
    expect_section(s, bytes, {0, 49, 0, 39, 1, 20, 220}, "mode 0");
  }
  {
    // Negative densities and a typed centre (screen coordinates from the bottom left).
    Session s(server, {"-s"}, dir.path, {"short.map", "5 34 3 26", "1", "-800 800", "300,200"});
    s.hide_boxes();
    expect_section(s, shorts, {5, 34, 3, 26, 1, -800, 800, false, 300, 200},
                   "mode 1, typed centre");
  }
}

// ---- Transforms ----

// The stored half and its point-symmetric mirror, placed around the raster's centre, in the
// order the rows are read (k = -t .. t - 1), each value written at (h, k) and then at (-h, -k).
Raster expected_transform(const TestMap& m, int half_x, int half_y, bool amplitudes, double low,
                          double high, int width, int height) {
  Raster r(width, height);
  const int shown_w = half_x + 1, t = (2 * half_y + 1) / 2;
  const int first_row = m.ny / 2 - t;
  const int cx = width / 2, cy = height / 2;
  for (int k = -t; k < t; ++k)
    for (int h = 0; h < shown_w; ++h) {
      const double re = m.re(h, first_row + k + t), im = m.im(h, first_row + k + t);
      const double power = re * re + im * im;
      const uint8_t v = amplitudes
                            ? colour_index((std::sqrt(power) - low) * 125 / (high - low))
                            : colour_index((power - low * low) * 125 / (high * high - low * low));
      r.set(cx + h, height - (cy + k), v);
      r.set(cx - h, height - (cy - k), v);
    }
  return r;
}

TEST(ProgramPicture, TransformShowsAmplitudesOrIntensitiesWithFriedelMates) {
  x11test::Xvfb server;
  TempDir dir;
  const TestMap half = transform_half();
  write_map(dir.path / "half.map", half);

  for (bool amplitudes : {true, false}) {
    SCOPED_TRACE(amplitudes ? "amplitudes" : "intensities");
    // Half numbers 6 and 5, recorded as typed + 1; then the density limits and the choice.
    Session s(server, {"-s"}, dir.path, {"half.map", "7 6", "0 200", amplitudes ? "" : "1"});
    s.hide_boxes();
    const x11test::WindowInfo image = s.window->image_info();
    const int w = image.width, h = image.height;
    // The raster is the image area with the origin in its middle, so the view needs no pan.
    const Raster r = expected_transform(half, 6, 5, amplitudes, 0, 200, w, h);
    // h = -6 .. 6 and k = -5 .. 5 around the origin, with a frame of two pixels.
    const int ox = w / 2, oy = h - h / 2;
    const int x = ox - 8, y = oy - 7;
    s.expect_picture(r, x, y, std::min(17, w - x), std::min(15, h - y),
                     amplitudes ? "transform amplitudes" : "transform intensities");
    s.expect_line("       Map mode ................................. " + sixes({4}));
  }
}

// ---- The answer file ----

TEST(AnswerFile, AnsweredInTheWindowThenReplayedWithTheSameAnswersOffered) {
  x11test::Xvfb server;
  TempDir dir;
  const TestMap real = real_image();
  write_map(dir.path / "img.map", real);
  const fs::path answers = dir.path / "answers.txt";
  const SectionView view{8, 55, 4, 43, 2, 0, 250, false, 300, 200};

  {
    // No answer file yet: every question is asked in the entry box and recorded.
    Session s(server, {"-f", "answers.txt"}, dir.path);
    s.window->answer("img.map");
    s.window->answer("8,55,4,43");
    s.window->answer("2");
    s.window->answer("0,250");
    s.window->answer("300,200");
    s.hide_boxes();
    expect_section(s, real, view, "answered in the window");
  }
  ASSERT_TRUE(fs::exists(answers));
  EXPECT_FALSE(fs::exists(dir.path / "Tolsvik.tmp"));
  const std::vector<std::string> recorded = file_lines(answers);
  ASSERT_EQ(recorded.size(), 6u);
  EXPECT_EQ(recorded[0], "img.map");
  EXPECT_EQ(numbers(recorded[1]), (std::vector<double>{2, 1}));
  EXPECT_EQ(numbers(recorded[2]), (std::vector<double>{8, 55, 4, 43}));
  EXPECT_EQ(numbers(recorded[3]), (std::vector<double>{2}));
  EXPECT_EQ(numbers(recorded[4]), (std::vector<double>{0, 250}));
  EXPECT_EQ(recorded[5], "300,200" + std::string(73, ' '));

  {
    // Replayed: the recorded answers are offered, Return accepts each; the centre is
    // replayed without a question.
    Session s(server, {"-f", "answers.txt"}, dir.path);
    for (int question = 0; question < 4; ++question) s.window->answer("");
    s.hide_boxes();
    expect_section(s, real, view, "replayed from the answer file");
  }
  EXPECT_EQ(file_lines(answers), recorded);
}

// ---- The project start menu ----

TEST(StartMenu, MaskedImageOpensAndQuitEndsTheProgram) {
  x11test::Xvfb server;
  TempDir dir;
  fs::copy(fs::path(TOLSVIK_BIN_DIR) / ".." / "demo", dir.path / "demo",
           fs::copy_options::recursive);
  Session s(server, {}, dir.path / "demo");
  // The image name of the demo begins with "m": the menu of nine items.
  s.window->choose(9, 2);  // "Display masked image"
  for (int question = 0; question < 4; ++question) s.window->answer("");
  const x11test::WindowInfo main_menu = s.window->wait_menu(kMainMenuItems);

  // The picture lies right of the menu; left of it the cleared raster shows.
  const x11test::WindowInfo image = s.window->image_info();
  std::vector<uint8_t> pixels;
  std::set<uint8_t> levels;
  const double deadline = x11test::now_seconds() + 20;
  while (levels.size() < 20 && x11test::now_seconds() < deadline) {
    pixels = x11test::read_pixels(s.user.dpy(), image.id, image.width / 2 - 100,
                                  image.height / 2 - 100, 300, 300);
    levels = std::set<uint8_t>(pixels.begin(), pixels.end());
    x11test::sleep_seconds(0.1);
  }
  EXPECT_GE(levels.size(), 20u) << "the masked image does not show";
  EXPECT_LE(*levels.rbegin(), 125);

  s.window->click_item(main_menu, kReturnItem);
  s.window->choose(9, 9);  // "Quit"
  EXPECT_EQ(s.process.wait_exit(20), 0);
  const std::string out = s.process.all_stdout();
  EXPECT_NE(out.find("!!! New style 21st century map : mdemo.tvk"), std::string::npos) << out;
  EXPECT_NE(out.find("Tolsvik demo: 2D crystal image, masked"), std::string::npos) << out;
}

// ---- Scrolling through a stack ----

TEST(Scrolling, SliderShowsTheChosenSectionAndQuitEndsTheProgram) {
  x11test::Xvfb server;
  TempDir dir;
  const TestMap stack = stack_image();
  write_map(dir.path / "stack.map", stack);
  Session s(server, {}, dir.path);
  s.window->answer("stack.map");
  for (int question = 0; question < 3; ++question) s.window->answer("");  // whole map, 0..250
  s.window->choose(6, 4);  // "Scrolling display of sections"

  // Each section is a stored image centred in the image area, map row 0 at its top.
  const x11test::WindowInfo image = s.window->image_info();
  const int x0 = (image.width - stack.nx) / 2, y0 = (image.height - stack.ny) / 2;
  auto section = [&](int z) {
    Raster r(image.width, image.height);
    for (int y = 0; y < stack.ny; ++y)
      for (int x = 0; x < stack.nx; ++x)
        r.set(x0 + x, y0 + y, colour_index(stack.at(x, y, z) * 0.5));
    return r;
  };
  // The last section drawn is on show before the slider is touched.
  s.expect_picture(section(2), x0, y0, stack.nx, stack.ny, "last section after drawing");

  const x11test::WindowInfo menu = s.window->wait_menu(4);
  s.window->click_item(menu, 1);  // "Scroll through sections"
  const x11test::WindowInfo slider = s.window->wait_slider();
  // Slider at v percent shows section round(v x 3 / 100), at most the last.
  const std::pair<double, int> moves[] = {{0.05, 0}, {0.3, 1}, {0.8, 2}, {0.05, 0}};
  for (const auto& [fraction, z] : moves) {
    s.window->move_slider(slider, fraction);
    s.expect_picture(section(z), x0, y0, stack.nx, stack.ny,
                     "slider at " + std::to_string(fraction));
  }
  // A mark in the picture ends scrolling; the menu returns and "Quit Tolsvik" ends the program.
  s.window->mark(image.width - 100, image.height - 100);
  s.window->choose(4, 4);
  EXPECT_EQ(s.process.wait_exit(20), 0);
}
