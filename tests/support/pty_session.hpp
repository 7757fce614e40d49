// A program run on a pseudo-terminal, as a user at a terminal runs it: what it
// writes is read until an expected text shows up, and keys are typed only then, so
// that an interactive program sees each key after it has set up its terminal.
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace sfsim_test {

class PtySession {
 public:
  // Runs `command` with /bin/sh -c in `dir`, on a new terminal of 200 columns.
  PtySession(const std::string& dir, const std::string& command) {
    struct winsize size = {};
    size.ws_row = 50;
    size.ws_col = 200;
    pid_ = forkpty(&fd_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~PtySession() {
    if (pid_ > 0 && status_ == -1) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  bool started() const { return pid_ > 0; }
  // Reads until `text` has appeared `times` times in all the output so far, or the
  // time runs out (false).
  bool expect(const std::string& text, int times = 1, int seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (count(text) < times) {
      if (std::chrono::steady_clock::now() > end || !read_some(100)) return false;
    }
    return true;
  }
  void type(const std::string& keys) {
    if (write(fd_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) failed_ = true;
  }
  // Reads to the end and returns the exit status (-1 when it did not end in time: it
  // is killed then, or when a signal ended it).
  int wait(int seconds = 30) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end && read_some(100)) {
    }
    int status = 0;
    pid_t got = 0;
    while ((got = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
      usleep(10000);
    if (got != pid_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status_ = -2;  // reaped
      return -1;
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    return status_ < 0 ? -1 : status_;
  }
  const std::string& output() const { return output_; }
  // How many times `text` has appeared in the output so far.
  int count(const std::string& text) const {
    int n = 0;
    for (auto at = output_.find(text); at != std::string::npos; at = output_.find(text, at + 1))
      ++n;
    return n;
  }
  bool failed() const { return failed_; }

 private:
  // false at the end of the output.
  bool read_some(int ms) {
    struct pollfd p = {fd_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return true;
    char buf[4096];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    output_.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  bool failed_ = false;
  std::string output_;
};

}  // namespace sfsim_test
