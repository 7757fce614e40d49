// Registration of a chart block with the host's chart debugger and coverage tool.
#pragma once

#include "block/services.h"
#include "charts/chart.hpp"
#include "charts/model_state.hpp"
#include "platform/sf_runtime.h"

namespace charts {

template <class Col>
ChartInstance* Chart<Col>::instance_of(const SimStruct* S) {
  ChartInfo* info = chart_info_of(S);
  return info == nullptr ? nullptr : static_cast<ChartInstance*>(info->chart_instance);
}

template <class Col>
void Chart<Col>::chart_debug_initialize(SimStruct* S, unsigned full) {
  if (sim_mode_is_rtw_gen(S)) return;
  ChartInstance* instance = instance_of(S);
  if (instance == nullptr) return;
  const charts::ModelState& m = charts::model_state<Model>();
  void* const di = m.debug_instance;
  const unsigned mn = m.machine_number;

  const SimStruct* root = ssGetRootSS(S);
  const bool no_registration =
      root->mdl_info != nullptr && (root->mdl_info->flags & SS_MDLINFO_NO_DEBUG_REGISTRATION) != 0;
  if (full != 1 || no_registration) {
    sf_debug_reset_current_state_configuration(di, mn, instance->chart_number,
                                               instance->instance_number);
    return;
  }

  const unsigned already =
      sf_debug_initialize_chart(di, mn, static_cast<unsigned>(column.number), 1, 1, 0, 4, 0, 0, 0,
                                0, 0, &instance->chart_number, &instance->instance_number, S, 0);
  const unsigned cn = instance->chart_number;
  const unsigned in = instance->instance_number;
  if (already == 0) {
    sf_debug_set_chart_disable_implicit_casting(di, mn, cn, 1);
    sf_debug_set_chart_event_thresholds(di, mn, cn, 0, 0, 0);
    sf_debug_set_chart_data_props(di, mn, cn, 0, 1, 1, 0, "x");
    sf_debug_set_chart_data_props(di, mn, cn, 1, 1, 1, 0, "y");
    sf_debug_set_chart_data_props(di, mn, cn, 2, 1, 1, 0, "z");
    sf_debug_set_chart_data_props(di, mn, cn, 3, 2, 0, 1, "y1");
    sf_debug_set_chart_state_info(di, mn, cn, 0, 0, 2);
    sf_debug_set_chart_substate_count(di, mn, cn, 0);
    sf_debug_set_chart_decomposition(di, mn, cn, 0);
  }
  sf_debug_cv_init_chart(di, mn, cn, in, 0, 0, 0, 0);
  sf_debug_cv_init_state(di, mn, cn, in, 0, 0, 0, 0, 0, 0, nullptr, nullptr);
  sf_debug_cv_init_trans(di, mn, cn, in, 0, 0, nullptr, nullptr, 0, nullptr);
  cv_eml_init_script(di, mn, cn, in, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  cv_eml_init_fcn(di, mn, cn, in, 0, 0, "eML_blk_kernel", 0, -1, Model::cv_fcn_last_arg);

  static constexpr unsigned table_dims[1] = {static_cast<unsigned>(N)};
  sf_debug_set_chart_data_compiled_props(di, mn, cn, in, 0, 0, 1, table_dims, 0, 0, 0, 0.0, 1.0, 0,
                                         0, &table_to_mx, nullptr, 0);
  sf_debug_set_chart_data_compiled_props(di, mn, cn, in, 1, 0, 1, table_dims, 0, 0, 0, 0.0, 1.0, 0,
                                         0, &table_to_mx, nullptr, 0);
  sf_debug_set_chart_data_compiled_props(di, mn, cn, in, 2, 0, 0, nullptr, 0, 0, 0, 0.0, 1.0, 0, 0,
                                         &double_to_mx, nullptr, 0);
  sf_debug_set_chart_data_compiled_props(di, mn, cn, in, 3, 0, 0, nullptr, 0, 0, 0, 0.0, 1.0, 0, 0,
                                         &double_to_mx, &mx_to_double, 0);

  void* const y1_address = ssGetOutputPortSignal(S, 1);
  void* const z_address = safe_input_port_signal(S, 2);
  void* const y_address = safe_input_port_signal(S, 1);
  void* const x_address = safe_input_port_signal(S, 0);
  sf_debug_set_instance_data_value_ptr(di, mn, cn, in, 0, x_address, nullptr, 0);
  sf_debug_set_instance_data_value_ptr(di, mn, cn, in, 1, y_address, nullptr, 0);
  sf_debug_set_instance_data_value_ptr(di, mn, cn, in, 2, z_address, nullptr, 0);
  sf_debug_set_instance_data_value_ptr(di, mn, cn, in, 3, y1_address, nullptr, 0);
}

}  // namespace charts
