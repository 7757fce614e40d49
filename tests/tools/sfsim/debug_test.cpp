// sfsim debug as a user runs it: scripted sessions through --commands, a row each,
// checked line for line, the values shown bit for bit against the table the test
// wrote, and the CSV (the terminal's sessions are debug_terminal_test.cpp).
#include "tests/tools/sfsim/debug_session.hpp"

namespace sfsim_test {
namespace {

const std::vector<double> x = table_x(), y = table_y(), nan_x = table_x({{6, std::nan("")}});
const std::string kNaNinX =
    "MATLAB:interp1:NaNinX: NaN is not an allowed value in the breakpoints X.";
const std::string kHead = "step,time,z,y1\n", kFirst = kHead + "0,0,0,0\n";
const std::string kAll = kFirst + "1,0.01,2,4\n2,0.02,4,16\n";
std::string y1_is(const std::string& v) {
  return "y1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[" + v + "]}\n";
}
Files csv(std::optional<std::string> rows) {
  return {{"out.csv", rows}};
}

TEST_F(Debug, StopsValuesAndEdits) {
  const std::vector<Session> sessions = {
      {.name = "an edit of y1 at line -3 reaches the CSV",
       .commands = "break step 1\ncontinue\ndelete 1\nbreak line -3\ninfo breakpoints\ncontinue\n"
                   "where\nprint y1\nset y1 0.1\nprint y1\ndelete 2\ncontinue\n",
       .expect = {.out = "(sfdb) break step 1\nBreakpoint 1: before step 1\n(sfdb) continue\n"
                         "Breakpoint 1, before step 1 (time 0.01)\n(sfdb) delete 1\n"
                         "Deleted breakpoint 1\n(sfdb) break line -3\nBreakpoint 2: line -3\n"
                         "(sfdb) info breakpoints\nNum  Stops\n2    at line -3\n(sfdb) continue\n"
                         "Breakpoint 2, line -3 of step 1 (time 0.01, block 1)\n(sfdb) where\n"
                         "model Harnvale, chart 3, block 1, step 1, time 0.01, stopped by "
                         "breakpoint 2, line -3\n(sfdb) print y1\n" +
                         y1_is("4.0") + "(sfdb) set y1 0.1\n(sfdb) print y1\n" + y1_is("0.1") +
                         "(sfdb) delete 2\nDeleted breakpoint 2\n(sfdb) continue\n"
                         "(run ended: 3 steps finished)\n",
                  .err = "",
                  // Steps 0 and 2 hit breakpoints of the table exactly: y1 is y there.
                  .files = csv(kHead + "0,0,0," + text(y[0]) + "\n1,0.01,2," + text(0.1) +
                               "\n2,0.02,4," + text(y[40]) + "\n")}},
      // Line 3 of step 1 (z = 2): the scope's symbols before the kernel; line -3: y1 the
      // kernel's result; before step 2: block 1's data items, the step's input z = 4
      // given, y1 still step 1's; the quit keeps steps 0 and 1.
      {.name = "print shows the values of the step",
       .commands = "break step 1\ncontinue\nbreak line 3\nbreak line -3\ncontinue\nprint nargin\n"
                   "print nargout\nprint x\nprint y\nprint z\nprint y1\nprint x(5)\ncontinue\n"
                   "print y1\ndelete 2\ndelete 3\nbreak step 2\ncontinue\nprint x\nprint y\n"
                   "print z\nprint y1\nprint y(41)\nprint nargin\nquit\n",
       .expect = {.err = "",
                  .says = {"Breakpoint 2, line 3 of step 1 (time 0.01, block 1)\n",
                           "\nx(5) = " + text(x[4]) + "\n",
                           "Breakpoint 4, before step 2 (time 0.02)\n",
                           "\ny(41) = " + text(y[40]) + "\n",
                           "print: the chart has no data item 'nargin' (it has x, y, z, y1); a "
                           "line stop shows the step's symbols\n"},
                  .files = csv(kFirst + "1,0.01,2,4\n")},
       .shown = {"nargin nargout x y z y1 y1 x y z y1",
                 {{3}, {1}, x, y, {2}, {0}, {y[20]}, x, y, {4}, {y[20]}}}},
      // y1 set before step 1 (the output, through the data item's conversion) is
      // overwritten by the step itself.
      {.name = "view-only symbols are refused and the run goes on",
       .commands = "break step 1\ncontinue\nset z 7\nset y1 -2.5\nprint y1\nbreak line 3\n"
                   "continue\nset x 1\nset nargout 5\nprint nargout\nset nosuch 1\ndelete 2\n"
                   "continue\n",
       .expect =
           {.err = "",
            .says = {"(sfdb) set z 7\nset: 'z' is view only; it was not changed\n",
                     "(sfdb) print y1\n" + y1_is("-2.5"),
                     "(sfdb) set x 1\nset: 'x' is view only; it was not changed\n",
                     "(sfdb) print nargout\nnargout = {\"class\":\"double\",\"size\":[1,1],"
                     "\"data\":[5.0]}\n",
                     "(sfdb) set nosuch 1\nset: no open symbol scope has a symbol 'nosuch'\n"},
            .files = csv(kAll)}},
      {.name = "break error stops with the symbols in scope",
       .commands = "break error\ncontinue\nwhere\nprint z\nprint x(7)\nprint y1\ncontinue\n",
       .expect = {.code = 1,
                  .out = kHead,
                  .err = "(sfdb) break error\nBreakpoint 1: error\n(sfdb) continue\n"
                         "Breakpoint 1, error in step 0 (time 0, block 1): " +
                         kNaNinX +
                         "\n(sfdb) where\nmodel Harnvale, chart 3, block 1, step 0, time 0, "
                         "stopped by breakpoint 1 at " +
                         kNaNinX +
                         "\n(sfdb) print z\n"
                         "z = {\"class\":\"double\",\"size\":[1,1],\"data\":[0.0]}\n"
                         "(sfdb) print x(7)\nx(7) = NaN\n(sfdb) print y1\n" +
                         y1_is("0.0") +
                         "(sfdb) continue\n(run ended at an error: 0 steps finished)\n"
                         "sfsim: step 0 (time 0, z 0): " +
                         kNaNinX + "\n"},
       .x = nan_x,
       .csv_on_stdout = true},
      // A run in time: a line stop in a solver's minor step says so.
      {.name = "stops in minor steps name them",
       .commands = "break line 3\ncontinue\ncontinue\nwhere\ndelete 1\nnext\nwhere\nquit\n",
       .options = {"--input", "sig.csv", "--stop-time", "0.02", "--solver", "ode4"},
       .expect = {.out = "(sfdb) break line 3\nBreakpoint 1: line 3\n(sfdb) continue\n"
                         "Breakpoint 1, line 3 of step 0 (time 0, block 1)\n(sfdb) continue\n"
                         "Breakpoint 1, line 3 of minor step 1 of step 0 (time 0.005, block 1)\n"
                         "(sfdb) where\nmodel Harnvale, chart 3, block 1, minor step 1 of step "
                         "0, time 0.005, stopped by breakpoint 1, line 3\n(sfdb) delete 1\n"
                         "Deleted breakpoint 1\n(sfdb) next\nNext, before step 1 (time 0.01)\n"
                         "(sfdb) where\nmodel Harnvale, chart 3, block 1, step 1, time 0.01, "
                         "stopped by next, before the step (no line)\n(sfdb) quit\n"
                         "(run stopped by quit: 1 step finished)\n",
                  .files = csv(kFirst)},
       .given = {{"sig.csv", "time,z\n0,0\n1,10\n"}}},
  };
  for (const Session& s : sessions)
    run(s);
}

// How a session ends: the stop lines, the CSV (none: not written) and the last lines.
Session ends(std::string commands, std::string stops, std::optional<std::string> rows,
             std::string last, int code = 0, std::vector<std::string> options = {},
             std::vector<double> table = x) {
  std::string name = commands;
  for (const std::string& option : options)
    name += " " + option;
  std::replace(name.begin(), name.end(), '\n', ' ');
  return {.name = name,
          .commands = commands,
          .options = options,
          .expect = {.code = code, .ends = last, .files = csv(rows)},
          .stops = stops,
          .x = table};
}
// The debugger's own output goes where none of the run's files goes, whatever name
// they give standard output.
Session stream(std::vector<std::string> options, std::optional<std::string> out, std::string err,
               int code = 0) {
  return {.name = options[1] + " " + options.back(),
          .commands = "break step 1\ncontinue\nquit\n",
          .options = options,
          .expect = {.code = code, .out = out, .err = err}};
}
// Commands that cannot be read are refused before the run, and no file is overwritten.
Session unread(std::vector<std::string> options, std::string message) {
  return {.name = message,
          .options = options,
          .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: " + message + "\n",
                     .files = {{"c.txt", "quit\n"}, {"c.json", "quit\n"}}},
          .table = false,
          .given = {{"c.txt", "quit\n"}, {"c.json", "quit\n"}, {"folder/", ""}}};
}
// Commands refused and explained, one after another in one session that goes on.
Session dialogue(const std::vector<std::pair<std::string, std::string>>& replies) {
  Session s{.name = "bad commands", .expect = {.err = "", .files = csv(kAll)}};
  for (const auto& [command, reply] : replies) {
    s.commands += command + "\n";
    s.expect.says.push_back("(sfdb) " + command.substr(command.rfind('\n') + 1) + "\n" + reply +
                            "\n");
  }
  return s;
}

TEST_F(Debug, EndsStreamsAndRefusals) {
  const std::string to_end =
      "(end of commands: the run goes on to its end)\n(run ended: 3 steps finished)\n";
  const std::string transcript =
      "(sfdb) break step 1\nBreakpoint 1: before step 1\n(sfdb) continue\n"
      "Breakpoint 1, before step 1 (time 0.01)\n(sfdb) quit\n"
      "(run stopped by quit: 1 step finished)\n";
  const std::string cut_short =
      "sfsim: standard output: write error; the debugger's session was cut short\n";
#ifdef SF_SANITIZE
  const std::string limit;  // the sanitizers reserve more address space than any limit
#else
  const std::string limit = "ulimit -v 100000; ";
#endif
  const std::vector<Session> sessions = {
      ends("quit\n", "", kHead, "(run stopped by quit: 0 steps finished)\n"),
      ends("break line -3\ncontinue\ncontinue\nquit\n",
           "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
           "Breakpoint 1, line -3 of step 1 (time 0.01, block 1)\n",
           kFirst, "(run stopped by quit: 1 step finished)\n"),
      ends("step\nstep\nstep\n",
           "Step, line 3 of step 0 (time 0, block 1)\nStep, line -3 of step 0 (time 0, block 1)\n"
           "Step, line 3 of step 1 (time 0.01, block 1)\n",
           kAll, to_end),
      ends("next\nnext\nstep\nnext\nnext\n",
           "Next, before step 0 (time 0)\nNext, before step 1 (time 0.01)\n"
           "Step, line 3 of step 1 (time 0.01, block 1)\nNext, before step 2 (time 0.02)\n",
           kAll, "(sfdb) next\n(run ended: 3 steps finished)\n"),
      ends("", "", kAll, to_end),
      // A quit at an error stop: the run ends at the error all the same.
      ends("break error\ncontinue\nquit\n",
           "Breakpoint 1, error in step 0 (time 0, block 1): " + kNaNinX + "\n", kHead,
           "(sfdb) quit\n(run ended at an error: 0 steps finished)\n", 1, {}, nan_x),
      // The trace reaches its limit in step 1: its row is not one of the finished.
      ends("", "", std::nullopt, "(run ended: 1 step finished)\n", 2,
           {"--trace", "t.txt", "--trace-limit", "190000"}),
      // Two blocks: each stops at its line calls; y1 set in block 1 only.
      ends("break line -3\ncontinue\ncontinue\nwhere\nset y1 5\ncontinue\n",
           "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
           "Breakpoint 1, line -3 of step 0 (time 0, block 2)\n",
           kHead,
           "(sfdb) where\nmodel Harnvale, chart 3, block 2, step 0, time 0, stopped by "
           "breakpoint 1, line -3\n(sfdb) set y1 5\n(sfdb) continue\n(run ended at an error: 0 "
           "steps finished)\n",
           1, {"--blocks", "2"}),
      stream({"--out", "/dev/stdout"}, kFirst, transcript),
      stream({"--out", "/proc/self/fd/1"}, kFirst, transcript),
      stream({"--out", "-"}, kFirst, transcript),
      stream({"--out", "stdout.txt"}, kFirst, transcript),
      [&] {
        Session s = stream({"--out", "o.csv", "--trace", "/dev/stdout"}, std::nullopt, transcript);
        s.expect.says = {"\nsf_debug_data_range_wrapper "};
        s.expect.lacks = {"(sfdb)"};
        s.expect.files = {{"o.csv", kFirst}};
        return s;
      }(),
      stream({"--out", "/dev/stdout", "--trace", "/dev/stderr"}, "",
             "sfsim: --out writes to standard output and --trace to standard error: the "
             "debugger's own output needs one of them\n",
             2),
      // When the debugger's output cannot be written, the session ends there as a quit
      // does: the rows of the steps finished are kept.
      {.name = "standard output on a full disk",
       .commands = "break step 1\ncontinue\n",
       .expect = {.code = 2, .err = cut_short, .files = csv(kHead)},
       .stdout_to = "/dev/full"},
      // The run also ends at a host error: its message is not lost to the write error.
      {.name = "a host error while standard output is full",
       .commands = "continue\n",
       .expect = {.code = 2,
                  .err = "sfsim: step 0 (time 0, z 0): " + kNaNinX + "\n" + cut_short,
                  .files = csv(kHead)},
       .x = nan_x,
       .stdout_to = "/dev/full"},
      // Standard output's file may not pass 512 bytes: print x does.
      {.name = "standard output over its size limit",
       .commands = "break line -3\ncontinue\ncontinue\nprint x\ncontinue\n",
       .expect = {.code = 2, .err = cut_short, .files = csv(kFirst)},
       .prefix = "trap '' XFSZ; ulimit -f 1; "},
      // A command line over the limit is counted, not kept: 100 MB of one line read in
      // 100 MB of address space.
      {.name = "an over-long command line is skipped unread",
       .options = {"--commands", "-"},
       .expect = {.out = "(sfdb) " + std::string(60, 'a') +
                         "...\nA command line is at most 4096 "
                         "bytes; this one (100000000 bytes) was skipped\n(sfdb) quit\n(run stopped "
                         "by quit: 0 steps finished)\n"},
       .prefix = limit + "{ head -c 100000000 /dev/zero | tr '\\0' a; printf '\\nquit\\n'; } | "},
      dialogue({
          {"frob", "Unknown command 'frob'; help lists the commands"},
          {"help", "Commands (one a line; blank lines and lines starting with # are skipped):"},
          {"break", "break: give step K, line 3, line -3 or error"},
          {"break step -1", "break step: '-1' is not a step number (0, 1, 2, ...)"},
          {"break step x", "break step: 'x' is not a step number (0, 1, 2, ...)"},
          {"break line 4",
           "break line: '4' is not a line of the chart: 3 (before the kernel) or -3 (after it)"},
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
           "print: the chart has no data item 'nosuch' (it has x, y, z, y1); a line stop shows the "
           "step's symbols"},
          {"set x 1", "set: 'x' is view only; it was not changed"},
          {"step\nprint nosuch", "print: no open symbol scope has a symbol 'nosuch'"},
          {"set y1 1e999", "set: '1e999' is out of the range of a double"},
          {"break step 00000000000000000000001", "Breakpoint 2: before step 1"},
          {"break step 99999999999999999999",
           "break step: '99999999999999999999' is not a step number (0, 1, 2, ...)"},
      }),
      unread({"--commands", "nosuch.txt"},
             "nosuch.txt: cannot open the file (missing or unreadable)"),
      unread({"--commands", "folder"}, "folder: is a folder, not a file"),
      unread({"--commands", "-", "--table", "-"},
             "the commands and --table both read standard input (-); give one of them a file"),
      unread({"--commands", "c.txt", "--out", "c.txt"},
             "c.txt: --out would overwrite the input of --commands"),
      unread({"--commands", "c.json", "--coverage", "c.json"},
             "c.json: --coverage would overwrite the input of --commands"),
  };
  for (const Session& s : sessions)
    run(s);
}

}  // namespace
}  // namespace sfsim_test
