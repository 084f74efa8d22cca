// demo_shot: shows the demo project on a private 8-bit X server and saves a screenshot.
//   demo_shot [-timeout seconds] DEMO_FOLDER OUT.png
//
// Starts Xvfb, runs `tolsvik` (found on PATH) in DEMO_FOLDER, opens the masked image through
// the start menu the way a user would (accepting the offered answers to the start-up
// questions), waits for the main menu and the picture, writes the screen as PNG and prints its
// path. Tolsvik and the server are ended afterwards. This is what the README's run command
// does on a machine without a display.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "samples/program_window.h"
#include "samples/xdrive.h"

extern char** environ;

namespace {

constexpr int kStartMenuItems = 9;  // the start menu of a masked image
constexpr int kMaskedImageItem = 2;
constexpr int kMainMenuItems = 21;
constexpr int kStartQuestions = 4;  // limits, compression, density limits, section centre

// Tolsvik in `folder` on `display`, its output into the file `log_fd`.
pid_t start_tolsvik(const std::string& folder, const std::string& display, int log_fd) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  env.push_back("DISPLAY=" + display);
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  char name[] = "tolsvik";
  char* argv[] = {name, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, log_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, log_fd, 2);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, name, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot run tolsvik: " + std::string(strerror(failed)));
  return pid;
}

// True when the middle of the image area holds picture, not the black background.
bool picture_shown(xdrive::ProgramWindow& window) {
  const xdrive::WindowInfo image = window.image_info();
  int lit = 0;
  for (uint8_t v : xdrive::read_pixels(window.dpy(), image.id, image.width / 2 - 50,
                                       image.height / 2 - 50, 100, 100))
    lit += v > 0 && v < 128;
  return lit > 100;
}

void show(const std::string& display, double timeout, const std::string& path) {
  xdrive::XUser user(display);
  xdrive::ProgramWindow window(user, timeout);
  window.choose(kStartMenuItems, kMaskedImageItem);
  for (int i = 0; i < kStartQuestions; ++i) window.answer("");
  window.wait_menu(kMainMenuItems);
  for (const double deadline = xdrive::now_seconds() + timeout; !picture_shown(window);) {
    if (xdrive::now_seconds() > deadline) throw std::runtime_error("the picture did not appear");
    xdrive::sleep_seconds(0.1);
  }
  user.move(0, 0);  // the pointer out of the picture
  if (!xdrive::screenshot(user.dpy(), path, "Zevar"))
    throw std::runtime_error("cannot save the screen to " + path);
}

}  // namespace

int main(int argc, char** argv) {
  double timeout = 60;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-timeout") && i + 1 < argc)
      timeout = std::atof(argv[++i]);
    else
      names.emplace_back(argv[i]);
  }
  if (names.size() != 2 || timeout <= 0) {
    std::fprintf(stderr, "usage: demo_shot [-timeout seconds] DEMO_FOLDER OUT.png\n");
    return 2;
  }
  char log_name[] = "/tmp/tolsvik-demo-XXXXXX";
  const int log_fd = mkstemp(log_name);
  if (log_fd < 0) return std::perror("demo_shot: log file"), 1;
  unlink(log_name);
  pid_t tolsvik = -1;
  int status = 0;
  std::unique_ptr<xdrive::Xvfb> server;
  try {
    server = std::make_unique<xdrive::Xvfb>(1280, 1024, 8);
    tolsvik = start_tolsvik(names[0], server->display(), log_fd);
    show(server->display(), timeout, names[1]);
    std::printf("%s\n", names[1].c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_shot: %s\n", e.what());
    std::string said(16384, '\0');
    said.resize(std::max<ssize_t>(pread(log_fd, said.data(), said.size(), 0), 0));
    if (!said.empty()) std::fprintf(stderr, "Tolsvik said:\n%s", said.c_str());
    status = 1;
  }
  if (tolsvik > 0) {
    kill(tolsvik, SIGTERM);
    waitpid(tolsvik, nullptr, 0);
  }
  return status;
}
