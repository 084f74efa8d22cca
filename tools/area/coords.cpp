#include "tools/area/coords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "display/tolpix.h"
#include "driver/coords.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "mapfile/mapfile.h"
#include "textio/format.h"
#include "textio/stop.h"
#include "textio/strings.h"
#include "textio/textfile.h"
#include "tools/area/coord_files.h"

CoordsRecord coords;

namespace {

constexpr int kMark = 3;           // half size of the box around a position
constexpr int kLastListLine = 59;  // the label lines a list may fill
constexpr int kFixedLines = 3;     // the lines that stay when the list scrolls
constexpr char kClickFile[] = "tvkclick.dat";
constexpr char kMarkLine[] = "Mark cursor positions with left hand mouse button";
constexpr char kTooMany[] = "Too many spots for program, <cr> to return main menu";

// ---- Replacing the coordinate file ----

// Makes a new file beside `name` (O_EXCL, as mkstemp does) and returns its descriptor.
int file_beside(const std::string& name, std::string& temp) {
  const std::size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  temp = (slash == std::string::npos ? "./" : folder) + "." + base + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) temp.clear();
  return fd;
}

// Whether `name` can be replaced when the list is written: a file can be made in its folder
// and an existing file may be written.
bool replaceable(const std::string& name, bool exists) {
  if (exists && access(name.c_str(), W_OK) != 0) return false;
  std::string temp;
  const int fd = file_beside(name, temp);
  if (fd < 0) return false;
  close(fd);
  unlink(temp.c_str());
  return true;
}

