// The glue's entry point, flag dispatch and method routines, driven through
// mexFunction as the host drives them, over a recording fake of the model API.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
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

namespace {

std::vector<std::string> g_log;
void note(const std::string& s) {
  g_log.push_back(s);
}

// The fake chart's records: the ChartInfo and ChartUserData of one block, and the
// instance that its instance slots must receive.
struct FakeChart {
  ChartInfo info{};
  ChartUserData user{};
  int live_marker = 0x5eed;
};
int g_charts_alive = 0;

FakeChart* chart_of_instance(void* instance) {
  auto* chart = static_cast<FakeChart*>(instance);
  EXPECT_EQ(chart->live_marker, 0x5eed) << "slot called with a foreign instance";
  return chart;
}

// An instance slot of the chart that records its name.
template <const char* Name>
void chart_slot(void* instance) {
  chart_of_instance(instance);
  note(Name);
}
constexpr char kStep[] = "step", kPrologue[] = "prologue",
               kPrologueSameTime[] = "prologue_same_time", kEpilogue[] = "epilogue",
               kInitialize[] = "initialize", kEnable[] = "enable", kDisable[] = "disable",
               kDerivatives[] = "derivatives", kFlag108[] = "flag108",
               kExtModeExec[] = "ext_mode_exec";
const auto slot_step = chart_slot<kStep>;
const auto slot_prologue = chart_slot<kPrologue>;
const auto slot_prologue_same_time = chart_slot<kPrologueSameTime>;
const auto slot_epilogue = chart_slot<kEpilogue>;
const auto slot_initialize = chart_slot<kInitialize>;
const auto slot_enable = chart_slot<kEnable>;
const auto slot_disable = chart_slot<kDisable>;
const auto slot_derivatives = chart_slot<kDerivatives>;
const auto slot_flag108 = chart_slot<kFlag108>;
const auto slot_ext_mode_exec = chart_slot<kExtModeExec>;
void slot_terminate(void* i) {
  FakeChart* chart = chart_of_instance(i);
  note("chart_terminate");
  chart->live_marker = 0;
  delete chart;
  --g_charts_alive;
}
const mxArray* slot_get_sim_state(SimStruct*) {
  note("get_sim_state");
  return mxCreateDoubleScalar(42.0);
}
void slot_set_sim_state(SimStruct*, const mxArray* state) {
  note("set_sim_state " + std::to_string(mxGetScalar(state)));
}
void slot_rtw(SimStruct*) {
  note("rtw");
}
void slot_raise(void*) {
  note("raise");
  throw host::HostError("Fake:chart:failure", "the chart failed");
}

// What chart_start does for the glue: records linked through the user data.
void make_chart(SimStruct* S) {
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

}  // namespace

// ---- The fake model API the glue links against ----

void machine_initialize(SimStruct* S) {
  note(std::string("machine_initialize") + (S->user_data == nullptr ? "" : " (user data set)"));
}
void machine_terminate() {
  note("machine_terminate");
}
unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void*, int method, void*) {
  note("dispatch " + std::string(machine_name) + " " + std::to_string(chart_number) + " " +
       std::to_string(method));
  if (method == SS_METHOD_START) make_chart(S);
  return 1;
}
void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  note("command " + std::to_string(nlhs) + " " + std::to_string(nrhs) + " " +
       (plhs != nullptr ? "plhs" : "-") + " " + (prhs != nullptr ? "prhs" : "-"));
}

