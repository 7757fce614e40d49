// sfsim debug on a terminal, as a user meets it: the prompt, line editing, history
// and Ctrl-C, through a pseudo-terminal; a row is one session.
#include "tests/support/pty_session.hpp"
#include "tests/tools/sfsim/debug_session.hpp"

namespace sfsim_test {
namespace {

struct Terminal {
  std::string name, options;  // after "debug --model Harnvale --chart 3"
  // Lines typed at the prompts, each with a text it brings (or none); a quit follows.
  std::vector<std::pair<std::string, std::string>> keys{};
  int code = 0;
  std::string says{};                // a text of the output
  std::optional<std::string> csv{};  // out.csv's text
};

class DebugTerminal : public Debug {
 protected:
  void run(const Terminal& t) {
    SCOPED_TRACE(t.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file("t.csv", table_csv(table_x()));
    // exec: a shell in between would take the interrupt too.
    PtySession s(dir_.string(),
                 "exec " + quote(binary()) + " debug --model Harnvale --chart 3" + t.options);
    ASSERT_TRUE(s.started());
    const std::string prompt = "(sfdb) ";
    ASSERT_TRUE(t.keys.empty() || s.expect(prompt)) << s.output();
    // Each line typed brings one more of its text, and one more prompt.
    for (const auto& [typed, brings] : t.keys) {
      const int texts = s.count(brings), prompts = s.count(prompt);
      s.type(typed);
      ASSERT_TRUE(brings.empty() || s.expect(brings, texts + 1)) << brings << "\n" << s.output();
      ASSERT_TRUE(s.expect(prompt, prompts + 1)) << s.output();
    }
    if (!t.keys.empty()) s.type("quit\r");
    EXPECT_EQ(s.wait(), t.code) << s.output();
    EXPECT_FALSE(s.failed());
    EXPECT_NE(s.output().find(t.says), std::string::npos) << s.output();
    EXPECT_EQ(s.output().find("Unknown command"), std::string::npos) << s.output();
    if (t.csv) {
      EXPECT_EQ(read_file(path("out.csv")), *t.csv);
    }
  }
};

TEST_F(DebugTerminal, Sessions) {
  const std::string script = " --table t.csv --z-range 0:4:3 --out out.csv";
  const std::string z = "z = {\"class\":\"double\",\"size\":[1,1],\"data\":[2.0]}";
  const std::string stopped = "Breakpoint 1, before step 1 (time 0.01)";
  const std::string csv =
      "sfsim: an interactive session shows the debugger on standard output: give the CSV a file "
      "with --out FILE";
  const std::vector<Terminal> sessions = {
      // "brak step 1": nine steps left, the missing e typed in, Enter; "continuX" rubbed
      // out with backspace and put right; the up arrow: the last line again.
      {.name = "line editing and history",
       .options = script,
       .keys = {{"brak step 1" + repeat("\x1b[D", 9) + "e\r", "Breakpoint 1: before step 1"},
                {"continuX\x7f"
                 "e\r",
                 stopped},
                {"print z\r", z},
                {"\x1b[A\r", z}},
       .csv = "step,time,z,y1\n0,0,0,0\n"},
      // Ctrl-C at the prompt drops the line typed and prompts again; the run goes on.
      {.name = "Ctrl-C at the prompt clears the line",
       .options = script,
       .keys = {{"break step 1\r", ""}, {"frob\x03", ""}, {"continue\r", stopped}, {"\x03", ""}},
       .csv = "step,time,z,y1\n0,0,0,0\n"},
      // An interactive session needs files for the CSV and the trace.
      {.name = "no --out", .options = "", .code = 2, .says = csv},
      {.name = "--out /dev/stdout", .options = " --out /dev/stdout", .code = 2, .says = csv},
      {.name = "--out /proc/self/fd/1",
       .options = " --out /proc/self/fd/1",
       .code = 2,
       .says = csv},
      {.name = "--trace /dev/stdout",
       .options = " --out o.csv --trace /dev/stdout",
       .code = 2,
       .says = "sfsim: an interactive session shows the debugger on standard output: give --trace "
               "a file other than standard output"},
  };
  for (const Terminal& t : sessions)
    run(t);
}

}  // namespace
}  // namespace sfsim_test
