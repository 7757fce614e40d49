// The chart debugger of the runtime: debug instances, machines, chart registration
// and coverage declarations, the step hooks, symbol scopes and range checks, and the
// integer and bounds checks of indexed data accesses.
//
// The step of a chart makes tens of thousands of these calls, so the paths taken by
// a passing check allocate nothing and cost a handle comparison and the check: the
// handle is compared with the instance trusted last (g_hot), which stands for the
// look-up and the recorder's state; anything else takes the full path, which records,
// looks the handle up, checks and reports exactly as the fast path would.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "host/sf_runtime/runtime.hpp"
#include "host/sf_runtime/values.hpp"

namespace host::sf_runtime::detail {

namespace hs = host::sf_runtime;

constinit Runtime* g_runtime = nullptr;

Runtime& make_runtime() {
  if (g_runtime == nullptr) g_runtime = new Runtime;
  return *g_runtime;
}

const char kUntrusted[1] = {0};
constinit HotState g_hot = {kUntrusted, kUntrusted, false};

void fail(const char* identifier, std::string message) {
  throw host::HostError(identifier, message);
}

std::string number_text(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

namespace {

std::string instance_name(const DebugInstance& inst) {
  return "dbg#" + std::to_string(inst.id);
}

DebugInstance* find_instance(const void* handle) {
  Runtime& rt = runtime();
  auto it = rt.instances.find(handle);
  return it == rt.instances.end() ? nullptr : it->second.get();
}

void on_recording_change(bool on) {
  if (on) untrust();
}

// A live instance that passed the full check becomes the trusted one, unless the
// recorder is on (or cannot tell us when it goes on).
void trust(const DebugInstance* inst) {
  if (!g_hot.listening) g_hot.listening = host::trace::on_enabled_change(&on_recording_change);
  if (!g_hot.listening || host::trace::enabled()) return;
  g_hot.trusted = inst;
  g_hot.trusted_unranged = runtime().ranges.empty() ? static_cast<const void*>(inst) : kUntrusted;
}

}  // namespace

// --- Recorder arguments -------------------------------------------------------

std::string arg(Dbg d) {
  if (d.p == nullptr) return "null";
  const DebugInstance* inst = find_instance(d.p);
  return inst != nullptr ? instance_name(*inst) : "dbg#?";
}

std::string arg(Arr a) {
  return a.p == nullptr ? "null" : values::describe(a.p);
}

std::string arg(Fn f) {
  return host::trace::arg(f.p);
}

std::string arg(Dims d) {
  if (d.d == nullptr) return d.n == 0 ? "[]" : "null";
  std::string s = "[";
  for (unsigned i = 0; i < d.n; ++i) {
    if (i != 0) s += 'x';
    s += std::to_string(d.d[i]);
  }
  return s + "]";
}

std::string arg(Arrs a) {
  if (a.p == nullptr) return a.n == 0 ? "{}" : "null";
  std::string s = "{";
  for (int i = 0; i < a.n; ++i) {
    if (i != 0) s += ',';
    s += arg(Arr{a.p[i]});
  }
  return s + "}";
}

std::string arg(Names n) {
  if (n.names == nullptr) return n.n == 0 ? "{}" : "null";
  std::string s = "{";
  for (unsigned i = 0; i < n.n; ++i) {
    if (i != 0) s += ',';
    s += host::trace::arg(n.names[i]);
  }
  return s + "}";
}

// --- Lookups --------------------------------------------------------------------

DebugInstance& check_instance(const void* handle, const char* op) {
  if (handle == nullptr) fail(kIdBadInstance, std::string(op) + ": no debug instance (null).");
  DebugInstance* inst = find_instance(handle);
  if (inst == nullptr)
    fail(kIdBadInstance, std::string(op) + ": the handle is not a debug instance of this runtime.");
  if (inst->terminated)
    fail(kIdBadInstance,
         std::string(op) + ": debug instance " + instance_name(*inst) + " has been terminated.");
  trust(inst);
  return *inst;
}

hs::MachineRecord& checked_machine(DebugInstance& inst, unsigned machine_number, const char* op) {
  Runtime& rt = runtime();
  auto it = rt.machines.find(machine_number);
  if (it == rt.machines.end() || it->second.debug_instance != inst.id)
    fail(kIdUnknownMachine, std::string(op) + ": machine " + std::to_string(machine_number) +
                                " is not registered on debug instance " + instance_name(inst) +
                                ".");
  return it->second;
}

hs::ChartRecord& checked_chart(DebugInstance& inst, unsigned machine_number, unsigned chart_number,
                               const char* op) {
  Runtime& rt = runtime();
  auto it = rt.charts.find(chart_number);
  if (it == rt.charts.end() || it->second.debug_instance != inst.id ||
      it->second.machine_number != machine_number)
    fail(kIdUnknownChart, std::string(op) + ": chart " + std::to_string(chart_number) +
                              " of machine " + std::to_string(machine_number) +
                              " is not registered on debug instance " + instance_name(inst) + ".");
  return it->second;
}

hs::ChartInstanceRecord& checked_chart_instance(hs::ChartRecord& chart, unsigned instance_number,
                                                const char* op) {
  if (instance_number == 0 || instance_number > chart.instances.size())
    fail(kIdUnknownInstance, std::string(op) + ": chart " + std::to_string(chart.chart_number) +
                                 " has no instance " + std::to_string(instance_number) + ".");
  return chart.instances[instance_number - 1];
}

namespace {

void check_data_number(const hs::ChartRecord& chart, unsigned data_number, const char* op) {
  if (data_number >= chart.data_count)
    fail(kIdBadData, std::string(op) + ": data number " + std::to_string(data_number) +
                         " is out of range for chart " + std::to_string(chart.chart_number) +
                         ", which has " + std::to_string(chart.data_count) + " data.");
}

hs::ChartInstanceRecord& instance_of(void* debug_instance, unsigned machine_number,
                                     unsigned chart_number, unsigned instance_number,
                                     const char* op) {
  DebugInstance& inst = checked_instance(debug_instance, op);
  hs::ChartRecord& chart = checked_chart(inst, machine_number, chart_number, op);
  return checked_chart_instance(chart, instance_number, op);
}

Scope& top_scope(DebugInstance& inst, const char* op) {
  if (inst.depth == 0) fail(kIdScope, std::string(op) + ": no symbol scope is open.");
  return inst.scopes[inst.depth - 1];
}

Scope& push_scope(DebugInstance& inst) {
  if (inst.depth == inst.scopes.size()) inst.scopes.emplace_back();
  Scope& s = inst.scopes[inst.depth++];
  s.eml = false;
  s.a0 = s.a1 = s.symbol_count = s.capacity = 0;
  s.names = nullptr;
  s.scratch = nullptr;
  s.method_depth = runtime().method_depth;
  s.symbols.clear();  // keeps its storage for the next step
  return s;
}

void add_symbol(void* debug_instance, void* address, unsigned index, SfToMxFn to_mx,
                SfFromMxFn from_mx, const char* op) {
  DebugInstance& inst = checked_instance(debug_instance, op);
  Scope& s = top_scope(inst, op);
  if (!s.eml)
    fail(kIdScope, std::string(op) + ": the open symbol scope was not pushed for symbols.");
  if (index >= s.symbol_count)
    fail(kIdScope, std::string(op) + ": symbol index " + std::to_string(index) +
                       " is beyond the scope's " + std::to_string(s.symbol_count) + " symbols.");
  const hs::Symbol sym{s.names[index], index, address, to_mx, from_mx};
  for (hs::Symbol& existing : s.symbols) {
    if (existing.index == index) {
      existing = sym;
      return;
    }
  }
  s.symbols.push_back(sym);
}

const hs::Symbol* lookup_symbol(const DebugInstance& inst, std::string_view name) {
  for (std::size_t d = inst.depth; d-- > 0;) {
    for (const hs::Symbol& sym : inst.scopes[d].symbols) {
      if (sym.name != nullptr && name == sym.name) return &sym;
    }
  }
  return nullptr;
}

}  // namespace

void abandon_scopes(unsigned depth) {
  for (auto& [handle, inst] : runtime().instances) {
    while (inst->depth > 0 && inst->scopes[inst->depth - 1].method_depth >= depth)
      --inst->depth;
  }
}

void reset_debugger() {
  Runtime& rt = runtime();
  rt.instances.clear();
  rt.next_instance_id = 1;
  untrust();
  rt.machines.clear();
  rt.next_machine_number = 1;
  rt.charts.clear();
  rt.next_chart_number = 101;
  rt.ranges.clear();
  rt.line_hook = nullptr;
}

}  // namespace host::sf_runtime::detail

using namespace host::sf_runtime::detail;

// --- Machine --------------------------------------------------------------------

extern "C" void* sf_debug_create_debug_instance_struct(void) {
  Runtime& rt = runtime();
  auto inst = std::make_unique<DebugInstance>();
  inst->id = rt.next_instance_id++;
  inst->scopes.reserve(4);
  void* handle = inst.get();
  rt.instances.emplace(handle, std::move(inst));
  record("sf_debug_create_debug_instance_struct");
  return handle;
}

extern "C" unsigned int sf_debug_initialize_machine(
    void* debug_instance, const char* machine_name, const char* target_name,
    unsigned int is_library, unsigned int chart_count, unsigned int data_count,
    unsigned int event_count, unsigned int reserved) {
  static const char* const op = "sf_debug_initialize_machine";
  record(op, Dbg{debug_instance}, machine_name, target_name, is_library, chart_count, data_count,
         event_count, reserved);
  DebugInstance& inst = checked_instance(debug_instance, op);
  if (machine_name == nullptr) fail(kIdBadArgument, std::string(op) + ": no machine name.");
  Runtime& rt = runtime();
  hs::MachineRecord m;
  m.number = rt.next_machine_number++;
  m.debug_instance = inst.id;
  m.name = machine_name;
  m.target = target_name != nullptr ? target_name : "";
  m.is_library = is_library;
  m.chart_count = chart_count;
  m.data_count = data_count;
  m.event_count = event_count;
  m.reserved = reserved;
  const unsigned number = m.number;
  rt.machines.emplace(number, std::move(m));
  return number;
}

extern "C" void sf_debug_set_machine_event_thresholds(void* debug_instance,
                                                      unsigned int machine_number,
                                                      unsigned int event_count,
                                                      unsigned int reserved) {
  static const char* const op = "sf_debug_set_machine_event_thresholds";
  record(op, Dbg{debug_instance}, machine_number, event_count, reserved);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_machine(inst, machine_number, op).event_thresholds =
      std::array<unsigned, 2>{event_count, reserved};
}

extern "C" void sf_debug_set_machine_data_thresholds(void* debug_instance,
                                                     unsigned int machine_number,
                                                     unsigned int data_count) {
  static const char* const op = "sf_debug_set_machine_data_thresholds";
  record(op, Dbg{debug_instance}, machine_number, data_count);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_machine(inst, machine_number, op).data_threshold = data_count;
}

extern "C" void sf_debug_terminate(void* debug_instance) {
  static const char* const op = "sf_debug_terminate";
  record(op, Dbg{debug_instance});
  DebugInstance& inst = checked_instance(debug_instance, op);
  inst.terminated = true;
  inst.depth = 0;
  untrust();
}

// --- Chart registration ---------------------------------------------------------

extern "C" unsigned int sf_debug_initialize_chart(
    void* debug_instance, unsigned int machine_number, unsigned int chart_file_number,
    unsigned int a1, unsigned int a2, unsigned int a3, unsigned int data_count, unsigned int a5,
    unsigned int a6, unsigned int a7, unsigned int a8, unsigned int a9, unsigned int* chart_number,
    unsigned int* instance_number, void* S, unsigned int a10) {
  static const char* const op = "sf_debug_initialize_chart";
  record(op, Dbg{debug_instance}, machine_number, chart_file_number, a1, a2, a3, data_count, a5, a6,
         a7, a8, a9, addr(chart_number), addr(instance_number), addr(S), a10);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_machine(inst, machine_number, op);
  if (chart_number == nullptr || instance_number == nullptr)
    fail(kIdBadArgument, std::string(op) + ": no address for the chart or instance number.");
  Runtime& rt = runtime();
  const auto key = std::make_pair(machine_number, chart_file_number);
  auto found = inst.charts.find(key);
  const unsigned already = found != inst.charts.end() ? 1u : 0u;
  hs::ChartRecord* chart;
  if (already != 0) {
    chart = &rt.charts.at(found->second);
  } else {
    const unsigned number = rt.next_chart_number++;
    chart = &rt.charts[number];
    chart->debug_instance = inst.id;
    chart->machine_number = machine_number;
    chart->file_number = chart_file_number;
    chart->chart_number = number;
    chart->data_count = data_count;
    chart->args = {a1, a2, a3, a5, a6, a7, a8, a9, a10};
    chart->data.resize(data_count);
    inst.charts.emplace(key, number);
  }
  // One instance per block: a block registering again keeps its number and starts a
  // fresh registration.
  hs::ChartInstanceRecord* ci = nullptr;
  if (S != nullptr) {
    for (hs::ChartInstanceRecord& r : chart->instances) {
      if (r.simstruct == S) ci = &r;
    }
  }
  if (ci == nullptr) {
    ci = &chart->instances.emplace_back();
    ci->instance_number = static_cast<unsigned>(chart->instances.size());
    ci->simstruct = S;
  }
  ci->registrations += 1;
  ci->compiled.assign(chart->data_count, hs::CompiledProps{});
  ci->value_ptrs.assign(chart->data_count, nullptr);
  ci->size_ptrs.assign(chart->data_count, nullptr);
  ci->coverage.clear();
  *chart_number = chart->chart_number;
  *instance_number = ci->instance_number;
  return already;
}

extern "C" void sf_debug_set_chart_disable_implicit_casting(void* debug_instance,
                                                            unsigned int machine_number,
                                                            unsigned int chart_number,
                                                            unsigned int value) {
  static const char* const op = "sf_debug_set_chart_disable_implicit_casting";
  record(op, Dbg{debug_instance}, machine_number, chart_number, value);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_chart(inst, machine_number, chart_number, op).disable_implicit_casting = value;
}

extern "C" void sf_debug_set_chart_event_thresholds(void* debug_instance,
                                                    unsigned int machine_number,
                                                    unsigned int chart_number, unsigned int a0,
                                                    unsigned int a1, unsigned int a2) {
  static const char* const op = "sf_debug_set_chart_event_thresholds";
  record(op, Dbg{debug_instance}, machine_number, chart_number, a0, a1, a2);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_chart(inst, machine_number, chart_number, op).event_thresholds =
      std::array<unsigned, 3>{a0, a1, a2};
}

extern "C" void sf_debug_set_chart_data_props(void* debug_instance, unsigned int machine_number,
                                              unsigned int chart_number, unsigned int data_number,
                                              unsigned int scope, unsigned int is_input,
                                              unsigned int is_output, const char* name) {
  static const char* const op = "sf_debug_set_chart_data_props";
  record(op, Dbg{debug_instance}, machine_number, chart_number, data_number, scope, is_input,
         is_output, name);
  DebugInstance& inst = checked_instance(debug_instance, op);
  hs::ChartRecord& chart = checked_chart(inst, machine_number, chart_number, op);
  check_data_number(chart, data_number, op);
  if (name == nullptr) fail(kIdBadArgument, std::string(op) + ": no data name.");
  chart.data[data_number] = hs::DataProps{true, scope, is_input, is_output, name};
}

extern "C" void sf_debug_set_chart_state_info(void* debug_instance, unsigned int machine_number,
                                              unsigned int chart_number, unsigned int a0,
                                              unsigned int a1, unsigned int a2) {
  static const char* const op = "sf_debug_set_chart_state_info";
  record(op, Dbg{debug_instance}, machine_number, chart_number, a0, a1, a2);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_chart(inst, machine_number, chart_number, op).state_info =
      std::array<unsigned, 3>{a0, a1, a2};
}

extern "C" void sf_debug_set_chart_substate_count(void* debug_instance, unsigned int machine_number,
                                                  unsigned int chart_number, unsigned int count) {
  static const char* const op = "sf_debug_set_chart_substate_count";
  record(op, Dbg{debug_instance}, machine_number, chart_number, count);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_chart(inst, machine_number, chart_number, op).substate_count = count;
}

extern "C" void sf_debug_set_chart_decomposition(void* debug_instance, unsigned int machine_number,
                                                 unsigned int chart_number,
                                                 unsigned int decomposition) {
  static const char* const op = "sf_debug_set_chart_decomposition";
  record(op, Dbg{debug_instance}, machine_number, chart_number, decomposition);
  DebugInstance& inst = checked_instance(debug_instance, op);
  checked_chart(inst, machine_number, chart_number, op).decomposition = decomposition;
}

extern "C" void sf_debug_set_chart_data_compiled_props(
    void* debug_instance, unsigned int machine_number, unsigned int chart_number,
    unsigned int instance_number, unsigned int data_number, unsigned int data_type,
    unsigned int num_dims, const unsigned int* dims, unsigned int a0, unsigned int a1,
    unsigned int a2, double d0, double d1, unsigned int a3, unsigned int a4, SfToMxFn to_mx,
    SfFromMxFn from_mx, unsigned int a5) {
  static const char* const op = "sf_debug_set_chart_data_compiled_props";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, data_number,
         data_type, num_dims, Dims{num_dims, dims}, a0, a1, a2, d0, d1, a3, a4, fn(to_mx),
         fn(from_mx), a5);
  DebugInstance& inst = checked_instance(debug_instance, op);
  hs::ChartRecord& chart = checked_chart(inst, machine_number, chart_number, op);
  hs::ChartInstanceRecord& ci = checked_chart_instance(chart, instance_number, op);
  check_data_number(chart, data_number, op);
  if (num_dims != 0 && dims == nullptr)
    fail(kIdBadArgument, std::string(op) + ": " + std::to_string(num_dims) +
                             " dimensions announced but none given.");
  hs::CompiledProps& p = ci.compiled[data_number];
  p.set = true;
  p.data_type = data_type;
  p.dims.assign(dims, dims + num_dims);
  p.a0 = a0;
  p.a1 = a1;
  p.a2 = a2;
  p.d0 = d0;
  p.d1 = d1;
  p.a3 = a3;
  p.a4 = a4;
  p.a5 = a5;
  p.to_mx = to_mx;
  p.from_mx = from_mx;
}

