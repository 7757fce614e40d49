// sfsim debug as a user runs it: scripted sessions through --commands, one per kind
// of stop, checked line for line, the values shown against the step's own inputs and
// the CSV bit for bit (the terminal's sessions are debug_terminal_test.cpp).
#include "tests/support/interpolation.hpp"
#include "tests/tools/sfsim/debug_session.hpp"

namespace sfsim_test {
namespace {

using test_support::same_bits;

TEST_F(Debug, EditOfY1AtLineMinus3ReachesTheCsv) {
  Result r = session(
      "break step 1\ncontinue\ndelete 1\nbreak line -3\ninfo breakpoints\ncontinue\nwhere\n"
      "print y1\nset y1 0.1\nprint y1\ndelete 2\ncontinue\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "(sfdb) break step 1\nBreakpoint 1: before step 1\n(sfdb) continue\n"
            "Breakpoint 1, before step 1 (time 0.01)\n(sfdb) delete 1\nDeleted breakpoint 1\n"
            "(sfdb) break line -3\nBreakpoint 2: line -3\n(sfdb) info breakpoints\n"
            "Num  Stops\n2    at line -3\n(sfdb) continue\n"
            "Breakpoint 2, line -3 of step 1 (time 0.01, block 1)\n(sfdb) where\n"
            "model Harnvale, chart 3, block 1, step 1, time 0.01, stopped by breakpoint 2, "
            "line -3\n(sfdb) print y1\ny1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[4.0]}\n"
            "(sfdb) set y1 0.1\n(sfdb) print y1\n"
            "y1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[0.1]}\n(sfdb) delete 2\n"
            "Deleted breakpoint 2\n(sfdb) continue\n(run ended: 3 steps finished)\n");
  // Steps 0 and 2 hit breakpoints of the table exactly: y1 is y there; step 1 has
  // the value set.
  const std::vector<double> y = table_y();
  const std::string rows = csv();
  EXPECT_EQ(rows, "step,time,z,y1\n0,0,0," + text(y[0]) + "\n1,0.01,2," + text(0.1) +
                      "\n2,0.02,4," + text(y[40]) + "\n");
}

TEST_F(Debug, PrintShowsTheValuesOfTheStep) {
  Result r = session(
      "break step 1\ncontinue\nbreak line 3\nbreak line -3\ncontinue\n"
      "print nargin\nprint nargout\nprint x\nprint y\nprint z\nprint y1\nprint x(5)\n"
      "continue\nprint y1\ndelete 2\ndelete 3\nbreak step 2\ncontinue\n"
      "print x\nprint y\nprint z\nprint y1\nprint y(41)\nprint nargin\nquit\n");
  EXPECT_EQ(r.code, 0) << r.err;
  const std::string& t = r.out;
  const std::vector<double> x = table_x(), y = table_y();
  // Line 3 of step 1 (z = 2): the scope's symbols before the kernel.
  EXPECT_NE(t.find("Breakpoint 2, line 3 of step 1 (time 0.01, block 1)\n"), std::string::npos)
      << t;
  EXPECT_EQ(shown(t, "nargin"), std::vector<double>{3});
  EXPECT_EQ(shown(t, "nargout"), std::vector<double>{1});
  EXPECT_EQ(shown(t, "z"), std::vector<double>{2});
  EXPECT_EQ(shown(t, "y1"), std::vector<double>{0});
  EXPECT_NE(t.find("\nx(5) = " + text(x[4]) + "\n"), std::string::npos) << t;
  // Line -3: y1 is the kernel's result.
  EXPECT_EQ(shown(t, "y1", 2), std::vector<double>{y[20]});
  // Before step 2: block 1's data items, the step's input z = 4 given, y1 still step 1's.
  EXPECT_NE(t.find("Breakpoint 4, before step 2 (time 0.02)\n"), std::string::npos) << t;
  EXPECT_EQ(shown(t, "z", 2), std::vector<double>{4});
  EXPECT_EQ(shown(t, "y1", 3), std::vector<double>{y[20]});
  EXPECT_NE(t.find("\ny(41) = " + text(y[40]) + "\n"), std::string::npos) << t;
  EXPECT_NE(t.find("print: the chart has no data item 'nargin' (it has x, y, z, y1); a line stop "
                   "shows the step's symbols\n"),
            std::string::npos);
  for (int nth : {1, 2}) {
    const std::vector<double> sx = shown(t, "x", nth), sy = shown(t, "y", nth);
    ASSERT_EQ(sx.size(), x.size());
    ASSERT_EQ(sy.size(), y.size());
    for (int i = 0; i < kN; ++i) {
      EXPECT_TRUE(same_bits(sx[i], x[i])) << i;
      EXPECT_TRUE(same_bits(sy[i], y[i])) << i;
    }
  }
  // The quit before step 2 keeps the rows of steps 0 and 1.
  EXPECT_EQ(csv(), "step,time,z,y1\n0,0,0,0\n1,0.01,2,4\n");
}

TEST_F(Debug, ViewOnlySymbolsAreRefusedAndTheRunGoesOn) {
  Result r = session(
      "break step 1\ncontinue\nset z 7\nset y1 -2.5\nprint y1\nbreak line 3\ncontinue\n"
      "set x 1\nset nargout 5\nprint nargout\nset nosuch 1\ndelete 2\ncontinue\n");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* line :
       {"(sfdb) set z 7\nset: 'z' is view only; it was not changed\n",
        "(sfdb) print y1\ny1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[-2.5]}\n",
        "(sfdb) set x 1\nset: 'x' is view only; it was not changed\n",
        "(sfdb) print nargout\nnargout = {\"class\":\"double\",\"size\":[1,1],\"data\":[5.0]}\n",
        "(sfdb) set nosuch 1\nset: no open symbol scope has a symbol 'nosuch'\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  // y1 set before step 1 (the output, through the data item's conversion) is
  // overwritten by the step itself.
  EXPECT_EQ(csv(), "step,time,z,y1\n0,0,0,0\n1,0.01,2,4\n2,0.02,4,16\n");
}

TEST_F(Debug, BreakErrorStopsWithTheSymbolsInScope) {
  std::vector<double> x = table_x();
  x[6] = std::nan("");
  Result r = session("break error\ncontinue\nwhere\nprint z\nprint x(7)\nprint y1\ncontinue\n",
                     table_csv(x), false);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "step,time,z,y1\n");
  const std::string message =
      "MATLAB:interp1:NaNinX: NaN is not an allowed value in the breakpoints X.";
  EXPECT_EQ(r.err,
            "(sfdb) break error\nBreakpoint 1: error\n(sfdb) continue\n"
            "Breakpoint 1, error in step 0 (time 0, block 1): " +
                message +
                "\n(sfdb) where\nmodel Harnvale, chart 3, block 1, step 0, time 0, "
                "stopped by breakpoint 1 at " +
                message +
                "\n(sfdb) print z\nz = {\"class\":\"double\",\"size\":[1,1],\"data\":[0.0]}\n"
                "(sfdb) print x(7)\nx(7) = NaN\n(sfdb) print y1\n"
                "y1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[0.0]}\n(sfdb) continue\n"
                "(run ended at an error: 0 steps finished)\n"
                "sfsim: step 0 (time 0, z 0): " +
                message + "\n");
}

// How a session ends, and where each stop was: the stop lines, the CSV (null: not
// written) and the last lines, for the table (nan: x(7) NaN) with the options given.
TEST_F(Debug, QuitAndTheEndOfTheCommands) {
  struct Case {
    std::string commands;
    bool nan;
    std::vector<std::string> more;
    int code;
    std::string stops;
    const char* rows;
    std::string last;
  };
  const std::string all = "0,0,0,0\n1,0.01,2,4\n2,0.02,4,16\n";
  const std::string to_end =
      "(end of commands: the run goes on to its end)\n(run ended: 3 steps finished)\n";
  std::vector<double> nan_x = table_x();
  nan_x[6] = std::nan("");
  for (const Case& c : std::vector<Case>{
           {"quit\n", false, {}, 0, "", "", "(run stopped by quit: 0 steps finished)\n"},
           {"break line -3\ncontinue\ncontinue\nquit\n",
            false,
            {},
            0,
            "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
            "Breakpoint 1, line -3 of step 1 (time 0.01, block 1)\n",
            "0,0,0,0\n",
            "(run stopped by quit: 1 step finished)\n"},
           {"step\nstep\nstep\n",
            false,
            {},
            0,
            "Step, line 3 of step 0 (time 0, block 1)\nStep, line -3 of step 0 (time 0, block 1)\n"
            "Step, line 3 of step 1 (time 0.01, block 1)\n",
            all.c_str(),
            to_end},
           {"next\nnext\nstep\nnext\nnext\n",
            false,
            {},
            0,
            "Next, before step 0 (time 0)\nNext, before step 1 (time 0.01)\n"
            "Step, line 3 of step 1 (time 0.01, block 1)\nNext, before step 2 (time 0.02)\n",
            all.c_str(),
            "(sfdb) next\n(run ended: 3 steps finished)\n"},
           {"", false, {}, 0, "", all.c_str(), to_end},
           // A quit at an error stop: the run ends at the error all the same.
           {"break error\ncontinue\nquit\n",
            true,
            {},
            1,
            "Breakpoint 1, error in step 0 (time 0, block 1): MATLAB:interp1:NaNinX: NaN is not "
            "an allowed value in the breakpoints X.\n",
            "",
            "(sfdb) quit\n(run ended at an error: 0 steps finished)\n"},
           // The trace reaches its limit in step 1: its row is not one of the finished.
           {"",
            false,
            {"--trace", "t.txt", "--trace-limit", "190000"},
            2,
            "",
            nullptr,
            "(run ended: 1 step finished)\n"},
           // Two blocks: each stops at its line calls; y1 set in block 1 only.
           {"break line -3\ncontinue\ncontinue\nwhere\nset y1 5\ncontinue\n",
            false,
            {"--blocks", "2"},
            1,
            "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
            "Breakpoint 1, line -3 of step 0 (time 0, block 2)\n",
            "",
            "(sfdb) where\nmodel Harnvale, chart 3, block 2, step 0, time 0, stopped by breakpoint "
            "1, line -3\n(sfdb) set y1 5\n(sfdb) continue\n"
            "(run ended at an error: 0 steps finished)\n"}}) {
    SCOPED_TRACE(c.commands);
    fs::remove(path("out.csv"));
    Result r = session(c.commands, table_csv(c.nan ? nan_x : table_x()), true, c.more);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(stop_lines(r.out), c.stops);
    if (c.rows)
      EXPECT_EQ(csv(), "step,time,z,y1\n" + std::string(c.rows));
    else
      EXPECT_FALSE(fs::exists(path("out.csv")));
    EXPECT_TRUE(r.out.size() >= c.last.size() &&
                r.out.compare(r.out.size() - c.last.size(), c.last.size(), c.last) == 0)
        << r.out;
  }
}

// A run in time: a line stop in a solver's minor step says so.
TEST_F(Debug, StopsInMinorStepsNameThem) {
  Result r = session("break line 3\ncontinue\ncontinue\nwhere\ndelete 1\nnext\nwhere\nquit\n",
                     table_csv(table_x()), true,
                     {"--input", file("sig.csv", "time,z\n0,0\n1,10\n"), "--stop-time", "0.02",
                      "--solver", "ode4"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(
      r.out,
      "(sfdb) break line 3\nBreakpoint 1: line 3\n(sfdb) continue\n"
      "Breakpoint 1, line 3 of step 0 (time 0, block 1)\n(sfdb) continue\n"
      "Breakpoint 1, line 3 of minor step 1 of step 0 (time 0.005, block 1)\n(sfdb) where\n"
      "model Harnvale, chart 3, block 1, minor step 1 of step 0, time 0.005, stopped by "
      "breakpoint 1, line 3\n(sfdb) delete 1\nDeleted breakpoint 1\n(sfdb) next\n"
      "Next, before step 1 (time 0.01)\n(sfdb) where\nmodel Harnvale, chart 3, block 1, step 1, "
      "time 0.01, stopped by next, before the step (no line)\n(sfdb) quit\n"
      "(run stopped by quit: 1 step finished)\n");
  EXPECT_EQ(csv(), "step,time,z,y1\n0,0,0,0\n");
}

// The debugger's own output goes where none of the run's files goes, whatever name
// they give standard output.
TEST_F(Debug, TheDebuggerNeverSharesAStreamWithTheFiles) {
  const std::string commands = "break step 1\ncontinue\nquit\n";
  const std::string transcript =
      "(sfdb) break step 1\nBreakpoint 1: before step 1\n(sfdb) continue\n"
      "Breakpoint 1, before step 1 (time 0.01)\n(sfdb) quit\n(run stopped by quit: 1 step "
      "finished)\n";
  const std::string rows = "step,time,z,y1\n0,0,0,0\n";
  struct Case {
    std::vector<std::string> args;
    std::string out, err;  // out "trace": the trace, the CSV in o.csv
  };
  for (const Case& c : std::vector<Case>{
           {{"--out", "/dev/stdout"}, rows, transcript},
           {{"--out", "/proc/self/fd/1"}, rows, transcript},
           {{"--out", "-"}, rows, transcript},
           {{"--out", "stdout.txt"}, rows, transcript},
           {{"--out", "o.csv", "--trace", "/dev/stdout"}, "trace", transcript},
           {{"--out", "/dev/stdout", "--trace", "/dev/stderr"},
            "",
            "sfsim: --out writes to standard output and --trace to standard error: the "
            "debugger's own output needs one of them\n"}}) {
    SCOPED_TRACE(c.args[1] + (c.args.size() > 2 ? " " + c.args[3] : ""));
    Result r = session(commands, table_csv(table_x()), false, c.args);
    EXPECT_EQ(r.err, c.err);
    if (c.out == "trace") {
      EXPECT_EQ(read_file(path("o.csv")), rows);
      EXPECT_NE(r.out.find("\nsf_debug_data_range_wrapper "), std::string::npos);
      EXPECT_EQ(r.out.find("(sfdb)"), std::string::npos);
    } else {
      EXPECT_EQ(r.out, c.out);
    }
  }
}

// When the debugger's output cannot be written, the session ends there as a quit
// does: the rows of the steps finished are kept, and the write error is reported.
TEST_F(Debug, AWriteErrorEndsTheSessionAndKeepsTheRows) {
  struct Case {
    std::string commands, stdout_to, prefix, rows;
  };
  for (const Case& c :
       std::vector<Case>{{"break step 1\ncontinue\n", "/dev/full", "", ""},
                         // Standard output's file may not pass 512 bytes: print x does.
                         {"break line -3\ncontinue\ncontinue\nprint x\ncontinue\n", "stdout.txt",
                          "trap '' XFSZ; ulimit -f 1; ", "0,0,0,0\n"}}) {
    SCOPED_TRACE(c.commands);
    Result r = session(c.commands, table_csv(table_x()), true, {}, c.stdout_to, c.prefix);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "sfsim: standard output: write error; the debugger's session was cut short\n");
    EXPECT_EQ(csv(), "step,time,z,y1\n" + c.rows);
  }
}

// A command line over the limit is counted, not kept: 100 MB of one line read in
// 100 MB of address space.
TEST_F(Debug, AnOverLongCommandLineIsSkippedUnread) {
#ifdef SF_SANITIZE
  const std::string limit;  // the sanitizers reserve more address space than any limit
#else
  const std::string limit = "ulimit -v 100000; ";
#endif
  file("t.csv", table_csv(table_x()));
  Result r = sfsim({"debug", "--model", "Harnvale", "--chart", "3", "--table", "t.csv", "--z-range",
                    "0:4:3", "--commands", "-", "--out", "out.csv"},
                   "stdout.txt",
                   limit + "{ head -c 100000000 /dev/zero | tr '\\0' a; printf '\\nquit\\n'; } | ");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "(sfdb) " + std::string(60, 'a') +
                       "...\nA command line is at most 4096 bytes; this one (100000000 bytes) "
                       "was skipped\n(sfdb) quit\n(run stopped by quit: 0 steps finished)\n");
}

TEST_F(Debug, BadCommandsAreExplainedAndTheSessionGoesOn) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"frob", "Unknown command 'frob'; help lists the commands"},
      {"help", "Commands (one a line; blank lines and lines starting with # are skipped):"},
      {"break", "break: give step K, line 3, line -3 or error"},
      {"break step -1", "break step: '-1' is not a step number (0, 1, 2, ...)"},
      {"break step x", "break step: 'x' is not a step number (0, 1, 2, ...)"},
      {"break line 4",
       "break line: '4' is not a line of the chart: 3 (before the kernel) or -3 "
       "(after it)"},
      {"delete 9", "delete: no breakpoint 9"},
      {"delete", "delete: give the number of a breakpoint (info breakpoints lists them)"},
      {"info", "info: the one subject is breakpoints"},
      {"info breakpoints", "No breakpoints"},
      {"print", "print: give one NAME, or NAME(I) for an element"},
      {"print x", "print: the run has not started; there is nothing to show yet"},
      {"set y1 abc", "set: 'abc' is not a number"},
      {"set y1", "set: give NAME VALUE"},
      {"where", "model Harnvale, chart 3: the run has not started"},
      {"continue now", "continue: takes no arguments"},
      {"break step 1\ncontinue\nprint x(0)",
       "print: element 0 is outside x, which has 243 elements"},
      {"print x(244)", "print: element 244 is outside x, which has 243 elements"},
      {"print x(a)", "print: 'a' is not an element number (1, 2, ...)"},
      {"print nosuch",
       "print: the chart has no data item 'nosuch' (it has x, y, z, y1); a line "
       "stop shows the step's symbols"},
      {"set x 1", "set: 'x' is view only; it was not changed"},
      {"step\nprint nosuch", "print: no open symbol scope has a symbol 'nosuch'"},
      {"set y1 1e999", "set: '1e999' is out of the range of a double"},
      {"break step 00000000000000000000001", "Breakpoint 2: before step 1"},
      {"break step 99999999999999999999",
       "break step: '99999999999999999999' is not a step number (0, 1, 2, ...)"},
  };
  std::string commands;
  for (const auto& [command, reply] : cases)
    commands += command + "\n";
  Result r = session(commands);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::size_t at = 0;
  for (const auto& [command, reply] : cases) {
    const std::string last = command.substr(command.rfind('\n') + 1);
    at = r.out.find("(sfdb) " + last + "\n" + reply + "\n", at);
    EXPECT_NE(at, std::string::npos) << command << "\n" << r.out;
    if (at == std::string::npos) at = 0;
  }
  EXPECT_EQ(csv(), "step,time,z,y1\n0,0,0,0\n1,0.01,2,4\n2,0.02,4,16\n");
}

