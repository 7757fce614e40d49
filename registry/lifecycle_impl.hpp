// Definitions of Lifecycle<Model>; included by lifecycle.hpp.
#pragma once

#include "platform/mex.h"
#include "platform/sf_runtime.h"
#include "registry/lifecycle.hpp"

namespace registry {

template <class Model>
void Lifecycle<Model>::machine_initialize(SimStruct* S) {
  charts::ModelState& m = charts::model_state<Model>();
  const bool rtw_gen = (static_cast<unsigned>(sim_mode_is_rtw_gen(S)) & 0xFFu) != 0;
  // A terminate without a start-up may have held the count at 0; a start-up always
  // counts from there.
  m.machine_use_count += 1;
  if (m.machine_use_count != 1) return;
  if (rtw_gen) model_rtw_gen_hook(S);
  m.debug_instance = sf_debug_create_debug_instance_struct();
  if (!rtw_gen) model_debug_initialize(m.debug_instance);
  model_initializer();
}

template <class Model>
void Lifecycle<Model>::machine_terminate() {
  charts::ModelState& m = charts::model_state<Model>();
  // Hold the count at 0: a terminate without a start-up must not make the next
  // start-up skip the creation of the debug instance.
  if (m.machine_use_count <= 0) {
    m.machine_use_count = 0;
    return;
  }
  m.machine_use_count -= 1;
  if (m.machine_use_count != 0) return;
  model_terminator();
  sf_debug_terminate(m.debug_instance);
  m.debug_instance = nullptr;
}

template <class Model>
void Lifecycle<Model>::model_debug_initialize(void* debug_instance) {
  charts::ModelState& m = charts::model_state<Model>();
  m.machine_number = sf_debug_initialize_machine(debug_instance, Model::name, Model::target, 0,
                                                 Model::chart_count, 0, 0, 0);
  sf_debug_set_machine_event_thresholds(debug_instance, m.machine_number, 0, 0);
  sf_debug_set_machine_data_thresholds(debug_instance, m.machine_number, 0);
}

}  // namespace registry
