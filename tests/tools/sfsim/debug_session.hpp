// The scripted debugger sessions of sfsim's tests: the table they run on, the values a
// transcript shows, and the fixture that starts a session.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/sfsim_fixture.hpp"

namespace sfsim_test {

inline constexpr int kN = 243;  // Harnvale c3

inline std::string text(double v) {
  if (std::isnan(v)) return "NaN";
  char b[32];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

// The table x = i/10, y = x^2 and the CSV of it.
inline std::vector<double> table_x() {
  std::vector<double> x(kN);
  for (int i = 0; i < kN; ++i)
    x[i] = i / 10.0;
  return x;
}
inline std::vector<double> table_y() {
  std::vector<double> y = table_x();
  for (double& v : y)
    v *= v;
  return y;
}
inline std::string table_csv(std::vector<double> x) {
  const std::vector<double> y = table_y();
  std::string s = "x,y\n";
  for (int i = 0; i < kN; ++i)
    s += text(x[i]) + "," + text(y[i]) + "\n";
  return s;
}

// The data of a "NAME = {json}" line of the transcript.
inline std::vector<double> shown(const std::string& transcript, const std::string& name,
                                 int nth = 1) {
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

class Debug : public Sfsim {
 protected:
  // A session on the table, z = 0, 2, 4, the commands from a file, the CSV to out.csv;
  // `more` adds options, `stdout_to` and `prefix` as for sfsim().
  Result session(const std::string& commands, const std::string& table = table_csv(table_x()),
                 bool csv_to_file = true, const std::vector<std::string>& more = {},
                 const std::string& stdout_to = "stdout.txt", const std::string& prefix = "") {
    std::vector<std::string> args = {"debug",
                                     "--model",
                                     "Harnvale",
                                     "--chart",
                                     "3",
                                     "--table",
                                     file("t.csv", table),
                                     "--commands",
                                     file("cmds.txt", commands)};
    if (std::find(more.begin(), more.end(), "--input") == more.end())
      args.insert(args.end(), {"--z-range", "0:4:3"});
    if (csv_to_file) args.insert(args.end(), {"--out", "out.csv"});
    args.insert(args.end(), more.begin(), more.end());
    return sfsim(args, stdout_to, prefix);
  }
  std::string csv() const { return read_file(path("out.csv")); }
};

}  // namespace sfsim_test