namespace {

// Host-filled method slots: each records its name and arguments.
template <const char* Name>
void host_method(SimStruct*) {
  note(Name);
}
template <const char* Name>
void host_port(SimStruct*, int port) {
  note(std::string(Name) + " " + std::to_string(port));
}
template <const char* Name>
void host_port_int(SimStruct*, int port, int arg) {
  note(std::string(Name) + " " + std::to_string(port) + " " + std::to_string(arg));
}
template <const char* Name>
void host_port_ptr(SimStruct*, int port, void* arg) {
  note(std::string(Name) + " " + std::to_string(port) + (arg == nullptr ? " null" : " ptr"));
}
template <const char* Name>
void host_port_times(SimStruct*, int port, double t0, double t1) {
  char b[80];
  std::snprintf(b, sizeof b, " %d %.17g %.17g", port, t0, t1);
  note(Name + std::string(b));
}
constexpr char kCheckParameters[] = "check_parameters", kInputDataType[] = "input_data_type",
               kOutputDataType[] = "output_data_type", kInputWidth[] = "input_width",
               kOutputWidth[] = "output_width", kInputDims[] = "input_dims",
               kOutputDims[] = "output_dims", kInputComplex[] = "input_complex",
               kOutputComplex[] = "output_complex", kInputSampleTime[] = "input_sample_time",
               kOutputSampleTime[] = "output_sample_time", kFrameData[] = "frame_data",
               kDefaultDims[] = "default_dims", kDefaultTypes[] = "default_types",
               kDefaultComplex[] = "default_complex", kHostExtModeExec[] = "host_ext_mode_exec",
               kHostEnable[] = "host_enable", kHostDisable[] = "host_disable",
               kPropagation[] = "propagation", kHostDerivatives[] = "host_derivatives",
               kHostInitializeConditions[] = "host_initialize_conditions", kHostRtw[] = "host_rtw";

std::vector<std::pair<int, int>> g_generic;
const void* g_generic_value = nullptr;
int generic_entry(SimStruct*, int code, int int_arg, void* value) {
  g_generic.emplace_back(code, int_arg);
  g_generic_value = value;
  note("generic " + std::to_string(code));
  return 0;
}

const char kInvalidFlag[] = "Invalid flag encountered in simulink";

char g_plugin_tags[4096];
int g_next_tag = 0;

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

// ---- mdlStart, the hook and the lock ----

TEST_F(Dispatch, StartFillsTheGlueSlotsAndStartsModelThenChartThenLocks) {
  int dummy = 0;
  S.user_data = &dummy;  // left over: the start clears it before the model starts
  ssSetOptions(&S, 0x5u);
  call(SS_METHOD_START);
  EXPECT_EQ(g_log, (Log{"machine_initialize", "dispatch Fake 2 117"}));
  EXPECT_EQ(ssGetOptions(&S), 0x5u | 0x200000u);
  EXPECT_EQ(locks(), 1);
  EXPECT_EQ(root.error_status, nullptr);

  EXPECT_EQ(S.methods.set_work_widths, &sfun_set_work_widths);
  EXPECT_EQ(S.methods.terminate, &sfun_terminate);
  EXPECT_EQ(S.methods.start, &sfun_start);
  EXPECT_EQ(S.methods.process_parameters, &sfun_process_parameters);
  EXPECT_EQ(S.methods.initialize_conditions, &sfun_initialize_conditions);
  EXPECT_EQ(S.methods.outputs, &sfun_outputs);
  EXPECT_EQ(S.methods.rtw, &sfun_rtw);
  EXPECT_EQ(S.methods.flag108, &sfun_flag108);
  EXPECT_EQ(S.methods.derivatives, &sfun_derivatives);
  EXPECT_EQ(ext.enable, &sfun_enable);
  EXPECT_EQ(ext.disable, &sfun_disable);
  EXPECT_EQ(ext.ext_mode_exec, &sfun_ext_mode_exec);
  // The hook leaves the host's own slots alone.
  EXPECT_EQ(S.methods.check_parameters, nullptr);
  EXPECT_EQ(S.methods.input_port_shape.width, nullptr);
  EXPECT_EQ(ext.set_input_port_frame_data, nullptr);
}

TEST_F(Dispatch, StartOnALockedPluginDoesNotLockAgain) {
  lock_once();
  call(SS_METHOD_START);
  EXPECT_EQ(locks(), 1);
}

TEST_F(Dispatch, StartWithoutExtendedTableFillsTheOthers) {
  S.ext_methods = nullptr;
  call(SS_METHOD_START);
  EXPECT_EQ(S.methods.outputs, &sfun_outputs);
  call(SS_METHOD_ENABLE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlEnable");
}

TEST_F(Dispatch, AnyTerminateUnlocksCompletely) {
  start();
  lock_once();
  lock_once();
  EXPECT_EQ(locks(), 3);
  call(SS_METHOD_TERMINATE);
  EXPECT_EQ(locks(), 0);
  EXPECT_EQ(g_log, (Log{"chart_terminate", "machine_terminate"}));
  EXPECT_EQ(S.user_data, nullptr);
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, TwoBlocksShareOneLockAndTheFirstTerminateReleasesIt) {
  SimStruct second = S;
  second.methods = {};
  start();
  {
    host::mex::CallContext context(plugin_);
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr, mxCreateDoubleScalar(SS_METHOD_START)};
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&second)};
    mexFunction(-1, plhs, 4, prhs);
    EXPECT_EQ(locks(), 1);
    call(SS_METHOD_TERMINATE);
    EXPECT_EQ(locks(), 0);
    prhs[3] = mxCreateDoubleScalar(SS_METHOD_TERMINATE);
    mexFunction(-1, plhs, 4, prhs);
    context.close(nullptr, 0);
  }
  EXPECT_EQ(g_log, (Log{"machine_initialize", "dispatch Fake 2 117", "chart_terminate",
                        "machine_terminate", "chart_terminate", "machine_terminate"}));
  EXPECT_EQ(second.user_data, nullptr);
}

