// The glue's dispatch tests' shared scaffolding: a recording fake chart, host-filled
// method slots that record their calls, and the fixture that drives mexFunction as
// the host does (the fake model API the glue links against is dispatch_fakes.cpp).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "block/chart_records.h"
#include "glue/simulink.h"
#include "host/mex_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "host/trace.hpp"
#include "platform/mex.h"
#include "platform/mx.h"
#include "registry/model_api.h"
#include "tests/support/host_guard.hpp"

namespace dispatch_test {

inline std::vector<std::string> g_log;
inline void note(const std::string& s) {
  g_log.push_back(s);
}

// The fake chart's records: the ChartInfo and ChartUserData of one block, and the
// instance that its instance slots must receive.
struct FakeChart {
  ChartInfo info{};
  ChartUserData user{};
  int live_marker = 0x5eed;
};
inline int g_charts_alive = 0;

inline FakeChart* chart_of_instance(void* instance) {
  auto* chart = static_cast<FakeChart*>(instance);
  EXPECT_EQ(chart->live_marker, 0x5eed) << "slot called with a foreign instance";
  return chart;
}

// An instance slot of the chart that records its name.
template <const char* Name>
inline void chart_slot(void* instance) {
  chart_of_instance(instance);
  note(Name);
}
inline constexpr char kStep[] = "step", kPrologue[] = "prologue",
                      kPrologueSameTime[] = "prologue_same_time", kEpilogue[] = "epilogue",
                      kInitialize[] = "initialize", kEnable[] = "enable", kDisable[] = "disable",
                      kDerivatives[] = "derivatives", kFlag108[] = "flag108",
                      kExtModeExec[] = "ext_mode_exec";
inline const auto slot_step = chart_slot<kStep>;
inline const auto slot_prologue = chart_slot<kPrologue>;
inline const auto slot_prologue_same_time = chart_slot<kPrologueSameTime>;
inline const auto slot_epilogue = chart_slot<kEpilogue>;
inline const auto slot_initialize = chart_slot<kInitialize>;
inline const auto slot_enable = chart_slot<kEnable>;
inline const auto slot_disable = chart_slot<kDisable>;
inline const auto slot_derivatives = chart_slot<kDerivatives>;
inline const auto slot_flag108 = chart_slot<kFlag108>;
inline const auto slot_ext_mode_exec = chart_slot<kExtModeExec>;
inline void slot_terminate(void* i) {
  FakeChart* chart = chart_of_instance(i);
  note("chart_terminate");
  chart->live_marker = 0;
  delete chart;
  --g_charts_alive;
}
inline const mxArray* slot_get_sim_state(SimStruct*) {
  note("get_sim_state");
  return mxCreateDoubleScalar(42.0);
}
inline void slot_set_sim_state(SimStruct*, const mxArray* state) {
  note("set_sim_state " + std::to_string(mxGetScalar(state)));
}
inline void slot_rtw(SimStruct*) {
  note("rtw");
}
inline void slot_raise(void*) {
  note("raise");
  throw host::HostError("Fake:chart:failure", "the chart failed");
}

// What chart_start does for the glue: records linked through the user data.
inline void make_chart(SimStruct* S) {
  auto* chart = new FakeChart;
  ++g_charts_alive;
  chart->info.is_embedded_matlab_chart = 1;
  chart->info.chart_instance = chart;
  chart->info.step = slot_step;
  chart->info.initialize = slot_initialize;
  chart->info.terminate = slot_terminate;
  chart->info.enable = slot_enable;
  chart->info.disable = slot_disable;
  chart->info.get_sim_state = slot_get_sim_state;
  chart->info.set_sim_state = slot_set_sim_state;
  chart->info.rtw = slot_rtw;
  chart->user.chart_info = &chart->info;
  S->user_data = &chart->user;
}

// Host-filled method slots: each records its name and arguments.
template <const char* Name>
inline void host_method(SimStruct*) {
  note(Name);
}
template <const char* Name>
inline void host_port(SimStruct*, int port) {
  note(std::string(Name) + " " + std::to_string(port));
}
template <const char* Name>
inline void host_port_int(SimStruct*, int port, int arg) {
  note(std::string(Name) + " " + std::to_string(port) + " " + std::to_string(arg));
}
template <const char* Name>
inline void host_port_ptr(SimStruct*, int port, void* arg) {
  note(std::string(Name) + " " + std::to_string(port) + (arg == nullptr ? " null" : " ptr"));
}
template <const char* Name>
inline void host_port_times(SimStruct*, int port, double t0, double t1) {
  char b[80];
  std::snprintf(b, sizeof b, " %d %.17g %.17g", port, t0, t1);
  note(Name + std::string(b));
}
inline constexpr char kCheckParameters[] = "check_parameters", kInputDataType[] = "input_data_type",
                      kOutputDataType[] = "output_data_type", kInputWidth[] = "input_width",
                      kOutputWidth[] = "output_width", kInputDims[] = "input_dims",
                      kOutputDims[] = "output_dims", kInputComplex[] = "input_complex",
                      kOutputComplex[] = "output_complex", kInputSampleTime[] = "input_sample_time",
                      kOutputSampleTime[] = "output_sample_time", kFrameData[] = "frame_data",
                      kDefaultDims[] = "default_dims", kDefaultTypes[] = "default_types",
                      kDefaultComplex[] = "default_complex",
                      kHostExtModeExec[] = "host_ext_mode_exec", kHostEnable[] = "host_enable",
                      kHostDisable[] = "host_disable", kPropagation[] = "propagation",
                      kHostDerivatives[] = "host_derivatives",
                      kHostInitializeConditions[] = "host_initialize_conditions",
                      kHostRtw[] = "host_rtw";

inline std::vector<std::pair<int, int>> g_generic;
inline const void* g_generic_value = nullptr;
inline int generic_entry(SimStruct*, int code, int int_arg, void* value) {
  g_generic.emplace_back(code, int_arg);
  g_generic_value = value;
  note("generic " + std::to_string(code));
  return 0;
}

inline constexpr char kInvalidFlag[] = "Invalid flag encountered in simulink";

inline char g_plugin_tags[4096];
inline int g_next_tag = 0;

class Dispatch : public test_support::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_log.clear();
    g_generic.clear();
    g_generic_value = nullptr;
    plugin_ = &g_plugin_tags[g_next_tag++ % sizeof g_plugin_tags];
    S.root = &root;
    root.mdl_info = &info;
    S.mdl_info = &info;
    S.ext_methods = &ext;
    S.sample_periods = &period;
    S.num_sample_times = 1;
    S.sf_machine_name = "Fake";
    S.sf_chart_number = 2;
    S.model_name = "Fake";
    S.path = "Fake/Chart";
    info.t = &now;
    info.major_time_step = 1;
    ssSetSimStateCompliance(&S, SS_SIM_STATE_COMPLIANCE_OWN);
  }

  void TearDown() override {
    // Free what a test left started and release its lock.
    if (const ChartInfo* ci = chart_info_of(&S); ci != nullptr) ci->terminate(ci->chart_instance);
    host::mex::CallContext context(plugin_);
    while (mexIsLocked())
      mexUnlock();
    context.close(nullptr, 0);
    EXPECT_EQ(g_charts_alive, 0);
    HostTest::TearDown();
  }

  // A direct method call as the host makes it, flag in prhs[3], SimStruct in plhs[1].
  void call(double flag) {
    host::mex::CallContext context(plugin_);
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr, mxCreateDoubleScalar(flag)};
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
    mexFunction(-1, plhs, 4, prhs);
    context.close(nullptr, 0);
  }

  // Starts the block and clears the log and the error status.
  void start() {
    call(SS_METHOD_START);
    ASSERT_NE(chart_info_of(&S), nullptr);
    g_log.clear();
    root.error_status = nullptr;
  }

  ChartInfo& chart() { return *chart_info_of(&S); }
  int locks() const { return host::mex::lock_count(plugin_); }
  void lock_once() {
    host::mex::CallContext context(plugin_);
    mexLock();
    context.close(nullptr, 0);
  }

  const void* plugin_ = nullptr;
  SimStruct root{};
  SimStruct S{};
  SsModelInfo info{};
  SsExtMethods ext{};
  double period = -1.0;
  double now = 0.0;
};

using Log = std::vector<std::string>;

}  // namespace dispatch_test