extern "C" void sf_debug_set_instance_data_value_ptr(void* debug_instance,
                                                     unsigned int machine_number,
                                                     unsigned int chart_number,
                                                     unsigned int instance_number,
                                                     unsigned int data_number, void* address,
                                                     void* size_address, unsigned int a0) {
  static const char* const op = "sf_debug_set_instance_data_value_ptr";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, data_number,
         addr(address), addr(size_address), a0);
  DebugInstance& inst = checked_instance(debug_instance, op);
  hs::ChartRecord& chart = checked_chart(inst, machine_number, chart_number, op);
  hs::ChartInstanceRecord& ci = checked_chart_instance(chart, instance_number, op);
  check_data_number(chart, data_number, op);
  ci.value_ptrs[data_number] = address;
  ci.size_ptrs[data_number] = size_address;
}

extern "C" void sf_debug_reset_current_state_configuration(void* debug_instance,
                                                           unsigned int machine_number,
                                                           unsigned int chart_number,
                                                           unsigned int instance_number) {
  static const char* const op = "sf_debug_reset_current_state_configuration";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number);
  instance_of(debug_instance, machine_number, chart_number, instance_number, op).reset_count += 1;
}

namespace {

// Coverage declarations are kept as the calls they were, per chart instance.
template <class... A>
void declare_coverage(const char* op, void* debug_instance, unsigned machine_number,
                      unsigned chart_number, unsigned instance_number, const A&... rest) {
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, rest...);
  hs::ChartInstanceRecord& ci =
      instance_of(debug_instance, machine_number, chart_number, instance_number, op);
  ci.coverage.push_back(
      make_call(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, rest...));
}

}  // namespace

