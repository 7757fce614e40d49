// The output step of Chart<Col>, the chart-time operations and the debugger's
// conversion callbacks. The step works on fixed-size local arrays only.
#pragma once

#include <cstdint>

#include "block/services.h"
#include "charts/chart.hpp"
#include "charts/model_state.hpp"
#include "platform/sf_runtime.h"

namespace charts {

template <class Col>
double* Chart<Col>::output_signal(const SimStruct* S) {
  return static_cast<double*>(ssGetOutputPortSignal(S, 1));
}

template <class Col>
void Chart<Col>::debug_call(ChartInstance* instance, unsigned tag) {
  const charts::ModelState& m = charts::model_state<Model>();
  sf_debug_call(m.debug_instance, m.machine_number, instance->chart_number,
                instance->instance_number, 1, 1, tag, static_cast<unsigned>(column.number - 1),
                instance->current_event, 0, nullptr, chart_time, 1, 0);
}

template <class Col>
void Chart<Col>::range_check(ChartInstance* instance, unsigned data_number, double value) {
  const charts::ModelState& m = charts::model_state<Model>();
  sf_debug_data_range_wrapper(m.debug_instance, m.machine_number, instance->chart_number,
                              instance->instance_number, data_number, value);
}

template <class Col>
void Chart<Col>::chart_step(void* chart_instance) {
  auto* instance = static_cast<ChartInstance*>(chart_instance);
  const charts::ModelState& m = charts::model_state<Model>();
  SimStruct* S = instance->S;

  double nargin = 3.0;
  double nargout = 1.0;
  double* const out = output_signal(S);
  const auto* const z_signal = static_cast<const double*>(safe_input_port_signal(S, 2));
  const auto* const y_signal = static_cast<const double*>(safe_input_port_signal(S, 1));
  const auto* const x_signal = static_cast<const double*>(safe_input_port_signal(S, 0));
  // A missing signal has been reported (dialog, stop request); there is nothing
  // to read, so the step ends here and the output keeps its value.
  if (out == nullptr || z_signal == nullptr || y_signal == nullptr || x_signal == nullptr) return;

  sf_debug_symbol_scope_push(m.debug_instance, 0, 0);
  chart_time = sf_get_time(S);
  debug_call(instance, 0);
  for (int i = 0; i < N; ++i)
    range_check(instance, 0, x_signal[i]);
  for (int i = 0; i < N; ++i)
    range_check(instance, 1, y_signal[i]);
  range_check(instance, 2, *z_signal);
  instance->current_event = -1;
  debug_call(instance, 3);

  double x[N];
  double y[N];
  const double z = *z_signal;
  for (int i = 0; i < N; ++i)
    x[i] = x_signal[i];
  for (int i = 0; i < N; ++i)
    y[i] = y_signal[i];
  double z_local = z;
  double y1 = 0.0;

  const char* names[6] = {"nargin", "nargout", "x", "y", "z", "y1"};
  int32_t scratch[6];
  sf_debug_symbol_scope_push_eml(m.debug_instance, 0, 6, 6, names, scratch);
  sf_debug_symbol_scope_add_eml_importable(m.debug_instance, &nargin, 0, &double_to_mx,
                                           &mx_to_double, 0);
  sf_debug_symbol_scope_add_eml_importable(m.debug_instance, &nargout, 1, &double_to_mx,
                                           &mx_to_double, 0);
  sf_debug_symbol_scope_add_eml(m.debug_instance, x, 2, &table_to_mx);
  sf_debug_symbol_scope_add_eml(m.debug_instance, y, 3, &table_to_mx);
  sf_debug_symbol_scope_add_eml(m.debug_instance, &z_local, 4, &double_to_mx);
  sf_debug_symbol_scope_add_eml_importable(m.debug_instance, &y1, 5, &double_to_mx, &mx_to_double,
                                           0);
  cv_eml_eval(m.debug_instance, m.machine_number, instance->chart_number, instance->instance_number,
              0, 0, 1, 0, 0, 0);
  eml_debug_line_call(m.debug_instance, m.machine_number, instance->chart_number,
                      instance->instance_number, 0, instance->current_event, 3, chart_time, 0, 0);

  // The kernel may reverse its tables; the debugger-visible locals keep their order.
  double x_work[N];
  double y_work[N];
  for (int i = 0; i < N; ++i)
    x_work[i] = x[i];
  for (int i = 0; i < N; ++i)
    y_work[i] = y[i];
  y1 = table_interpolate(instance, y_work, z_local, x_work);

  eml_debug_line_call(m.debug_instance, m.machine_number, instance->chart_number,
                      instance->instance_number, 0, instance->current_event, -3, chart_time, 0, 0);
  sf_debug_symbol_scope_pop(m.debug_instance);
  *out = y1;
  debug_call(instance, 999);
  sf_debug_symbol_scope_pop(m.debug_instance);
  sf_debug_check_for_state_inconsistency(m.debug_instance, m.machine_number, instance->chart_number,
                                         instance->instance_number);
  range_check(instance, 3, *out);
}

template <class Col>
void Chart<Col>::initialize_chart_state(ChartInstance* instance) {
  instance->current_event = -1;
  chart_time = sf_get_time(instance->S);
  instance->is_active = 0;
}

template <class Col>
void Chart<Col>::enable_chart(void* chart_instance) {
  chart_time = sf_get_time(static_cast<ChartInstance*>(chart_instance)->S);
}

template <class Col>
void Chart<Col>::disable_chart(void* chart_instance) {
  chart_time = sf_get_time(static_cast<ChartInstance*>(chart_instance)->S);
}

template <class Col>
const mxArray* Chart<Col>::double_to_mx(void* chart_instance, void* data) {
  (void)chart_instance;
  double u = *static_cast<const double*>(data);
  const mxArray* result = nullptr;
  const mxArray* y = nullptr;
  sf_mex_assign(&y, sf_mex_create("y", &u, SF_MEX_DOUBLE, 0, 0, 0, 0, 0), false);
  sf_mex_assign(&result, y, false);
  return result;
}

template <class Col>
const mxArray* Chart<Col>::table_to_mx(void* chart_instance, void* data) {
  (void)chart_instance;
  const auto* table = static_cast<const double*>(data);
  double u[N];
  for (int i = 0; i < N; ++i)
    u[i] = table[i];
  const mxArray* result = nullptr;
  const mxArray* y = nullptr;
  sf_mex_assign(&y, sf_mex_create("y", u, SF_MEX_DOUBLE, 0, 1, 0, 1, N), false);
  sf_mex_assign(&result, y, false);
  return result;
}

template <class Col>
void Chart<Col>::mx_to_double(void* chart_instance, const mxArray* value, const char* name,
                              void* data) {
  auto* instance = static_cast<ChartInstance*>(chart_instance);
  const mxArray* first = sf_mex_dup(value);
  const SfMsgIdentifier id = {name, nullptr};
  const double d = import_double(instance, sf_mex_dup(first), &id);
  sf_mex_destroy(&first);
  *static_cast<double*>(data) = d;
  sf_mex_destroy(&value);
}

template <class Col>
double Chart<Col>::import_double(ChartInstance* instance, const mxArray* value,
                                 const void* identifier) {
  (void)instance;
  double d = 0.0;
  sf_mex_import(static_cast<const SfMsgIdentifier*>(identifier), sf_mex_dup(value), &d, 1,
                SF_MEX_DOUBLE, 0, 0, 0, 0, 0);
  sf_mex_destroy(&value);
  return d;
}

template <class Col>
double Chart<Col>::import_named_double(ChartInstance* instance, const mxArray* value,
                                       const char* name) {
  const SfMsgIdentifier id = {name, nullptr};
  const double d = import_double(instance, sf_mex_dup(value), &id);
  sf_mex_destroy(&value);
  return d;
}

}  // namespace charts
