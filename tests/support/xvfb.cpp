// Starting and stopping a private Xvfb server.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "tests/support/x11_harness.h"

namespace x11test {

double now_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void sleep_seconds(double s) {
  if (s > 0) std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(s * 1000)));
}

Xvfb::Xvfb(int width, int height, int depth) {
  char log_template[] = "/tmp/tolsvik-xvfb-XXXXXX";
  int log_fd = mkostemp(log_template, O_CLOEXEC);
  if (log_fd < 0) throw std::runtime_error("Xvfb: cannot create a log file");
  unlink(log_template);  // nothing left behind, whatever happens to us

  // Xvfb picks a free display number itself and writes it to the -displayfd descriptor.
  int number_pipe[2];
  if (pipe2(number_pipe, O_CLOEXEC) != 0) {
    close(log_fd);
    throw std::runtime_error("Xvfb: pipe failed");
  }
  std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  std::string fd_arg = std::to_string(number_pipe[1]);
  // -noreset: without it the server resets whenever its last client disconnects (our own
  // readiness probe included), and a client connecting during the reset is refused.
  const char* args[] = {"Xvfb",         "-displayfd", fd_arg.c_str(), "-screen",  "0",
                        screen.c_str(), "-nolisten",  "tcp",          "-noreset", nullptr};
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    close(log_fd);
    close(number_pipe[0]);
    close(number_pipe[1]);
    throw std::runtime_error("Xvfb: fork failed");
  }
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);  // the test died before prctl took effect
    signal(SIGPIPE, SIG_DFL);
    int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) dup2(null_fd, 0);
    dup2(log_fd, 1);
    dup2(log_fd, 2);
    if (null_fd > 2) close(null_fd);
    if (log_fd > 2) close(log_fd);
    fcntl(number_pipe[1], F_SETFD, 0);  // keep the number pipe open across exec
    execvp(args[0], const_cast<char* const*>(args));
    static const char msg[] = "cannot execute Xvfb\n";
    ssize_t ignored = write(2, msg, sizeof msg - 1);
    (void)ignored;
    _exit(127);
  }
  log_fd_ = log_fd;
  close(number_pipe[1]);

  // Read the display number, then wait until a client really gets a connection.
  double deadline = now_seconds() + 10;
  std::string digits;
  bool have_number = false;
  while (!have_number && now_seconds() < deadline) {
    pollfd p{number_pipe[0], POLLIN, 0};
    int left_ms = static_cast<int>((deadline - now_seconds()) * 1000) + 1;
    if (poll(&p, 1, left_ms) <= 0) continue;
    char buf[32];
    ssize_t n = read(number_pipe[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the server exited without telling a number
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] == '\n')
        have_number = !digits.empty();
      else if (buf[i] >= '0' && buf[i] <= '9')
        digits += buf[i];
    }
  }
  close(number_pipe[0]);
  if (have_number) {
    number_ = std::atoi(digits.c_str());
    display_ = ":" + digits;
    while (now_seconds() < deadline) {
      if (Display* d = XOpenDisplay(display_.c_str())) {
        XCloseDisplay(d);
        return;
      }
      sleep_seconds(0.05);
    }
  }
  std::string log = log_text();
  stop();
  throw std::runtime_error("Xvfb did not start" +
                           (display_.empty() ? std::string() : " on " + display_) +
                           "; its output:\n" + log);
}

Xvfb::~Xvfb() {
  stop();
}

void Xvfb::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    double deadline = now_seconds() + 2;
    bool reaped = false;
    while (!reaped && now_seconds() < deadline) {
      pid_t r = waitpid(pid_, nullptr, WNOHANG);
      if (r == pid_ || (r < 0 && errno != EINTR))
        reaped = true;
      else
        sleep_seconds(0.01);
    }
    if (!reaped) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
  }
  if (log_fd_ >= 0) close(log_fd_);
  log_fd_ = -1;
}

std::string Xvfb::log_text() const {
  std::string text;
  char buf[4096];
  ssize_t n;
  for (off_t at = 0; (n = pread(log_fd_, buf, sizeof buf, at)) > 0; at += n) text.append(buf, n);
  return text;
}

}  // namespace x11test
