// Registration with the chart runtime's debugger: debug instances and machines,
// charts and their data, the chart instances of blocks, and coverage declarations.
#include <array>
#include <memory>
#include <string>
#include <utility>

#include "host/sf_runtime/runtime.hpp"

namespace host::sf_runtime::detail {
namespace {

namespace hs = host::sf_runtime;

void check_data_number(const hs::ChartRecord& chart, unsigned data_number, const char* op) {
  if (data_number >= chart.data_count)
    fail(kIdBadData, std::string(op) + ": data number " + std::to_string(data_number) +
                         " is out of range for chart " + std::to_string(chart.chart_number) +
                         ", which has " + std::to_string(chart.data_count) + " data.");
}

}  // namespace
}  // namespace host::sf_runtime::detail

using namespace host::sf_runtime::detail;
namespace hs = host::sf_runtime;

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
  ci->seen = hs::CoverageRecord{};
  ci->seen.data.assign(chart->data_count, hs::DataSeen{});
  rt.coverage_cache = CoverageCache{};
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
