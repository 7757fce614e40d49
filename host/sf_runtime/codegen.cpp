// Code-generation queries of the chart runtime. Without a code generator behind it,
// the runtime answers with values that the host (or a test) sets, and keeps a log of
// every call.
#include <string>
#include <utility>

#include "host/sf_runtime/runtime.hpp"

using namespace host::sf_runtime::detail;

namespace {

template <class... A>
void log_call(const char* op, const A&... a) {
  host::trace::Call call = make_call(op, a...);
  if (host::trace::enabled()) host::trace::emit(call);
  runtime().codegen_calls.push_back(std::move(call));
}

}  // namespace

extern "C" mxArray* sf_load_rtw_optimization_info(const char* machine_name,
                                                  const char* main_machine_name) {
  log_call("sf_load_rtw_optimization_info", machine_name, main_machine_name);
  Runtime& rt = runtime();
  rt.optimization_info_loads += 1;
  if (!rt.optimization_info_available) return nullptr;
  host::trace::Mute mute;  // the runtime's own work is not part of the caller's trace
  const char* fields[] = {"machineName", "mainMachineName"};
  mxArray* info = mxCreateStructMatrix_700(1, 1, 2, fields);
  mxSetField_700(info, 0, "machineName",
                 mxCreateString(machine_name != nullptr ? machine_name : ""));
  mxSetField_700(info, 0, "mainMachineName",
                 mxCreateString(main_machine_name != nullptr ? main_machine_name : ""));
  return info;
}

extern "C" unsigned int sf_is_chart_inlinable(const char* specialization_id, const mxArray* info,
                                              unsigned int chart_number) {
  log_call("sf_is_chart_inlinable", specialization_id, Arr{info}, chart_number);
  return runtime().chart_inlinable;
}

extern "C" unsigned int sf_rtw_info_uint_prop(const char* specialization_id, const mxArray* info,
                                              unsigned int chart_number, const char* property) {
  static const char* const op = "sf_rtw_info_uint_prop";
  log_call(op, specialization_id, Arr{info}, chart_number, property);
  if (property == nullptr) fail(kIdBadArgument, std::string(op) + ": no property name.");
  const auto& props = runtime().rtw_uint_props;
  auto it = props.find(std::string_view(property));
  return it == props.end() ? 0u : it->second;
}

extern "C" void sf_mark_chart_expressionable_inputs(SimStruct* S, const char* specialization_id,
                                                    const mxArray* info, unsigned int chart_number,
                                                    unsigned int count, unsigned int a0) {
  log_call("sf_mark_chart_expressionable_inputs", addr(S), specialization_id, Arr{info},
           chart_number, count, a0);
}

extern "C" void sf_mark_chart_reusable_outputs(SimStruct* S, const char* specialization_id,
                                               const mxArray* info, unsigned int chart_number,
                                               unsigned int count, unsigned int a0) {
  log_call("sf_mark_chart_reusable_outputs", addr(S), specialization_id, Arr{info}, chart_number,
           count, a0);
}

extern "C" void sf_set_rtw_dwork_info(SimStruct* S, const char* specialization_id,
                                      const mxArray* info, unsigned int chart_number) {
  log_call("sf_set_rtw_dwork_info", addr(S), specialization_id, Arr{info}, chart_number);
}

extern "C" void sf_update_buildInfo(const char* specialization_id, const mxArray* info,
                                    unsigned int chart_number) {
  log_call("sf_update_buildInfo", specialization_id, Arr{info}, chart_number);
}

extern "C" void sf_clear_rtw_identifier(SimStruct* S) {
  log_call("sf_clear_rtw_identifier", addr(S));
}

namespace host::sf_runtime {

void set_optimization_info_available(bool available) {
  runtime().optimization_info_available = available;
}

unsigned optimization_info_loads() {
  return runtime().optimization_info_loads;
}

void set_chart_inlinable(unsigned answer) {
  runtime().chart_inlinable = answer;
}

void set_rtw_info_uint_prop(const std::string& property, unsigned answer) {
  runtime().rtw_uint_props[property] = answer;
}

const std::vector<trace::Call>& codegen_calls() {
  return runtime().codegen_calls;
}

}  // namespace host::sf_runtime
