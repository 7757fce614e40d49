// sfsim's MAT-file outputs and inputs as a user meets them on the command line:
// results written beside their place whatever TMPDIR is, a full disk refused with
// nothing left behind, memory that does not grow with the rows, and every fault of
// an input MAT-file an input error (exit 2) naming the file and the variable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/mat_bytes.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace mb = test_support::mat;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The program under test: the one built here, or another named by SFSIM_UNDER_TEST
// (to see a test fail on an older build).
std::string binary() {
  const char* other = std::getenv("SFSIM_UNDER_TEST");
  return other && *other ? other : SFSIM_BIN;
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Result {
  int code = -1;
  std::string err;
  long max_rss_kb = 0;
};

class MatRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("sfsim_matrun_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string file(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }

  // sfsim run ARGS in a shell in the test's folder; `prefix` runs first in the same
  // shell (environment, a mount namespace).
  Result run(const std::string& args, const std::string& prefix = "") const {
    const std::string cmd = "cd " + quote(dir_.string()) + " && " + prefix + " timeout 120 " +
                            quote(binary()) + " run " + args + " >/dev/null 2>" +
                            quote(path("stderr.txt"));
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(path("stderr.txt"))};
  }

  // A shell script run in the test's folder, with $SFSIM the program under test;
  // its exit status and what it left in stderr.txt.
  Result script(const std::string& text) const {
    const std::string cmd =
        "cd " + quote(dir_.string()) + " && export SFSIM=" + quote(binary()) + " && " + text;
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(path("stderr.txt"))};
  }

  // sfsim run ARGS spawned directly, with the peak memory of that one process.
  Result measured(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {binary(), "run"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    Result r;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return r;
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.max_rss_kb = usage.ru_maxrss;
    return r;
  }

  // A table of chart 3 of Harnvale (243 rows) as a MAT-file.
  std::string table() const {
    std::vector<double> x(243), y(243);
    for (int i = 0; i < 243; ++i) {
      x[i] = i / 10.0;
      y[i] = x[i] * x[i];
    }
    return file("t.mat", mb::header() + mb::double_array("x", {1, 243}, x) +
                             mb::double_array("y", {243, 1}, y));
  }

  fs::path dir_;
};

const std::string kChart = "--model Harnvale --chart 3 --table t.mat ";

// Files beside an output are gone after a run: only `expected` are in the folder.
void expect_only(const fs::path& folder, std::vector<std::string> expected) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST_F(MatRun, ResultsAreWrittenBesideTheirPlaceWhateverTmpdirIs) {
  table();
  // No TMPDIR folder at all, and TMPDIR on a file system that is full.
  Result r = run(kChart + "--z-range 0:24:5000 --out r.mat --save-state s.mat",
                 "TMPDIR=/nonexistent/folder");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system takes root";
  fs::create_directories(path("tiny"));
  r = run(kChart + "--z-range 0:24:5000 --out r2.mat",
          "unshare -m sh -c 'mount -t tmpfs -o size=16k tmpfs tiny && TMPDIR=$PWD/tiny \"$@\"' "
          "sh");
  EXPECT_EQ(r.code, 0) << r.err;
  expect_only(dir_, {"r.mat", "r2.mat", "s.mat", "stderr.txt", "t.mat", "tiny"});
  const std::vector<double> y1 = sfsim::mat::read_vector(path("r.mat"), "y1");
  ASSERT_EQ(y1.size(), 5000u);
  EXPECT_EQ(sfsim::mat::read_vector(path("r2.mat"), "y1"), y1);
  const std::vector<double> z = sfsim::mat::read_vector(path("r.mat"), "z");
  const std::vector<double> step = sfsim::mat::read_vector(path("r.mat"), "step");
  const std::vector<double> time = sfsim::mat::read_vector(path("r.mat"), "time");
  ASSERT_EQ(z.size(), 5000u);
  // Every 499th row against the interpolation written out (the table's breakpoints
  // are i / 10, its values their squares).
  for (std::size_t i = 0; i < z.size(); i += 499) {
    EXPECT_EQ(step[i], static_cast<double>(i));
    EXPECT_EQ(time[i], static_cast<double>(i) * 0.01);
    EXPECT_EQ(z[i], 24.0 * (static_cast<double>(i) / 4999));
    std::size_t k = 0;
    while (k + 2 < 243 && (k + 1) / 10.0 <= z[i])
      ++k;
    const double x0 = k / 10.0, x1 = (k + 1) / 10.0;
    const double r = (z[i] - x0) / (x1 - x0);
    EXPECT_EQ(y1[i], x0 * x0 * (1.0 - r) + x1 * x1 * r) << "row " << i;
  }
  EXPECT_EQ(mxGetNumberOfFields(sfsim::mat::read_state(path("s.mat")).get()), 4);
}

