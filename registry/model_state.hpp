// Model-wide state of a deliverable: one set per model, shared by every block of
// the model, alive from the first block start-up to the last terminate.
#pragma once

#include <cstdint>

#include "platform/mx.h"

namespace registry {

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

}  // namespace registry