extern "C" void sf_debug_cv_init_chart(void* debug_instance, unsigned int machine_number,
                                       unsigned int chart_number, unsigned int instance_number,
                                       unsigned int a0, unsigned int a1, unsigned int a2,
                                       unsigned int a3) {
  declare_coverage("sf_debug_cv_init_chart", debug_instance, machine_number, chart_number,
                   instance_number, a0, a1, a2, a3);
}

extern "C" void sf_debug_cv_init_state(void* debug_instance, unsigned int machine_number,
                                       unsigned int chart_number, unsigned int instance_number,
                                       unsigned int a0, unsigned int a1, unsigned int a2,
                                       unsigned int a3, unsigned int a4, unsigned int a5,
                                       unsigned int* p0, unsigned int* p1) {
  declare_coverage("sf_debug_cv_init_state", debug_instance, machine_number, chart_number,
                   instance_number, a0, a1, a2, a3, a4, a5, addr(p0), addr(p1));
}

extern "C" void sf_debug_cv_init_trans(void* debug_instance, unsigned int machine_number,
                                       unsigned int chart_number, unsigned int instance_number,
                                       unsigned int a0, unsigned int a1, unsigned int* p0,
                                       unsigned int* p1, unsigned int a2, unsigned int* p2) {
  declare_coverage("sf_debug_cv_init_trans", debug_instance, machine_number, chart_number,
                   instance_number, a0, a1, addr(p0), addr(p1), a2, addr(p2));
}