TEST_F(Dispatch, TerminateWithoutRecordsStillShutsTheModelDownAndUnlocks) {
  lock_once();
  S.methods.terminate = nullptr;
  call(SS_METHOD_TERMINATE);
  EXPECT_EQ(g_log, (Log{"machine_terminate"}));
  EXPECT_EQ(locks(), 0);
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, TerminateClearsTheRuntimeErrorBeforeTheChartTerminates) {
  start();
  host::trace::Collector collector;
  call(SS_METHOD_TERMINATE);
  std::vector<std::string> ops;
  for (const auto& c : collector.calls()) {
    if (c.op == "sf_clear_error_manager_info" || c.op == "mexUnlock" || c.op == "mexIsLocked") {
      ops.push_back(c.op);
    }
  }
  EXPECT_EQ(ops, (Log{"sf_clear_error_manager_info", "mexIsLocked", "mexUnlock", "mexIsLocked"}));
}

// ---- Flags the hook answers ----

TEST_F(Dispatch, WorkWidthsAndParametersAreAnsweredByTheHookAtAnyTime) {
  call(SS_METHOD_SET_WORK_WIDTHS);
  call(SS_METHOD_PROCESS_PARAMETERS);
  EXPECT_EQ(g_log, (Log{"dispatch Fake 2 111", "dispatch Fake 2 118"}));
  EXPECT_EQ(root.error_status, nullptr);
  EXPECT_EQ(S.methods.set_work_widths, nullptr);  // no slot needed, none filled
}

TEST_F(Dispatch, WorkWidthsAndParametersPassTheirRuntimeFlag) {
  host::trace::Collector collector;
  call(SS_METHOD_SET_WORK_WIDTHS);
  call(SS_METHOD_PROCESS_PARAMETERS);
  std::vector<std::string> seen;
  for (const auto& c : collector.calls()) {
    if (c.op == "call_sf_machine_global_method_dispatcher" && c.args.size() >= 3) {
      seen.push_back(c.args[1] + " " + c.args[2]);
    }
  }
  EXPECT_EQ(seen, (Log{"111 1", "118 0"}));
}

// ---- Invalid flags and malformed direct calls ----

class InvalidFlag : public Dispatch, public ::testing::WithParamInterface<double> {};

TEST_P(InvalidFlag, IsPostedAndRunsNothing) {
  start();
  call(GetParam());
  EXPECT_STREQ(root.error_status, kInvalidFlag);
  EXPECT_TRUE(g_log.empty());
}

INSTANTIATE_TEST_SUITE_P(Gaps, InvalidFlag,
                         ::testing::Values(105, 109, 110, 124, 125, 129, 130, 135, 136, 137, 138,
                                           141, 143));
INSTANTIATE_TEST_SUITE_P(OutsideTheTable, InvalidFlag,
                         ::testing::Values(0, 1, 100, 100.99, 146, 1000, -104, -0.5, 2147483647.0,
                                           -2147483648.0, -2147483648.9, 2147483647.99));
INSTANTIATE_TEST_SUITE_P(NotAnInt32, InvalidFlag,
                         ::testing::Values(std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(), 2147483648.0,
                                           -2147483649.0, 4294967400.0, 1e300, -1e300));

