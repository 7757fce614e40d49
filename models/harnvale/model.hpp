// Model Harnvale as the registry sees it: its charts' named method dispatchers and its
// routing table (chart number i is entry i - 1).
#pragma once

#include "models/harnvale/catalogue.hpp"
#include "models/harnvale/report_rows.hpp"
#include "platform/simstruc.h"
#include "registry/model_charts.hpp"

extern "C" {
void c1_Harnvale_method_dispatcher(SimStruct* S, int method, void* data);
void c2_Harnvale_method_dispatcher(SimStruct* S, int method, void* data);
void c3_Harnvale_method_dispatcher(SimStruct* S, int method, void* data);
}

template <>
struct registry::ModelCharts<harnvale::Model> {
  static constexpr ChartEntry charts[] = {
      registry::chart_entry<harnvale::C1>(&c1_Harnvale_method_dispatcher),
      registry::chart_entry<harnvale::C2>(&c2_Harnvale_method_dispatcher),
      registry::chart_entry<harnvale::C3>(&c3_Harnvale_method_dispatcher),
  };
  static_assert(std::size(charts) == harnvale::Model::chart_count);
};
