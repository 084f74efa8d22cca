// Hostile and damaged input, one row each: the files the row builds, how the program (or
// kelvane) is run on them, what it must say, how the run ends, and that no file changed.
#include <sys/stat.h>

#include <bit>
#include <fstream>

#include "dialogue.h"
#include "kelvane/kelvane.h"

namespace {

using namespace prog;
namespace fs = std::filesystem;

enum class End {
  stopped,  // a fatal stop (exit status 0)
  went_on,  // asked again or displayed, until the script ran out (the child's status 99)
  refused,  // kelvane refused (exit status 1)
  done,     // kelvane did it (exit status 0)
};

struct Row {
  std::string what;
  std::function<void()> make;      // builds the input in the folder
  std::vector<std::string> args;   // the program's arguments ({"kelvane", ...} runs kelvane)
  std::string input;               // standard input of "-s"
  std::vector<std::string> typed;  // answers in the window; kAccept takes the text offered
  std::string says;                // on the terminal, or "window| " + a line shown there
  End end;
  std::vector<std::string> unchanged = {};  // files whose bytes (and kind) stay as they were
  std::function<bool()> after = [] { return true; };
};

constexpr const char* kAccept = "\n";

// Header words (counted from 1) written over a map file, as 32-bit values of this machine.
void patch(const std::string& name, int word, std::vector<uint32_t> values) {
  std::fstream f(name, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(4 * (word - 1));
  f.write(reinterpret_cast<const char*>(values.data()), 4 * values.size());
}
uint32_t real(float v) {
  return std::bit_cast<uint32_t>(v);
}

void ramp() {
  write_ramp("ramp.map", 40, 30);  // densities 0 .. 329
}

void text_file(const std::string& name, int lines) {
  write_lines(name, std::vector<std::string>(lines, "a line of a text file, not a map"));
}

// The window's lines and the label shown last, for the parent to read apart from the
// terminal's.
void tell_window() {
  for (const auto& l : script::lines_shown()) std::fprintf(stderr, "window| %s\n", l.c_str());
  const auto labels = script::log_with("label|");
  std::fprintf(stderr, "window| last label: %s\n", labels.empty() ? "" : labels.back().c_str());
}

std::string kind_and_bytes(const std::string& name) {
  std::error_code e;
  const auto status = fs::symlink_status(name, e);
  return std::to_string(static_cast<int>(status.type())) + ":" + testsupport::read_text(name);
}

TEST_F(ProgramTest, HostileInputIsToldAndChangesNoFile) {
  // Name, limits, compression, density limits, centre.
  const std::vector<std::string> image = {"ramp.map", "", "", "", ""};
  auto typed = [&](std::vector<std::string> first) {
    first.insert(first.end(), image.begin(), image.end());
    return first;
  };
  const Row rows[] = {
      // Not a map: refused with the reason under -s, asked again in the window.
      {"directory",
       [] { fs::create_directory("dir.map"); },
       {"-s"},
       "dir.map\n",
       {},
       "!!! Error - dir.map is a directory\n",
       End::stopped},
      {"directory, typed",
       [] { ramp(), fs::create_directory("dir.map"); },
       {},
       "",
       typed({"dir.map"}),
       "window| dir.map is a directory\nwindow| Please retype the file name :",
       End::went_on},
      {"named pipe",
       [] { mkfifo("pipe.map", 0644); },
       {"-s"},
       "pipe.map\n",
       {},
       "!!! Error - pipe.map is a named pipe\n",
       End::stopped},
      {"device",
       [] {},
       {"-s"},
       "/dev/null\n",
       {},
       "/dev/null is a character device\n",
       End::stopped},
      {"text typed",
       [] { ramp(), text_file("params.dat", 60); },
       {},
       "",
       typed({"params.dat"}),
       "window| params.dat is not a map file: it holds text",
       End::went_on,
       {"params.dat"}},
      {"shorter than a header, from an answer file",
       [] { write_lines("short.map", {"x"}), write_lines("answers.txt", {"short.map"}); },
       {"-f", "answers.txt"},
       "",
       {kAccept},
       "window| short.map is not a map file: shorter than a 1024-byte map header (2 bytes)",
       End::went_on,
       {"short.map", "answers.txt"}},
      {"damaged machine stamp",
       [] { ramp(), patch("ramp.map", 54, {0x2133}); },
       {"-s"},
       "ramp.map\n",
       {},
       "ramp.map has a damaged machine stamp: 33 21 names no number format\n",
       End::stopped,
       {"ramp.map"}},
      {"impossible header (already refused)",
       [] { ramp(), patch("ramp.map", 1, {~0u}); },
       {"-s"},
       "ramp.map\n",
       {},
       "must all be positive\n",
       End::stopped},
      // Sections past the data: a short read, said in the label and on the terminal.
      {"section position beyond any integer",
       [] {
         test_maps::write_rows("big.map", 16384, 64, 1, 0, [](int, int, float*) {});
         patch("big.map", 1, {16384, 1u << 30, (1u << 20) + 1});
       },
       {"-s"},
       "big.map\n0 15 0 3 1048576 1048576\n1\n0 255\n\n",
       {},
       "\nWarning : map file ended before the display was complete\n",
       End::went_on},
      {"data cut short",
       [] {
         ramp();
         fs::resize_file("ramp.map", 1024 + 4 * 40 * 10 + 6);
       },
       {"-s"},
       "ramp.map\n0 0 0 0\n1\n0 0\n\n",
       {},
       "window| last label: label|" + std::string(kTitleLine) +
           "|Warning : map file ended before the display was complete\n",
       End::went_on},
      {"all zeroes",
       [] { test_maps::write_image("zero.map", 8, 8, 1, [](int, int, int) { return 0.f; }); },
       {"-s"},
       "zero.map\n0 0 0 0\n1\n0 1\n\n",
       {},
       "\nWarning : map all zeroes\n",
       End::went_on},
      // Header limits that are not finite and increasing give way to the data's.
      {"NaN and infinite limits",
       [] {
         ramp(), patch("ramp.map", 20, {real(NAN), real(INFINITY)});
       },
       {},
       "",
       typed({}),
       "\nDensity limits NaN,Inf are not finite and increasing:"
       "\nlimits of the displayed data used, 0.000,329.0\n",
       End::went_on},
      {"limits out of order",
       [] {
         ramp(), patch("ramp.map", 20, {real(500), real(2)});
       },
       {"-s"},
       "ramp.map\n0 0 0 0\n1\n0 0\n\n",
       {},
       "\nDensity limits 500.0,2.000 are not finite and increasing:\n",
       End::went_on},
      // Bytes a terminal acts on are printed visibly.
      {"title with escapes",
       [] {
         ramp();
         patch("ramp.map", 56, {1});
         std::fstream f("ramp.map", std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(224) << "\x1b]0;owned\a\x1b[31mred\xe9";
       },
       {"-s"},
       "ramp.map\n0 0 0 0\n1\n0 0\n\n",
       {},
       "\n ^[]0;owned^G^[[31mred\\351 ",
       End::went_on},
      {"transform one row high",
       [] {
         test_maps::write_transform("row.map", 8, 1, [](int, int) { return std::pair{1.f, 1.f}; });
       },
       {"-s"},
       "row.map\n0 0\n0 0\n\n\n",
       {},
       "\nWarning : nothing shown, the transform area is one row high\n",
       End::went_on},
      // Answer files: kept unless read as one, written through links, never through the
      // recording's name.
      {"a map given as the answer file",
       [] { ramp(), fs::copy_file("ramp.map", "precious.map"); },
       {"-f", "precious.map"},
       "",
       typed({}),
       " precious.map was not read as an answer file: it is kept, the answers are saved in "
       "Tolsvik.tmp\n",
       End::went_on,
       {"precious.map"}},
      {"write-protected answer file",
       [] {
         ramp(), write_lines("answers.txt", {}),
             fs::permissions("answers.txt", fs::perms::owner_read);
       },
       {"-f", "answers.txt"},
       "",
       typed({}),
       " answers.txt is write-protected: it is kept, the answers are saved in Tolsvik.tmp\n",
       End::went_on,
       {"answers.txt"}},
      {"answer file through a link",
       [] {
         ramp(), fs::create_directory("keep"), fs::create_symlink("keep/answers.txt", "a.txt");
       },
       {"-f", "a.txt"},
       "",
       typed({}),
       "",
       End::went_on,
       {},
       [] {
         return fs::is_symlink("a.txt") && read_lines("keep/answers.txt").at(0) == "ramp.map" &&
                !fs::exists("Tolsvik.tmp") && !fs::exists("keep/Tolsvik.tmp");
       }},
      {"recording name taken by a link",
       [] {
         ramp(), write_lines("victim.txt", {"precious"}),
             fs::create_symlink("victim.txt", "Tolsvik.tmp");
       },
       {"-f", "answers.txt"},
       "",
       typed({}),
       "",
       End::went_on,
       {"victim.txt", "Tolsvik.tmp"},
       [] { return read_lines("answers.txt").at(0) == "ramp.map"; }},
      {"DATAFILE.dat a named pipe",
       [] { mkfifo("DATAFILE.dat", 0644); },
       {},
       "",
       {},
       " DATAFILE.dat is a named pipe, it is not read.\n",
       End::went_on},
      // kelvane: a write-protected parameter file is refused, a link is edited through.
      {"kelvane, write-protected",
       [] {
         write_lines("DATAFILE.dat", {"a", "b"}),
             fs::permissions("DATAFILE.dat", fs::perms::owner_read);
       },
       {"kelvane", "4", "DATAFILE.dat", "2", "x"},
       "",
       {},
       "kelvane: DATAFILE.dat is write-protected, not changed\n",
       End::refused,
       {"DATAFILE.dat"}},
      {"kelvane, dangling link",
       [] { fs::create_directory("p"), fs::create_symlink("p/DATAFILE.dat", "DATAFILE.dat"); },
       {"kelvane", "4", "DATAFILE.dat", "2", "x"},
       "",
       {},
       "",
       End::done,
       {},
       [] {
         return fs::is_symlink("DATAFILE.dat") &&
                testsupport::read_text("p/DATAFILE.dat") == "\nx\n";
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempFolder dir(true);
    row.make();
    std::vector<std::string> before;
    for (const auto& name : row.unchanged) before.push_back(kind_and_bytes(name));
    const bool kelvane = !row.args.empty() && row.args[0] == "kelvane";
    const testsupport::Finished r = testsupport::run([&] {
      if (kelvane) {
        std::vector<std::string> args = row.args;
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        std::exit(kelvane_main(static_cast<int>(argv.size()), argv.data()));
      }
      std::atexit(tell_window);
      fresh();
      for (const auto& t : row.typed) t == kAccept ? script::accept() : script::answer(t);
      run(row.args, "", row.input.empty() ? nullptr : &row.input);
      tell_window();
    });
    const int status[] = {0, 99, 1, 0};
    EXPECT_EQ(r.status, status[static_cast<int>(row.end)]) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(row.says), std::string::npos) << r.out << "---\n" << r.err;
    EXPECT_EQ((r.out + r.err).find(">>>>>> CCP4"), std::string::npos);  // no disk-layer lines
    for (size_t i = 0; i < row.unchanged.size(); ++i)
      EXPECT_EQ(kind_and_bytes(row.unchanged[i]), before[i]) << row.unchanged[i];
    EXPECT_TRUE(row.after());
  }
}

}  // namespace
