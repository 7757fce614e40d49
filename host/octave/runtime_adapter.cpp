// The chart runtime's method dispatch and method wrapping inside GNU Octave.
// Errors raised in a method body are Octave's own exceptions (the functions
// "error" and mexErrMsgIdAndTxt are Octave's); callMdlMethodAndReportError
// catches them, as it does the runtime's own check errors, and posts them on the
// block. Everything else of the runtime is the stand-in runtime's code compiled
// over Octave's matrix and MEX functions.
#include <octave/octave-config.h>
#include <octave/quit.h>

#include <cstdio>
#include <string>

#include "host/sf_runtime/runtime.hpp"

using namespace sfrt;

namespace {

// Messages posted on a root SimStruct must outlive the call: one buffer per kind,
// overwritten by the next message of that kind; a longer text is cut to fit.
constexpr std::size_t kMessageBytes = 8192;
char g_dispatch_message[kMessageBytes];
char g_method_message[kMessageBytes];
char g_direct_call_message[kMessageBytes];

void post_error(SimStruct* S, char* buffer, const std::string& text) {
  std::snprintf(buffer, kMessageBytes, "%s", text.c_str());
  SimStruct* root = ssGetRootSS(S);
  if (root->mdl_info != nullptr)
    root->mdl_info->flags &= ~static_cast<uint32_t>(SS_MDLINFO_ERROR_FLAG);
  root->error_status = buffer;
}

void require_simstruct(const SimStruct* S, const char* op) {
  if (S == nullptr) fail(kIdBadArgument, std::string(op) + ": no SimStruct.");
}

const char* text_or_empty(const char* text) {
  return text != nullptr ? text : "";
}

// The method body ended with an error: drop its scopes, keep and post the error.
void report(SimStruct* S, unsigned depth, std::string identifier, std::string message) {
  Runtime& rt = runtime();
  abandon_scopes(depth);
  --rt.method_depth;
  post_error(S, g_method_message, message);
  rt.last_error = host::sf::ErrorRecord{std::move(identifier), std::move(message)};
}

}  // namespace

extern "C" unsigned int call_sf_machine_global_method_dispatcher(SimStruct* S, int method, int flag,
                                                                 SfMachineDispatchFn callback) {
  static const char* const op = "call_sf_machine_global_method_dispatcher";
  require_simstruct(S, op);
  (void)flag;
  if (callback == nullptr) fail(kIdBadArgument, std::string(op) + ": no routing callback.");
  if (S->sf_machine_name == nullptr) {
    post_error(S, g_dispatch_message,
               "Block '" + std::string(text_or_empty(S->path)) +
                   "' names no chart machine; method " + std::to_string(method) +
                   " was not dispatched.");
    return 0;
  }
  const unsigned answer =
      callback(S, S->sf_machine_name, S->sf_chart_number, nullptr, method, nullptr);
  if (answer == 0) {
    post_error(S, g_dispatch_message,
               "No chart of machine '" + std::string(S->sf_machine_name) + "' answered method " +
                   std::to_string(method) + " for chart " + std::to_string(S->sf_chart_number) +
                   ".");
  }
  return answer;
}

extern "C" unsigned int sf_debug_api(void*, int, mxArray*[], int, const mxArray*[]) {
  // This debugger serves no command-line commands of its own.
  return 0;
}

extern "C" void callMdlMethodAndReportError(SfMdlMethodFn body, SimStruct* S) {
  static const char* const op = "callMdlMethodAndReportError";
  require_simstruct(S, op);
  if (body == nullptr) fail(kIdBadArgument, std::string(op) + ": no method body.");
  Runtime& rt = runtime();
  const unsigned depth = ++rt.method_depth;
  try {
    body(S);
  } catch (const octave::execution_exception& e) {
    report(S, depth, e.identifier(), e.message());
    return;
  } catch (const host::HostError& e) {
    report(S, depth, e.identifier, e.what());
    return;
  } catch (...) {
    abandon_scopes(depth);
    --rt.method_depth;
    throw;
  }
  --rt.method_depth;
}

extern "C" void sf_clear_error_manager_info(void) {
  runtime().last_error.reset();
}

extern "C" void sf_mex_error_direct_call(SimStruct* S, const char* method_name,
                                         const char* sfun_name) {
  require_simstruct(S, "sf_mex_error_direct_call");
  post_error(S, g_direct_call_message,
             "S-function '" + std::string(text_or_empty(sfun_name)) +
                 "' does not support a direct call of method '" +
                 std::string(text_or_empty(method_name)) + "'.");
}

extern "C" bool sim_mode_is_rtw_gen(SimStruct* S) {
  require_simstruct(S, "sim_mode_is_rtw_gen");
  return S->sim_mode == SS_SIM_RTW_GEN;
}

extern "C" bool sim_mode_is_external(SimStruct* S) {
  require_simstruct(S, "sim_mode_is_external");
  return S->sim_mode == SS_SIM_EXTERNAL;
}

extern "C" double sf_get_time(SimStruct* S) {
  static const char* const op = "sf_get_time";
  require_simstruct(S, op);
  const SsModelInfo* info = S->mdl_info != nullptr ? S->mdl_info : ssGetRootSS(S)->mdl_info;
  if (info == nullptr || info->t == nullptr)
    fail(kIdNoTime,
         std::string(op) + ": block '" + text_or_empty(S->path) + "' has no simulation time.");
  return *info->t;
}

namespace host::mex {

// A function Octave can call by name: a file, a MEX file or a built-in.
bool has_function(const std::string& name) {
  mxArray* in = mxCreateString(name.c_str());
  mxArray* out = nullptr;
  mexCallMATLAB(1, &out, 1, &in, "exist");
  const double kind = out != nullptr ? mxGetScalar(out) : 0.0;
  mxDestroyArray(in);
  if (out != nullptr) mxDestroyArray(out);
  return kind == 2 || kind == 3 || kind == 5;
}

}  // namespace host::mex

namespace host::sf {

const std::optional<ErrorRecord>& last_error() {
  return runtime().last_error;
}

void reset() {
  Runtime& rt = runtime();
  reset_debugger();
  rt.method_depth = 0;
  rt.last_error.reset();
  rt.optimization_info_available = true;
  rt.optimization_info_loads = 0;
  rt.chart_inlinable = 0;
  rt.rtw_uint_props.clear();
  rt.codegen_calls.clear();
}

}  // namespace host::sf
