// sfsim debug as a user runs it: scripted sessions through --commands, a row each,
// checked line for line, the values shown bit for bit against the table the test
// wrote, and the CSV (the terminal's sessions are debug_terminal_test.cpp).
#include "tests/tools/sfsim/debug_session.hpp"

namespace sfsim_test {
namespace {

const std::vector<double> x = table_x(), y = table_y();
const std::vector<double> nan_x = table_x({{6, std::nan("")}});
const std::string kNaNinX =
    "MATLAB:interp1:NaNinX: NaN is not an allowed value in the breakpoints X.";
const std::string kAll = "step,time,z,y1\n0,0,0,0\n1,0.01,2,4\n2,0.02,4,16\n";
const std::string kFirst = "step,time,z,y1\n0,0,0,0\n";
std::string y1_is(const std::string& v) {
  return "y1 = {\"class\":\"double\",\"size\":[1,1],\"data\":[" + v + "]}\n";
}
std::vector<std::pair<std::string, std::optional<std::string>>> csv(
    std::optional<std::string> rows) {
  return {{"out.csv", rows}};
}

// Stops, the values shown at them, and edits.
TEST_F(Debug, StopsValuesAndEdits) {
  for (const Session& s : std::vector<Session>{
           {.name = "an edit of y1 at line -3 reaches the CSV",
 .commands = "break step 1\ncontinue\ndelete 1\nbreak line -3\ninfo breakpoints\n"
             "continue\nwhere\nprint y1\nset y1 0.1\nprint y1\ndelete 2\ncontinue\n",
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
            .files = csv("step,time,z,y1\n0,0,0," + text(y[0]) + "\n1,0.01,2," + text(0.1) +
                         "\n2,0.02,4," + text(y[40]) + "\n")}},
           // Line 3 of step 1 (z = 2): the scope's symbols before the kernel; line -3:
           // y1 the kernel's result; before step 2: block 1's data items, the step's
           // input z = 4 given, y1 still step 1's; the quit keeps steps 0 and 1.
           {.name = "print shows the values of the step",
           .commands =
                "break step 1\ncontinue\nbreak line 3\nbreak line -3\ncontinue\nprint nargin\n"
                "print nargout\nprint x\nprint y\nprint z\nprint y1\nprint x(5)\ncontinue\n"
                "print y1\ndelete 2\ndelete 3\nbreak step 2\ncontinue\nprint x\nprint y\n"
                "print z\nprint y1\nprint y(41)\nprint nargin\nquit\n",
           .expect = {.err = "",
                     .says = {"Breakpoint 2, line 3 of step 1 (time 0.01, block 1)\n",
                              "\nx(5) = " + text(x[4]) + "\n",
                              "Breakpoint 4, before step 2 (time 0.02)\n",
                              "\ny(41) = " + text(y[40]) + "\n",
                              "print: the chart has no data item 'nargin' (it has x, y, z, y1); "
                              "a line stop shows the step's symbols\n"},
                     .files = csv(kFirst + "1,0.01,2,4\n")},
           .shown = {{"nargin", 1, {3}},
                     {"nargout", 1, {1}},
                     {"z", 1, {2}},
                     {"y1", 1, {0}},
                     {"y1", 2, {y[20]}},
                     {"z", 2, {4}},
                     {"y1", 3, {y[20]}},
                     {"x", 1, x},
                     {"y", 1, y},
                     {"x", 2, x},
                     {"y", 2, y}}},
           // y1 set before step 1 (the output, through the data item's conversion) is
           // overwritten by the step itself.
           {.name = "view-only symbols are refused and the run goes on",
           .commands = "break step 1\ncontinue\nset z 7\nset y1 -2.5\nprint y1\nbreak line 3\n"
                       "continue\nset x 1\nset nargout 5\nprint nargout\nset nosuch 1\ndelete 2\n"
                       "continue\n",
           .expect = {.err = "",
                     .says = {"(sfdb) set z 7\nset: 'z' is view only; it was not changed\n",
                              "(sfdb) print y1\n" + y1_is("-2.5"),
                              "(sfdb) set x 1\nset: 'x' is view only; it was not changed\n",
                              "(sfdb) print nargout\nnargout = "
                              "{\"class\":\"double\",\"size\":[1,1],\"data\":[5.0]}\n",
                              "(sfdb) set nosuch 1\nset: no open symbol scope has a symbol "
                              "'nosuch'\n"},
                     .files = csv(kAll)}},
           {.name = "break error stops with the symbols in scope",
           .commands = "break error\ncontinue\nwhere\nprint z\nprint x(7)\nprint y1\ncontinue\n",
           .expect = {.code = 1,
                     .out = "step,time,z,y1\n",
                     .err = "(sfdb) break error\nBreakpoint 1: error\n(sfdb) continue\n"
                            "Breakpoint 1, error in step 0 (time 0, block 1): " +
                            kNaNinX +
                            "\n(sfdb) where\nmodel Harnvale, chart 3, block 1, step 0, time 0, "
                            "stopped by breakpoint 1 at " +
                            kNaNinX + "\n(sfdb) print z\nz = " +
                            "{\"class\":\"double\",\"size\":[1,1],\"data\":[0.0]}\n"
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
           .expect = {.out =
                          "(sfdb) break line 3\nBreakpoint 1: line 3\n(sfdb) continue\n"
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
       })
    run(s);
}

// The commands refused and explained, one after another in one session that goes on.
Session dialogue(const std::vector<std::pair<std::string, std::string>>& replies) {
  Session s{.name = "bad commands are explained and the session goes on",
            .expect = {.err = "", .files = csv(kAll)}};
  for (const auto& [command, reply] : replies) {
    s.commands += command + "\n";
    s.expect.says.push_back("(sfdb) " + command.substr(command.rfind('\n') + 1) + "\n" + reply +
                            "\n");
  }
  return s;
}

// How a session ends (quit, the end of the commands, an error, a write error), where
// its output goes, and what is refused.
TEST_F(Debug, EndsStreamsAndRefusals) {
  const std::string to_end =
      "(end of commands: the run goes on to its end)\n(run ended: 3 steps finished)\n";
  const std::string transcript =
      "(sfdb) break step 1\nBreakpoint 1: before step 1\n(sfdb) continue\n"
      "Breakpoint 1, before step 1 (time 0.01)\n(sfdb) quit\n(run stopped by quit: 1 step "
      "finished)\n";
  const std::string cut_short =
      "sfsim: standard output: write error; the debugger's session was cut short\n";
  const std::vector<std::pair<std::string, std::string>> unreadable = {
      {"c.txt", "quit\n"}, {"c.json", "quit\n"}, {"folder/", ""}};
  const std::vector<std::pair<std::string, std::optional<std::string>>> kept = {
      {"c.txt", "quit\n"}, {"c.json", "quit\n"}};
#ifdef SF_SANITIZE
  const std::string limit;  // the sanitizers reserve more address space than any limit
#else
  const std::string limit = "ulimit -v 100000; ";
#endif
  for (const Session& s : std::vector<Session>{
           {.name = "quit at once",
 .commands = "quit\n",
 .expect = {.ends = "(run stopped by quit: 0 steps finished)\n", .files = csv("step,time,z,y1\n")},
 .stops = ""},
           {.name = "quit after a stop in step 1",
           .commands = "break line -3\ncontinue\ncontinue\nquit\n",
           .expect = {.ends = "(run stopped by quit: 1 step finished)\n", .files = csv(kFirst)},
           .stops = "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
                    "Breakpoint 1, line -3 of step 1 (time 0.01, block 1)\n"},
           {.name = "the end of the commands after steps",
           .commands = "step\nstep\nstep\n",
           .expect = {.ends = to_end, .files = csv(kAll)},
           .stops = "Step, line 3 of step 0 (time 0, block 1)\nStep, line -3 of step 0 (time 0, "
                    "block 1)\nStep, line 3 of step 1 (time 0.01, block 1)\n"},
           {.name = "next past the last step",
           .commands = "next\nnext\nstep\nnext\nnext\n",
           .expect = {.ends = "(sfdb) next\n(run ended: 3 steps finished)\n", .files = csv(kAll)},
           .stops =
                "Next, before step 0 (time 0)\nNext, before step 1 (time 0.01)\n"
                "Step, line 3 of step 1 (time 0.01, block 1)\nNext, before step 2 (time 0.02)\n"},
           {.name = "no commands",
           .commands = "",
           .expect = {.ends = to_end, .files = csv(kAll)},
           .stops = ""},
           // A quit at an error stop: the run ends at the error all the same.
           {.name = "quit at an error stop",
           .commands = "break error\ncontinue\nquit\n",
           .expect = {.code = 1,
                     .ends = "(sfdb) quit\n(run ended at an error: 0 steps finished)\n",
                     .files = csv("step,time,z,y1\n")},
           .stops = "Breakpoint 1, error in step 0 (time 0, block 1): " + kNaNinX + "\n",
           .x = nan_x},
           // The trace reaches its limit in step 1: its row is not one of the finished.
           {.name = "the trace's limit",
           .commands = "",
           .options = {"--trace", "t.txt", "--trace-limit", "190000"},
           .expect = {.code = 2,
                     .ends = "(run ended: 1 step finished)\n",
                     .files = csv(std::nullopt)},
           .stops = ""},
           // Two blocks: each stops at its line calls; y1 set in block 1 only.
           {.name = "two blocks",
           .commands = "break line -3\ncontinue\ncontinue\nwhere\nset y1 5\ncontinue\n",
           .options = {"--blocks", "2"},
           .expect = {.code = 1,
                     .ends = "(sfdb) where\nmodel Harnvale, chart 3, block 2, step 0, time 0, "
                             "stopped by breakpoint 1, line -3\n(sfdb) set y1 5\n(sfdb) continue\n"
                             "(run ended at an error: 0 steps finished)\n",
                     .files = csv("step,time,z,y1\n")},
           .stops = "Breakpoint 1, line -3 of step 0 (time 0, block 1)\n"
                    "Breakpoint 1, line -3 of step 0 (time 0, block 2)\n"},
           // The debugger's own output goes where none of the run's files goes, whatever
           // name they give standard output.
           {.name = "--out /dev/stdout",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "/dev/stdout"},
           .expect = {.out = kFirst, .err = transcript}},
           {.name = "--out /proc/self/fd/1",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "/proc/self/fd/1"},
           .expect = {.out = kFirst, .err = transcript}},
           {.name = "--out -",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "-"},
           .expect = {.out = kFirst, .err = transcript}},
           {.name = "--out stdout.txt",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "stdout.txt"},
           .expect = {.out = kFirst, .err = transcript}},
           {.name = "--trace /dev/stdout",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "o.csv", "--trace", "/dev/stdout"},
           .expect = {.err = transcript,
                     .says = {"\nsf_debug_data_range_wrapper "},
                     .lacks = {"(sfdb)"},
                     .files = {{"o.csv", kFirst}}}},
           {.name = "--out /dev/stdout --trace /dev/stderr",
           .commands = "break step 1\ncontinue\nquit\n",
           .options = {"--out", "/dev/stdout", "--trace", "/dev/stderr"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: --out writes to standard output and --trace to standard "
                            "error: the debugger's own output needs one of them\n"}},
           // When the debugger's output cannot be written, the session ends there as a
           // quit does: the rows of the steps finished are kept.
           {.name = "standard output on a full disk",
           .commands = "break step 1\ncontinue\n",
           .expect = {.code = 2, .err = cut_short, .files = csv("step,time,z,y1\n")},
           .stdout_to = "/dev/full"},
           // Standard output's file may not pass 512 bytes: print x does.
           {.name = "standard output over its size limit",
           .commands = "break line -3\ncontinue\ncontinue\nprint x\ncontinue\n",
           .expect = {.code = 2, .err = cut_short, .files = csv(kFirst)},
           .prefix = "trap '' XFSZ; ulimit -f 1; "},
           // A command line over the limit is counted, not kept: 100 MB of one line read
           // in 100 MB of address space.
           {.name = "an over-long command line is skipped unread",
           .options = {"--commands", "-"},
           .expect = {.out = "(sfdb) " + std::string(60, 'a') +
                             "...\nA command line is at most 4096 bytes; this one (100000000 "
                             "bytes) was skipped\n(sfdb) quit\n(run stopped by quit: 0 steps "
                             "finished)\n"},
           .prefix =
                limit + "{ head -c 100000000 /dev/zero | tr '\\0' a; printf '\\nquit\\n'; } | "},
           dialogue({
               {"frob", "Unknown command 'frob'; help lists the commands"},
               {"help",
                "Commands (one a line; blank lines and lines starting with # are skipped):"},
               {"break", "break: give step K, line 3, line -3 or error"},
               {"break step -1", "break step: '-1' is not a step number (0, 1, 2, ...)"},
               {"break step x", "break step: 'x' is not a step number (0, 1, 2, ...)"},
               {"break line 4",
                "break line: '4' is not a line of the chart: 3 (before the kernel) or -3 (after "
                "it)"},
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
                "print: the chart has no data item 'nosuch' (it has x, y, z, y1); a line stop "
                "shows the step's symbols"},
               {"set x 1", "set: 'x' is view only; it was not changed"},
               {"step\nprint nosuch", "print: no open symbol scope has a symbol 'nosuch'"},
               {"set y1 1e999", "set: '1e999' is out of the range of a double"},
               {"break step 00000000000000000000001", "Breakpoint 2: before step 1"},
               {"break step 99999999999999999999",
                "break step: '99999999999999999999' is not a step number (0, 1, 2, ...)"},
           }),
           // Commands that cannot be read are refused before the run, and no file is
           // overwritten.
           {.name = "no commands file",
           .options = {"--commands", "nosuch.txt"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: nosuch.txt: cannot open the file (missing or unreadable)\n",
                     .files = kept},
           .table = false,
           .given = unreadable},
           {.name = "commands from a folder",
           .options = {"--commands", "folder"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: folder: is a folder, not a file\n",
                     .files = kept},
           .table = false,
           .given = unreadable},
           {.name = "commands and table both from standard input",
           .options = {"--commands", "-", "--table", "-"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: the commands and --table both read standard input (-); give "
                            "one of them a file\n",
                     .files = kept},
           .table = false,
           .given = unreadable},
           {.name = "--out over the commands",
           .options = {"--commands", "c.txt", "--out", "c.txt"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: c.txt: --out would overwrite the input of --commands\n",
                     .files = kept},
           .table = false,
           .given = unreadable},
           {.name = "--coverage over the commands",
           .options = {"--commands", "c.json", "--coverage", "c.json"},
           .expect = {.code = 2,
                     .out = "",
                     .err = "sfsim: c.json: --coverage would overwrite the input of --commands\n",
                     .files = kept},
           .table = false,
           .given = unreadable},
       })
    run(s);
}

}  // namespace
}  // namespace sfsim_test
