// The charts of a model as the registry sees them: one entry per chart number, in
// chart-number order, holding the chart's named method dispatcher and the chart
// operations that the command-line queries hand out. Each model's generated
// model.hpp (from models/model.hpp.in) specialises ModelCharts<Model>.
#pragma once

#include <span>
#include <string_view>

#include "charts/chart.hpp"
#include "charts/texts.hpp"
#include "platform/mx.h"
#include "platform/simstruc.h"
#include "registry/resolved_functions.hpp"

namespace registry {

using MethodDispatcher = void (*)(SimStruct* S, int method, void* data);

struct ChartEntry {
  MethodDispatcher method_dispatcher;
  void (*chart_checksum)(mxArray* out);
  mxArray* (*get_autoinheritance_record)();
  mxArray* (*get_uses_record)();
  mxArray* (*get_build_info_args_record)();
  const char* (*specialization_id)();
  const char* autoinheritance_checksum;
  const mxArray* (*build_resolved_functions_report)();
};

// The entry of chart Col, routed to its named dispatcher.
template <class Col>
constexpr ChartEntry chart_entry(MethodDispatcher dispatcher) {
  using C = charts::Chart<Col>;
  return ChartEntry{dispatcher,
                    &C::chart_checksum,
                    &C::get_autoinheritance_record,
                    &C::get_uses_record,
                    &C::get_build_info_args_record,
                    &C::specialization_id,
                    Col::column.autoinheritance_checksum,
                    &ResolvedFunctions<Col>::build_resolved_functions_report};
}

// Specialised per model with `static constexpr ChartEntry charts[]`, entry i being
// chart number i + 1.
template <class Model>
struct ModelCharts;

template <class Model>
constexpr std::span<const ChartEntry> model_charts() {
  return ModelCharts<Model>::charts;
}

// Whether a named dispatcher, chart number `number` of its model, serves chart Col
// (checked at compile time by each generated dispatcher).
template <class Col>
constexpr bool dispatcher_matches(int number, std::string_view name) {
  return Col::column.number == number && name == charts::text::ChartNames<Col>::dispatcher.c_str();
}

// The entry of chart number n, or null when n names no chart of the model.
template <class Model>
const ChartEntry* chart_of(int n) {
  constexpr std::span<const ChartEntry> table = model_charts<Model>();
  if (n < 1 || n > static_cast<int>(table.size())) return nullptr;
  return &table[static_cast<std::size_t>(n - 1)];
}

}  // namespace registry
