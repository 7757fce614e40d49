#include "tools/sfsim/builtin.hpp"

#include <cmath>
#include <numbers>

namespace sfsim {

Table builtin_table(const ModelInfo& model, int chart) {
  const int n = table_length(model, chart);
  // Each chart gets its own frequency and phase, so that the plots differ.
  const int index = chart_index(model, chart);
  const double frequency = 0.6 + 0.25 * index;
  const double phase = 0.5 * index;
  Table t;
  t.x.resize(n);
  t.y.resize(n);
  for (int i = 0; i < n; ++i) {
    double s = static_cast<double>(i) / (n - 1);
    // The breakpoints wobble around an even spacing; the wobble's slope stays below
    // the spacing's, so they stay strictly increasing.
    t.x[i] = 10 * s + 0.08 * std::sin(2 * std::numbers::pi * 5 * s);
    t.y[i] = std::sin(frequency * t.x[i] + phase) + 0.25 * t.x[i] - 1;
  }
  return t;
}

}  // namespace sfsim
