// Shared pieces of the end-to-end tests: every chart of the built plug-ins,
// deterministic tables and queries over them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "host/engine.hpp"
#include "models/catalogue_view.hpp"
#include "tests/support/host_guard.hpp"
#include "tests/support/interpolation.hpp"

namespace e2e {

struct ChartCase {
  const char* plugin;  // path of the built deliverable
  const char* model;
  int chart;
  int N;
  bool extrapolate;                         // outside the table: linear extrapolation, else NaN
  const models::ChartView* view = nullptr;  // the rest of what the catalogue says of it
};

// Where the build put the plug-in of a model of its list.
inline const char* plugin_of(std::string_view model) {
  static const std::vector<std::string> paths = [] {
    std::vector<std::string> p;
    for (const models::ModelView& m : models::catalogue())
      p.push_back(models::build_deliverable_path(m.name));
    return p;
  }();
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (models::catalogue()[i].name == model) return paths[i].c_str();
  ADD_FAILURE() << "the build has no model " << model;
  return "";
}

inline ChartCase chart_case(const char* plugin, const models::ModelView& m,
                            const models::ChartView& c) {
  const bool extrapolate = c.outside == charts::Outside::Extrapolate;
  return {plugin, m.name.c_str(), c.number, c.table_length, extrapolate, &c};
}

// Chart `chart` of the model of that name.
inline ChartCase chart_case(std::string_view model, int chart) {
  const models::ModelView* m = models::find_model(model);
  if (m == nullptr || chart < 1 || chart > m->chart_count()) {
    ADD_FAILURE() << "the build has no chart " << chart << " of " << model;
    return {"", "", 0, 0, false, nullptr};
  }
  return chart_case(plugin_of(model), *m, m->charts[chart - 1]);
}

inline std::vector<ChartCase> all_charts() {
  std::vector<ChartCase> cases;
  for (const models::ModelView& m : models::catalogue())
    for (const models::ChartView& c : m.charts)
      cases.push_back(chart_case(plugin_of(m.name), m, c));
  return cases;
}

// The first chart of the build's list that has the property: a test that needs some
// chart, or one of some kind, picks it so and names no model.
template <class Property>
ChartCase chart_where(Property has) {
  for (const ChartCase& c : all_charts())
    if (has(c)) return c;
  ADD_FAILURE() << "no chart of the build has the property asked for";
  return {"", "", 0, 0, false, nullptr};
}
inline bool any_chart(const ChartCase&) {
  return true;
}
inline auto of_another_model_than(const ChartCase& c) {
  return [model = std::string_view(c.model)](const ChartCase& o) { return o.model != model; };
}

// Every built plug-in and the name of its model, in the order of the build's list.
inline std::vector<const char*> all_plugins() {
  std::vector<const char*> paths;
  for (const models::ModelView& m : models::catalogue())
    paths.push_back(plugin_of(m.name));
  return paths;
}
inline std::vector<std::string> all_models() {
  std::vector<std::string> names;
  for (const models::ModelView& m : models::catalogue())
    names.push_back(m.name);
  return names;
}

inline std::string case_name(const ChartCase& c) {
  return std::string(c.model) + "C" + std::to_string(c.chart);
}

// gtest names a parameter by this instead of dumping its bytes (padding included).
inline void PrintTo(const ChartCase& c, std::ostream* os) {
  *os << case_name(c);
}

// Small deterministic generator (no dependence on the library's distributions).
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : s_(seed) {}
  double unit() {  // in [0, 1), 53 random bits
    s_ = s_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s_ >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t s_;
};

struct Table {
  std::vector<double> x, y;
};

// Strictly increasing breakpoints with uneven spacing; values with some equal
// neighbours and one NaN value.
inline Table make_table(int N, std::uint64_t seed) {
  Lcg g(seed);
  Table t;
  t.x.resize(N);
  t.y.resize(N);
  double x = -3.0 - g.unit();
  for (int k = 0; k < N; ++k) {
    t.x[k] = x;
    x += 0.001 + 0.02 * g.unit();
    t.y[k] = 20.0 * g.unit() - 10.0;
    if (k > 0 && k % 37 == 0) t.y[k] = t.y[k - 1];
  }
  t.y[N / 3] = std::numeric_limits<double>::quiet_NaN();
  return t;
}

inline Table reversed(Table t) {
  std::reverse(t.x.begin(), t.x.end());
  std::reverse(t.y.begin(), t.y.end());
  return t;
}

// y1 of a chart for the table t and query u, from the tests' reference.
inline double reference(const Table& t, double u, bool extrapolate) {
  return test_support::interpolate(t.x, t.y, u, extrapolate);
}
using test_support::same_bits;

// Queries over a table: inside, on breakpoints and ends, outside both ends, NaN and
// infinities.
inline std::vector<double> sweep(const Table& t, std::uint64_t seed) {
  Lcg g(seed);
  const double lo = std::min(t.x.front(), t.x.back());
  const double hi = std::max(t.x.front(), t.x.back());
  std::vector<double> z;
  for (int i = 0; i < 24; ++i)
    z.push_back(lo + (hi - lo) * g.unit());
  const std::size_t n = t.x.size();
  for (std::size_t k : {std::size_t{0}, std::size_t{1}, n / 3, n / 2, n - 2, n - 1}) {
    z.push_back(t.x[k]);
  }
  z.push_back(lo - 1.5);
  z.push_back(hi + 2.25);
  z.push_back(lo - 1e-9);
  z.push_back(hi + 1e-9);
  z.push_back(std::numeric_limits<double>::quiet_NaN());
  z.push_back(std::numeric_limits<double>::infinity());
  z.push_back(-std::numeric_limits<double>::infinity());
  for (int i = 0; i < 8; ++i)
    z.push_back(lo + (hi - lo) * g.unit());
  return z;
}

// A method call that succeeded, or the error it reported.
inline ::testing::AssertionResult ok(const host::engine::CallResult& r) {
  if (r.ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "[" << r.identifier << "] " << r.error;
}

using test_support::HostTest;

// A started and initialised block of a chart with a table in its inputs.
inline host::engine::Block& started_block(host::engine::Engine& engine, const ChartCase& c,
                                          const Table& t, host::engine::BlockOptions opts = {}) {
  auto& plugin = engine.load(c.plugin);
  opts.chart = c.chart;
  opts.table_length = c.N;
  auto& block = engine.add_block(plugin, opts);
  block.set_inputs(t.x.data(), t.y.data(), 0.0);
  EXPECT_TRUE(ok(block.set_work_widths()));
  EXPECT_TRUE(ok(block.start()));
  EXPECT_TRUE(ok(block.initialize()));
  return block;
}

}  // namespace e2e
