// sfsim debug's sessions in the tests: a row is one session (its commands, options
// and what it must show), run on the square table by one runner.
#pragma once

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/interpolation.hpp"
#include "tests/support/sfsim_expect.hpp"

namespace sfsim_test {

// The "NAME = {json}" lines of a transcript: their names, space-separated, and data.
struct Shown {
  std::string names;
  std::vector<std::vector<double>> data;
};
inline Shown shown(const std::string& transcript) {
  Shown all;
  for (std::size_t at = 0, end = 0; at < transcript.size(); at = end + 1) {
    end = std::min(transcript.find('\n', at), transcript.size());
    const std::string line = transcript.substr(at, end - at);
    const std::size_t eq = line.find(" = {");
    if (eq == std::string::npos || line.find_first_of(" (") < eq) continue;
    const auto j = nlohmann::json::parse(line.substr(eq + 3), nullptr, false);
    all.names += (all.names.empty() ? "" : " ") + line.substr(0, eq);
    all.data.emplace_back();
    for (const auto& e : j.is_object() ? j["data"] : nlohmann::json::array())
      all.data.back().push_back(e.is_string() ? std::nan("") : e.get<double>());
  }
  return all;
}

// The lines of a transcript where the run stopped ("Step, line 3 of step 0 ...",
// "Breakpoint 2, before step 1 ...").
inline std::string stop_lines(const std::string& transcript) {
  std::string stops;
  for (std::size_t at = 0, end = 0; at < transcript.size(); at = end + 1) {
    end = std::min(transcript.find('\n', at), transcript.size());
    const std::string line = transcript.substr(at, end - at);
    const std::size_t digits = line.find_first_not_of("0123456789", 11);
    if (line.rfind("Step, ", 0) == 0 || line.rfind("Next, ", 0) == 0 ||
        (line.rfind("Breakpoint ", 0) == 0 && digits > 11 && line[digits] == ','))
      stops += line + "\n";
  }
  return stops;
}

struct Session {
  std::string name{}, commands{};
  // After the session's own; a --commands, --out or --input of these replaces the
  // session's commands file, out.csv or z range.
  std::vector<std::string> options{};
  Expect expect{};
  std::optional<std::string> stops{};  // the stop lines of standard output
  Shown shown{};                       // all the "NAME = {json}" lines, the data bit for bit
  std::vector<double> x = table_x();   // the table's breakpoints
  bool csv_on_stdout = false;
  bool table = true;  // false: no table, no commands, no z range: the options alone
  // Files written before the run (a name ending in / is a folder).
  std::vector<std::pair<std::string, std::string>> given{};
  std::string stdout_to = "stdout.txt", prefix{};  // as for sfsim()
};

class Debug : public Sfsim {
 protected:
  // Each session in a folder emptied for it.
  void run(const Session& s) {
    SCOPED_TRACE(s.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& [name, content] : s.given)
      name.ends_with('/') ? (void)fs::create_directories(path(name)) : (void)file(name, content);
    auto has = [&](const char* option) {
      return std::find(s.options.begin(), s.options.end(), option) != s.options.end();
    };
    std::vector<std::string> args = {"debug", "--model", "Harnvale", "--chart", "3"};
    if (s.table) {
      args.insert(args.end(), {"--table", file("t.csv", table_csv(s.x))});
      if (!has("--commands")) args.insert(args.end(), {"--commands", file("cmds.txt", s.commands)});
      if (!has("--input")) args.insert(args.end(), {"--z-range", "0:4:3"});
      if (!has("--out") && !s.csv_on_stdout) args.insert(args.end(), {"--out", "out.csv"});
    }
    args.insert(args.end(), s.options.begin(), s.options.end());
    const Result r = sfsim(args, s.stdout_to, s.prefix);
    check(r, s.expect, dir_);
    if (s.stops) {
      EXPECT_EQ(stop_lines(r.out), *s.stops);
    }
    if (s.shown.names.empty()) return;
    const Shown got = shown(r.out);
    EXPECT_EQ(got.names, s.shown.names);
    ASSERT_EQ(got.data.size(), s.shown.data.size());
    for (std::size_t k = 0; k < got.data.size(); ++k) {
      ASSERT_EQ(got.data[k].size(), s.shown.data[k].size()) << k;
      for (std::size_t i = 0; i < got.data[k].size(); ++i)
        EXPECT_TRUE(test_support::same_bits(s.shown.data[k][i], got.data[k][i])) << k << " " << i;
    }
  }
};

}  // namespace sfsim_test
