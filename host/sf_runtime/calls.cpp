// Calls from chart code into MATLAB-level functions, and the runtime's own error.
#include <cstdarg>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/sf_runtime/runtime.hpp"
#include "host/sf_runtime/values.hpp"
#include "host/trace.hpp"
#include "platform/mex.h"
#include "platform/sf_runtime.h"

namespace host::sf_runtime::detail::values {
namespace {

// Recorder argument: the inputs of a call, "[double[1x1],char[1x3]]".
struct Inputs {
  const std::vector<mxArray*>* v;
};
std::string arg(Inputs in) {
  std::string list = "[";
  for (std::size_t i = 0; i < in.v->size(); ++i) {
    if (i != 0) list.push_back(',');
    list.append(describe((*in.v)[i]));
  }
  list.push_back(']');
  return list;
}

// Outputs of one call: at least one slot, since a function may set its first output
// even when none was asked for.
std::vector<mxArray*> output_slots(int nlhs) {
  return std::vector<mxArray*>(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1), nullptr);
}

}  // namespace
}  // namespace host::sf_runtime::detail::values

using namespace host::sf_runtime::detail::values;

extern "C" {

const mxArray* sf_mex_call_debug(void* debug_instance, const char* function_name, int nlhs,
                                 int nrhs, ...) {
  const char* name = function_name != nullptr ? function_name : "";
  if (nlhs < 0 || nrhs < 0) {
    raise(kIdCall, format("sf_mex_call_debug: invalid argument counts %d and %d for '%s'.", nlhs,
                          nrhs, name));
  }
  std::vector<mxArray*> inputs;
  std::va_list args;
  va_start(args, nrhs);
  {
    const VaListEnd end(args);
    for (int i = 0; i < nrhs; ++i) {
      const int kind = va_arg(args, int);
      if (kind != SF_MEX_ARG_HOLDER) {
        raise(kIdCall, format("sf_mex_call_debug: input %d of '%s' has argument kind %d; only kind "
                              "%d (an mxArray) is supported.",
                              i + 1, name, kind, SF_MEX_ARG_HOLDER));
      }
      inputs.push_back(const_cast<mxArray*>(va_arg(args, const mxArray*)));
    }
  }
  trace_call("sf_mex_call_debug", host::sf_runtime::detail::Dbg{debug_instance}, name, nlhs, nrhs,
             Inputs{&inputs});
  host::trace::Mute mute;
  std::vector<mxArray*> outputs = output_slots(nlhs);
  try {
    mexCallMATLAB(nlhs, outputs.data(), nrhs, inputs.data(), name);
  } catch (const host::HostError& e) {
    // The chart's own error ("error" after "message"), seen while its step is alive.
    host::sf_runtime::detail::error_raised(e.identifier.c_str(), e.what());
    throw;
  }
  // Only the first output reaches the caller; the others would be lost.
  for (std::size_t i = 1; i < outputs.size(); ++i) {
    if (outputs[i] != nullptr) mxDestroyArray(outputs[i]);
  }
  if (nlhs == 0 && outputs[0] != nullptr) {
    mxDestroyArray(outputs[0]);
    outputs[0] = nullptr;
  }
  host::sf_runtime::detail::host_function_returned(name, nrhs, inputs.data());
  return outputs[0];
}

int sf_mex_call_matlab(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[],
                       const char* function_name) {
  trace_call("sf_mex_call_matlab", nlhs, nrhs, function_name);
  host::trace::Mute mute;
  if (function_name == nullptr || !host::mex::has_function(function_name)) return 1;
  mexCallMATLAB(nlhs, plhs, nrhs, prhs, function_name);
  return 0;
}

void sf_mex_error_message(const char* format_text, ...) {
  std::va_list args;
  va_start(args, format_text);
  const std::string message = format_text != nullptr ? vformat(format_text, args) : "";
  va_end(args);
  trace_call("sf_mex_error_message", message.c_str());
  host::trace::Mute mute;
  raise(kIdErrorMessage, message);
}

}  // extern "C"
