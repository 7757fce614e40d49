// The rows of sfsim's table tests: the table they run on (x = i/10, y = x^2 for
// Harnvale c3), and what a row expects of one run (the exit status, standard output
// and error whole or by the texts they hold, the files left), checked in one place.
#pragma once

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/sfsim_fixture.hpp"

namespace sfsim_test {

inline constexpr int kN = 243;  // Harnvale c3

// A number as sfsim writes it: the shortest text that reads back to the same bits.
inline std::string text(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char b[40];
  return std::string(b, std::to_chars(b, b + sizeof b, v).ptr);
}

// The breakpoints i/10, those at the keys of `changed` replaced; the values
// (i/10)^2; the CSV of both.
inline std::vector<double> table_x(const std::map<int, double>& changed = {}) {
  std::vector<double> x(kN);
  for (int i = 0; i < kN; ++i)
    x[i] = changed.contains(i) ? changed.at(i) : i / 10.0;
  return x;
}
inline std::vector<double> table_y() {
  std::vector<double> y = table_x();
  for (double& v : y)
    v *= v;
  return y;
}
inline std::string table_csv(const std::vector<double>& x) {
  const std::vector<double> y = table_y();
  std::string s = "x,y\n";
  for (int i = 0; i < kN; ++i)
    s += text(x[i]) + "," + text(y[i]) + "\n";
  return s;
}

// Files of the run's folder and their text; none: the file is not there.
using Files = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct Expect {
  int code = 0;
  std::optional<std::string> out{}, err{};  // whole; none: not compared
  std::vector<std::string> says{};          // texts standard output holds, in this order
  std::vector<std::string> lacks{};         // texts it does not hold
  std::string ends{};                       // the end of standard output
  Files files{};
};

inline void check(const Result& r, const Expect& e, const fs::path& dir) {
  EXPECT_EQ(r.code, e.code) << r.err;
  if (e.out) {
    EXPECT_EQ(r.out, *e.out);
  }
  if (e.err) {
    EXPECT_EQ(r.err, *e.err);
  }
  std::size_t at = 0;
  for (const std::string& s : e.says) {
    const std::size_t found = r.out.find(s, at);
    EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << s << "\n" << r.out;
    if (found != std::string::npos) at = found + s.size();
  }
  for (const std::string& s : e.lacks)
    EXPECT_EQ(r.out.find(s), std::string::npos) << s;
  EXPECT_TRUE(r.out.ends_with(e.ends)) << "not at the end: " << e.ends << "\n" << r.out;
  for (const auto& [name, content] : e.files) {
    if (content) {
      EXPECT_EQ(read_file(dir / name), *content) << name;
    } else {
      EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
  }
}

}  // namespace sfsim_test
