// The inputs of the benchmarked steps, shared by the step and the floor benchmarks
// so that both make the same calls: a rising table (x = k/2, y = sin(k/100)) and
// queries that sweep from 0 past the table's end and back to 0.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "models/catalogue_view.hpp"

namespace bench {

struct ChartCase {
  const char* model;
  int chart;
  int N;
};

// Every chart of the build's models, as their catalogues define them.
template <class C>
constexpr ChartCase chart_case() {
  return {C::Model::name, C::column.number, C::column.table_length};
}

template <class... Cs>
constexpr std::array<ChartCase, sizeof...(Cs)> chart_cases(models::List<Cs...>) {
  return {chart_case<Cs>()...};
}

inline constexpr auto kCharts = chart_cases(models::AllCharts{});
inline constexpr int kChartCount = static_cast<int>(kCharts.size());

inline std::vector<double> table_x(int n) {
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k)
    x[static_cast<std::size_t>(k)] = 0.5 * k;
  return x;
}

inline std::vector<double> table_y(int n) {
  std::vector<double> y(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k)
    y[static_cast<std::size_t>(k)] = std::sin(0.01 * k);
  return y;
}

// The query of step k (k from 0).
inline double query(int n, int64_t k) {
  return 0.25 * static_cast<double>(k % (2 * static_cast<int64_t>(n)));
}

}  // namespace bench
