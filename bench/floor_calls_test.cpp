// The floor benchmark is only a floor if its driver makes the calls of a real step:
// for every chart, on rising and falling tables and queries inside, on, below,
// above and beside the table, the operations of one step through the engine (as
// recorded) and of one floor step (as printed by the printing null host) are the
// same list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/chart_block.hpp"
#include "bench/inputs.hpp"
#include "host/engine.hpp"
#include "host/trace.hpp"

namespace {

std::vector<std::string> real_step(int index, double z, bool descending) {
  const bench::ChartCase& c = bench::kCharts[index];
  host::engine::Engine engine;
  host::engine::Block& block = bench::chart_block(engine, c);
  auto x = bench::table_x(c.N);
  auto y = bench::table_y(c.N);
  if (descending) {
    std::reverse(x.begin(), x.end());
    std::reverse(y.begin(), y.end());
  }
  block.set_inputs(x.data(), y.data(), z);
  EXPECT_TRUE(block.set_work_widths() && block.start() && block.initialize());
  std::vector<std::string> ops;
  {
    host::trace::Collector collector;
    EXPECT_TRUE(block.outputs());
    for (const host::trace::Call& call : collector.calls())
      ops.push_back(call.op);
  }
  block.terminate();
  return ops;
}

std::vector<std::string> floor_step(int index, const char* z, bool descending) {
  const std::string command = std::string("'") + FLOOR_CALLS + "' " + std::to_string(index) + " " +
                              z + (descending ? " descending" : "");
  FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::vector<std::string> ops;
  if (pipe == nullptr) return ops;
  int marks = 0;
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string op(line);
    if (!op.empty() && op.back() == '\n') op.pop_back();
    if (op == "--") {
      ++marks;
    } else if (marks == 1) {
      ops.push_back(op);
    }
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(marks, 2);
  return ops;
}

struct Query {
  const char* text;
  double value;
  bool descending;
};

const Query kQueries[] = {
    {"0", 0.0, false},   {"0.25", 0.25, false}, {"37", 37.0, false},    {"-3", -3.0, false},
    {"1e9", 1e9, false}, {"nan", NAN, false},   {"20.75", 20.75, true}, {"-1", -1.0, true},
};

class FloorCalls : public ::testing::TestWithParam<int> {};

TEST_P(FloorCalls, AreTheCallsOfARealStep) {
  for (const Query& q : kQueries) {
    SCOPED_TRACE(std::string("z ") + q.text + (q.descending ? " on a falling table" : ""));
    const auto real = real_step(GetParam(), q.value, q.descending);
    ASSERT_GT(real.size(), 1000u);
    EXPECT_EQ(floor_step(GetParam(), q.text, q.descending), real);
  }
}

INSTANTIATE_TEST_SUITE_P(Charts, FloorCalls, ::testing::Range(0, bench::kChartCount));

}  // namespace
