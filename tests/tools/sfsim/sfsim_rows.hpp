// What the tests of sfsim's runs read back: numbers as sfsim writes them, the rows
// of its CSV output, and the catalogue's table lengths.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "models/catalogue_view.hpp"
#include "tests/support/interpolation.hpp"

namespace sfsim_test {

inline const double kNaN = std::numeric_limits<double>::quiet_NaN();
inline const double kInf = std::numeric_limits<double>::infinity();

inline std::string num(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

inline double parse(const std::string& s) {
  if (s == "NaN") return kNaN;
  if (s == "Inf") return kInf;
  if (s == "-Inf") return -kInf;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  EXPECT_EQ(*end, '\0') << "not a number: " << s;
  return v;
}

struct Row {
  long step;
  double time, z, y1;
};

inline std::vector<Row> parse_csv(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,time,z,y1");
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ls(line);
    for (std::string cell; std::getline(ls, cell, ',');)
      f.push_back(cell);
    if (f.size() != 4) {
      ADD_FAILURE() << "bad row: " << line;
      continue;
    }
    rows.push_back({std::stol(f[0]), parse(f[1]), parse(f[2]), parse(f[3])});
  }
  return rows;
}

// The table length of chart `chart` of the model of that name.
inline int table_length(std::string_view model, int chart) {
  const models::ModelView* m = models::find_model(model);
  if (m == nullptr) throw std::invalid_argument("the build has no model " + std::string(model));
  return m->charts.at(static_cast<std::size_t>(chart - 1)).table_length;
}

}  // namespace sfsim_test