// A disk that fills while the rows are kept, while the result is written, or that
// is full before a state is saved: exit 2 naming the output, nothing left behind.
TEST_F(MatRun, AFullDiskIsExitTwoAndLeavesNoFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system takes root";
  table();
  fs::create_directories(path("disk"));
  const struct {
    const char* size;
    const char* args;
    const char* fill;
    const char* output;
  } cases[] = {
      {"64k", "--z-range 0:24:5000 --out disk/r.mat", "", "disk/r.mat"},
      {"256k", "--z-range 0:24:5000 --out disk/r.mat", "", "disk/r.mat"},
      {"64k", "--z-range 0:24:3 --out r.mat --save-state disk/s.mat",
       "dd if=/dev/zero of=disk/fill bs=4k 2>/dev/null; ", "disk/s.mat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.size) + " " + c.args);
    const Result r = script("unshare -m sh -c 'mount -t tmpfs -o size=" + std::string(c.size) +
                            " tmpfs disk && " + c.fill + "\"$SFSIM\" run " + kChart + c.args +
                            " >/dev/null 2>stderr.txt; echo $? >status.txt; ls -A disk "
                            ">left.txt'");
    EXPECT_EQ(read_file(path("status.txt")), "2\n");
    EXPECT_EQ(r.err.rfind("sfsim: " + std::string(c.output) + ": cannot write the file", 0), 0u)
        << r.err;
    EXPECT_EQ(read_file(path("left.txt")), *c.fill ? "fill\n" : "");
  }
}

// Memory of a MAT-file result does not grow with its rows: a run of 2,000,000 rows
// peaks within a few MiB of a run of 20,000.
TEST_F(MatRun, MemoryStaysFlatWithTheRows) {
  table();
  const Result small = measured({"--model", "Harnvale", "--chart", "3", "--table", path("t.mat"),
                                 "--z-range", "0:24:20000", "--out", path("small.mat")});
  const Result large = measured({"--model", "Harnvale", "--chart", "3", "--table", path("t.mat"),
                                 "--z-range", "0:24:2000000", "--out", path("large.mat")});
  ASSERT_EQ(small.code, 0);
  ASSERT_EQ(large.code, 0);
  EXPECT_LT(large.max_rss_kb - small.max_rss_kb, 8 * 1024)
      << small.max_rss_kb << " KiB for 20,000 rows, " << large.max_rss_kb << " KiB for 2,000,000";
  EXPECT_EQ(fs::file_size(path("large.mat")), 128 + 4 * (64 + 8 * 2000000u));
  const std::vector<double> step = sfsim::mat::read_vector(path("large.mat"), "step");
  ASSERT_EQ(step.size(), 2000000u);
  EXPECT_EQ(step.back(), 1999999.0);
}

// Input MAT-files that are at fault end in exit 2 with the file and the variable
// named, before anything is simulated; never exit 1 or a run on made-up values.
TEST_F(MatRun, FaultyInputFilesAreExitTwoNamingFileAndVariable) {
  table();
  const std::string y1 = mb::double_array("", {1, 1}, {0.5});
  const struct {
    std::string option, bytes, message;
  } cases[] = {
      {"--z", mb::double_array("z", {1, 2000}, {1, 2}),
       "variable 'z': truncated or corrupt: its data holds 2 values where its size 1x2000 "
       "claims 2000"},
      {"--z", mb::double_array("z", {0, 0}, {}), "variable 'z': the variable holds no query"},
      {"--restore-state", mb::double_array("state", {1, 1}, {1}),
       "variable 'state': expected a saved state (a 1x1 struct), got double 1x1"},
      {"--restore-state", mb::struct_array("state", {1 << 26, 1}, {"y1"}, y1),
       "variable 'state': truncated or corrupt: its size 67108864x1 claims more values than "
       "the file holds"},
      {"--restore-state", mb::struct_array("state", {1, 1}, {""}, y1),
       "variable 'state': truncated or corrupt: a struct has a field with an empty name"},
      {"--table", mb::double_array(std::string("x\0evil", 6), {1, 243}, std::vector<double>(243)),
       "variable 'x\\x00evil': its name holds a NUL byte"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string f = file("in.mat", mb::header() + c.bytes);
    const std::string args = c.option == "--table" ? "--model Harnvale --chart 3 --table in.mat"
                                                   : kChart + c.option + " in.mat";
    const Result r = run(args + " --out r.mat");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "sfsim: in.mat: " + c.message + "\n");
    EXPECT_FALSE(fs::exists(path("r.mat")));
  }
}

}  // namespace
