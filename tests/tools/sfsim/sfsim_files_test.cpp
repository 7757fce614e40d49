// What sfsim leaves on disk and on the terminal: outputs named through symbolic links,
// the permissions of a replaced file, long names, interrupted runs and closed pipes,
// and the progress line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sfsim_fixture.hpp"

namespace {

using namespace sfsim_test;
namespace fs = std::filesystem;

const std::vector<std::string> kRun = {"run", "--model",   "Harnvale", "--chart",
                                       "3",   "--z-range", "0:1:3"};

unsigned mode_of(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

bool scratch_left(const fs::path& dir) {
  for (const auto& name : files_in(dir))
    if (name.find(".part-") != std::string::npos) return true;
  return false;
}

// Waits up to `seconds` for `done`; false when it never came.
bool eventually(const std::function<bool()>& done, int seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class Files : public Sfsim {
 protected:
  // sfsim started in the test's folder with every signal at its default disposition
  // (as from an interactive shell), standard output to `out_fd`, error to stderr.txt.
  pid_t start(const std::vector<std::string>& args, int out_fd) const {
    const std::string bin = binary();
    std::vector<char*> argv{const_cast<char*>(bin.c_str())};
    for (const auto& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string err = path("stderr.txt").string();
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(127);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out_fd, 1);
      dup2(e, 2);
      for (int fd = 3; fd < 1024; ++fd)
        close(fd);  // the read end of a pipe, above all
      for (int sig = 1; sig < NSIG; ++sig)
        signal(sig, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    return pid;
  }
  // The wait status of `pid`; it is killed (and the test fails) after 30 s.
  static int finish(pid_t pid) {
    int status = 0;
    if (!eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30)) {
      ADD_FAILURE() << "sfsim did not end";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    return status;
  }
};

// An output is decided on by what its name leads to. A link is never replaced: a
// regular file it leads to (through a chain, or a descriptor's link) is, a link to
// nothing makes its target, a device or a pipe is written through. A replaced file
// keeps its mode, a new one gets the default under the umask; names up to 255 bytes
// work (the scratch name is shortened).
TEST_F(Files, OutputsKeepLinksAndModesAndTakeLongNames) {
  const std::string csv = ok(kRun);
  fs::create_symlink("real2.csv", path("hop"));
  ASSERT_EQ(mkfifo(path("pipe.fifo").c_str(), 0644), 0);
  struct Case {
    std::string name, link_to;  // link_to empty: no link
    std::string holder;         // the file that holds the CSV afterwards (none: a device)
    unsigned before, after;     // its mode before (0: no such file) and after
    std::string umask = "022", prefix = "";  // prefix: runs before sfsim in its shell
  } cases[] = {
      {"private.csv", "", "private.csv", 0600, 0600},
      {"shared.csv", "", "shared.csv", 0664, 0664, "077"},
      {"new.csv", "", "new.csv", 0, 0644},
      {"new-private.csv", "", "new-private.csv", 0, 0600, "077"},
      {repeat("a", 230) + ".csv", "", repeat("a", 230) + ".csv", 0, 0644},
      {repeat("b", 251) + ".csv", "", repeat("b", 251) + ".csv", 0640, 0640},
      {repeat("\xc3\xa9", 125) + ".csv", "", repeat("\xc3\xa9", 125) + ".csv", 0, 0644},
      {"to-file", "real.csv", "real.csv", 0600, 0600},
      {"chain", "hop", "real2.csv", 0640, 0640},
      {"dangling", "made.csv", "made.csv", 0, 0644},
      {"dangling-private", "private2.csv", "private2.csv", 0, 0600, "077"},
      {"to-fd1", "/proc/self/fd/1", "stdout.txt", 0, 0644},
      {"to-fifo", "pipe.fifo", "got.txt", 0, 0644, "022", "(cat pipe.fifo > got.txt &) && "},
      {"to-null", "/dev/null", "", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 20) + " -> " + c.link_to);
    if (c.before) {
      file(c.holder, "old\n");
      chmod(path(c.holder).c_str(), c.before);
    }
    if (!c.link_to.empty()) fs::create_symlink(c.link_to, path(c.name));
    std::vector<std::string> args = kRun;
    args.insert(args.end(), {"--out", c.name});
    Result r = sfsim(args, "stdout.txt", "umask " + c.umask + " && " + c.prefix);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (!c.link_to.empty()) {
      std::error_code not_a_link;
      EXPECT_EQ(fs::read_symlink(path(c.name), not_a_link), c.link_to);
    }
    if (!c.holder.empty()) {
      EXPECT_TRUE(eventually([&] { return read_file(path(c.holder)) == csv; }, 10));
      EXPECT_EQ(mode_of(path(c.holder)), c.after);
    }
    EXPECT_FALSE(scratch_left(dir_));
  }
  EXPECT_TRUE(fs::is_fifo(path("pipe.fifo")));
  // Standard output's own file, named /dev/stdout while the shell appends to it: the
  // CSV is added to what the file held, and the file stays the stream's.
  file("log.txt", "prev\n");
  std::vector<std::string> args = kRun;
  args.insert(args.end(), {"--out", "/dev/stdout"});
  Result r = sfsim(args, ">log.txt");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_file(path("log.txt")), "prev\n" + csv);
}

// SIGINT, SIGTERM and SIGHUP mid-run remove every scratch file, keep what the outputs
// held, and end sfsim by the signal. A reader that goes away (sfsim ... --plot p.svg
// | head -c 10) is a failed write: exit 2, the scratch files removed, no plot. The
// SIGHUP run writes a MAT-file result, whose rows wait in a scratch file of their own.
TEST_F(Files, InterruptedRunsAndClosedPipesLeaveNoScratchFiles) {
  file("o.csv", "old\n");
  file("o.mat", "old\n");
  const std::vector<std::string> before = files_in(dir_);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(strsignal(sig));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::vector<std::string> args = {"run",       "--model",       "Harnvale", "--chart", "1",
                                     "--z-range", "0:1:100000000", "--plot",   "p.svg"};
    if (sig != SIGPIPE)
      args.insert(args.end(),
                  {"--out", sig == SIGHUP ? "o.mat" : "o.csv", "--save-state", "s.json"});
    pid_t pid = start(args, fds[1]);
    close(fds[1]);
    ASSERT_GT(pid, 0);
    // Mid-run: the scratch files exist and steps are being made.
    EXPECT_TRUE(eventually([&] { return scratch_left(dir_); }));
    char head[10];
    if (sig == SIGPIPE) {
      EXPECT_EQ(read(fds[0], head, sizeof head), 10);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sig == SIGPIPE ? close(fds[0]) : kill(pid, sig);
    const int status = finish(pid);
    if (sig == SIGPIPE) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "status " << status;
      EXPECT_EQ(read_file(path("stderr.txt")), "sfsim: standard output: write error\n");
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
      close(fds[0]);
    }
    fs::remove(path("stderr.txt"));
    EXPECT_EQ(files_in(dir_), before);
    EXPECT_EQ(read_file(path("o.csv")), "old\n");
    EXPECT_EQ(read_file(path("o.mat")), "old\n");
  }
}

// On a terminal (a pseudo-terminal from script(1)): the progress shows the share done,
// the rate and the time left and is erased at the end, but only when the CSV does
// not go to the same terminal.
TEST_F(Files, ProgressStaysOutOfTheCsvOnTheTerminal) {
  if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "no script(1)";
#ifdef SF_SANITIZE
  // The run must take over a second to show progress at all, and an instrumented
  // sfsim takes minutes over the same steps: the display is tested in the plain build.
  GTEST_SKIP() << "timing-dependent display, tested in the uninstrumented build";
#endif
  auto on_terminal = [&](const std::vector<std::string>& more) {
    std::string cmd = quote(binary()) + " run --model Harnvale --chart 1 --z-range 0:1:60000";
    for (const auto& a : more)
      cmd += " " + a;
    const std::string shell = "cd " + quote(dir_.string()) + " && timeout 60 script -qec " +
                              quote(cmd) + " /dev/null </dev/null >term.txt";
    EXPECT_EQ(std::system(shell.c_str()), 0);
    return read_file(path("term.txt"));
  };
  for (const std::vector<std::string>& to_terminal :
       {std::vector<std::string>{}, std::vector<std::string>{"--out", "/dev/stdout"}}) {
    const std::string rows = on_terminal(to_terminal);
    EXPECT_NE(rows.find("59999,"), std::string::npos);
    EXPECT_EQ(rows.find("Harnvale c1: step"), std::string::npos);
  }
  const std::string progress = on_terminal({"--out", "o.csv"});
  EXPECT_NE(progress.find("Harnvale c1: step "), std::string::npos) << progress.substr(0, 300);
  for (const char* part : {" of 60000 (", "%), ", " steps/s, ", " left\x1b[K"})
    EXPECT_NE(progress.find(part), std::string::npos) << part;
  EXPECT_EQ(progress.substr(progress.size() - 4), "\r\x1b[K");
}

}  // namespace
