// Model Quimbrel as the registry sees it: its charts' named method dispatchers and its
// routing table (chart number i is entry i - 1).
#pragma once

#include "models/quimbrel/catalogue.hpp"
#include "models/quimbrel/report_rows.hpp"
#include "platform/simstruc.h"
#include "registry/model_charts.hpp"

extern "C" {
void c1_Quimbrel_method_dispatcher(SimStruct* S, int method, void* data);
void c2_Quimbrel_method_dispatcher(SimStruct* S, int method, void* data);
}

template <>
struct registry::ModelCharts<quimbrel::Model> {
  static constexpr ChartEntry charts[] = {
      registry::chart_entry<quimbrel::C1>(&c1_Quimbrel_method_dispatcher),
      registry::chart_entry<quimbrel::C2>(&c2_Quimbrel_method_dispatcher),
  };
  static_assert(std::size(charts) == quimbrel::Model::chart_count);
};
