// What differs between the charts built from the chart template: one column of a
// model's catalogue per chart, plus the per-model constants.
#pragma once

#include <cstdint>

namespace charts {

// What the kernel gives for a query outside the table.
enum class Outside { Extrapolate, NaN };

// The names that belong to one chart (its method dispatcher, its active flag) are
// not columns: they follow from the model's name and the chart number
// (charts/texts.hpp, ChartNames).
struct ChartColumn {
  int number;        // chart number, 1-based; the object number is number - 1
  int table_length;  // N, the length of the breakpoint and value vectors
  uint32_t chart_checksum[4];
  uint32_t sfun_checksum[4];
  const char* autoinheritance_checksum;
  const char* specialization_id;
};

// The charts of a model, in chart-number order: one catalogue column type each.
template <class... Cols>
struct ChartList {
  static constexpr int size = static_cast<int>(sizeof...(Cols));
};

struct ModelChecksums {
  uint32_t none[4];
  uint32_t machine[4];
  uint32_t makefile[4];
  uint32_t target[4];
};

}  // namespace charts
