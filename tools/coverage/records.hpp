// What the chart runtime's records say of each block of a run, shared by the JSON
// and the HTML form of the coverage report.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/sf_runtime_host.hpp"
#include "tools/coverage/coverage.hpp"

namespace tools::coverage::detail {

namespace hs = host::sf_runtime;

// A coverage object the chart registered: which, the call, its arguments after the
// four that name the instance (as JSON values).
struct Object {
  std::string kind, call;
  std::vector<std::string> args;
};

struct DataItem {
  std::string name;
  hs::DataSeen seen;
  std::optional<std::pair<double, double>> range;
};

struct BlockReport {
  int index = 0;
  const hs::ChartInstanceRecord* record = nullptr;  // null: the block never registered
  unsigned chart_number = 0;
  std::string function;             // the registered function's name
  std::vector<std::string> extent;  // its extent, as registered
  std::vector<DataItem> data;
  std::vector<Object> objects;
};

// The JSON text of a string, and of a double (the infinities as strings).
std::string json_string(std::string_view text);
std::string json_number(double v);
// An evaluation's six arguments as text.
std::vector<std::string> numbers(const std::array<unsigned, 6>& args);
// Items joined with ", ".
std::string join(const std::vector<std::string>& items);

// Each block of the run, from the runtime's records.
std::vector<BlockReport> collect(const Run& run);
// The table's breakpoints from the first to the last that is not NaN.
std::optional<std::pair<double, double>> table_span(const Run& run);
unsigned long long steps_begun(const BlockReport& b);
unsigned long long function_calls(const BlockReport& b);

}  // namespace tools::coverage::detail