// Writes the new file beside `name` and renames it over `name`; `name` is untouched on failure.
// A name that is a symbolic link keeps it: the file it leads to is replaced.
bool replace_file(std::string name, const std::function<void(TextWriter&)>& write) {
  if (char* real = realpath(name.c_str(), nullptr)) {
    name = real;
    std::free(real);
  }
  std::string temp;
  const int fd = file_beside(name, temp);
  if (fd < 0) return false;
  struct stat old;
  mode_t mode = 0;
  if (stat(name.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  TextWriter out(fd);
  write(out);
  if (out.close(true) && std::rename(temp.c_str(), name.c_str()) == 0) return true;
  const int saved = errno;
  unlink(temp.c_str());
  errno = saved;
  return false;
}

// ---- The list on the screen and in the label ----

Position table[kMaxPositions];
struct Shown {
  uint8_t lines;  // label lines of the position
  bool point;     // clicked (a point under its box), not read from the file
};
Shown shown[kMaxPositions];

CoordFileInfo file_info() {
  return {gen.is_image == 1, gen.ny, field_text(latref.map_file)};
}

// The position's box and number on the screen (with the point of a click).
void mark_position(int k, bool draw) {
  int sx = 0, sy = 0;
  convert_to_screen(table[k - 1].x, table[k - 1].y, sx, sy);
  const std::string number = std::to_string(k);
  const int32_t length = static_cast<int32_t>(number.size());
  if (draw) {
    if (shown[k - 1].point) tolpixdrawpoint(sx, sy);
    tolpixdrawbox(sx - kMark, sy - kMark, sx + kMark, sy + kMark);
    tolpixdrawtext(sx + kMark, sy + kMark, number.c_str(), length);
  } else {
    if (shown[k - 1].point) tolpixremovepoint(sx, sy);
    tolpixremovebox(sx - kMark, sy - kMark, sx + kMark, sy + kMark);
    tolpixremovetext(sx + kMark, sy + kMark, number.c_str(), length);
  }
}

// Adds a label line of a position; the first line of a position first makes room at the bottom
// of a full label, moving the lines below the fixed ones up by two.
void list_line(std::string_view text, bool first) {
  if (first && gen.message_lines + 1 > kLastListLine) {
    for (int n = kFixedLines + 1; n <= kLastListLine - 2; ++n)
      std::memcpy(gen.message_text[n - 1], gen.message_text[n + 1], kLineLength);
    gen.message_lines = kLastListLine - 2;
  }
  push_message_line(text);
}

std::string screen_text(int sx, int sy) {
  return "Screen coordinates = " + fmt_i(sx, 6) + fmt_i(sy, 6);
}

// Draws the positions read from the file and lists them in the label.
void show_read_positions() {
  for (int k = 1; k <= coords.npos; ++k) {
    shown[k - 1] = Shown{2, false};
    mark_position(k, true);
    const Position& p = table[k - 1];
    int sx = 0, sy = 0;
    convert_to_screen(p.x, p.y, sx, sy);
    list_line(screen_text(sx, sy), true);
    if (gen.is_image == 1)
      list_line("Map coordinates = " + fmt_i(p.x, 6) + fmt_i(p.y, 6) +
                    " density = " + fmt_f(p.value, 8, 1),
                false);
    else
      list_line("Transform origin f(0,0) = " + fmt_i(p.x, 5) + fmt_i(p.y, 5) + " int,amp = " +
                    fmt_f(p.value, 10, 1) + fmt_f(std::sqrt(std::max(p.value, 0.0f)), 10, 1),
                false);
  }
}

// Element `column` of row `row` of section `section` of the map on display (two reals for a
// transform); false when it lies outside the map or cannot be read.
bool read_element(int section, int row, int column, float* out) {
  if (row < 0 || row >= gen.ny || column < 0 || column >= gen.nx) return false;
  imposn(1, section, row);
  return irdpal(1, out, column, column) == 0;
}

// A click on the picture: marked, numbered, valued and listed. False when the list is full.
bool add_click() {
  int32_t sx = 0, sy = 0;
  tolpixreadmenupointer(sx, sy);
  // Screen row sy is raster row raster_height - sy.
  if (sx < 0 || sx >= gen.raster_width || sy < 1 || sy > gen.raster_height) {
    show_label_below({"Out of bounds, try again!"});
    return true;
  }
  tolpixdrawpoint(sx, sy);
  tolpixdrawbox(sx - kMark, sy - kMark, sx + kMark, sy + kMark);
  if (coords.npos >= kMaxPositions) {
    Answer ignored;
    ask_below({kTooMany}, ignored);
    return false;
  }
  const int k = ++coords.npos;
  const std::string number = std::to_string(k);
  tolpixdrawtext(sx + kMark, sy + kMark, number.c_str(), static_cast<int32_t>(number.size()));
  const int32_t colour =
      map.raster[(int64_t{gen.raster_height} - sy) * gen.raster_width + int64_t{sx}];
  int x = 0, y = 0;
  convert_to_image(sx, sy, x, y);
  float value = 0.0f;
  list_line(screen_text(sx, sy) + " colour  =" + fmt_i(colour, 4), true);
  shown[k - 1] = Shown{1, true};
  if (gen.is_image != 1) {
    int column = 0, row = 0;
    convert_to_transform(x, y, column, row);
    float e[2] = {0, 0};
    if (!read_element(0, row, (column - 1) / 2, e)) e[0] = e[1] = 0;
    value = e[0] * e[0] + e[1] * e[1];
    const float phase = e[1] == 0 ? 0.0f : std::atan(e[0] / e[1]);
    list_line("Transform origin f(0,0) = " + fmt_i(x, 5) + fmt_i(y, 5) + " int,amp,phase = " +
                  fmt_f(value, 12, 0) + fmt_f(std::sqrt(value), 8, 0) + fmt_f(phase, 6, 2),
              false);
    shown[k - 1].lines = 2;
  } else if (gen.display_count == 1) {
    if (x >= gen.first_x && x <= gen.last_x && y >= gen.first_y && y <= gen.last_y &&
        !read_element(gen.first_z, y, x, &value))
      value = 0.0f;
    list_line("Map coordinates = " + fmt_i(x, 6) + fmt_i(y, 6) + " density = " + fmt_f(value, 8, 1),
              false);
    shown[k - 1].lines = 2;
  }
  table[k - 1] = Position{x, y, value};
  show_label(gen.message_lines);
  return true;
}

// Takes the last position off the screen, the label and the list; nothing when there is none.
void delete_last(int fixed_lines) {
  if (coords.npos < 1) return;
  mark_position(coords.npos, false);
  gen.message_lines = std::max(fixed_lines, gen.message_lines - shown[coords.npos - 1].lines);
  show_label(gen.message_lines);
  --coords.npos;
}

// ---- The coordinate file ----

enum class Opened { ready, cancelled, too_many };

// Asks for the coordinate file until one can be used and reads it when it exists. An empty
// name cancels. The file itself is not touched.
Opened open_file(CoordLayout layout, std::string& file) {
  char name[kFileNameLength];
  set_field(name, datafile.click_mode == 1 ? kClickFile : "");
  datafile.click_mode = 0;
  std::string trouble;
  while (true) {
    reset_message_lines(1);
    set_message_line(2, "Coordinate file name ...");
    set_message_line(3, trouble);
    ask_name(trouble.empty() ? 2 : 3, name, kFileNameLength);
    file = std::string(field_text(name));
    if (file.empty()) return Opened::cancelled;
    const bool exists = file_exists(file);
    set_message_line(2, exists ? "Reading from an existing file..." : "Opening a new file...");
    set_message_line(3, kMarkLine);
    show_label(3);
    trouble = "File cannot be written, please re-type :";
    if (!replaceable(file, exists)) continue;
    coords.npos = 0;
    if (exists) {
      TextReader in(file);
      trouble = "File cannot be read, please re-type :";
      if (!in.is_open()) continue;
      const CoordFileRead got = read_coord_file(in, layout, gen.ny, table, coords.npos);
      if (in.failed()) continue;
      if (got.outcome == CoordFileRead::too_many) {
        Answer ignored;
        ask_below({kTooMany}, ignored);
        return Opened::too_many;
      }
      if (got.outcome == CoordFileRead::bad_line) {
        trouble = "Line " + std::to_string(got.line) + " is no coordinate record, please re-type :";
        coords.npos = 0;
        continue;
      }
    }
    reset_message_lines(kFixedLines);
    show_read_positions();
    return Opened::ready;
  }
}

}  // namespace

void output_coords() {
  CoordLayout layout = CoordLayout::standard;
  std::string file;
  while (true) {
    coords.npos = 0;
    reset_message_lines(1);
    tolpixlabelhide();
    tolpixmenuhide();
    if (gen.display_count > 1) push_message_line("Warning - this option cannot find map values");
    show_label_below({"Select output format for new or old file"});
    reset_message_lines(2);
    if (datafile.click_mode != 1) {
      const int item = menu_choice(
          {"Screen only", "Standard format", "Spider format", "Imagic format", "Return main menu"});
      tolpixmenuhide();
      if (item == 5) return;
      if (item == 1) {
        layout = CoordLayout::screen_only;
        tolpixlabelhide();
        set_message_line(2, kMarkLine);
        break;
      }
      layout = item == 2 ? CoordLayout::standard
                         : (item == 3 ? CoordLayout::spider : CoordLayout::imagic);
    }
    const Opened opened = open_file(layout, file);
    if (opened == Opened::too_many) return;
    if (opened == Opened::ready) break;
  }

  const int fixed_lines = gen.message_lines;
  show_label(gen.message_lines);
  // The menu is made again after every step, under the label as it now is.
  for (int job = 0; job != 3;) {
    job = menu_choice({"Hide zoom area", "Delete previous position", "Return main menu"},
                      {kJobPointer});
    if (job == kJobPointer && !add_click()) return;
    if (job == 1) tolpixzoomhide();
    if (job == 2) delete_last(fixed_lines);
  }
  tolpixmenuhide();
  tolpixlabelhide();
  if (layout == CoordLayout::screen_only) return;
  const bool written = replace_file(file, [&](TextWriter& out) {
    write_coord_file(out, layout, file_info(), std::span<const Position>(table, coords.npos));
  });
  if (!written) {
    print_line(" Coordinate file " + file + " not written: " + std::strerror(errno));
    Answer ignored;
    ask_below({"Coordinate file cannot be written, <cr> to return main menu"}, ignored);
  }
}