TEST_F(Dispatch, FractionalFlagIsTruncatedTowardZero) {
  start();
  call(int{SS_METHOD_OUTPUTS} + 0.9);
  EXPECT_EQ(g_log, (Log{"step"}));
  call(int{SS_METHOD_INITIALIZE_CONDITIONS} + 0.999);
  EXPECT_EQ(g_log, (Log{"step", "initialize"}));
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, MalformedFlagInputIsAnInvalidFlag) {
  start();
  host::mex::CallContext context(plugin_);
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
  const mxArray* text_flag = mxCreateString("104");
  const mxArray* empty_flag = mxCreateDoubleMatrix_700(0, 1, mxREAL);
  const mxArray* good_flag = mxCreateDoubleScalar(SS_METHOD_OUTPUTS);
  struct Case {
    int nrhs;
    const mxArray* fourth;
  };
  for (const Case& c : {Case{4, text_flag}, Case{4, empty_flag}, Case{4, nullptr},
                        Case{3, good_flag}, Case{0, good_flag}}) {
    root.error_status = nullptr;
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr, c.fourth};
    mexFunction(-1, plhs, c.nrhs, prhs);
    EXPECT_STREQ(root.error_status, kInvalidFlag) << "nrhs " << c.nrhs;
  }
  root.error_status = nullptr;
  mexFunction(-1, plhs, 4, nullptr);
  EXPECT_STREQ(root.error_status, kInvalidFlag);
  context.close(nullptr, 0);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(Dispatch, DirectCallWithoutSimStructTouchesNothing) {
  host::mex::CallContext context(plugin_);
  const mxArray* prhs[4] = {nullptr, nullptr, nullptr, mxCreateDoubleScalar(SS_METHOD_START)};
  mxArray* plhs[2] = {nullptr, nullptr};
  mexFunction(-1, plhs, 4, prhs);
  mexFunction(-1, nullptr, 4, prhs);
  mexFunction(-1, plhs, 0, nullptr);
  context.close(nullptr, 0);
  EXPECT_TRUE(g_log.empty());
}

// ---- Slot-tested flags ----

struct SlotCase {
  double flag;
  const char* message;
};

class EmptySlot : public Dispatch, public ::testing::WithParamInterface<SlotCase> {};

