// The step hooks and checks of the chart runtime: sf_debug_call, the line calls,
// coverage evaluations, and the range, integer and bounds checks of data accesses.
//
// The step of a chart makes tens of thousands of these calls, so the paths taken by
// a passing check allocate nothing and cost a handle comparison and the check: the
// handle is compared with the instance trusted last (g_hot), which stands for the
// look-up and the recorder's state; anything else takes the full path, which records,
// looks the handle up, checks and reports exactly as the fast path would.
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "host/sf_runtime/runtime.hpp"

using namespace host::sf_runtime::detail;
namespace hs = host::sf_runtime;

// --- Step hooks -----------------------------------------------------------------

extern "C" void sf_debug_call(void* debug_instance, unsigned int machine_number,
                              unsigned int chart_number, unsigned int instance_number,
                              unsigned int a0, unsigned int a1, unsigned int tag,
                              unsigned int object_number, int current_event, unsigned int a2,
                              void* p, double time, unsigned int a3, unsigned int a4) {
  static const char* const op = "sf_debug_call";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, a0, a1, tag,
         object_number, current_event, a2, addr(p), time, a3, a4);
  hs::ChartInstanceRecord& ci =
      instance_of(debug_instance, machine_number, chart_number, instance_number, op);
  ci.debug_calls += 1;
  ci.seen.chart_calls.add(tag);
}

extern "C" void eml_debug_line_call(void* debug_instance, unsigned int machine_number,
                                    unsigned int chart_number, unsigned int instance_number,
                                    unsigned int a0, int current_event, int line_code, double time,
                                    unsigned int a1, unsigned int a2) {
  static const char* const op = "eml_debug_line_call";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, a0, current_event,
         line_code, time, a1, a2);
  hs::ChartInstanceRecord& ci =
      instance_of(debug_instance, machine_number, chart_number, instance_number, op);
  ci.line_calls += 1;
  ci.seen.lines.add(line_code);
  if (runtime().line_hook) {
    // A copy, so that the hook may replace itself.
    const hs::LineHook hook = runtime().line_hook;
    hook(hs::LineCall{debug_instance, machine_number, chart_number, instance_number, current_event,
                      line_code, time});
  }
}

namespace {

// The value into the coverage record of the data item, when the chart, the instance
// and the data number are known (the check itself decides nothing by them). The
// record last written is remembered, so that the checks of one step find it at once.
void see_value(Runtime& rt, unsigned machine_number, unsigned chart_number,
               unsigned instance_number, unsigned data_number, double value) {
  CoverageCache& cache = rt.coverage_cache;
  if (cache.data == nullptr || cache.chart != chart_number || cache.instance != instance_number ||
      cache.machine != machine_number) {
    cache.data = nullptr;
    auto it = rt.charts.find(chart_number);
    if (it == rt.charts.end() || it->second.machine_number != machine_number ||
        instance_number == 0 || instance_number > it->second.instances.size())
      return;
    cache = CoverageCache{machine_number, chart_number, instance_number,
                          &it->second.instances[instance_number - 1].seen.data};
  }
  if (data_number >= cache.data->size()) return;
  hs::DataSeen& seen = (*cache.data)[data_number];
  seen.checks += 1;
  if (std::isnan(value)) {
    seen.nans += 1;
  } else if (!seen.any) {
    seen.any = true;
    seen.min = seen.max = value;
  } else {
    if (value < seen.min) seen.min = value;
    if (value > seen.max) seen.max = value;
  }
}

[[gnu::noinline]] void range_check(void* debug_instance, unsigned machine_number,
                                   unsigned chart_number, unsigned instance_number,
                                   unsigned data_number, double value) {
  static const char* const op = "sf_debug_data_range_wrapper";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, data_number,
         value);
  // The trusted instance is live and recording is off: a run that records coverage
  // skips the look-up, as the other checks do.
  if (debug_instance != g_hot.trusted) check_instance(debug_instance, op);
  Runtime& rt = runtime();
  if (rt.coverage) see_value(rt, machine_number, chart_number, instance_number, data_number, value);
  if (rt.ranges.empty()) return;
  auto it = rt.ranges.find(RangeKey{machine_number, chart_number, data_number});
  if (it == rt.ranges.end()) return;
  const auto [lo, hi] = it->second;
  if (lo <= value && value <= hi) return;
  std::string name = "#" + std::to_string(data_number);
  auto chart = rt.charts.find(chart_number);
  if (chart != rt.charts.end() && data_number < chart->second.data.size() &&
      chart->second.data[data_number].set)
    name = "'" + chart->second.data[data_number].name + "' (#" + std::to_string(data_number) + ")";
  fail(kIdOutOfRange, "Data " + name + " of chart " + std::to_string(chart_number) +
                          " has the value " + number_text(value) + ", outside its range [" +
                          number_text(lo) + ", " + number_text(hi) + "].");
}

}  // namespace

extern "C" void sf_debug_data_range_wrapper(void* debug_instance, unsigned int machine_number,
                                            unsigned int chart_number, unsigned int instance_number,
                                            unsigned int data_number, double value) {
  if (__builtin_expect(debug_instance == g_hot.trusted_unranged, 1)) return;
  range_check(debug_instance, machine_number, chart_number, instance_number, data_number, value);
}

