// Private state of the chart runtime's debugger, checks, method wrapping and
// code-generation answers, shared by the runtime's files. One process-wide Runtime;
// the host serialises every call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/attributes.hpp"
#include "host/mex_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "host/trace.hpp"
#include "platform/sf_runtime.h"

namespace host::sf_runtime::detail {

// Identifiers of the errors raised by the debugger and the checks.
inline constexpr const char* kIdNotInteger = "Stateflow:Runtime:IndexNotInteger";
inline constexpr const char* kIdOutOfBounds = "Stateflow:Runtime:IndexOutOfBounds";
inline constexpr const char* kIdOutOfRange = "Stateflow:Runtime:DataOutOfRange";
inline constexpr const char* kIdBadInstance = "Stateflow:Runtime:InvalidDebugInstance";
inline constexpr const char* kIdUnknownMachine = "Stateflow:Runtime:UnknownMachine";
inline constexpr const char* kIdUnknownChart = "Stateflow:Runtime:UnknownChart";
inline constexpr const char* kIdUnknownInstance = "Stateflow:Runtime:UnknownChartInstance";
inline constexpr const char* kIdBadData = "Stateflow:Runtime:InvalidDataNumber";
inline constexpr const char* kIdBadArgument = "Stateflow:Runtime:InvalidArgument";
inline constexpr const char* kIdScope = "Stateflow:Runtime:SymbolScope";
inline constexpr const char* kIdUnknownSymbol = "Stateflow:Runtime:UnknownSymbol";
inline constexpr const char* kIdNotEditable = "Stateflow:Runtime:SymbolNotEditable";
inline constexpr const char* kIdNoTime = "Stateflow:Runtime:NoSimulationTime";

// Raises a host error with that identifier and message.
[[noreturn]] void fail(const char* identifier, std::string message);

// A host error is about to unwind: runs the error hook, if any (debug_hooks.cpp).
void error_raised(const char* identifier, const std::string& message);

// Shortest text that reads back as the same double ("0.1", "2402", "NaN", "-Inf").
std::string number_text(double value);

// One open symbol scope. Scope objects are reused after a pop, so that a step that
// pushes and pops the same scopes allocates nothing once warmed up.
struct Scope {
  bool eml = false;  // pushed with sf_debug_symbol_scope_push_eml
  unsigned a0 = 0, a1 = 0;
  unsigned symbol_count = 0, capacity = 0;
  const char** names = nullptr;
  void* scratch = nullptr;
  unsigned method_depth = 0;  // callMdlMethodAndReportError nesting when pushed
  std::vector<host::sf_runtime::Symbol> symbols;
};

struct DebugInstance {
  int id = 0;
  bool terminated = false;
  std::vector<Scope> scopes;  // [0, depth) are open
  std::size_t depth = 0;
  // Charts declared on this instance, by (machine number, chart file number).
  std::map<std::pair<unsigned, unsigned>, unsigned> charts;
};

struct RangeKey {
  unsigned machine, chart, data;
  bool operator<(const RangeKey& o) const {
    if (machine != o.machine) return machine < o.machine;
    if (chart != o.chart) return chart < o.chart;
    return data < o.data;
  }
};

// The data records of the chart instance whose value a range check recorded last.
// Cleared whenever an instance record may have moved (a registration, reset()).
struct CoverageCache {
  unsigned machine = 0, chart = 0, instance = 0;
  std::vector<host::sf_runtime::DataSeen>* data = nullptr;
};

struct Runtime {
  // Debug instances live until reset(), terminated ones included, so that a late use
  // of a terminated handle is recognised rather than read from freed memory.
  std::unordered_map<const void*, std::unique_ptr<DebugInstance>> instances;
  int next_instance_id = 1;

  std::map<unsigned, host::sf_runtime::MachineRecord> machines;
  unsigned next_machine_number = 1;

  std::map<unsigned, host::sf_runtime::ChartRecord> charts;  // by chart number
  unsigned next_chart_number = kFirstChartNumber;

  std::map<RangeKey, std::pair<double, double>> ranges;
  bool coverage = false;  // range checks record the values they see
  CoverageCache coverage_cache;

  host::sf_runtime::LineHook line_hook;

  unsigned method_depth = 0;
  std::optional<host::sf_runtime::ErrorRecord> last_error;

  bool optimization_info_available = true;
  unsigned optimization_info_loads = 0;
  unsigned chart_inlinable = 0;
  std::map<std::string, unsigned, std::less<>> rtw_uint_props;
  std::vector<host::trace::Call> codegen_calls;