extern "C" void cv_eml_init_script(void* debug_instance, unsigned int machine_number,
                                   unsigned int chart_number, unsigned int instance_number,
                                   unsigned int a0, unsigned int a1, unsigned int a2,
                                   unsigned int a3, unsigned int a4, unsigned int a5,
                                   unsigned int a6, unsigned int a7, unsigned int a8,
                                   unsigned int a9, unsigned int a10, unsigned int a11) {
  declare_coverage("cv_eml_init_script", debug_instance, machine_number, chart_number,
                   instance_number, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11);
}

extern "C" void cv_eml_init_fcn(void* debug_instance, unsigned int machine_number,
                                unsigned int chart_number, unsigned int instance_number,
                                unsigned int a0, unsigned int a1, const char* name, int a2, int a3,
                                int a4) {
  declare_coverage("cv_eml_init_fcn", debug_instance, machine_number, chart_number, instance_number,
                   a0, a1, name, a2, a3, a4);
}

// --- Step hooks -----------------------------------------------------------------

extern "C" void sf_debug_call(void* debug_instance, unsigned int machine_number,
                              unsigned int chart_number, unsigned int instance_number,
                              unsigned int a0, unsigned int a1, unsigned int tag,
                              unsigned int object_number, int current_event, unsigned int a2,
                              void* p, double time, unsigned int a3, unsigned int a4) {
  static const char* const op = "sf_debug_call";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, a0, a1, tag,
         object_number, current_event, a2, addr(p), time, a3, a4);
  instance_of(debug_instance, machine_number, chart_number, instance_number, op).debug_calls += 1;
}

