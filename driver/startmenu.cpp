#include "driver/startmenu.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "driver/answerfile.h"
#include "driver/datafile.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "driver/startup.h"
#include "textio/format.h"
#include "textio/listread.h"
#include "textio/stop.h"
#include "textio/strings.h"

namespace {

constexpr const char* kDefaultLattice = "1.0,0.0,0.0,0.1";
constexpr int kNameSearch = 40;  // the image name ends at its first blank in these columns

// The image name as read from the file: every use of the menu starts from it.
char saved_name[kLineLength];

// Reads "DATAFILE.dat" into the datafile record; false when there is no such file.
// Lines missing at the end of a short file count as blank.
bool read_datafile() {
  namespace line = datafile_line;
  std::vector<std::string> lines;
  if (!read_datafile_lines(line::kLatticeOrigin, lines)) return false;
  auto at = [&lines](int n) -> const std::string& { return lines[n - 1]; };

  set_field(datafile.image_name, at(line::kImageName));
  std::memcpy(saved_name, datafile.image_name, kLineLength);
  // The project type is an integer in its first six columns; anything unreadable counts as 0.
  const std::string& type_line = at(line::kProjectType);
  int type = 0;
  list_read_ints(type_line.substr(0, std::min<size_t>(6, type_line.size())), 1, &type);
  datafile.project_type = type;
  set_field(datafile.param_line_a, at(line::kFirstLattice));
  set_field(datafile.param_line_b, at(line::kSecondLattice));
  float params[2] = {0, 0};
  list_read_reals(at(line::kLatticeOrigin), 2, params);
  datafile.param_1 = params[0];
  datafile.param_2 = params[1];
  return true;
}

// Position (from 1) of the first blank of the image name in its first 40 columns;
// one past them when there is none.
int first_blank(const char* name) {
  for (int i = 0; i < kNameSearch; ++i)
    if (name[i] == ' ' || name[i] == '\0') return i + 1;
  return kNameSearch + 1;
}

std::string saved_base() {
  return std::string(saved_name, first_blank(saved_name) - 1);
}

void set_spot_file() {
  set_field(datafile.spot_file, saved_base() + ".spt");
}

std::string without_leading_m(std::string base) {
  if (!base.empty() && base[0] == 'm') base.erase(0, 1);
  return base;
}

// Takes a built file name: it becomes the image name and the input file name, which
// must exist.
void choose_file(const std::string& name) {
  set_field(datafile.image_name, name);
  set_field(latref.map_file, name);
  check_map_file();
}

const char* kCornerSuffix[5] = {".tl.fft.tvk", ".tr.fft.tvk", ".bl.fft.tvk", ".br.fft.tvk",
                                ".tl.fft.tvk"};

// The file of "Determine defoci in corners" for the current corner counter.
void next_corner() {
  if (datafile.corner_start != 0) datafile.corner_counter = datafile.corner_start - 1;
  const int corner = std::clamp(datafile.corner_counter, 0, 4);
  const std::string name = "CUT/" + without_leading_m(saved_base()) + kCornerSuffix[corner];
  ++datafile.corner_counter;
  if (datafile.corner_counter > 4) datafile.corner_counter = 1;
  datafile.transform_kind = 1;
  choose_file(name);
}

// Actions of the masked and plain menus: true when a file was chosen.
bool take_action(int action) {
  if (action >= 1 && action <= 6) {
    tolpixmenuhide();
    std::memcpy(datafile.image_name, saved_name, kLineLength);
  }
  const std::string base = saved_base();
  switch (action) {
    case 1:
      choose_file(without_leading_m(base) + ".tvk");
      return true;
    case 2:
      choose_file(base + ".tvk");
      return true;
    case 3:
      datafile.transform_kind = 1;
      choose_file("FFTIR/" + base + ".fft.tvk");
      return true;
    case 4:
      datafile.transform_kind = 2;
      choose_file("FFTIR/" + base + ".red.fft.tvk");
      return true;
    case 5:
      datafile.transform_kind = 1;
      datafile.central_flag = 1;
      choose_file("CUT/" + base + ".red.center.fft.tvk");
      return true;
    case 6:
      next_corner();
      return true;
    case 7:
      tolpixmenuhide();
      datafile.click_mode = 1;
      choose_file("tvkclick.tvk");
      return true;
    case 8:
      return false;
    default:
      fatal_stop();
  }
}

bool take_diffraction(int item) {
  if (item >= 1 && item <= 4) {
    static const char* suffix[4] = {".tvk", ".crt.tvk", ".ave.tvk", ".refine.tvk"};
    tolpixmenuhide();
    std::memcpy(datafile.image_name, saved_name, kLineLength);
    const int n = shorten(std::string_view(datafile.image_name, kLineLength));
    const std::string name(datafile.image_name, kLineLength);
    print_line(" df_filename: " + fmt_i(n, 6) + " = " + name.substr(0, 20));
    // The suffix follows the last non-blank character of the name.
    const std::string built = name.substr(0, n) + suffix[item - 1];
    set_field(datafile.image_name, built);
    datafile.diffraction_choice = item;
    print_line(" getting: " + std::string(datafile.image_name, 20) + " or " +
               (built + std::string(20, ' ')).substr(0, 20));
    set_field(latref.map_file, built);
    check_map_file();
    return true;
  }
  if (item == 5) return false;
  fatal_stop();
}

}  // namespace

void start_menu_reset() {
  std::memset(saved_name, ' ', kLineLength);
}

StartChoice start_menu(bool corners) {
  if (!read_datafile()) {
    std::memset(datafile.image_name, ' ', kLineLength);
    std::memset(saved_name, ' ', kLineLength);
    datafile.corner_counter = 0;
    set_field(datafile.param_line_a, kDefaultLattice);
    set_field(datafile.param_line_b, kDefaultLattice);
    return StartChoice::Other;
  }
  set_spot_file();
  datafile.transform_kind = 0;
  datafile.central_flag = 0;

  const bool masked = saved_name[0] == 'm';
  const bool diffraction = !masked && datafile.project_type == 2;
  if (corners) {
    // After CTF fitting in corner mode the next corner follows without the menu.
    std::memcpy(datafile.image_name, saved_name, kLineLength);
    next_corner();
    return StartChoice::File;
  }
  if (masked) {
    show_menu({"Display unmasked image", "Display masked image", "Display fourier transformation",
               "Display red. fourier transformation", "Display red. central fourier transformation",
               "Determine defoci in corners", "tvkclick.tvk", "Other image", "Quit"});
  } else if (diffraction) {
    show_menu({"Display Original Diff-pattern", "Display Background-subtracted Diff-pattern",
               "Display averaged peak positions", "Display origin refinement map", "Other image",
               "Quit"});
  } else {
    show_menu({"Display image", "Display fourier transformation",
               "Display red. fourier transformation", "Display red. central fourier transformation",
               "Determine defoci in corners", "tvkclick.tvk", "Other image", "Quit"});
  }
  datafile.click_mode = 0;
  datafile.corner_counter = 0;
  const int item = wait_job(1);
  bool chosen = false;
  if (diffraction)
    chosen = take_diffraction(item);
  else
    chosen = take_action(masked ? item : item + 1);
  return chosen ? StartChoice::File : StartChoice::Other;
}
