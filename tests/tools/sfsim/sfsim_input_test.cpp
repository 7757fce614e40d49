// sfsim refusing what it cannot run: input errors, hostile input, failed writes,
// and the extremes it still runs (ranges at the limits, a huge query count).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "models/catalogue_view.hpp"
#include "tests/support/interpolation.hpp"
#include "tests/support/sfsim_fixture.hpp"
#include "tests/tools/sfsim/sfsim_rows.hpp"

namespace {

namespace fs = std::filesystem;
using namespace sfsim_test;
using test_support::same_bits;

TEST_F(Sfsim, InputErrorsExitTwoNamingFileLineAndFault) {
  std::string short_table, long_table;
  for (int i = 0; i < 5; ++i)
    short_table += std::to_string(i) + ",1\n";
  for (int i = 0; i < 402; ++i)
    long_table += std::to_string(i) + ",1\n";
  file("short.csv", "x,y\n" + short_table);
  file("long.csv", long_table);
  file("word.csv", "x,y\n1,2\n3,abc\n");
  file("three.csv", "1,2\n3,4,5\n");
  file("z.txt", "1\n\n1.5x\n");
  file("empty.txt", "\n\n");
  file("empty.csv", "");
  fs::create_directories(path("x,y"));
  file("broken.json", "{\n  \"class\": \"double\",\n  \"size\": [1,\n");
  file("wrong.json", R"({"class":"struct","size":[1,1],"fields":["a"],"elements":[{"b":null}]})");
  const std::string h2[] = {"run", "--model", "Harnvale", "--chart", "2"};
  auto run2 = [&](std::vector<std::string> more) {
    std::vector<std::string> a(std::begin(h2), std::end(h2));
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {run2({"--table", "short.csv"}),
       "sfsim: short.csv:6: the table has 5 rows, but chart 2 of Harnvale needs exactly 401 "
       "rows\n"},
      {run2({"--table", "long.csv"}),
       "sfsim: long.csv:402: row 402 is one too many: chart 2 of Harnvale needs exactly 401 "
       "rows\n"},
      {run2({"--table", "word.csv"}), "sfsim: word.csv:3: column y: 'abc' is not a number\n"},
      {run2({"--table", "three.csv"}), "sfsim: three.csv:2: expected 2 columns (x,y), found 3\n"},
      {run2({"--table", "missing.csv"}),
       "sfsim: missing.csv: cannot open the file (missing or unreadable)\n"},
      {run2({"--table", "empty.csv"}),
       "sfsim: empty.csv: the file is empty: chart 2 of Harnvale needs exactly 401 rows\n"},
      {run2({"--table", "x,y"}), "sfsim: x,y: is a folder, not a file\n"},
      {run2({"--z", "x,y"}), "sfsim: x,y: is a folder, not a file\n"},
      {run2({"--z", "z.txt"}), "sfsim: z.txt:3: '1.5x' is not a number\n"},
      {run2({"--z", "empty.txt"}), "sfsim: empty.txt: the file holds no query\n"},
      {run2({"--z-range", "1:2"}), "sfsim: --z-range '1:2': expected A:B:K\n"},
      {run2({"--z-range", "1:x:3"}), "sfsim: --z-range '1:x:3': B is not a finite number\n"},
      {run2({"--z-range", "1:2:0"}),
       "sfsim: --z-range '1:2:0': K is not a whole number of at least 1\n"},
      {run2({"--plugin", "nowhere.mexa64"}),
       "sfsim: nowhere.mexa64: cannot open the plug-in (no such file)\n"},
      {run2({"--restore-state", "broken.json"}), "sfsim: broken.json: not valid JSON: "},
      {run2({"--restore-state", "wrong.json"}),
       "sfsim: wrong.json: $.elements[0]: \"b\" is not among \"fields\"\n"},
      {{"run", "--model", "Foo", "--chart", "1"},
       "sfsim: unknown model 'Foo' (known: Harnvale, Quimbrel)\n"},
      {{"run", "--model", "Quimbrel", "--chart", "3"},
       "sfsim: model Quimbrel has no chart 3 (its charts are 1..2)\n"},
      {{"query", "--model", "Foo", "sf_get_check_sum"},
       "sfsim: unknown model 'Foo' (known: Harnvale, Quimbrel)\n"},
      {{"query", "--model", "Harnvale", "num:x"}, "sfsim: argument 'num:x': 'x' is not a number\n"},
      {run2({"--z", "z.txt", "--z-range", "1:2:3"}), "--z excludes --z-range"},
      {run2({"--rate", "fast"}), "--rate: fast not in {inherited,continuous,discrete}"},
      {run2({"--blocks", "0"}), "--blocks"},
      {{"run", "--model", "Harnvale"}, "--chart is required"},
      {{"frobnicate"}, "frobnicate"},
  };
  for (const auto& c : cases) {
    std::string cmd;
    for (const auto& a : c.args)
      cmd += a + " ";
    SCOPED_TRACE(cmd);
    Result r = sfsim(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("sfsim: ", 0), 0u) << r.err;  // the parser's messages too
    EXPECT_EQ(r.out, "");  // nothing written before the inputs are known to be sound
    if (c.message.rfind("sfsim: ", 0) == 0 && c.message.back() == '\n')
      EXPECT_EQ(r.err, c.message);
    else
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_NE(sfsim(run2({"--restore-state", "broken.json"})).err.find("line 4"), std::string::npos);
}

TEST_F(Sfsim, HelpOnEveryCommand) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--help"}, {"run", "--help"}, {"query", "--help"}}) {
    std::string out = ok(args);
    EXPECT_NE(out.find("Usage"), std::string::npos) << out;
  }
}