extern "C" void eml_debug_line_call(void* debug_instance, unsigned int machine_number,
                                    unsigned int chart_number, unsigned int instance_number,
                                    unsigned int a0, int current_event, int line_code, double time,
                                    unsigned int a1, unsigned int a2) {
  static const char* const op = "eml_debug_line_call";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, a0, current_event,
         line_code, time, a1, a2);
  instance_of(debug_instance, machine_number, chart_number, instance_number, op).line_calls += 1;
  if (runtime().line_hook) {
    // A copy, so that the hook may replace itself.
    const hs::LineHook hook = runtime().line_hook;
    hook(hs::LineCall{debug_instance, machine_number, chart_number, instance_number, current_event,
                      line_code, time});
  }
}

extern "C" void sf_debug_symbol_scope_push(void* debug_instance, unsigned int a0, unsigned int a1) {
  static const char* const op = "sf_debug_symbol_scope_push";
  record(op, Dbg{debug_instance}, a0, a1);
  Scope& s = push_scope(checked_instance(debug_instance, op));
  s.a0 = a0;
  s.a1 = a1;
}

extern "C" void sf_debug_symbol_scope_push_eml(void* debug_instance, unsigned int a0,
                                               unsigned int symbol_count, unsigned int capacity,
                                               const char** names, void* scratch) {
  static const char* const op = "sf_debug_symbol_scope_push_eml";
  record(op, Dbg{debug_instance}, a0, symbol_count, capacity, Names{symbol_count, names},
         addr(scratch));
  DebugInstance& inst = checked_instance(debug_instance, op);
  if (symbol_count != 0 && names == nullptr)
    fail(kIdBadArgument, std::string(op) + ": " + std::to_string(symbol_count) +
                             " symbols announced but no names given.");
  Scope& s = push_scope(inst);
  s.eml = true;
  s.a0 = a0;
  s.symbol_count = symbol_count;
  s.capacity = capacity;
  s.names = names;
  s.scratch = scratch;
}