extern "C" void sf_debug_check_for_state_inconsistency(void* debug_instance,
                                                       unsigned int machine_number,
                                                       unsigned int chart_number,
                                                       unsigned int instance_number) {
  static const char* const op = "sf_debug_check_for_state_inconsistency";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number);
  instance_of(debug_instance, machine_number, chart_number, instance_number, op)
      .consistency_checks += 1;
}

extern "C" void cv_eml_eval(void* debug_instance, unsigned int machine_number,
                            unsigned int chart_number, unsigned int instance_number,
                            unsigned int a0, unsigned int a1, unsigned int a2, unsigned int a3,
                            unsigned int a4, unsigned int a5) {
  static const char* const op = "cv_eml_eval";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, a0, a1, a2, a3, a4,
         a5);
  hs::ChartInstanceRecord& ci =
      instance_of(debug_instance, machine_number, chart_number, instance_number, op);
  ci.cv_evals += 1;
  ci.seen.evals.add({a0, a1, a2, a3, a4, a5});
}

// --- Checks ---------------------------------------------------------------------

namespace {

std::string of_name(const char* name) {
  return name != nullptr && name[0] != '\0' ? std::string(" of '") + name + "'" : std::string();
}

bool is_integer(double value) {
  return std::isfinite(value) && std::trunc(value) == value;
}

// The check's fast test: a double that survives the round trip through a 64-bit
// integer is an integer. The conversion answers INT64_MIN for NaN, the infinities and
// anything beyond the 64-bit range; of those only -2^63 itself passes, rightly. What
// fails here goes to is_integer.
inline bool is_small_integer(double value) {
#if defined(__x86_64__) || defined(_M_X64)
  return static_cast<double>(_mm_cvttsd_si64(_mm_set_sd(value))) == value;
#else
  return std::fabs(value) < 0x1p62 && static_cast<double>(static_cast<int64_t>(value)) == value;
#endif
}

[[gnu::noinline]] double integer_check(void* debug_instance, unsigned machine_number,
                                       unsigned chart_number, unsigned instance_number,
                                       const char* name, double value) {
  static const char* const op = "sf_debug_integer_check";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, name, value);
  check_instance(debug_instance, op);
  if (is_integer(value)) return value;
  fail(kIdNotInteger, "Index value " + number_text(value) + of_name(name) + " is not an integer.");
}

// The arguments of a bounds check, gathered only on the full path: passed one by one,
// the four on the stack would be copied on every call.
struct BoundsCall {
  void* debug_instance;
  unsigned machine_number, chart_number, instance_number;
  const char* name;
  int32_t index, lower, upper, a0, a1;
};

[[gnu::noinline]] int32_t bounds_check(const BoundsCall& call) {
  static const char* const op = "sf_debug_eml_data_array_bounds_error_check";
  const auto [debug_instance, machine_number, chart_number, instance_number, name, index, lower,
              upper, a0, a1] = call;
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, name, index, lower,
         upper, a0, a1);
  check_instance(debug_instance, op);
  if (lower <= index && index <= upper) return index;
  fail(kIdOutOfBounds, "Index " + std::to_string(index) + of_name(name) +
                           " is out of bounds; it must be in the range [" + std::to_string(lower) +
                           ".." + std::to_string(upper) + "].");
}

}  // namespace

extern "C" double sf_debug_integer_check(void* debug_instance, unsigned int machine_number,
                                         unsigned int chart_number, unsigned int instance_number,
                                         const char* name, double value) {
  if (__builtin_expect(debug_instance == g_hot.trusted && is_small_integer(value), 1)) return value;
  return integer_check(debug_instance, machine_number, chart_number, instance_number, name, value);
}

extern "C" int32_t sf_debug_eml_data_array_bounds_error_check(
    void* debug_instance, unsigned int machine_number, unsigned int chart_number,
    unsigned int instance_number, const char* name, int32_t index, int32_t lower, int32_t upper,
    int32_t a0, int32_t a1) {
  if (__builtin_expect(debug_instance == g_hot.trusted && lower <= index && index <= upper, 1))
    return index;
  return bounds_check(BoundsCall{debug_instance, machine_number, chart_number, instance_number,
                                 name, index, lower, upper, a0, a1});
}

// --- Host-side view -------------------------------------------------------------

namespace host::sf_runtime {

void set_data_range(unsigned machine_number, unsigned chart_number, unsigned data_number,
                    double min, double max) {
  runtime().ranges[RangeKey{machine_number, chart_number, data_number}] = {min, max};
  g_hot.trusted_unranged = kUntrusted;
}

void clear_data_ranges() {
  runtime().ranges.clear();
}

std::optional<std::pair<double, double>> data_range(unsigned machine_number, unsigned chart_number,
                                                    unsigned data_number) {
  const Runtime& rt = runtime();
  auto it = rt.ranges.find(RangeKey{machine_number, chart_number, data_number});
  if (it == rt.ranges.end()) return std::nullopt;
  return it->second;
}

void set_coverage_recording(bool on) {
  Runtime& rt = runtime();
  rt.coverage = on;
  rt.coverage_cache = CoverageCache{};
  if (on) g_hot.trusted_unranged = kUntrusted;
}

bool coverage_recording() {
  return runtime().coverage;
}

void set_line_hook(LineHook hook) {
  runtime().line_hook = std::move(hook);
}

}  // namespace host::sf_runtime