// --- hostile input and failing outputs ------------------------------------------------

// Every fault of the input, the options or the outputs: exit 2, nothing on standard
// output, the message (exact, or a part of it), no control character reaching the
// terminal, and no new file left behind.
TEST_F(Sfsim, HostileInputIsRefusedBeforeTheRunWithoutLeavingFiles) {
  const int N = table_length("Harnvale", 3);
  std::string good;
  for (int i = 0; i < N; ++i)
    good += std::to_string(i) + "," + std::to_string(i % 7) + "\n";
  file("t.csv", good);
  file("bom.csv", "\xEF\xBB\xBF" + good);
  file("esc.csv", "x,y\n1,\x1b[31mred\n");
  file("long-cell.csv", "x,y\n1," + repeat("A", 200) + "\n");
  file("huge-cell.csv", "x,y\n1," + repeat("A", 10 << 20) + "\n");
  file("range.csv", "1e400,1\n");
  file("under.csv", "1e-400,1\n");
  file("x-after.csv", "1,2\nabc,3\n");
  // A line of exactly the cap is read; one byte more is refused.
  file("cap.txt", "1\n" + repeat("0", 4095) + "1\n");
  file("over.txt", "1\n" + repeat("0", 4096) + "1\n");
  file("blank.txt", repeat("\n", (1 << 20) + 10) + "1\n");
  file("deep.json", repeat("[", 100000) + repeat("]", 100000));
  std::string nested = R"({"class":"double","size":[1,1],"data":[1]})";
  for (int i = 0; i < 40; ++i)
    nested = R"({"class":"cell","size":[1,1],"elements":[)" + nested + "]}";
  file("nested.json", nested);
  file("big.json", R"({"class":"char","size":[1073741824,0],"text":""})");
  file("overflow.json", R"({"class":"double","size":[1,1],"data":[1e400]})");
  file("esc.json", R"({"class":"\u001b[2Jx","size":[1,1]})");
  file("one.json", R"({"class":"double","size":[1,1],"data":[1]})");
  fs::create_directories(path("folder"));
  fs::create_directories(path("out/Quimbrel_c2.svg"));
  const std::string quimbrel = models::build_deliverable_path<quimbrel::Model>();
  const std::vector<std::string> c3 = {"run", "--model", "Harnvale", "--chart", "3"};
  auto run3 = [&](std::vector<std::string> more) {
    auto a = c3;
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  auto debug3 = [&](std::vector<std::string> more) {
    auto a = run3(more);
    a[0] = "debug";
    a.insert(a.end(), {"--commands", "t.csv"});
    return a;
  };
  file("in.csv", "time,z\n0,1\n1,2\n");
  file("in.mat", "");
  const std::string kXVar =
      "sfsim: --x-var applies to a table in a MAT-file only (--table FILE.mat)\n";
  const std::string kZVar =
      "sfsim: --z-var applies to queries in a MAT-file only (--z FILE.mat); a .mat --input holds "
      "the vectors time and z\n";
  const std::string kLimit = "sfsim: --trace-limit applies to a trace only (--trace FILE)\n";
  struct Case {
    std::vector<std::string> args;
    std::string message;  // whole when it begins with "sfsim: " and ends with a newline
  } cases[] = {
      // A plug-in file of the other model, a bare name, a file that is no library.
      {{"run", "--model", "Harnvale", "--chart", "1", "--plugin", quimbrel},
       "sfsim: " + quimbrel + ": holds the plug-in of model Quimbrel, not Harnvale\n"},
      {run3({"--plugin", "libm.so.6"}),
       "sfsim: libm.so.6: cannot open the plug-in (no such file)\n"},
      {run3({"--plugin", "t.csv"}), "sfsim: t.csv: not a plug-in (not a shared library)\n"},
      // Saved states: nesting, sizes without content, numbers, folders, escapes.
      {run3({"--restore-state", "deep.json"}),
       "sfsim: deep.json: values nested more than 32 deep\n"},
      {run3({"--restore-state", "nested.json"}), ": values nested more than 32 deep\n"},
      {run3({"--restore-state", "big.json"}),
       "sfsim: big.json: $: \"size\" of an empty array may not exceed 65536 in either dimension\n"},
      {run3({"--restore-state", "overflow.json"}),
       "sfsim: overflow.json: a number is out of the range of a double: "},
      {run3({"--restore-state", "folder"}), "sfsim: folder: is a folder, not a file\n"},
      {run3({"--restore-state", "esc.json"}), "sfsim: esc.json: $: unknown class \"\\x1b[2Jx\"\n"},
      // Inputs without an end, long cells, control characters.
      {run3({"--table", "/dev/zero"}), "sfsim: /dev/zero:1: the line is longer than 4096 bytes\n"},
      {run3({"--z", "/dev/zero"}), "sfsim: /dev/zero:1: the line is longer than 4096 bytes\n"},
      {run3({"--z", "blank.txt"}),
       "sfsim: blank.txt:1048577: more than 1048576 bytes without a "
       "query\n"},
      {run3({"--table", "huge-cell.csv"}),
       "sfsim: huge-cell.csv:2: the line is longer than 4096 bytes\n"},
      {run3({"--table", "long-cell.csv"}),
       "sfsim: long-cell.csv:2: column y: '" + repeat("A", 60) + "...' is not a number\n"},
      {run3({"--table", "esc.csv"}),
       "sfsim: esc.csv:2: column y: '\\x1b[31mred' is not a number\n"},
      {run3({"--rate", "\x1b[2J"}), "--rate: \\x1b[2J not in {inherited,continuous,discrete}"},
      // What the message says is what is wrong.
      {run3({"--table", "range.csv"}),
       "sfsim: range.csv:1: column x: '1e400' is out of the range of a double\n"},
      {run3({"--z-range", "0:1e400:3"}),
       "sfsim: --z-range '0:1e400:3': B is out of the range of a double\n"},
      {run3({"--table", "under.csv"}),
       "sfsim: under.csv:1: column x: '1e-400' is out of the range of a double (too close to 0: "
       "it would read as 0)\n"},
      {run3({"--z-range", "1e-400:1:3"}),
       "sfsim: --z-range '1e-400:1:3': A is out of the range of a double (too close to 0: it "
       "would read as 0)\n"},
      {run3({"--table", "x-after.csv"}), "sfsim: x-after.csv:2: column x: 'abc' is not a number\n"},
      {run3({"--z", "over.txt"}), "sfsim: over.txt:2: the line is longer than 4096 bytes\n"},
      {run3({"--table", "-", "--z", "-"}),
       "sfsim: --table and --z both name standard input (-); give one of them a file\n"},
      {run3({"--out", "/proc/x.csv"}),
       "sfsim: /proc/x.csv: cannot write the file: cannot make a file beside it: No such file or "
       "directory\n"},
      {run3({"--out", repeat("n", 252) + ".csv"}),
       "sfsim: " + repeat("n", 252) + ".csv: cannot write the file: File name too long\n"},
      // Counts and sizes are whole decimal numbers that fit.
      {run3({"--blocks", "0x10"}), "sfsim: --blocks: '0x10' is not a whole decimal number\n"},
      {{"run", "--model", "Harnvale", "--chart", "0x3"},
       "sfsim: --chart: '0x3' is not a whole decimal number\n"},
      {run3({"--trace-limit", "1T"}),
       "sfsim: --trace-limit: '1T' is not a whole number of bytes of at least 1, with an optional "
       "suffix k, M or G\n"},
      {run3({"--plot", "p.png"}),
       "sfsim: --plot: 'p.png' does not end in .svg: the plot is written as SVG only\n"},
      // The parser's echoes too are escaped and cut to 60 bytes.
      {run3({"--" + repeat("y", 200) + "\x1b"}),
       "sfsim: The following argument was not expected: --" + repeat("y", 58) + "...\n"},
      {run3({"--rate", repeat("r", 100000)}),
       "sfsim: --rate: " + repeat("r", 60) + "... not in {inherited,continuous,discrete}\n"},
      {run3({"--z-range", "0:1:99999999999999999999"}),
       "sfsim: --z-range '0:1:99999999999999999999': K is too large (at most "
       "9007199254740992)\n"},
      {{"run", "--model", "Harnvale", "--chart", ""}, "--chart: the value is empty"},
      {{"--out-dir", "x", "run", "--model", "Harnvale", "--chart", "3"},
       "sfsim: --out-dir is the folder of the default run (without a command); with run, name "
       "the files with --out and --plot\n"},
      // Empty values are errors, not the defaults.
      {run3({"--table", ""}), "--table: the value is empty"},
      {run3({"--z", ""}), "--z: the value is empty"},
      {run3({"--save-state", ""}), "--save-state: the value is empty"},
      {run3({"--restore-state", ""}), "--restore-state: the value is empty"},
      // Outputs that would overwrite an input or each other.
      {run3({"--table", "t.csv", "--out", "t.csv"}),
       "sfsim: t.csv: --out would overwrite the input of --table\n"},
      {run3({"--restore-state", "one.json", "--trace", "one.json"}),
       "sfsim: one.json: --trace would overwrite the input of --restore-state\n"},
      {run3({"--out", "x.svg", "--plot", "./x.svg"}),
       "sfsim: ./x.svg: --plot and --out name the same file\n"},
      {run3({"--trace", "x.txt", "--out", "x.txt"}),
       "sfsim: x.txt: --trace and --out name the same file\n"},
      // Outputs that cannot be written are found before the run.
      {run3({"--out", "o.csv", "--plot", "missing/p.svg"}),
       "sfsim: missing/p.svg: cannot write the file: no folder missing\n"},
      {run3({"--out", "o.csv", "--save-state", "folder"}),
       "sfsim: folder: is a folder, not a file\n"},
      {{"--out-dir", "out"}, "sfsim: out/Quimbrel_c2.svg: is a folder, not a file\n"},
      // A trace that reaches its limit stops the run, and nothing is kept.
      {run3({"--out", "o.csv", "--trace", "trace.txt", "--trace-limit", "100k"}),
       "sfsim: trace.txt: the trace reached its size limit of 102400 bytes (--trace-limit); the "
       "run was stopped\n"},
      // An option that would change nothing in the run asked for, in either mode and
      // in the debugger.
      {run3({"--x-var", "a"}), kXVar},
      {run3({"--table", "t.csv", "--y-var", "b"}),
       "sfsim: --y-var applies to a table in a "
       "MAT-file only (--table FILE.mat)\n"},
      {run3({"--input", "in.csv", "--x-var", "a"}), kXVar},
      {run3({"--z", "cap.txt", "--z-var", "q"}), kZVar},
      {run3({"--z-range", "0:1:3", "--z-var", "q"}), kZVar},
      {run3({"--input", "in.mat", "--z-var", "q"}), kZVar},
      {run3({"--z-range", "0:1:3", "--trace-limit", "1k"}), kLimit},
      {run3({"--input", "in.csv", "--trace-limit", "1k"}), kLimit},
      {debug3({"--input", "in.csv", "--z-var", "q"}), kZVar},
      {debug3({"--x-var", "a"}), kXVar},
      {debug3({"--trace-limit", "1k"}), kLimit},
  };
  const std::vector<std::string> before = files_in(dir_);
  for (const auto& c : cases) {
    std::string cmd;
    for (const auto& a : c.args)
      cmd += a.substr(0, 40) + " ";
    SCOPED_TRACE(cmd);
    Result r = sfsim(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    if (c.message.rfind("sfsim: ", 0) == 0 && c.message.back() == '\n')
      EXPECT_EQ(without_help_hint(r.err), c.message);
    else
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("sfsim: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(files_in(dir_), before);
    EXPECT_EQ(read_file(path("t.csv")), good);
  }
  // A byte order mark before a numeric first row leaves it a row.
  const std::string t_rows = ok(run3({"--table", "t.csv", "--z-range", "0:242:5"}));
  EXPECT_EQ(ok(run3({"--table", "bom.csv", "--z-range", "0:242:5"})), t_rows);
  EXPECT_EQ(ok(run3({"--z", "cap.txt"})), ok(run3({"--z-range", "1:1:2"})));
  // "-" is standard input for --table and --z, standard output for --out.
  Result r = sfsim(run3({"--table", "-", "--z-range", "0:242:5", "--out", "-"}), "stdout.txt",
                   "cat t.csv | ");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, t_rows);
  r = sfsim(run3({"--table", "t.csv", "--z", "-"}), "stdout.txt", "printf '0\\n60.5\\n242' | ");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, ok(run3({"--table", "t.csv", "--z", file("z3.txt", "0\n60.5\n242\n")})));
}

// A write that fails is never success, and a failed run leaves no partial file.
TEST_F(Sfsim, FailedWritesExitTwoNamingTheOutput) {
  const std::vector<std::string> c3 = {"run", "--model",   "Harnvale", "--chart",
                                       "3",   "--z-range", "0:1:3"};
  Result r = sfsim(c3, "/dev/full");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  r = sfsim({"query", "--model", "Harnvale", "sf_get_check_sum"}, "/dev/full");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  r = sfsim({"--out-dir", "default"}, "/dev/full");  // the default run's summary
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  fs::remove_all(path("default"));
  auto with_out = c3;
  with_out.insert(with_out.end(), {"--out", "/dev/full"});
  r = sfsim(with_out);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: /dev/full: cannot write the file (disk full?)\n");
  // A file that exists keeps its content until a complete new one replaces it.
  file("o.csv", "old\n");
  with_out = c3;
  with_out.insert(with_out.end(),
                  {"--out", "o.csv", "--plot", "p.svg", "--trace", "t.txt", "--trace-limit", "1k"});
  EXPECT_EQ(sfsim(with_out).code, 2);
  EXPECT_EQ(read_file(path("o.csv")), "old\n");
  EXPECT_EQ(files_in(dir_), std::vector<std::string>{"o.csv"});
  with_out.resize(with_out.size() - 2);
  ok(with_out);
  EXPECT_EQ(read_file(path("o.csv")), ok(c3));
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"o.csv", "p.svg", "t.txt"}));
}