extern "C" void sf_debug_symbol_scope_add_eml(void* debug_instance, void* address,
                                              unsigned int index, SfToMxFn to_mx) {
  static const char* const op = "sf_debug_symbol_scope_add_eml";
  record(op, Dbg{debug_instance}, addr(address), index, fn(to_mx));
  add_symbol(debug_instance, address, index, to_mx, nullptr, op);
}

extern "C" void sf_debug_symbol_scope_add_eml_importable(void* debug_instance, void* address,
                                                         unsigned int index, SfToMxFn to_mx,
                                                         SfFromMxFn from_mx, unsigned int a0) {
  static const char* const op = "sf_debug_symbol_scope_add_eml_importable";
  record(op, Dbg{debug_instance}, addr(address), index, fn(to_mx), fn(from_mx), a0);
  add_symbol(debug_instance, address, index, to_mx, from_mx, op);
}

extern "C" void sf_debug_symbol_scope_pop(void* debug_instance) {
  static const char* const op = "sf_debug_symbol_scope_pop";
  record(op, Dbg{debug_instance});
  DebugInstance& inst = checked_instance(debug_instance, op);
  top_scope(inst, op);
  --inst.depth;
}

namespace {

[[gnu::noinline]] void range_check(void* debug_instance, unsigned machine_number,
                                   unsigned chart_number, unsigned instance_number,
                                   unsigned data_number, double value) {
  static const char* const op = "sf_debug_data_range_wrapper";
  record(op, Dbg{debug_instance}, machine_number, chart_number, instance_number, data_number,
         value);
  check_instance(debug_instance, op);
  Runtime& rt = runtime();
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
  instance_of(debug_instance, machine_number, chart_number, instance_number, op).cv_evals += 1;
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

int debug_instance_id(const void* debug_instance) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr ? inst->id : 0;
}

bool debug_instance_terminated(const void* debug_instance) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr && inst->terminated;
}

