// sfsim's MAT-file results as a user meets them: written beside their place whatever
// TMPDIR is, a full disk exit 2 with nothing left behind, memory flat in the rows.
#include <gtest/gtest.h>
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
#include "tests/support/sfsim_fixture.hpp"
#include "tools/sfsim/matfile.hpp"

namespace {

namespace fs = std::filesystem;
namespace mb = test_support::mat;
using sfsim::mat::read_vector;

using sfsim_test::read_file;

// Sfsim's folder per test, with a mount point disk/ and a table t.mat in it.
class MatRun : public sfsim_test::Sfsim {
 protected:
  void SetUp() override {
    Sfsim::SetUp();
    fs::create_directories(dir_ / "disk");
    // Chart 3 of Harnvale (243 rows): breakpoints i / 10, values their squares.
    std::vector<double> x(243), y(243);
    for (int i = 0; i < 243; ++i)
      y[i] = (x[i] = i / 10.0) * x[i];
    std::ofstream(dir_ / "t.mat", std::ios::binary)
        << mb::header() + mb::double_array("x", {1, 243}, x) + mb::double_array("y", {243, 1}, y);
  }

  // A shell script in the test's folder, $SFSIM the program under test, $RUN its run
  // of chart 3 on t.mat; the script's status.
  int script(const std::string& text) const {
    const std::string cmd = "cd '" + dir_.string() + "' && export SFSIM='" + binary() +
                            "' RUN=\"run --model Harnvale --chart 3 --table t.mat\" && " + text;
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The peak memory (KiB) of the largest sfsim run so far, this test's runs being
  // the process's only children.
  static long peak_kib() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
  }
};

// No TMPDIR folder at all, and TMPDIR on a full file system (a tmpfs of 16 KiB in
// a mount namespace of the test's own, which takes root): the results are whole,
// and nothing but them is left.
TEST_F(MatRun, ResultsAreWrittenBesideTheirPlaceWhateverTmpdirIs) {
  const std::string args = " --z-range 0:24:5000 --out r.mat --save-state s.mat 2>>err.txt";
  EXPECT_EQ(script("TMPDIR=/nonexistent/folder \"$SFSIM\" $RUN" + args), 0)
      << read_file(path("err.txt"));
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system takes root";
  EXPECT_EQ(script("unshare -m sh -c 'mount -t tmpfs -o size=16k tmpfs disk && "
                   "TMPDIR=$PWD/disk \"$SFSIM\" $RUN --z-range 0:24:5000 --out r2.mat'"),
            0);
  EXPECT_EQ(read_file(path("err.txt")), "");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{"disk", "err.txt", "r.mat", "r2.mat", "s.mat", "t.mat"}));
  // Whole and the same (the values themselves are checked against Octave's run of
  // the plug-in in the Octave tests).
  EXPECT_EQ(read_vector(path("r.mat"), "y1").size(), 5000u);
  EXPECT_EQ(read_file(path("r2.mat")), read_file(path("r.mat")));
  EXPECT_EQ(mxGetNumberOfFields(sfsim::mat::read_state(path("s.mat")).get()), 4);
}

// A disk that fills while the rows are kept (64 KiB), while the result is written
// (256 KiB: the rows fit, rows and result do not), or that is full before a state is
// saved: exit 2 naming the output, and nothing left on the disk but what filled it.
TEST_F(MatRun, AFullDiskIsExitTwoAndLeavesNoFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system takes root";
  const struct {
    const char *size, *fill, *args, *output;
  } cases[] = {
      {"64k", "", "--z-range 0:24:5000 --out disk/r.mat", "disk/r.mat"},
      {"256k", "", "--z-range 0:24:5000 --out disk/r.mat", "disk/r.mat"},
      {"64k", "dd if=/dev/zero of=disk/fill bs=4k 2>/dev/null; ",
       "--z-range 0:24:3 --out r.mat --save-state disk/s.mat", "disk/s.mat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.size) + " " + c.args);
    script("unshare -m sh -c 'mount -t tmpfs -o size=" + std::string(c.size) + " tmpfs disk && " +
           c.fill + "\"$SFSIM\" $RUN " + c.args +
           " 2>err.txt >/dev/null; echo $? >status.txt; ls -A disk >left.txt'");
    EXPECT_EQ(read_file(path("status.txt")), "2\n");
    const std::string err = read_file(path("err.txt"));
    EXPECT_EQ(err.rfind("sfsim: " + std::string(c.output) + ": cannot write the file", 0), 0u)
        << err;
    EXPECT_EQ(read_file(path("left.txt")), *c.fill ? "fill\n" : "");
  }
}

// A run of 2,000,000 rows peaks within a few MiB of a run of 20,000, and its file
// holds the four columns whole. Under the sanitizers, whose allocator keeps freed
// memory aside, the peak says nothing of sfsim: there a tenth of the rows is written
// and only the file is checked.
TEST_F(MatRun, MemoryStaysFlatWithTheRows) {
#ifdef SF_SANITIZE
  constexpr std::uint32_t kRows = 200000;
#else
  constexpr std::uint32_t kRows = 2000000;
  ASSERT_EQ(script("\"$SFSIM\" $RUN --z-range 0:24:20000 --out small.mat"), 0);
  const long small = peak_kib();
#endif
  ASSERT_EQ(script("\"$SFSIM\" $RUN --z-range 0:24:" + std::to_string(kRows) +
                   " --out large.mat 2>/dev/null"),
            0);
#ifndef SF_SANITIZE
  EXPECT_LT(peak_kib() - small, 8 * 1024)
      << small << " KiB for 20,000 rows, " << peak_kib() << " KiB for 2,000,000";
#endif
  EXPECT_EQ(fs::file_size(path("large.mat")), 128 + 4 * (64 + 8 * std::uint64_t{kRows}));
  // One row more than the format's 32-bit sizes hold is refused before the run.
  EXPECT_EQ(script("\"$SFSIM\" $RUN --z-range 0:1:536870905 --out big.mat 2>err.txt"), 2);
  EXPECT_EQ(read_file(path("err.txt")),
            "sfsim: big.mat: a MAT-file result holds at most 536870904 rows, the run has "
            "536870905 queries (write CSV instead)\n");
  const std::vector<double> step = read_vector(path("large.mat"), "step");
  ASSERT_EQ(step.size(), kRows);
  EXPECT_EQ(step.back(), kRows - 1.0);
}

}  // namespace
