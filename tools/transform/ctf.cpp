#include "tools/transform/ctf.h"

#include <algorithm>
#include <string>
#include <vector>

#include "display/tolpix.h"
#include "driver/coords.h"
#include "driver/datafile.h"
#include "driver/dialogue.h"
#include "driver/records.h"
#include "textio/format.h"
#include "tools/transform/ctf_rings.h"
#include "tools/transform/editor.h"

namespace {

constexpr int kLinesRead = 160;  // of DATAFILE.dat
constexpr int kSomeRings = 4;    // rings drawn while only some are shown
constexpr int kMarkerEnd = 50;   // the corner marker is blank-filled to this column

constexpr const char* kCornerNames[4] = {"Top Left", "Top Right", "Bottom Left", "Bottom Right"};
constexpr const char* kCornerItems[4] = {"Defocus Top      Left   = ", "Defocus Top      Right = ",
                                         "Defocus Bottom Left   = ", "Defocus Bottom Right = "};

// The state of one call of the tool.
struct Fitting {
  CtfSettings settings;
  CtfOptics optics;
  DefocusFit fit;
  int corner = 0;  // 1 to 4 in corner mode, else 0
  bool rings_shown = true;
  bool all_rings = true;
  std::vector<std::string> notes;  // label lines below the defocus line
};

std::string defocus_line(const DefocusFit& f) {
  return "Current defocus = " + fmt_f(f.d1, 9, 2) + fmt_f(f.d2, 9, 2) + fmt_f(f.angle, 9, 3);
}

float mean_defocus(const DefocusFit& f) {
  return (f.d1 + f.d2) / 2.0f;
}

// Removes the rings drawn before and draws the rings of the values now fitted, each one
// whose radii both stay inside the transform.
void draw_rings(const Fitting& f) {
  int x = 0, y = 0;
  convert_to_screen(0, 0, x, y);
  tolpixremovevectors();
  if (!f.rings_shown) return;
  const ThonRings rings = thon_rings(f.optics, f.fit.d1, f.fit.d2);
  const int count = f.all_rings ? rings.count : std::min(rings.count, kSomeRings);
  const int half = f.optics.size / 2;
  for (int i = 0; i < count; ++i) {
    if (rings.r1[i] >= half || rings.r2[i] >= half) continue;
    tolpixdrawelipse(x, y, rings.r1[i], rings.r2[i], f.fit.angle);
  }
}

// The label: the corner being fitted (corner mode), the values fitted, and the notes.
void show_fitting_label(const Fitting& f) {
  reset_message_lines(0);
  if (f.corner != 0) push_message_line(std::string("Fitting image ") + kCornerNames[f.corner - 1]);
  push_message_line(defocus_line(f.fit));
  const int base = gen.message_lines;
  for (const std::string& note : f.notes) push_message_line(note);
  show_label(gen.message_lines);
  reset_message_lines(base);
}

// Item 3 to 6 of the corner menu: a corner's defocus, the one being fitted marked.
std::string corner_item(const Fitting& f, int corner) {
  std::string text = kCornerItems[corner - 1];
  if (corner == f.corner)
    text += fmt_f(mean_defocus(f.fit), 9, 0);
  else if (f.settings.corner_known[corner - 1])
    text += fmt_f(f.settings.corner[corner - 1], 9, 0);
  else
    text += std::string(9, ' ');  // not determined yet
  if (corner == f.corner) {
    text.resize(37 - corner, ' ');  // the marker starts in column 38 - corner
    text += "<=====";
    text.resize(kMarkerEnd, ' ');
  }
  return text;
}

// Stores the values fitted: the corner's mean defocus in its line, or the whole image's
// defocus pair and angle in line 34. A failure goes into the notes.
bool save(Fitting& f, bool corner_line) {
  const auto commands =
      corner_line
          ? corner_save_commands(datafile_line::kCornerDefocus + f.corner - 1, mean_defocus(f.fit))
          : defocus_save_commands(f.fit.d1, f.fit.d2, f.fit.angle);
  std::string failure;
  if (run_editor_commands(commands, failure)) return true;
  f.notes = {failure};
  return false;
}

// The whole image's menu; true when the tool ends.
bool whole_image_choice(Fitting& f) {
  const int item = menu_choice(
      {f.rings_shown ? "Thon-Rings OFF" : "Thon-Rings ON",
       f.all_rings ? "Show only some Thon-Rings" : "Show all Thon-Rings", "Increase defocus slow",
       "Decrease defocus slow", "Increase defocus fast", "Decrease defocus fast",
       "Increase defocus in X-dir", "Increase defocus in Y-dir", "Reset astigmatism",
       "Increase angle slow", "Decrease angle slow", "Increase angle fast", "Decrease angle fast",
       "Save to DATAFILE.dat and return", "Return without saving"});
  f.notes.clear();
  if (item == 1) f.rings_shown = !f.rings_shown;
  if (item == 2) f.all_rings = !f.all_rings;
  whole_image_button(item, f.fit);
  if (item == 14) return save(f, false);
  return item == 15;
}

// The corner's menu; true when the tool ends.
bool corner_choice(Fitting& f) {
  datafile.corner_start = 0;
  const int item = menu_choice(
      {f.rings_shown ? "Thon-Rings OFF" : "Thon-Rings ON",
       f.all_rings ? "Show only some Thon-Rings" : "Show all Thon-Rings", corner_item(f, 1),
       corner_item(f, 2), corner_item(f, 3), corner_item(f, 4),
       "  ******  Increase defocus slow ******", "  ****** Decrease defocus slow ******",
       "  ******  Increase defocus fast ******", "  ****** Decrease defocus fast ******",
       "Save to DATAFILE.dat and return", "Return without saving"});
  f.notes.clear();
  if (item == 1) f.rings_shown = !f.rings_shown;
  if (item == 2) f.all_rings = !f.all_rings;
  corner_button(item, f.fit);
  if (item >= 3 && item <= 6) {
    // The corner fitted is stored; the chosen corner is the one the start menu shows next.
    datafile.corner_start = item - 2;
    return save(f, true);
  }
  if ((item == 11 && save(f, false)) || item == 12) {
    datafile.corner_counter = 0;
    return true;
  }
  return false;
}

// Reads DATAFILE.dat and the display into the fitting's start; every reason why no rings
// can be drawn goes into `problems`.
bool start(Fitting& f, std::vector<std::string>& problems) {
  std::vector<std::string> lines;
  int present = 0;
  if (!read_datafile_lines(kLinesRead, lines, &present)) {
    problems.push_back("DATAFILE.dat not found: no microscope values for the rings");
    return false;
  }
  read_ctf_settings(lines, present, f.settings, problems);
  if (gen.is_image != 0 || gen.nx < 2)
    problems.push_back("CTF fitting needs a transform on display");
  if (datafile.transform_kind != 1 && datafile.transform_kind != 2)
    problems.push_back("Sampling of this transform unknown: open it from the start menu");
  if (!problems.empty()) return false;

  f.optics = ctf_optics(f.settings, datafile.transform_kind, datafile.central_flag, gen.nx);
  const int counter = datafile.corner_counter;
  f.corner = counter >= 1 && counter <= 4 ? counter : 0;
  datafile.corner_counter = f.corner;
  f.fit = start_fit(f.settings, f.corner);
  if (f.corner != 0 && !f.settings.corner_known[f.corner - 1])
    f.notes.push_back("DATAFILE.dat line " +
                      std::to_string(datafile_line::kCornerDefocus + f.corner - 1) +
                      " holds no defocus: starting from line 34");
  return true;
}

// Tells why no rings are drawn and waits until the user has read it. The corner cycle
// cannot go on without the values either.
void refuse(const std::vector<std::string>& problems) {
  datafile.corner_counter = 0;
  reset_message_lines(0);
  push_message_line("CTF fitting: no Thon rings can be drawn");
  for (const std::string& p : problems) push_message_line(p);
  show_label(gen.message_lines);
  menu_choice({"Return main menu"});
}

}  // namespace

void ctffit() {
  tolpixmenuhide();
  tolpixlabelhide();
  // The main menu's title line comes back when the tool is done.
  const std::string title(gen.message_text[0], kLineLength);
  const int lines_in_use = gen.message_lines;

  Fitting f;
  std::vector<std::string> problems;
  if (start(f, problems)) {
    for (bool done = false; !done;) {
      draw_rings(f);
      show_fitting_label(f);
      done = f.corner != 0 ? corner_choice(f) : whole_image_choice(f);
    }
  } else {
    refuse(problems);
  }

  tolpixmenuhide();
  tolpixlabelhide();
  tolpixoverlayhide();
  tolpixremovevectors();
  if (datafile.corner_counter >= 1) {
    tolpixclearimage();
    gen.new_display = 1;
  }
  set_message_line(1, title);
  reset_message_lines(lines_in_use);
}