const MachineRecord* machine(unsigned machine_number) {
  auto& m = runtime().machines;
  auto it = m.find(machine_number);
  return it == m.end() ? nullptr : &it->second;
}

const ChartRecord* chart(unsigned chart_number) {
  auto& c = runtime().charts;
  auto it = c.find(chart_number);
  return it == c.end() ? nullptr : &it->second;
}

const ChartRecord* chart_of(const void* debug_instance, unsigned machine_number,
                            unsigned file_number) {
  const DebugInstance* inst = find_instance(debug_instance);
  if (inst == nullptr) return nullptr;
  auto it = inst->charts.find({machine_number, file_number});
  return it == inst->charts.end() ? nullptr : chart(it->second);
}

const ChartInstanceRecord* chart_instance(unsigned chart_number, unsigned instance_number) {
  const ChartRecord* c = chart(chart_number);
  if (c == nullptr || instance_number == 0 || instance_number > c->instances.size()) return nullptr;
  return &c->instances[instance_number - 1];
}

void set_data_range(unsigned machine_number, unsigned chart_number, unsigned data_number,
                    double min, double max) {
  runtime().ranges[RangeKey{machine_number, chart_number, data_number}] = {min, max};
  g_hot.trusted_unranged = kUntrusted;
}

void clear_data_ranges() {
  runtime().ranges.clear();
}

std::size_t scope_depth(const void* debug_instance) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr ? inst->depth : 0;
}

const Symbol* find_symbol(const void* debug_instance, std::string_view name) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr ? lookup_symbol(*inst, name) : nullptr;
}

namespace {

const Symbol& required_symbol(const void* debug_instance, std::string_view name) {
  const Symbol* sym = find_symbol(debug_instance, name);
  if (sym == nullptr)
    fail(kIdUnknownSymbol, "No open symbol scope has a symbol '" + std::string(name) + "'.");
  return *sym;
}

}  // namespace

const mxArray* show_symbol(const void* debug_instance, std::string_view name,
                           void* chart_instance) {
  const Symbol& sym = required_symbol(debug_instance, name);
  if (sym.to_mx == nullptr)
    fail(kIdUnknownSymbol, "Symbol '" + std::string(name) + "' has no show callback.");
  return sym.to_mx(chart_instance, sym.address);
}

void edit_symbol(const void* debug_instance, std::string_view name, const mxArray* value,
                 void* chart_instance) {
  const Symbol& sym = required_symbol(debug_instance, name);
  if (sym.from_mx == nullptr)
    fail(kIdNotEditable, "Symbol '" + std::string(name) + "' is view only.");
  // Copy first: the callback may push scopes and move the symbol's storage.
  const Symbol s = sym;
  s.from_mx(chart_instance, value, s.name, s.address);
}

void set_line_hook(LineHook hook) {
  runtime().line_hook = std::move(hook);
}

}  // namespace host::sf_runtime