  host::sf_runtime::ErrorHook error_hook;
  bool in_error_hook = false;
};

// The one Runtime, made on first use and never destroyed (it outlives the plug-ins'
// static destructors). A plain pointer rather than a function-local static, so that
// the calls a step makes read it without a guard.
HOST_LOCAL extern Runtime* g_runtime;
Runtime& make_runtime();
inline Runtime& runtime() {
  Runtime* rt = g_runtime;
  return __builtin_expect(rt != nullptr, 1) ? *rt : make_runtime();
}

// What the checks of a step read on every call: a constant-initialised global of
// this library (no guard, no GOT). A handle equal to `trusted` is a live debug
// instance and recording is off, so a check may skip both the look-up and the
// recorder; `trusted_unranged` says the same and also that no data range is set.
// Either holds kUntrusted when that is not known; the full path (check_instance)
// then decides and trusts the instance again when it may.
struct HotState {
  const void* trusted;
  const void* trusted_unranged;
  bool listening;  // the recorder tells us when recording starts
};
HOST_LOCAL extern HotState g_hot;
// An address that no debug instance has.
HOST_LOCAL extern const char kUntrusted[1];

// Withdraws the trust (an instance terminated, the records reset, a range set,
// recording on).
inline void untrust() {
  g_hot.trusted = kUntrusted;
  g_hot.trusted_unranged = kUntrusted;
}

// The full handle check: raises when the handle is unknown or terminated, `op`
// naming the operation in the message.
DebugInstance& check_instance(const void* handle, const char* op);

// The live debug instance behind a handle; raises as check_instance does.
inline DebugInstance& checked_instance(const void* handle, const char* op) {
  if (__builtin_expect(handle == g_hot.trusted, 1))
    return *static_cast<DebugInstance*>(const_cast<void*>(handle));
  return check_instance(handle, op);
}

// The debug instance behind a handle, terminated or not; null when the handle was
// not made by this runtime.
DebugInstance* find_instance(const void* handle);

// Registered records; each raises naming `op` when the record does not exist.
host::sf_runtime::MachineRecord& checked_machine(DebugInstance& inst, unsigned machine_number,
                                                 const char* op);
host::sf_runtime::ChartRecord& checked_chart(DebugInstance& inst, unsigned machine_number,
                                             unsigned chart_number, const char* op);
host::sf_runtime::ChartInstanceRecord& checked_chart_instance(host::sf_runtime::ChartRecord& chart,
                                                              unsigned instance_number,
                                                              const char* op);

// The chart instance that a step hook or a declaration names; raises as the look-ups
// above do.
inline host::sf_runtime::ChartInstanceRecord& instance_of(void* debug_instance,
                                                          unsigned machine_number,
                                                          unsigned chart_number,
                                                          unsigned instance_number,
                                                          const char* op) {
  DebugInstance& inst = checked_instance(debug_instance, op);
  host::sf_runtime::ChartRecord& chart = checked_chart(inst, machine_number, chart_number, op);
  return checked_chart_instance(chart, instance_number, op);
}

// Counts a host error caught in a method of the block `S` on the coverage record of
// the block's latest chart registration (nothing when it has none).
void see_error(const void* S, const std::string& identifier);

// Drops the scopes pushed inside callMdlMethodAndReportError bodies at nesting level
// `depth` or deeper (their step ended with an error).
void abandon_scopes(unsigned depth);

// Called inside a catch block: the error being handled, when it is an error of the
// host that this runtime runs in but not a host::HostError (GNU Octave's own
// errors); nothing for any other exception. host_errors.cpp of each host.
std::optional<host::sf_runtime::ErrorRecord> foreign_host_error();

// Called when a MATLAB-level function that chart code called by name has returned,
// with the inputs it was given. A chart raises its errors with "message" and then
// "error", and "error" must not return: a host where it can (a user's own "error"
// or "message" function, an empty message) raises the chart's error here instead.
// The stand-in host's "error" returns only when a test asks it to, to run the
// chart's code after a raise that returns, so its answer is to go on.
// host_errors.cpp of each host.
void host_function_returned(const char* name, int nrhs, mxArray* const* inputs);

// Recorder arguments of our own: a debug instance ("dbg#1"), an array (its
// description), a callback (its address), a dimension list ("[2402]"), lists of
// arrays and of names.
struct Dbg {
  const void* p;
};
struct Arr {
  const mxArray* p;
};
struct Fn {
  const void* p;
};
struct Dims {
  unsigned n;
  const unsigned* d;
};
struct Arrs {
  int n;
  const mxArray* const* p;
};
struct Names {
  unsigned n;
  const char* const* names;
};
std::string arg(Dbg d);
std::string arg(Arr a);
std::string arg(Fn f);
std::string arg(Dims d);
std::string arg(Arrs a);
std::string arg(Names n);
using host::trace::arg;

// Any other pointer argument is recorded as its address.
inline const void* addr(const void* p) {
  return p;
}

template <class F>
Fn fn(F f) {
  return Fn{reinterpret_cast<const void*>(f)};
}

// A formatted call. Arguments are formatted with recording muted, so that the
// matrix calls made to describe arrays do not show in the trace.
template <class... A>
host::trace::Call make_call(const char* op, const A&... a) {
  host::trace::Mute mute;
  return host::trace::Call{op, {arg(a)...}};
}

template <class... A>
[[gnu::noinline, gnu::cold]] void record_now(const char* op, const A&... a) {
  host::trace::emit(make_call(op, a...));
}

// Records one operation of the runtime when recording is on.
template <class... A>
inline void record(const char* op, const A&... a) {
  if (host::trace::enabled()) record_now(op, a...);
}

}  // namespace host::sf_runtime::detail