TEST_P(EmptySlot, PostsItsUnexpectedCallMessage) {
  call(GetParam().flag);
  EXPECT_STREQ(root.error_status, GetParam().message);
  EXPECT_TRUE(g_log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, EmptySlot,
    ::testing::Values(
        SlotCase{SS_METHOD_INITIALIZE_CONDITIONS, "Unexpected call to mdlInitializeConditions"},
        SlotCase{SS_METHOD_DERIVATIVES, "Unexpected call to mdlDerivatives"},
        SlotCase{SS_METHOD_CHECK_PARAMETERS, "Unexpected call to mdlCheckParameters"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetInputPortDataType"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE,
                 "Unexpected call to mdlSetOutputPortDataType"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_WIDTH, "Unexpected call to mdlSetInputPortWidth"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_WIDTH, "Unexpected call to mdlSetOutputPortWidth"},
        SlotCase{SS_METHOD_RTW, "Unexpected call to mdlRTW"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL,
                 "Unexpected call to mdlSetInputPortComplexSignal"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL,
                 "Unexpected call to mdlSetOutputPortComplexSignal"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME,
                 "Unexpected call to mdlSetInputPortSampleTime"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME,
                 "Unexpected call to mdlSetOutputPortSampleTime"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetInputPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetOutputPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_FRAME_DATA,
                 "Unexpected call to mdlSetInputPortFrameData"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetDefaultPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES,
                 "Unexpected call to mdlSetDefaultPortDataTypes"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS,
                 "Unexpected call to mdlSetDefaultPortComplexSignals"},
        SlotCase{SS_METHOD_EXT_MODE_EXEC, "Unexpected call to mdlExtModeExec"},
        SlotCase{SS_METHOD_ENABLE, "Unexpected call to mdlEnable"},
        SlotCase{SS_METHOD_DISABLE, "Unexpected call to mdlDisable"},
        SlotCase{SS_METHOD_INITIALIZE_PROPAGATION_PASS,
                 "Unexpected call to mdlInitializePropagationPass"}));

// Every slot filled by the host; the flag calls the slot's routine with its arguments.
using SlotRun = std::pair<double, const char*>;
class FilledSlot : public Dispatch, public ::testing::WithParamInterface<SlotRun> {
 protected:
  void SetUp() override {
    Dispatch::SetUp();
    S.sizes[SS_SIZES_PORT_INDEX] = 2;
    info.int_arg = -7;
    info.time_arg0 = 0.25;
    info.time_arg1 = 0.125;
    info.ptr_arg = &period;
    S.methods.check_parameters = host_method<kCheckParameters>;
    S.methods.set_input_port_data_type = host_port_int<kInputDataType>;
    S.methods.set_output_port_data_type = host_port_int<kOutputDataType>;
    S.methods.input_port_shape.width = host_port_int<kInputWidth>;
    S.methods.output_port_shape.width = host_port_int<kOutputWidth>;
    S.methods.set_input_port_complex_signal = host_port_int<kInputComplex>;
    S.methods.set_output_port_complex_signal = host_port_int<kOutputComplex>;
    S.methods.set_input_port_sample_time = host_port_times<kInputSampleTime>;
    S.methods.set_output_port_sample_time = host_port_times<kOutputSampleTime>;
    S.methods.rtw = host_method<kHostRtw>;
    ext.set_input_port_frame_data = host_port_int<kFrameData>;
    ext.set_default_port_dimension_info = host_method<kDefaultDims>;
    ext.set_default_port_data_types = host_method<kDefaultTypes>;
    ext.set_default_port_complex_signals = host_method<kDefaultComplex>;
    ext.ext_mode_exec = host_method<kHostExtModeExec>;
    ext.initialize_propagation_pass = host_port<kPropagation>;
  }
};

TEST_P(FilledSlot, CallsTheSlotsRoutineWithItsArguments) {
  call(GetParam().first);
  EXPECT_EQ(g_log, (Log{GetParam().second}));
  EXPECT_EQ(root.error_status, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, FilledSlot,
    ::testing::Values(
        SlotRun{SS_METHOD_CHECK_PARAMETERS, "check_parameters"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "input_data_type 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE, "output_data_type 2 -7"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_WIDTH, "input_width 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_WIDTH, "output_width 2 -7"},
        SlotRun{SS_METHOD_RTW, "host_rtw"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL, "input_complex 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL, "output_complex 2 -7"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME, "input_sample_time 2 0.25 0.125"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME, "output_sample_time 2 0.25 0.125"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_FRAME_DATA, "frame_data 2 -7"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO, "default_dims"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES, "default_types"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS, "default_complex"},
        SlotRun{SS_METHOD_EXT_MODE_EXEC, "host_ext_mode_exec"},
        SlotRun{SS_METHOD_INITIALIZE_PROPAGATION_PASS, "propagation 2"}));

TEST_F(Dispatch, FlagsBit0ChoosesWidthOrDimensionMethodsOfTheSharedSlot) {
  S.methods.input_port_shape.width = host_port_int<kInputWidth>;
  S.methods.output_port_shape.width = host_port_int<kOutputWidth>;
  S.sizes[SS_SIZES_PORT_INDEX] = 1;
  info.int_arg = 3;
  call(SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetInputPortDimensionInfo");
  call(SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetOutputPortDimensionInfo");
  EXPECT_TRUE(g_log.empty());

  S.methods.input_port_shape.dims = host_port_ptr<kInputDims>;
  S.methods.output_port_shape.dims = host_port_ptr<kOutputDims>;
  ssSetFlagBit(&S, SS_FLAG_PORT_DIMS_METHODS, 1);
  root.error_status = nullptr;
  info.ptr_arg = &now;
  call(SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO);
  call(SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO);
  EXPECT_EQ(g_log, (Log{"input_dims 1 ptr", "output_dims 1 ptr"}));
  EXPECT_EQ(root.error_status, nullptr);
  call(SS_METHOD_SET_INPUT_PORT_WIDTH);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetInputPortWidth");
  call(SS_METHOD_SET_OUTPUT_PORT_WIDTH);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetOutputPortWidth");
  EXPECT_EQ(g_log.size(), 2u);
}

TEST_F(Dispatch, GlueSlotsTestedThenGlueRoutinesRun) {
  // Host routines in the tested slots: the glue runs its own routine all the same.
  S.methods.initialize_conditions = host_method<kHostInitializeConditions>;
  S.methods.derivatives = host_method<kHostDerivatives>;
  ext.enable = host_method<kHostEnable>;
  ext.disable = host_method<kHostDisable>;
  call(SS_METHOD_INITIALIZE_CONDITIONS);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlInitializeConditions");
  call(SS_METHOD_ENABLE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlEnable");
  call(SS_METHOD_DISABLE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlDisable");
  root.error_status = nullptr;
  call(SS_METHOD_DERIVATIVES);  // the glue's derivatives: nothing to do without a chart
  EXPECT_EQ(root.error_status, nullptr);
  EXPECT_TRUE(g_log.empty());
}

// ---- Methods on a started block ----

TEST_F(Dispatch, InitializeRunsTheSlotAndMarksTheChartInitialised) {
  start();
  EXPECT_EQ(chart().chart_initialized, 0);
  call(SS_METHOD_INITIALIZE_CONDITIONS);
  EXPECT_EQ(chart().chart_initialized, 1);
  call(SS_METHOD_INITIALIZE_CONDITIONS);
  EXPECT_EQ(chart().chart_initialized, 1);
  EXPECT_EQ(g_log, (Log{"initialize", "initialize"}));
}

TEST_F(Dispatch, EnableDisableAndRtwRunTheirSlots) {
  start();
  call(SS_METHOD_ENABLE);
  call(SS_METHOD_DISABLE);
  call(SS_METHOD_RTW);
  EXPECT_EQ(g_log, (Log{"enable", "disable", "rtw"}));
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, RtwClearsTheRuntimeErrorFirst) {
  start();
  host::trace::Collector collector;
  call(SS_METHOD_RTW);
  bool cleared = false;
  for (const auto& c : collector.calls())
    cleared = cleared || c.op == "sf_clear_error_manager_info";
  EXPECT_TRUE(cleared);
}

TEST_F(Dispatch, OptionalChartSlotsRunWhenPresentAndAreSkippedWhenEmpty) {
  start();
  call(SS_METHOD_DERIVATIVES);
  call(SS_METHOD_FLAG108);
  call(SS_METHOD_EXT_MODE_EXEC);
  EXPECT_TRUE(g_log.empty());
  chart().derivatives = slot_derivatives;
  chart().flag108_routine = slot_flag108;
  chart().ext_mode_exec = slot_ext_mode_exec;
  call(SS_METHOD_DERIVATIVES);
  call(SS_METHOD_FLAG108);
  call(SS_METHOD_EXT_MODE_EXEC);
  EXPECT_EQ(g_log, (Log{"derivatives", "flag108", "ext_mode_exec"}));
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, VariableSampleTimeIsNotOffered) {
  call(SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT);
  EXPECT_STREQ(root.error_status,
               "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and "
               "add a mdlGetTimeOfNextVarHit routine");
}

TEST_F(Dispatch, SampleTimesGoToTheRuntimesDirectCallError) {
  host::trace::Collector collector;
  call(SS_METHOD_INITIALIZE_SAMPLE_TIMES);
  std::vector<std::string> seen;
  for (const auto& c : collector.calls()) {
    if (c.op == "sf_mex_error_direct_call") seen.push_back(c.args.at(1) + " " + c.args.at(2));
  }
  EXPECT_EQ(seen, (Log{"\"mdlInitializeSampleTimes\" \"sfc_sf\""}));
}

// ---- Methods that need the chart records before mdlStart made them ----

TEST_F(Dispatch, MethodsNeedingTheRecordsPostUnexpectedCallAfterTerminate) {
  start();
  call(SS_METHOD_TERMINATE);
  g_log.clear();
  const std::pair<double, const char*> cases[] = {
      {SS_METHOD_OUTPUTS, "Unexpected call to mdlOutputs"},
      {SS_METHOD_INITIALIZE_CONDITIONS, "Unexpected call to mdlInitializeConditions"},
      {SS_METHOD_ENABLE, "Unexpected call to mdlEnable"},
      {SS_METHOD_DISABLE, "Unexpected call to mdlDisable"},
      {SS_METHOD_RTW, "Unexpected call to mdlRTW"},
      {SS_METHOD_GET_SIM_STATE, "Unexpected call to mdlGetSimState"},
      {SS_METHOD_SET_SIM_STATE, "Unexpected call to mdlSetSimState"}};
  mxArray* slot = nullptr;
  info.ptr_arg = &slot;
  info.generic_fcn = generic_entry;
  for (const auto& [flag, message] : cases) {
    root.error_status = nullptr;
    call(flag);
    EXPECT_STREQ(root.error_status, message) << "flag " << flag;
  }
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(slot, nullptr);
}

TEST_F(Dispatch, OutputsBeforeStartIsUnexpected) {
  call(SS_METHOD_OUTPUTS);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlOutputs");
  EXPECT_TRUE(g_log.empty());
}

// ---- Simulation state ----

TEST_F(Dispatch, GetSimStateStoresTheStateAndTellsTheHost) {
  start();
  mxArray* slot = nullptr;
  info.ptr_arg = &slot;
  info.generic_fcn = generic_entry;
  {
    host::mex::CallContext context(plugin_);
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr,
                              mxCreateDoubleScalar(SS_METHOD_GET_SIM_STATE)};
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
    mexFunction(-1, plhs, 4, prhs);
    context.close(&slot, 1);
  }
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(mxGetScalar(slot), 42.0);
  EXPECT_EQ(g_log, (Log{"get_sim_state", "generic 152"}));
  EXPECT_EQ(g_generic, (std::vector<std::pair<int, int>>{{152, 0}}));
  EXPECT_EQ(g_generic_value, slot);
  mxDestroyArray(slot);
}

TEST_F(Dispatch, GetSimStateWithoutGenericEntryOnlyStores) {
  start();
  mxArray* slot = nullptr;
  info.ptr_arg = &slot;
  {
    host::mex::CallContext context(plugin_);
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr,
                              mxCreateDoubleScalar(SS_METHOD_GET_SIM_STATE)};
    mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
    mexFunction(-1, plhs, 4, prhs);
    context.close(&slot, 1);
  }
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(g_log, (Log{"get_sim_state"}));
  mxDestroyArray(slot);
}

TEST_F(Dispatch, GetSimStateWithoutASlotToStoreInIsUnexpected) {
  start();
  info.ptr_arg = nullptr;
  info.generic_fcn = generic_entry;
  call(SS_METHOD_GET_SIM_STATE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlGetSimState");
  EXPECT_TRUE(g_log.empty());
}

TEST_F(Dispatch, SetSimStatePassesTheGivenArray) {
  start();
  host::mex::CallContext context(plugin_);
  mxArray* state = mxCreateDoubleScalar(9.0);
  info.ptr_arg = state;
  const mxArray* prhs[4] = {nullptr, nullptr, nullptr,
                            mxCreateDoubleScalar(SS_METHOD_SET_SIM_STATE)};
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
  mexFunction(-1, plhs, 4, prhs);
  context.close(nullptr, 0);
  EXPECT_EQ(g_log, (Log{"set_sim_state 9.000000"}));
  EXPECT_EQ(root.error_status, nullptr);
}

class Compliance : public Dispatch, public ::testing::WithParamInterface<int> {};

TEST_P(Compliance, OtherThanOwnRejectsBothSimStateFlags) {
  start();
  ssSetSimStateCompliance(&S, GetParam());
  mxArray* slot = nullptr;
  info.ptr_arg = &slot;
  info.generic_fcn = generic_entry;
  call(SS_METHOD_GET_SIM_STATE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlGetSimState");
  EXPECT_EQ(slot, nullptr);
  call(SS_METHOD_SET_SIM_STATE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetSimState");
  EXPECT_TRUE(g_log.empty());
  // The compliance field is bits 19..22; the other flag bits stay as they were.
  EXPECT_EQ(ssGetFlags(&S) & ~static_cast<uint32_t>(SS_FLAG_SIM_STATE_MASK), 0u);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, Compliance, ::testing::Values(0, 1, 2, 4, 7, 11, 15));

// ---- The rate logic of mdlOutputs ----

struct RateCase {
  const char* label;
  double period;
  bool major;
  bool embedded;
  bool hooks;            // the three step hooks present
  bool same_time;        // stored time equals the current time
  bool skip_hooks;       // skip_step_hooks set
  const char* expected;  // the slots run, in order, comma-separated
};

class Rate : public Dispatch, public ::testing::WithParamInterface<RateCase> {};

TEST_P(Rate, StepsAsTheRateAndStepKindSay) {
  const RateCase& c = GetParam();
  start();
  period = c.period;
  info.major_time_step = c.major ? 1 : 0;
  now = 0.5;
  info.stored_time = c.same_time ? 0.5 : 0.49;
  chart().is_embedded_matlab_chart = c.embedded ? 1 : 0;
  if (c.hooks) {
    chart().step_prologue = slot_prologue;
    chart().step_prologue_same_time = slot_prologue_same_time;
    chart().step_epilogue = slot_epilogue;
  }
  int marker = 0;
  if (c.skip_hooks) chart().skip_step_hooks = &marker;
  call(SS_METHOD_OUTPUTS);
  std::string ran;
  for (const auto& entry : g_log)
    ran += (ran.empty() ? "" : ",") + entry;
  EXPECT_EQ(ran, c.expected);
  EXPECT_EQ(root.error_status, nullptr);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Dispatch, Rate,
    ::testing::Values(
        RateCase{"inheritedMajor", -1.0, true, true, true, false, false, "step"},
        RateCase{"inheritedMinor", -1.0, false, true, true, false, false, "step"},
        RateCase{"inheritedMinorNotEmbedded", -1.0, false, false, false, false, false, ""},
        RateCase{"inheritedMajorNotEmbedded", -1.0, true, false, false, false, false, "step"},
        RateCase{"continuousMajorNoHooks", 0.0, true, true, false, false, false, "step"},
        RateCase{"continuousMinorNoHooks", 0.0, false, true, false, true, false, "step"},
        RateCase{"continuousMajorHooks", 0.0, true, true, true, true, false,
                 "prologue,step,epilogue"},
        RateCase{"continuousMinorSameTime", 0.0, false, true, true, true, false,
                 "prologue_same_time,step"},
        RateCase{"continuousMinorOtherTime", 0.0, false, true, true, false, false, "prologue,step"},
        RateCase{"continuousMinorNotEmbedded", 0.0, false, false, false, false, false, "step"},
        RateCase{"continuousSkipHooksMajor", 0.0, true, true, true, true, true, "step"},
        RateCase{"continuousSkipHooksMinor", 0.0, false, true, true, false, true, "step"},
        RateCase{"discreteMajor", 0.1, true, true, true, false, false, "step"},
        RateCase{"discreteMinor", 0.1, false, true, true, true, false, ""},
        RateCase{"nanPeriodMajor", kNaN, true, true, false, false, false, "step"},
        RateCase{"nanPeriodMinor", kNaN, false, true, false, false, false, ""},
        RateCase{"negativePeriodMinor", -2.0, false, true, false, false, false, ""}),
    [](const ::testing::TestParamInfo<RateCase>& info) { return std::string(info.param.label); });

TEST_F(Dispatch, ContinuousMinorStepUsesPlainPrologueWhenSameTimeHookIsMissing) {
  start();
  period = 0.0;
  info.major_time_step = 0;
  now = 1.0;
  info.stored_time = 1.0;
  chart().step_prologue = slot_prologue;
  call(SS_METHOD_OUTPUTS);
  EXPECT_EQ(g_log, (Log{"prologue", "step"}));
}

// ---- Host errors ----

TEST_F(Dispatch, HostErrorInAWrappedBodyBecomesTheBlockError) {
  start();
  chart().step = slot_raise;
  EXPECT_NO_THROW(call(SS_METHOD_OUTPUTS));
  EXPECT_EQ(g_log, (Log{"raise"}));
  ASSERT_TRUE(host::sf_runtime::last_error().has_value());
  EXPECT_EQ(host::sf_runtime::last_error()->message, "the chart failed");
  EXPECT_EQ(host::sf_runtime::last_error()->identifier, "Fake:chart:failure");
  ASSERT_NE(root.error_status, nullptr);
  EXPECT_NE(std::string(root.error_status).find("the chart failed"), std::string::npos);
}

// ---- MATLAB-level calls ----

TEST_F(Dispatch, MatlabLevelCallsGoToTheCommandChain) {
  host::mex::CallContext context(plugin_);
  const mxArray* prhs[4] = {nullptr, nullptr, nullptr, mxCreateDoubleScalar(SS_METHOD_OUTPUTS)};
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
  mexFunction(0, plhs, 4, prhs);
  mexFunction(1, plhs, 1, prhs);
  mexFunction(0, nullptr, 0, nullptr);
  context.close(nullptr, 0);
  EXPECT_EQ(g_log, (Log{"command 0 4 plhs prhs", "command 1 1 plhs prhs", "command 0 0 - -"}));
  EXPECT_EQ(root.error_status, nullptr);
  EXPECT_EQ(S.methods.outputs, nullptr);
}

TEST_F(Dispatch, PreDispatchHookDeclinesMatlabLevelCallsAndUnansweredFlags) {
  const mxArray* prhs[4] = {nullptr, nullptr, nullptr, nullptr};
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
  host::mex::CallContext context(plugin_);
  prhs[3] = mxCreateDoubleScalar(SS_METHOD_SET_WORK_WIDTHS);
  EXPECT_EQ(pre_dispatch_hook(0, plhs, 4, prhs), 0);
  EXPECT_TRUE(g_log.empty());
  EXPECT_NE(pre_dispatch_hook(-1, plhs, 4, prhs), 0);
  prhs[3] = mxCreateDoubleScalar(SS_METHOD_START);
  EXPECT_EQ(pre_dispatch_hook(-1, plhs, 4, prhs), 0);
  EXPECT_EQ(S.methods.start, &sfun_start);
  prhs[3] = mxCreateDoubleScalar(SS_METHOD_OUTPUTS);
  EXPECT_EQ(pre_dispatch_hook(-1, plhs, 4, prhs), 0);
  context.close(nullptr, 0);
  EXPECT_EQ(g_log, (Log{"dispatch Fake 2 111"}));
}

}  // namespace
