// The core of the chart runtime: the one Runtime and the state the checks read, the
// host error, number text, the recorder's arguments, the look-ups of debug instances,
// machines and charts, and reset().
#include <charconv>
#include <cmath>
#include <string>
#include <utility>

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
  error_raised(identifier, message);
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

void on_recording_change(bool on) {
  if (on) untrust();
}

// A live instance that passed the full check becomes the trusted one, unless the
// recorder is on (or cannot tell us when it goes on).
void trust(const DebugInstance* inst) {
  if (!g_hot.listening) g_hot.listening = host::trace::on_enabled_change(&on_recording_change);
  if (!g_hot.listening || host::trace::enabled()) return;
  g_hot.trusted = inst;
  const Runtime& rt = runtime();
  g_hot.trusted_unranged =
      rt.ranges.empty() && !rt.coverage ? static_cast<const void*>(inst) : kUntrusted;
}

}  // namespace

DebugInstance* find_instance(const void* handle) {
  Runtime& rt = runtime();
  auto it = rt.instances.find(handle);
  return it == rt.instances.end() ? nullptr : it->second.get();
}

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

void see_error(const void* S, const std::string& identifier) {
  if (S == nullptr) return;
  Runtime& rt = runtime();
  for (auto chart = rt.charts.rbegin(); chart != rt.charts.rend(); ++chart) {
    for (hs::ChartInstanceRecord& ci : chart->second.instances) {
      if (ci.simstruct != S) continue;
      for (auto& [id, count] : ci.seen.errors) {
        if (id == identifier) {
          ++count;
          return;
        }
      }
      ci.seen.errors.emplace_back(identifier, 1);
      return;
    }
  }
}

}  // namespace host::sf_runtime::detail

// --- Host-side view -------------------------------------------------------------

namespace host::sf_runtime {

using detail::DebugInstance;
using detail::find_instance;
using detail::runtime;

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

const ChartRecord* first_chart_of(std::string_view machine_name, unsigned file_number) {
  for (const auto& [number, record] : runtime().charts) {
    const MachineRecord* m = machine(record.machine_number);
    if (record.file_number == file_number && m != nullptr && m->name == machine_name)
      return &record;
  }
  return nullptr;
}

const ChartInstanceRecord* chart_instance(unsigned chart_number, unsigned instance_number) {
  const ChartRecord* c = chart(chart_number);
  if (c == nullptr || instance_number == 0 || instance_number > c->instances.size()) return nullptr;
  return &c->instances[instance_number - 1];
}

std::vector<Registration> registrations_of(const void* simstruct) {
  std::vector<Registration> found;
  for (const auto& [number, record] : runtime().charts) {
    for (const ChartInstanceRecord& instance : record.instances) {
      if (instance.simstruct == simstruct)
        found.push_back({number, instance.instance_number, instance.registrations});
    }
  }
  return found;
}

void reset() {
  runtime() = detail::Runtime{};
  detail::untrust();
}

}  // namespace host::sf_runtime