TEST_F(Debug, CommandsThatCannotBeReadAreRefusedBeforeTheRun) {
  file("c.txt", "quit\n");
  file("c.json", "quit\n");
  fs::create_directories(path("folder"));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--commands", "nosuch.txt"}, "nosuch.txt: cannot open the file (missing or unreadable)"},
      {{"--commands", "folder"}, "folder: is a folder, not a file"},
      {{"--commands", "-", "--table", "-"},
       "the commands and --table both read standard input (-); give one of them a file"},
      {{"--commands", "c.txt", "--out", "c.txt"},
       "c.txt: --out would overwrite the input of "
       "--commands"},
      {{"--commands", "c.json", "--coverage", "c.json"},
       "c.json: --coverage would overwrite the input of --commands"},
  };
  for (const auto& [args, message] : cases) {
    std::vector<std::string> all = {"debug", "--model", "Harnvale", "--chart", "3"};
    all.insert(all.end(), args.begin(), args.end());
    Result r = sfsim(all);
    EXPECT_EQ(r.code, 2) << message;
    EXPECT_EQ(r.err, "sfsim: " + message + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(read_file(path("c.txt")), "quit\n");
  EXPECT_EQ(read_file(path("c.json")), "quit\n");
}

}  // namespace
}  // namespace sfsim_test
