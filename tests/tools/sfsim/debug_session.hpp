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

// The data of the nth "NAME = {json}" line of a transcript.
inline std::vector<double> shown(const std::string& transcript, const std::string& name, int nth) {
  const std::string head = "\n" + name + " = ";
  std::size_t at = 0;
  for (int i = 0; i < nth; ++i) {
    at = transcript.find(head, at + 1);
    if (at == std::string::npos) return {};
  }
  const std::size_t from = at + head.size();
  const auto j = nlohmann::json::parse(transcript.substr(from, transcript.find('\n', from) - from));
  std::vector<double> v;
  for (const auto& e : j["data"])
    v.push_back(e.is_string() ? std::nan("") : e.get<double>());
  return v;
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

// The values of the nth "NAME = ..." line, bit for bit.
struct Shown {
  std::string name;
  int nth;
  std::vector<double> values;
};

struct Session {
  std::string name{}, commands{};
  // After the session's own; a --commands, --out or --input of these replaces the
  // session's commands file, out.csv or z range.
  std::vector<std::string> options{};
  Expect expect{};
  std::optional<std::string> stops{};  // the stop lines of standard output
  std::vector<Shown> shown{};
  std::vector<double> x = table_x();  // the table's breakpoints
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
    for (const Shown& v : s.shown) {
      const std::vector<double> got = shown(r.out, v.name, v.nth);
      ASSERT_EQ(got.size(), v.values.size()) << v.name << " " << v.nth;
      for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(test_support::same_bits(v.values[i], got[i]))
            << v.name << " " << v.nth << " " << i;
    }
  }
};

}  // namespace sfsim_test
