// The program under test as a child process talking through pipes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/x11_harness.h"

extern char** environ;

namespace x11test {
namespace {

// Reads everything `fd` has without blocking; closes it at end of file.
void drain(int& fd, std::string& a, std::string* b) {
  char buf[4096];
  while (fd >= 0) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      a.append(buf, n);
      if (b) b->append(buf, n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      break;
    } else {
      close(fd);
      fd = -1;
    }
  }
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::string& env_display,
                 const std::string& cwd) {
  if (argv.empty()) throw std::runtime_error("Process: empty command");
  // A child that dies while we write to it must not take the test down with SIGPIPE;
  // write_line reports EPIPE instead.
  signal(SIGPIPE, SIG_IGN);

  // Everything exec needs is built before fork: the child may only make async-signal-safe calls.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  if (!env_display.empty()) env.push_back("DISPLAY=" + env_display);
  std::vector<char*> envp, args;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (auto& s : argv_copy) args.push_back(s.data());
  args.push_back(nullptr);
  std::string cd_failed = "cannot change to " + cwd + "\n";
  std::string exec_failed = "cannot execute " + argv[0] + "\n";

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("Process: pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]);
    throw std::runtime_error("Process: pipe failed");
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]), close(out[0]), close(out[1]);
    throw std::runtime_error("Process: pipe failed");
  }
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    throw std::runtime_error("Process: fork failed");
  }
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    signal(SIGPIPE, SIG_DFL);  // an ignored SIGPIPE would survive exec
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    ssize_t ignored = 0;
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
      ignored = write(2, cd_failed.data(), cd_failed.size());
      _exit(127);
    }
    execvpe(args[0], args.data(), envp.data());
    ignored = write(2, exec_failed.data(), exec_failed.size());
    (void)ignored;
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_fd_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  fcntl(err_fd_, F_SETFL, O_NONBLOCK);
}

Process::~Process() {
  close_stdin();
  double deadline = now_seconds() + 2;
  while (!reap(false) && now_seconds() < deadline) pump(20);
  if (!reap(false)) {
    kill(pid_, SIGKILL);
    reap(true);
  }
  close_fd(out_fd_);
  close_fd(err_fd_);
}

void Process::write_line(const std::string& line) {
  std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = in_fd_ < 0 ? -1 : write(in_fd_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw std::runtime_error("Process: cannot send \"" + line +
                               "\": the child no longer reads stdin\n--- stderr ---\n" +
                               stderr_text());
    done += n;
  }
}

void Process::close_stdin() {
  close_fd(in_fd_);
}

bool Process::pump(int timeout_ms) {
  pollfd fds[2];
  int n = 0;
  if (out_fd_ >= 0) fds[n++] = {out_fd_, POLLIN, 0};
  if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
  if (n == 0) return false;
  if (poll(fds, n, timeout_ms) > 0) {
    drain(out_fd_, pending_, &stdout_all_);
    drain(err_fd_, stderr_all_, nullptr);
  }
  return out_fd_ >= 0;
}

std::vector<std::string> Process::read_until(const std::string& marker, double timeout) {
  double deadline = now_seconds() + timeout;
  for (;;) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = pending_.find('\n', start)) != std::string::npos;) {
      std::string line = pending_.substr(start, nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      start = nl + 1;
      if (line == marker) {
        pending_.erase(0, start);
        return lines;
      }
      lines.push_back(std::move(line));
    }
    double left = deadline - now_seconds();
    if (out_fd_ < 0 || left <= 0) {
      std::string why = out_fd_ < 0 ? "the child closed stdout" : "timed out";
      throw std::runtime_error("read_until(\"" + marker + "\"): " + why +
                               " before the marker\n--- stdout not yet returned ---\n" + pending_ +
                               "--- stderr ---\n" + stderr_text());
    }
    pump(std::clamp(static_cast<int>(left * 1000), 1, 100));
  }
}

std::string Process::stderr_text() {
  pump(0);
  return stderr_all_;
}

std::string Process::all_stdout() {
  pump(0);
  return stdout_all_;
}

bool Process::reap(bool block) {
  while (!exited_) {
    int st = 0;
    pid_t r = waitpid(pid_, &st, block ? 0 : WNOHANG);
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) return false;
    exited_ = true;
    if (r < 0)
      status_ = -1;
    else
      status_ = WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
  }
  return true;
}

bool Process::running() {
  return !reap(false);
}

int Process::wait_exit(double timeout) {
  double deadline = now_seconds() + timeout;
  while (!reap(false)) {
    if (now_seconds() >= deadline)
      throw std::runtime_error("Process: still running after " + std::to_string(timeout) +
                               " s\n--- stderr ---\n" + stderr_text());
    if (out_fd_ >= 0 || err_fd_ >= 0)
      pump(20);
    else
      sleep_seconds(0.01);
  }
  // Collect what the child left in the pipes; a grandchild still holding them open must not
  // make us wait, so stop as soon as a pass reads nothing.
  size_t before;
  do {
    before = stdout_all_.size() + stderr_all_.size();
    pump(0);
  } while (before != stdout_all_.size() + stderr_all_.size());
  return status_;
}

}  // namespace x11test
