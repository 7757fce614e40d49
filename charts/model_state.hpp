// Model-wide state of a deliverable: one set per model, shared by every block of
// the model, alive from the first block start-up to the last terminate. The charts
// read the debug instance and machine number from it; the model's life cycle
// (registry/lifecycle.hpp) sets them.
#pragma once

#include <cstdint>

#include "platform/mex.h"
#include "platform/mx.h"
#include "platform/sf_runtime.h"

namespace charts {

struct ModelState {
  int32_t machine_use_count = 0;
  void* debug_instance = nullptr;
  uint32_t machine_number = 0;
  mxArray* optimization_info = nullptr;
};

template <class Model>
ModelState& model_state() {
  static ModelState state;
  return state;
}

// The model's code-generation optimisation info, loaded once and kept (persistent)
// until unload_optimization_info; null when the host has none.
template <class Model>
mxArray* load_optimization_info() {
  ModelState& m = model_state<Model>();
  if (m.optimization_info == nullptr) {
    mxArray* info = sf_load_rtw_optimization_info(Model::name, Model::name);
    if (info != nullptr) {
      mexMakeArrayPersistent(info);
      m.optimization_info = info;
    }
  }
  return m.optimization_info;
}

template <class Model>
void unload_optimization_info() {
  ModelState& m = model_state<Model>();
  if (m.optimization_info != nullptr) {
    mxDestroyArray(m.optimization_info);
    m.optimization_info = nullptr;
  }
}

}  // namespace charts
