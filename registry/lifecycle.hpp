// Start-up and shut-down of a model with its first and last block, and the cached
// code-generation optimisation info. One instantiation per model.
#pragma once

#include "charts/model_state.hpp"
#include "platform/mx.h"
#include "platform/simstruc.h"

namespace registry {

template <class Model>
struct Lifecycle {
  static void machine_initialize(SimStruct* S);
  static void machine_terminate();
  static void model_debug_initialize(void* debug_instance);
  static void model_initializer() {}
  static void model_terminator() {}
  static void model_rtw_gen_hook(SimStruct*) {}
};

}  // namespace registry

#include "registry/lifecycle_impl.hpp"