// Ends so far apart that their distance is no double: the queries lie between them,
// and the plot holds only finite coordinates.
TEST_F(Sfsim, ExtremeRangesGiveFiniteQueriesAndPlots) {
  const double big = 1e308;
  auto rows =
      parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--z-range", "-1e308:1e308:5"}));
  ASSERT_EQ(rows.size(), 5u);
  const double expected[] = {-big, -big * 0.75 + big * 0.25, 0.0, -big * 0.25 + big * 0.75, big};
  for (std::size_t k = 0; k < 5; ++k)
    EXPECT_TRUE(same_bits(expected[k], rows[k].z)) << k;
  // The last query is B itself, also where A + (B - A) is not B.
  ASSERT_NE(0.7 + (0.1 - 0.7), 0.1);
  rows = parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--z-range", "0.7:0.1:3"}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(same_bits(0.7, rows[0].z));
  EXPECT_TRUE(same_bits(0.7 + (0.1 - 0.7) * 0.5, rows[1].z));
  EXPECT_TRUE(same_bits(0.1, rows[2].z));

  const int N = table_length("Harnvale", 3);
  std::string table;
  for (int i = 0; i < N; ++i)
    table += (i == 0       ? "-1.7e308"
              : i == N - 1 ? "1.7e308"
                           : std::to_string(i)) +
             "," + std::to_string(i) + "\n";
  rows = parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--table",
                       file("wide.csv", table), "--plot", path("p.svg")}));
  ASSERT_EQ(rows.size(), 201u);
  for (const auto& r : rows)
    EXPECT_TRUE(std::isfinite(r.z)) << num(r.z);
  EXPECT_TRUE(same_bits(-std::numeric_limits<double>::max(), rows.front().z));
  EXPECT_TRUE(same_bits(std::numeric_limits<double>::max(), rows.back().z));
  std::string svg = read_file(path("p.svg"));
  for (const char* bad : {"nan", "inf", "NaN", "Inf"})
    EXPECT_EQ(svg.find(bad), std::string::npos) << bad;
  EXPECT_EQ(std::system(("xmllint --noout " + quote(path("p.svg").string())).c_str()), 0);
}

// Queries and rows stream: a billion queries cost no memory up front; the run stops
// at its first step's host error at once.
TEST_F(Sfsim, AHugeQueryCountIsStreamed) {
  const int N = table_length("Harnvale", 3);
  std::string table = "NaN,0\n";
  for (int i = 1; i < N; ++i)
    table += std::to_string(i) + ",0\n";
  file("nan.csv", table);
#ifdef SF_SANITIZE
  const std::string limit;  // the sanitizers reserve more address space than any limit
#else
  const std::string limit = "ulimit -v 1000000 && ";  // 1 GB of address space
#endif
  Result r = sfsim({"run", "--model", "Harnvale", "--chart", "3", "--table", "nan.csv", "--z-range",
                    "0:1:999999999", "--plot", "p.svg"},
                   "stdout.txt", limit);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "step,time,z,y1\n");
  EXPECT_EQ(r.err.rfind("sfsim: step 0 (time 0, z 0): MATLAB:interp1:NaNinX: ", 0), 0u) << r.err;
}

}  // namespace
