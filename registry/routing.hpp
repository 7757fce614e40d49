// Routing of the chart runtime's method calls to the dispatcher of the block's chart.
// Several models may be loaded in one process: the machine name keeps each model to
// its own blocks.
#pragma once

#include <cstring>

#include "platform/simstruc.h"
#include "registry/model_charts.hpp"

namespace registry {

template <class Model>
struct Routing {
  // 0 when the machine is not this model, otherwise model_route_method's answer.
  static unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name,
                                                int chart_number, void* unused, int method,
                                                void* data) {
    if (machine_name == nullptr || std::strcmp(machine_name, Model::name) != 0) return 0;
    return model_route_method(S, chart_number, unused, method, data);
  }

  // 1 when a chart of the model took the call, 0 for a chart number of no chart. The
  // method code is the dispatcher's to judge.
  static unsigned int model_route_method(SimStruct* S, int chart_number, void* /*unused*/,
                                         int method, void* data) {
    const ChartEntry* chart = chart_of<Model>(chart_number);
    if (chart == nullptr) return 0;
    chart->method_dispatcher(S, method, data);
    return 1;
  }
};

}  // namespace registry
