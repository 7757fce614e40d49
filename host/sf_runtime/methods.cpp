// Method dispatch and method wrapping of the chart runtime: routing a block's
// method to its machine, running a method body with its errors reported on the
// block, the direct-call refusal, the simulation mode and time of a block, and the
// command entry of the debugger.
#include <cstdio>
#include <string>

#include "host/sf_runtime/runtime.hpp"

using namespace host::sf_runtime::detail;

namespace {

// Messages posted on a root SimStruct must outlive the call: each kind has its own
// buffer, overwritten by the next message of that kind. A message longer than a
// buffer is cut to fit (the full text of a method error stays in last_error()).
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

}  // namespace

extern "C" unsigned int call_sf_machine_global_method_dispatcher(SimStruct* S, int method, int flag,
                                                                 SfMachineDispatchFn callback) {
  static const char* const op = "call_sf_machine_global_method_dispatcher";
  record(op, addr(S), method, flag, fn(callback));
  require_simstruct(S, op);
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

extern "C" unsigned int sf_debug_api(void* debug_instance, int nlhs, mxArray* plhs[], int nrhs,
                                     const mxArray* prhs[]) {
  record("sf_debug_api", Dbg{debug_instance}, nlhs, addr(plhs), nrhs, Arrs{nrhs, prhs});
  // This debugger serves no command-line commands of its own.
  return 0;
}

extern "C" void callMdlMethodAndReportError(SfMdlMethodFn body, SimStruct* S) {
  static const char* const op = "callMdlMethodAndReportError";
  record(op, fn(body), addr(S));
  require_simstruct(S, op);
  if (body == nullptr) fail(kIdBadArgument, std::string(op) + ": no method body.");
  Runtime& rt = runtime();
  const unsigned depth = ++rt.method_depth;
  try {
    body(S);
  } catch (const host::HostError& e) {
    abandon_scopes(depth);
    --rt.method_depth;
    see_error(S, e.identifier);
    rt.last_error = host::sf_runtime::ErrorRecord{e.identifier, e.what()};
    post_error(S, g_method_message, e.what());
    return;
  } catch (...) {
    abandon_scopes(depth);
    --rt.method_depth;
    auto foreign = foreign_host_error();
    if (!foreign) throw;
    post_error(S, g_method_message, foreign->message);
    see_error(S, foreign->identifier);
    rt.last_error = std::move(foreign);
    return;
  }
  --rt.method_depth;
}

extern "C" void sf_clear_error_manager_info(void) {
  record("sf_clear_error_manager_info");
  runtime().last_error.reset();
}

extern "C" void sf_mex_error_direct_call(SimStruct* S, const char* method_name,
                                         const char* sfun_name) {
  static const char* const op = "sf_mex_error_direct_call";
  record(op, addr(S), method_name, sfun_name);
  require_simstruct(S, op);
  post_error(S, g_direct_call_message,
             "S-function '" + std::string(text_or_empty(sfun_name)) +
                 "' does not support a direct call of method '" +
                 std::string(text_or_empty(method_name)) + "'.");
}

extern "C" bool sim_mode_is_rtw_gen(SimStruct* S) {
  static const char* const op = "sim_mode_is_rtw_gen";
  record(op, addr(S));
  require_simstruct(S, op);
  return S->sim_mode == SS_SIM_RTW_GEN;
}

extern "C" bool sim_mode_is_external(SimStruct* S) {
  static const char* const op = "sim_mode_is_external";
  record(op, addr(S));
  require_simstruct(S, op);
  return S->sim_mode == SS_SIM_EXTERNAL;
}

extern "C" double sf_get_time(SimStruct* S) {
  static const char* const op = "sf_get_time";
  record(op, addr(S));
  require_simstruct(S, op);
  // The block's model information is the model's unless the host gave it its own.
  const SsModelInfo* info = S->mdl_info != nullptr ? S->mdl_info : ssGetRootSS(S)->mdl_info;
  if (info == nullptr || info->t == nullptr)
    fail(kIdNoTime,
         std::string(op) + ": block '" + text_or_empty(S->path) + "' has no simulation time.");
  return *info->t;
}

namespace host::sf_runtime {

const std::optional<ErrorRecord>& last_error() {
  return runtime().last_error;
}

}  // namespace host::sf_runtime
