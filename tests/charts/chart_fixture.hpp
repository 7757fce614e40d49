// A chart block without the engine: a SimStruct with root, model information
// (time, generic-function entry), three input ports sized for the chart and two
// output ports, plus helpers to read the host's call recorder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "charts/chart.hpp"
#include "charts/model_state.hpp"
#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "host/trace.hpp"
#include "host/ut_host.hpp"
#include "models/catalogue_view.hpp"
#include "registry/lifecycle.hpp"
#include "tests/support/host_guard.hpp"
#include "tests/support/interpolation.hpp"

namespace chart_test {

// Every chart of the build's models, for typed tests.
using harnvale::C1;
template <class... Cols>
using ChartTypes = ::testing::Types<charts::Chart<Cols>...>;
using AllCharts = models::AllCharts::as<ChartTypes>;

template <class Chart>
constexpr bool extrapolates() {
  return Chart::Model::outside == charts::Outside::Extrapolate;
}

// One call of the generic-function entry.
struct GenericCall {
  const SimStruct* S;
  int code;
  int int_arg;
  bool has_value;
  bool value;  // the boolean at the value address (code 197)
  bool operator==(const GenericCall&) const = default;
};

inline std::vector<GenericCall>& generic_calls() {
  static std::vector<GenericCall> calls;
  return calls;
}
inline std::map<const SimStruct*, double>& block_handles() {
  static std::map<const SimStruct*, double> handles;
  return handles;
}

inline int generic_fcn(SimStruct* S, int code, int int_arg, void* value) {
  GenericCall call{S, code, int_arg, value != nullptr, false};
  if (code == SS_GEN_BLOCK_HANDLE && value != nullptr) {
    *static_cast<double*>(value) = block_handles()[S];
  } else if (code == SS_GEN_CODE_197 && value != nullptr) {
    call.value = *static_cast<bool*>(value);
  }
  generic_calls().push_back(call);
  // Also into the recorder, to see the calls in order with the runtime's.
  host::trace::record("generic_fcn", code, int_arg);
  return 0;
}

// The model around the blocks: root SimStruct and model information.
struct Root {
  Root() {
    info.t = &time;
    info.generic_fcn = &generic_fcn;
    info.major_time_step = 1;
    root.model_name = "model";
    root.path = "model";
    root.mdl_info = &info;
  }
  Root(const Root&) = delete;
  Root& operator=(const Root&) = delete;
  double time = 0.0;
  SsModelInfo info{};
  SimStruct root{};
};

// A chart block of table length n.
struct Block {
  Block(Root& r, int n, SsSimMode mode = SS_SIM_NORMAL) : x(n), y(n) {
    for (int i = 0; i < n; ++i) {
      x[i] = i;
      y[i] = 2.0 * i;
    }
    in[0] = {x.data(), n, 0};
    in[1] = {y.data(), n, 0};
    in[2] = {&z, 1, 0};
    out[0] = {&y0, 1, 0};
    out[1] = {&y1, 1, 0};
    S.root = &r.root;
    S.model_name = "model";
    S.path = "model/Chart";
    S.sizes[SS_SIZES_NUM_INPUT_PORTS] = 3;
    S.input_ports = in;
    S.num_output_ports = 2;
    S.output_ports = out;
    S.sample_periods = &period;
    S.num_sample_times = 1;
    S.mdl_info = &r.info;
    S.sim_mode = mode;
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  ChartInstance* instance() const {
    ChartInfo* info = chart_info_of(&S);
    return info == nullptr ? nullptr : static_cast<ChartInstance*>(info->chart_instance);
  }

  std::vector<double> x, y;
  double z = 0.0, y0 = 0.0, y1 = 0.0;
  double period = 0.1;
  SsPort in[3]{};
  SsPort out[2]{};
  SimStruct S{};
};

// Recorded host calls.
inline std::vector<std::string> ops(const std::vector<host::trace::Call>& calls) {
  std::vector<std::string> out;
  out.reserve(calls.size());
  for (const auto& c : calls)
    out.push_back(c.op);
  return out;
}
inline std::vector<host::trace::Call> only(const std::vector<host::trace::Call>& calls,
                                           const std::vector<std::string>& names) {
  std::vector<host::trace::Call> out;
  for (const auto& c : calls)
    for (const auto& n : names)
      if (c.op == n) out.push_back(c);
  return out;
}
inline bool is_check(const host::trace::Call& c) {
  return c.op == "sf_debug_integer_check" || c.op == "sf_debug_eml_data_array_bounds_error_check";
}

using test_support::same_bits;

// A started model for the chart's blocks on a clean host: every test ends with the
// model back to idle before the host's account is checked.
template <class Chart>
class ChartTest : public test_support::HostTest {
 protected:
  using Model = typename Chart::Model;
  static constexpr int N = Chart::N;

  void SetUp() override {
    HostTest::SetUp();
    generic_calls().clear();
    block_handles().clear();
  }

  void TearDown() override {
    for (auto& b : blocks_) {
      if (ChartInstance* inst = b->instance()) Chart::chart_terminate(inst);
    }
    while (charts::model_state<Model>().machine_use_count > 0)
      registry::Lifecycle<Model>::machine_terminate();
    charts::unload_optimization_info<Model>();
    host::sf_runtime::set_line_hook({});
    HostTest::TearDown();
  }

  // A new block of this chart; the model starts with the first one.
  Block& add_block(SsSimMode mode = SS_SIM_NORMAL) {
    blocks_.push_back(std::make_unique<Block>(root_, N, mode));
    Block& b = *blocks_.back();
    registry::Lifecycle<Model>::machine_initialize(&b.S);
    return b;
  }

  // A block started and initialised, ready to step.
  Block& started_block() {
    Block& b = add_block();
    Chart::chart_start(&b.S);
    Chart::chart_initialize(b.instance());
    return b;
  }

  charts::ModelState& model() { return charts::model_state<Model>(); }

  Root root_;
  std::vector<std::unique_ptr<Block>> blocks_;
};

}  // namespace chart_test
