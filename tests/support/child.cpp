// Children on pipes, temporary folders and text files for the tests.
#include "tests/support/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testsupport {

bool in_child = false;

namespace {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Appends what `fd` holds without blocking; closes it at end of file.
void drain(int& fd, std::string& to) {
  char buf[4096];
  while (fd >= 0) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      to.append(buf, n);
    } else if (n == 0 || errno != EINTR) {
      if (n == 0 || errno != EAGAIN) close_fd(fd);
      return;
    }
  }
}

}  // namespace

void Child::start(const std::function<void()>& in_child_after_pipes) {
  signal(SIGPIPE, SIG_IGN);  // write_line reports a gone child instead
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("Child: pipe failed");
  std::fflush(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("Child: fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    in_child_after_pipes();
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  in_ = in[1], out_ = out[0], err_ = err[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
  fcntl(err_, F_SETFL, O_NONBLOCK);
}

Child::Child(const std::vector<std::string>& argv, const std::string& display,
             const std::string& cwd) {
  // Everything exec needs is made before fork: the child makes async-signal-safe calls only.
  std::vector<std::string> env, args = argv;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  std::vector<char*> envp, argp;
  for (auto& s : env) envp.push_back(s.data());
  for (auto& s : args) argp.push_back(s.data());
  envp.push_back(nullptr);
  argp.push_back(nullptr);
  const std::string failed = "cannot run " + argv.at(0) + " in '" + cwd + "'\n";
  start([&] {
    signal(SIGPIPE, SIG_DFL);
    if (cwd.empty() || chdir(cwd.c_str()) == 0) execvpe(argp[0], argp.data(), envp.data());
    if (write(2, failed.data(), failed.size()) < 0) _exit(127);
  });
}

Child::Child(const std::function<void()>& body) {
  start([&] {
    in_child = true;
    body();
    std::fflush(nullptr);
    _exit(99);
  });
}

Child::~Child() {
  close_stdin();
  for (const double deadline = now() + 2; !reap(false) && now() < deadline;) pump(20);
  if (!reap(false)) kill(pid_, SIGKILL), reap(true);
  close_fd(out_);
  close_fd(err_);
}

void Child::write_line(const std::string& line) {
  const std::string data = line + "\n";
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = in_ < 0 ? -1 : write(in_, data.data() + done, data.size() - done);
    if (n < 0 && errno != EINTR)
      throw std::runtime_error("the child no longer reads \"" + line + "\":\n" + err());
    done += std::max<ssize_t>(n, 0);
  }
}

void Child::close_stdin() {
  close_fd(in_);
}

bool Child::pump(int timeout_ms) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  if ((out_ >= 0 || err_ >= 0) && poll(fds, 2, timeout_ms) > 0) {
    const size_t before = pending_.size();
    drain(out_, pending_);
    out_all_ += pending_.substr(before);
    drain(err_, err_all_);
  }
  return out_ >= 0;
}

std::vector<std::string> Child::read_until(const std::string& marker, double timeout) {
  for (const double deadline = now() + timeout;;) {
    std::vector<std::string> lines;
    for (size_t start = 0, nl; (nl = pending_.find('\n', start)) != std::string::npos;
         start = nl + 1) {
      lines.push_back(pending_.substr(start, nl - start));
      if (lines.back() == marker) {
        pending_.erase(0, nl + 1);
        lines.pop_back();
        return lines;
      }
    }
    const double left = deadline - now();
    if (out_ < 0 || left <= 0)
      throw std::runtime_error("no line \"" + marker + "\" (" +
                               (out_ < 0 ? "stdout closed" : "timed out") + "); stdout:\n" +
                               pending_ + "--- stderr:\n" + err());
    pump(std::clamp(static_cast<int>(left * 1000), 1, 100));
  }
}

std::string Child::out() {
  pump(0);
  return out_all_;
}

std::string Child::err() {
  pump(0);
  return err_all_;
}

bool Child::reap(bool block) {
  int st = 0;
  pid_t r = 0;
  while (!exited_ && ((r = waitpid(pid_, &st, block ? 0 : WNOHANG)) != 0)) {
    if (r < 0 && errno == EINTR) continue;
    exited_ = true;
    status_ = r < 0 ? -1 : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : WEXITSTATUS(st);
  }
  return exited_;
}

bool Child::running() {
  return !reap(false);
}

int Child::wait_exit(double timeout) {
  for (const double deadline = now() + timeout; !reap(false); pump(20))
    if (now() >= deadline)
      throw std::runtime_error("the child still runs after " + std::to_string(timeout) +
                               " s; stderr:\n" + err());
  // What is left in the pipes; a grandchild holding them open must not make us wait.
  for (size_t before = 0; before != out_all_.size() + err_all_.size();) {
    before = out_all_.size() + err_all_.size();
    pump(0);
  }
  return status_;
}

namespace {
Finished finish(Child& c) {
  c.close_stdin();
  const int status = c.wait_exit(120);
  return {status, c.out(), c.err()};
}
}  // namespace

Finished run(const std::vector<std::string>& argv, const std::string& cwd) {
  Child c(argv, "", cwd);
  return finish(c);
}

Finished run(const std::function<void()>& body) {
  Child c(body);
  return finish(c);
}

TempFolder::TempFolder(bool enter) : owner_(getpid()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolsvik-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  if (enter) previous_ = std::filesystem::current_path(), std::filesystem::current_path(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!previous_.empty()) std::filesystem::current_path(previous_, ignored);
  if (getpid() == owner_) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void write_lines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path);
  for (const auto& l : lines) out << l << "\n";
}

std::string read_text(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

}  // namespace testsupport
