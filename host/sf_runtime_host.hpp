// Host-side view of the stand-in chart runtime (libsf_runtime): what the engine,
// the tests and a debugger front end read back from the runtime and how they steer
// it. The plug-ins never include this; they call the operations of
// platform/sf_runtime.h.
//
// Everything here is process-wide, like the runtime itself, and single-threaded:
// the host serialises every call.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/trace.hpp"
#include "platform/sf_runtime.h"

namespace host::sf_runtime {

// Clears every record of the runtime: debug instances (handles held elsewhere become
// unknown and are refused), machines, charts, ranges, scopes, answers, hooks, the
// last error and the code-generation log. Counters start again (machine numbers
// from 1, chart numbers from kFirstChartNumber, debug instances from #1).
void reset();

// The number of the first chart registered in the process (or after reset()); each
// later chart takes the next number.
inline constexpr unsigned kFirstChartNumber = 101;

// ---------------------------------------------------------------------------
// Debug instances and machines
//
// A debug instance is refused (host error) by every debugger, coverage and check
// operation when it was not made by sf_debug_create_debug_instance_struct, or
// after sf_debug_terminate. sf_debug_api alone accepts any handle, null included.

// The number of a debug instance (1, 2, ... in order of creation; printed "dbg#1"
// by the recorder), or 0 when the handle was not made by this runtime.
int debug_instance_id(const void* debug_instance);
bool debug_instance_terminated(const void* debug_instance);

struct MachineRecord {
  unsigned number = 0;
  int debug_instance = 0;  // id of the instance it was registered on
  std::string name, target;
  unsigned is_library = 0, chart_count = 0, data_count = 0, event_count = 0, reserved = 0;
  std::optional<std::array<unsigned, 2>> event_thresholds;  // event count, reserved
  std::optional<unsigned> data_threshold;
};
// Null when no machine of that number was registered.
const MachineRecord* machine(unsigned machine_number);

// ---------------------------------------------------------------------------
// Charts registered with sf_debug_initialize_chart

struct DataProps {
  bool set = false;
  unsigned scope = 0, is_input = 0, is_output = 0;
  std::string name;
};

// One sf_debug_set_chart_data_compiled_props call; the positional arguments are kept
// as given.
struct CompiledProps {
  bool set = false;
  unsigned data_type = 0;
  std::vector<unsigned> dims;  // num_dims entries
  unsigned a0 = 0, a1 = 0, a2 = 0;
  double d0 = 0.0, d1 = 0.0;  // not a range: range checks use set_data_range only
  unsigned a3 = 0, a4 = 0, a5 = 0;
  SfToMxFn to_mx = nullptr;
  SfFromMxFn from_mx = nullptr;
};

// ---------------------------------------------------------------------------
// Coverage records: what the step hooks, the range checks and the method wrapper saw
// of one chart instance, kept with its registration (ChartInstanceRecord::seen). The
// storage is sized when the block registers (sf_debug_initialize_chart), so that a
// step records into it without allocating: the chart calls by tag, the line calls by
// line code and the coverage evaluations by their arguments each take one of
// kCoverageSlots slots (a kind beyond them is only counted in `other`).
//
// The counts of calls are always kept. The values seen by the range checks cost
// the checks their fast path, so they are kept only while coverage recording is on
// (set_coverage_recording). The errors are kept as the method wrapper catches them.

inline constexpr std::size_t kCoverageSlots = 8;

// How often each kind (a tag, a line code, an argument list) was seen, in the order
// first seen.
template <class Key>
struct Tally {
  struct Slot {
    Key key{};
    unsigned long long count = 0;
  };
  std::array<Slot, kCoverageSlots> slots{};
  std::size_t used = 0;
  unsigned long long other = 0;  // calls of kinds that found no free slot
  void add(const Key& key) {
    for (std::size_t i = 0; i < used; ++i) {
      if (slots[i].key == key) {
        ++slots[i].count;
        return;
      }
    }
    if (used < slots.size()) {
      slots[used++] = Slot{key, 1};
    } else {
      ++other;
    }
  }
  unsigned long long count(const Key& key) const {
    for (std::size_t i = 0; i < used; ++i)
      if (slots[i].key == key) return slots[i].count;
    return 0;
  }
  unsigned long long total() const {
    unsigned long long sum = other;
    for (std::size_t i = 0; i < used; ++i)
      sum += slots[i].count;
    return sum;
  }
};

// The values one data item took in the range checks.
struct DataSeen {
  unsigned long long checks = 0;  // values checked, NaN included
  unsigned long long nans = 0;
  bool any = false;  // a value other than NaN was seen: min and max hold
  double min = 0.0, max = 0.0;
};

struct CoverageRecord {
  Tally<unsigned> chart_calls;           // sf_debug_call by tag (0 opens a step)
  Tally<int> lines;                      // eml_debug_line_call by line code
  Tally<std::array<unsigned, 6>> evals;  // cv_eml_eval by its six arguments after the instance
  std::vector<DataSeen> data;            // per data number (the chart's data count)
  // Errors caught by callMdlMethodAndReportError in a method of the instance's block,
  // by identifier (empty for an error raised without one), in the order first seen.
  std::vector<std::pair<std::string, unsigned long long>> errors;
};

// Values seen by the range checks are recorded while on (off by default; reset()
// turns it off). Switching it on costs every range check its fast path.
void set_coverage_recording(bool on);
bool coverage_recording();

// The range set on a data item with set_data_range, if any.
std::optional<std::pair<double, double>> data_range(unsigned machine_number, unsigned chart_number,
                                                    unsigned data_number);

// One block's registration of a chart (its instance number).
struct ChartInstanceRecord {
  unsigned instance_number = 0;
  const void* simstruct = nullptr;      // the SimStruct handed to sf_debug_initialize_chart
  unsigned registrations = 0;           // sf_debug_initialize_chart calls for this block
  std::vector<CompiledProps> compiled;  // per data number (chart's data count)
  std::vector<void*> value_ptrs;        // per data number, null until set
  std::vector<void*> size_ptrs;         // second address of the value-pointer call
  unsigned reset_count = 0;             // sf_debug_reset_current_state_configuration
  std::vector<trace::Call> coverage;    // sf_debug_cv_init_*, cv_eml_init_* in order
  // Step hooks seen for this instance.
  unsigned long long debug_calls = 0, line_calls = 0, cv_evals = 0, consistency_checks = 0;
  CoverageRecord seen;  // what its steps reported, by kind
};

struct ChartRecord {
  int debug_instance = 0;  // id of the instance it was declared on
  unsigned machine_number = 0, file_number = 0, chart_number = 0;
  unsigned data_count = 0;
  std::array<unsigned, 9> args{};  // a1 a2 a3 a5 a6 a7 a8 a9 a10 of the registration
  std::optional<unsigned> disable_implicit_casting;
  std::optional<std::array<unsigned, 3>> event_thresholds;
  std::optional<std::array<unsigned, 3>> state_info;
  std::optional<unsigned> substate_count, decomposition;
  std::vector<DataProps> data;                 // data_count entries
  std::vector<ChartInstanceRecord> instances;  // [k] is instance number k + 1
};

// Chart numbers are unique in the process (counted from kFirstChartNumber), so the
// number alone finds the record. Null when unknown. Chart records stay where they are
// until reset(); an instance record may move when another block of its chart
// registers.
const ChartRecord* chart(unsigned chart_number);
// The chart declared for (machine, chart file number n) on a debug instance.
const ChartRecord* chart_of(const void* debug_instance, unsigned machine_number,
                            unsigned file_number);
// The first chart (the lowest chart number) declared for chart file number n of a
// machine of that name, on any debug instance; null when none.
const ChartRecord* first_chart_of(std::string_view machine_name, unsigned file_number);
const ChartInstanceRecord* chart_instance(unsigned chart_number, unsigned instance_number);

// One chart instance record made with a block's SimStruct.
struct Registration {
  unsigned chart_number = 0, instance_number = 0;
  unsigned registrations = 0;  // its ChartInstanceRecord::registrations
  bool operator==(const Registration&) const = default;
};
// Every chart instance record made with that SimStruct, in chart-number order.
std::vector<Registration> registrations_of(const void* simstruct);

// ---------------------------------------------------------------------------
// Range checks of sf_debug_data_range_wrapper. By default no data has a range and
// every value passes (NaN and infinities included). With a range set, a value
// passes when min <= value <= max (NaN never does); a violation is a host error
// "Stateflow:Runtime:DataOutOfRange" naming the data, the value and the range.

void set_data_range(unsigned machine_number, unsigned chart_number, unsigned data_number,
                    double min, double max);
void clear_data_ranges();

// ---------------------------------------------------------------------------
// Symbol scopes (sf_debug_symbol_scope_*), per debug instance.

struct Symbol {
  const char* name = nullptr;  // from the names table of the scope (valid while open)
  unsigned index = 0;
  void* address = nullptr;
  SfToMxFn to_mx = nullptr;
  SfFromMxFn from_mx = nullptr;  // null for a view-only symbol
};

std::size_t scope_depth(const void* debug_instance);
// The symbol of that name in the innermost open scope that has one; null if none.
const Symbol* find_symbol(const void* debug_instance, std::string_view name);
// Calls the symbol's show callback: a new array that the caller owns. Host error
// "Stateflow:Runtime:UnknownSymbol" when no open scope has the symbol.
const mxArray* show_symbol(const void* debug_instance, std::string_view name,
                           void* chart_instance = nullptr);
// Calls the symbol's edit callback with `value`, which the callback consumes. Host
// error "Stateflow:Runtime:UnknownSymbol" when not found and
// "Stateflow:Runtime:SymbolNotEditable" for a view-only symbol (value untouched).
void edit_symbol(const void* debug_instance, std::string_view name, const mxArray* value,
                 void* chart_instance = nullptr);

// Hook run by every eml_debug_line_call after it is recorded (tests: edit "y1"
// between the two line calls of a step). An empty function removes it.
struct LineCall {
  void* debug_instance = nullptr;
  unsigned machine_number = 0, chart_number = 0, instance_number = 0;
  int current_event = 0;
  int line_code = 0;
  double time = 0.0;
};
using LineHook = std::function<void(const LineCall&)>;
void set_line_hook(LineHook hook);

// ---------------------------------------------------------------------------
// Method wrapping: the error that callMdlMethodAndReportError caught last. Cleared
// by sf_clear_error_manager_info and reset().

struct ErrorRecord {
  std::string identifier;  // empty when raised without one
  std::string message;
};
const std::optional<ErrorRecord>& last_error();

// ---------------------------------------------------------------------------
// Code generation answers

// false: sf_load_rtw_optimization_info answers null (default true: a new struct).
void set_optimization_info_available(bool available);
unsigned optimization_info_loads();         // sf_load_rtw_optimization_info calls
void set_chart_inlinable(unsigned answer);  // answer of sf_is_chart_inlinable (default 0)
// Answer of sf_rtw_info_uint_prop for a property name (unset names answer 0).
void set_rtw_info_uint_prop(const std::string& property, unsigned answer);
// Every code-generation call in order, formatted as the recorder does; kept whether
// recording is on or not.
const std::vector<trace::Call>& codegen_calls();

// ---------------------------------------------------------------------------
// Debugger front end: errors seen before they unwind, and debug instance handles.

// Hook run when a host error is raised inside the runtime's checks and calls, or by a
// MATLAB-level function that chart code called (sf_mex_call_debug), before it unwinds:
// the step's symbol scopes are still open and their symbols still alive. An error
// raised while the hook runs does not run it again. An empty function removes it.
using ErrorHook = std::function<void(const ErrorRecord&)>;
void set_error_hook(ErrorHook hook);

// The handle of debug instance number `id` (see debug_instance_id); null when no
// instance has that number.
const void* debug_instance_handle(int id);

}  // namespace host::sf_runtime
