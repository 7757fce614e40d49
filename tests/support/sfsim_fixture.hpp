// sfsim run as a user runs it, for the tests of tests/tools/sfsim: the built program
// (or another named by SFSIM_UNDER_TEST, to see a test fail on an older build) in a
// folder of the test's own, through a POSIX shell, with its exit status, standard
// output and error, and the files it leaves.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sfsim_test {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out, err;
};

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class Sfsim : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    // One folder per process: builds of other worktrees run the same tests at once.
    dir_ = fs::path(::testing::TempDir()) / ("sfsim_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  fs::path path(const std::string& name) const { return dir_ / name; }
  std::string file(const std::string& name, const std::string& text) const {
    write_file(path(name), text);
    return path(name).string();
  }

  // The program under test: the one built here, or another named by SFSIM_UNDER_TEST
  // (to see a test fail on an older build).
  static std::string binary() {
    const char* other = std::getenv("SFSIM_UNDER_TEST");
    return other && *other ? other : SFSIM_BIN;
  }
  // `stdout_to` replaces the file standard output goes to; `prefix` runs before
  // sfsim in the same shell (limits).
  Result sfsim(const std::vector<std::string>& args, const std::string& stdout_to = "stdout.txt",
               const std::string& prefix = "") const {
    std::string cmd = "cd ";
    cmd += quote(dir_.string());
    // The limit catches a run that hangs; the instrumented build runs several times
    // slower, and a loaded machine slower still.
#ifdef SF_SANITIZE
    cmd += " && " + prefix + "timeout 600 ";
#else
    cmd += " && " + prefix + "timeout 60 ";
#endif
    cmd += quote(binary());
    for (const auto& a : args) {
      cmd += ' ';
      cmd += quote(a);
    }
    cmd += " >" + stdout_to + " 2>stderr.txt";
    fs::remove(path("stdout.txt"));
    int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = read_file(path("stdout.txt"));
    r.err = read_file(path("stderr.txt"));
    return r;
  }
  // A run that must succeed quietly (no progress display when stderr is a file).
  std::string ok(const std::vector<std::string>& args) const {
    Result r = sfsim(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
  }

  fs::path dir_;
};

// The files in the test's folder, apart from the captured streams.
inline std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().lexically_relative(dir).string();
    if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string repeat(const std::string& s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

// A message of the option parser without the hint that follows it.
inline std::string without_help_hint(std::string err) {
  const std::string hint = "Run with --help for more information.\n";
  if (err.size() >= hint.size() && err.compare(err.size() - hint.size(), hint.size(), hint) == 0)
    err.resize(err.size() - hint.size());
  return err;
}

}  // namespace sfsim_test
