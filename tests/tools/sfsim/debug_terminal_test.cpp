// sfsim debug on a terminal, as a user meets it: the prompt, line editing, history
// and Ctrl-C, through a pseudo-terminal.
#include "tests/support/pty_session.hpp"
#include "tests/tools/sfsim/debug_session.hpp"

namespace sfsim_test {
namespace {

TEST_F(Debug, InteractiveSessionEditsLinesAndRecallsHistory) {
  file("t.csv", table_csv(table_x()));
  PtySession s(dir_.string(), quote(binary()) +
                                  " debug --model Harnvale --chart 3 --table t.csv --z-range "
                                  "0:4:3 --out out.csv");
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.expect("(sfdb) ")) << s.output();
  // "brak step 1": nine steps left, the missing e typed in, Enter.
  std::string left;
  for (int i = 0; i < 9; ++i)
    left += "\x1b[D";
  s.type("brak step 1" + left + "e\r");
  ASSERT_TRUE(s.expect("Breakpoint 1: before step 1")) << s.output();
  ASSERT_TRUE(s.expect("(sfdb) ", 2)) << s.output();
  // "continuX", rubbed out with backspace and put right.
  s.type(
      "continuX\x7f"
      "e\r");
  ASSERT_TRUE(s.expect("Breakpoint 1, before step 1 (time 0.01)")) << s.output();
  ASSERT_TRUE(s.expect("(sfdb) ", 3)) << s.output();
  s.type("print z\r");
  const std::string z = "z = {\"class\":\"double\",\"size\":[1,1],\"data\":[2.0]}";
  ASSERT_TRUE(s.expect(z)) << s.output();
  ASSERT_TRUE(s.expect("(sfdb) ", 4)) << s.output();
  // Up arrow: the last line again.
  s.type("\x1b[A\r");
  ASSERT_TRUE(s.expect(z, 2)) << s.output();
  ASSERT_TRUE(s.expect("(sfdb) ", 5)) << s.output();
  s.type("quit\r");
  EXPECT_EQ(s.wait(), 0) << s.output();
  EXPECT_FALSE(s.failed());
  EXPECT_EQ(s.output().find("Unknown command"), std::string::npos) << s.output();
  EXPECT_EQ(read_file(path("out.csv")), "step,time,z,y1\n0,0,0,0\n");
}

// Ctrl-C at the prompt drops the line typed and prompts again; the run goes on.
TEST_F(Debug, CtrlCAtThePromptClearsTheLine) {
  file("t.csv", table_csv(table_x()));
  // exec: a shell in between would take the interrupt too.
  PtySession s(dir_.string(), "exec " + quote(binary()) +
                                  " debug --model Harnvale --chart 3 --table t.csv --z-range "
                                  "0:4:3 --out out.csv");
  ASSERT_TRUE(s.started());
  ASSERT_TRUE(s.expect("(sfdb) ")) << s.output();
  s.type("break step 1\r");
  ASSERT_TRUE(s.expect("(sfdb) ", 2)) << s.output();
  s.type("frob\x03");
  ASSERT_TRUE(s.expect("(sfdb) ", 3)) << s.output();
  s.type("continue\r");
  ASSERT_TRUE(s.expect("Breakpoint 1, before step 1 (time 0.01)")) << s.output();
  ASSERT_TRUE(s.expect("(sfdb) ", 4)) << s.output();
  s.type("\x03");
  ASSERT_TRUE(s.expect("(sfdb) ", 5)) << s.output();
  s.type("quit\r");
  EXPECT_EQ(s.wait(), 0) << s.output();
  EXPECT_EQ(s.output().find("Unknown command"), std::string::npos) << s.output();
  EXPECT_EQ(read_file(path("out.csv")), "step,time,z,y1\n0,0,0,0\n");
}

TEST_F(Debug, InteractiveSessionNeedsAFileForTheCsv) {
  file("t.csv", table_csv(table_x()));
  const std::string csv =
      "sfsim: an interactive session shows the debugger on standard output: give the CSV a file "
      "with --out FILE";
  for (const auto& [options, message] : std::vector<std::pair<std::string, std::string>>{
           {"", csv},
           {" --out /dev/stdout", csv},
           {" --out /proc/self/fd/1", csv},
           {" --out o.csv --trace /dev/stdout",
            "sfsim: an interactive session shows the debugger on standard output: give --trace a "
            "file other than standard output"}}) {
    SCOPED_TRACE(options);
    PtySession s(dir_.string(), quote(binary()) + " debug --model Harnvale --chart 3" + options);
    ASSERT_TRUE(s.started());
    EXPECT_EQ(s.wait(), 2);
    EXPECT_NE(s.output().find(message), std::string::npos) << s.output();
  }
}

}  // namespace
}  // namespace sfsim_test
