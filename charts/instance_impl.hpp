// Life cycle of a chart block (Chart<Col>): the method dispatcher, creation and
// release of the block's records, the settings made at set work widths, and the
// saving and restoring of the chart's simulation state.
#pragma once

#include <cstring>
#include <new>

#include "block/services.h"
#include "charts/chart.hpp"
#include "charts/model_state.hpp"
#include "charts/texts.hpp"
#include "platform/mx.h"
#include "platform/sf_runtime.h"
#include "platform/ut.h"

namespace charts {

template <class Col>
void Chart<Col>::method_dispatcher(SimStruct* S, int method, void* data) {
  (void)data;
  switch (method) {
    case SS_METHOD_SET_WORK_WIDTHS:
      chart_set_work_widths(S);
      break;
    case SS_METHOD_START:
      chart_start(S);
      break;
    case SS_METHOD_PROCESS_PARAMETERS:
      chart_process_parameters(S);
      break;
    default:
      sf_mex_error_message(dispatcher_error_format(), method);
      break;
  }
}

template <class Col>
void Chart<Col>::generic_call(SimStruct* S, int code, int int_arg, void* value) {
  if (S->mdl_info != nullptr && S->mdl_info->generic_fcn != nullptr)
    S->mdl_info->generic_fcn(S, code, int_arg, value);
}

template <class Col>
void Chart<Col>::chart_start(SimStruct* S) {
  void* user_memory = utMalloc(sizeof(ChartUserData));
  void* instance_memory = utMalloc(sizeof(ChartInstance));
  if (user_memory == nullptr || instance_memory == nullptr) {
    // Nothing is kept when either record cannot be had.
    utFree(instance_memory);
    utFree(user_memory);
    sf_mex_error_message("Could not allocate memory for chart instance.");
    return;
  }
  auto* instance = ::new (instance_memory) ChartInstance{};
  std::memset(instance_memory, 0, sizeof(ChartInstance));

  ChartInfo& info = instance->chart_info;
  info.chart_instance = instance;
  info.is_embedded_matlab_chart = 1;
  info.chart_initialized = 0;
  info.step = &chart_step;
  info.initialize = &chart_initialize;
  info.terminate = &chart_terminate;
  info.enable = &enable_chart;
  info.disable = &disable_chart;
  info.get_sim_state = &chart_get_sim_state;
  info.get_sim_state_info = &get_sim_state_info;
  info.set_sim_state = &chart_set_sim_state;
  info.rtw = &chart_rtw;
  info.set_work_widths = &chart_set_work_widths;
  info.start = &chart_start;
  info.debug_instance = charts::model_state<Model>().debug_instance;
  instance->S = S;

  auto* user = ::new (user_memory) ChartUserData{};
  user->chart_info = &instance->chart_info;
  user->runtime_flag = 0;
  S->user_data = user;

  chart_debug_initialize(S, 1);
}

template <class Col>
void Chart<Col>::chart_initialize(void* chart_instance) {
  auto* instance = static_cast<ChartInstance*>(chart_instance);
  chart_debug_initialize(instance->S, 0);
  initialize_chart_state(instance);
}

template <class Col>
void Chart<Col>::chart_terminate(void* chart_instance) {
  if (chart_instance == nullptr) return;
  auto* instance = static_cast<ChartInstance*>(chart_instance);
  SimStruct* S = instance->S;
  void* user = S->user_data;
  if (sim_mode_is_rtw_gen(S) || sim_mode_is_external(S)) {
    sf_clear_rtw_identifier(S);
    charts::unload_optimization_info<Model>();
  }
  utFree(instance);
  if (user != nullptr) utFree(user);
  S->user_data = nullptr;
}

template <class Col>
void Chart<Col>::chart_process_parameters(SimStruct* S) {
  for (int i = 0; i < S->num_run_time_params; ++i) {
    if ((S->run_time_param_attributes[i] & SS_RTP_NEEDS_UPDATE) != 0)
      generic_call(S, SS_GEN_UPDATE_RUNTIME_PARAM, i, nullptr);
  }
}

template <class Col>
void Chart<Col>::chart_set_work_widths(SimStruct* S) {
  const char* const id = specialization_id();
  const auto n = static_cast<unsigned>(column.number);
  const bool has_generic = S->mdl_info != nullptr && S->mdl_info->generic_fcn != nullptr;
  const int input_ports = ssGetNumInputPorts(S) < 3 ? ssGetNumInputPorts(S) : 3;

  if (sim_mode_is_rtw_gen(S) || sim_mode_is_external(S)) {
    const mxArray* info = charts::load_optimization_info<Model>();
    const unsigned inlinable = sf_is_chart_inlinable(id, info, n);
    generic_call(S, SS_GEN_SET_INLINABLE, static_cast<int>(inlinable), nullptr);
    ssSetFlagBit(S, SS_FLAG_RTWCG, (sf_rtw_info_uint_prop(id, info, n, "RTWCG") & 1u) != 0);
    generic_call(S, SS_GEN_CODE_92, 1, nullptr);
    generic_call(S, SS_GEN_CODE_93, 1, nullptr);
    if (has_generic) {
      generic_call(S, SS_GEN_GATEWAY_NOT_INLINABLE,
                   static_cast<int>(
                       sf_rtw_info_uint_prop(id, info, n, "gatewayCannotBeInlinedMultipleTimes")),
                   nullptr);
    }
    sf_update_buildInfo(id, info, n);
    if (inlinable != 0) {
      for (int p = 0; p < input_ports; ++p) {
        uint32_t& attributes = S->input_ports[p].attributes;
        attributes &= ~static_cast<uint32_t>(SS_PORT_OPTIMIZE_MASK);
        attributes |= SS_PORT_OPTIMIZE_REUSABLE;
      }
      sf_mark_chart_expressionable_inputs(S, id, info, n, 3, 0);
      sf_mark_chart_reusable_outputs(S, id, info, n, 1, 0);
    }
    if (S->num_output_ports > 1) S->output_ports[1].attributes |= SS_OUTPUT_PORT_OPTIMIZE_IN_IR;
    for (int p = 0; p < input_ports; ++p)
      S->input_ports[p].attributes |= SS_INPUT_PORT_OPTIMIZE_IN_IR;
    sf_set_rtw_dwork_info(S, id, info, n);
    ssSetFlagBit(S, SS_FLAG_NOT_INLINABLE, inlinable == 0);
  }

  ssSetOptions(S, ssGetOptions(S) | SS_OPTION_SFUNCTION_INLINED_FOR_RTW);
  for (int i = 0; i < 4; ++i)
    ssSetChecksum(S, i, column.sfun_checksum[i]);
  S->methods.derivatives = nullptr;
  ssSetFlagBit(S, SS_FLAG_HAS_SUBFUNCTIONS, 1);
  if (S->host_block_data != nullptr) {
    bool value = true;
    generic_call(S, SS_GEN_CODE_197, 0, &value);
  }
}

template <class Col>
void Chart<Col>::chart_rtw(SimStruct* S) {
  if (sim_mode_is_rtw_gen(S))
    ssWriteRTWNameValuePair(S, 1, "StateflowChartType", "Embedded MATLAB");
}

template <class Col>
const mxArray* Chart<Col>::chart_get_sim_state(SimStruct* S) {
  ChartInstance* instance = instance_of(S);
  mxArray* prhs[4];
  prhs[0] = mxCreateString("chart_simctx_raw2high");
  prhs[1] = mxCreateDoubleScalar(query_host_double(S));
  prhs[2] = const_cast<mxArray*>(get_raw_sim_state(instance));
  prhs[3] = const_cast<mxArray*>(get_sim_state_info());
  mxArray* plhs[1] = {nullptr};
  const int status = sf_mex_call_matlab(1, plhs, 4, prhs, "sfprivate");
  for (mxArray* arg : prhs)
    mxDestroyArray(arg);
  if (status != 0 || plhs[0] == nullptr)
    sf_mex_error_message("Stateflow Internal Error: \nError calling 'chart_simctx_raw2high'.\n");
  return plhs[0];
}

template <class Col>
void Chart<Col>::chart_set_sim_state(SimStruct* S, const mxArray* state) {
  ChartInstance* instance = instance_of(S);
  mxArray* prhs[3];
  prhs[0] = mxCreateString("chart_simctx_high2raw");
  prhs[1] = mxDuplicateArray(state);
  prhs[2] = const_cast<mxArray*>(get_sim_state_info());
  mxArray* plhs[1] = {nullptr};
  const int status = sf_mex_call_matlab(1, plhs, 3, prhs, "sfprivate");
  for (mxArray* arg : prhs)
    mxDestroyArray(arg);
  if (status != 0 || plhs[0] == nullptr) {
    sf_mex_error_message("Stateflow Internal Error: \nError calling 'chart_simctx_high2raw'.\n");
    return;
  }
  set_raw_sim_state(instance, mxDuplicateArray(plhs[0]));
  mxDestroyArray(plhs[0]);
}

template <class Col>
const mxArray* Chart<Col>::get_raw_sim_state(ChartInstance* instance) {
  const mxArray* state = nullptr;
  const mxArray* cell = nullptr;
  sf_mex_assign(&cell, sf_mex_createcellmatrix(2, 1), false);

  double y1 = *output_signal(instance->S);
  const mxArray* y1_value = nullptr;
  sf_mex_assign(&y1_value, sf_mex_create("y", &y1, SF_MEX_DOUBLE, 0, 0, 0, 0), false);
  sf_mex_setcell(cell, 0, y1_value);

  uint8_t is_active = instance->is_active;
  const mxArray* flag_value = nullptr;
  sf_mex_assign(&flag_value, sf_mex_create("y", &is_active, SF_MEX_UINT8, 0, 0, 0, 0), false);
  sf_mex_setcell(cell, 1, flag_value);

  sf_mex_assign(&state, cell, false);
  return state;
}

template <class Col>
void Chart<Col>::set_raw_sim_state(ChartInstance* instance, const mxArray* raw) {
  const mxArray* u = sf_mex_dup(raw);
  // Both values are read before either is stored, so that a state refused by the
  // second import leaves the block as it was.
  const double y1 = import_named_double(instance, sf_mex_dup(sf_mex_getcell(u, 0)), "y1");
  const uint8_t is_active = import_named_uint8(instance, sf_mex_dup(sf_mex_getcell(u, 1)),
                                               text::ChartNames<Col>::active_flag.c_str());
  *output_signal(instance->S) = y1;
  instance->is_active = is_active;
  sf_mex_destroy(&u);
  sf_mex_destroy(&raw);
}

template <class Col>
uint8_t Chart<Col>::import_named_uint8(ChartInstance* instance, const mxArray* value,
                                       const char* name) {
  (void)instance;
  const SfMsgIdentifier id = {name, nullptr};
  const mxArray* first = sf_mex_dup(value);
  uint8_t result = 0;
  sf_mex_import(&id, sf_mex_dup(first), &result, 1, SF_MEX_UINT8, 0, 0, 0, 0, 0);
  sf_mex_destroy(&first);
  sf_mex_destroy(&value);
  return result;
}

}  // namespace charts
