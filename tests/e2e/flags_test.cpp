// Every flag of the dispatch table through the real plug-ins, sim-state compliance,
// the lock on the plug-in and the host's generic-function entry.
#include <cmath>
#include <limits>
#include <tuple>

#include "tests/e2e/e2e.hpp"

namespace {

using host::engine::Block;
using host::engine::BlockOptions;
using host::engine::CallResult;
using host::engine::Engine;
using host::engine::MxPtr;
using host::engine::SimMode;
using namespace e2e;

constexpr const char* kInvalidFlag = "Invalid flag encountered in simulink";
constexpr const char* kVarHit =
    "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
    "mdlGetTimeOfNextVarHit routine";

struct FlagCase {
  double flag;
  const char* message;  // null: the call succeeds
};

// Slot-tested flags whose slot nobody fills, before and after mdlStart.
const FlagCase kNeverFilled[] = {
    {SS_METHOD_CHECK_PARAMETERS, "Unexpected call to mdlCheckParameters"},
    {SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetInputPortDataType"},
    {SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetOutputPortDataType"},
    {SS_METHOD_SET_INPUT_PORT_WIDTH, "Unexpected call to mdlSetInputPortWidth"},
    {SS_METHOD_SET_OUTPUT_PORT_WIDTH, "Unexpected call to mdlSetOutputPortWidth"},
    {SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetInputPortComplexSignal"},
    {SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetOutputPortComplexSignal"},
    {SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetInputPortSampleTime"},
    {SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetOutputPortSampleTime"},
    {SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetInputPortDimensionInfo"},
    {SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetOutputPortDimensionInfo"},
    {SS_METHOD_SET_INPUT_PORT_FRAME_DATA, "Unexpected call to mdlSetInputPortFrameData"},
    {SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO,
     "Unexpected call to mdlSetDefaultPortDimensionInfo"},
    {SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES, "Unexpected call to mdlSetDefaultPortDataTypes"},
    {SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS,
     "Unexpected call to mdlSetDefaultPortComplexSignals"},
    {SS_METHOD_INITIALIZE_PROPAGATION_PASS, "Unexpected call to mdlInitializePropagationPass"},
    {SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT, kVarHit},
};

// Slots that mdlStart fills: unexpected before, served after.
const FlagCase kFilledAtStart[] = {
    {SS_METHOD_INITIALIZE_CONDITIONS, "Unexpected call to mdlInitializeConditions"},
    {SS_METHOD_DERIVATIVES, "Unexpected call to mdlDerivatives"},
    {SS_METHOD_RTW, "Unexpected call to mdlRTW"},
    {SS_METHOD_EXT_MODE_EXEC, "Unexpected call to mdlExtModeExec"},
    {SS_METHOD_ENABLE, "Unexpected call to mdlEnable"},
    {SS_METHOD_DISABLE, "Unexpected call to mdlDisable"},
};

const double kInvalidFlags[] = {0,
                                -104,
                                100,
                                105,
                                109,
                                110,
                                124,
                                125,
                                129,
                                130,
                                135,
                                136,
                                137,
                                138,
                                141,
                                143,
                                146,
                                200,
                                1e10,
                                -1e10,
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity()};

class Flags : public HostTest, public ::testing::WithParamInterface<ChartCase> {};

TEST_P(Flags, EveryFlagBeforeAndAfterStart) {
  const ChartCase& c = GetParam();
  const Table t = make_table(c.N, 3);
  {
    Engine engine;
    auto& plugin = engine.load(c.plugin);
    Block& block = engine.add_block(plugin, {c.chart, c.N});
    block.set_inputs(t.x.data(), t.y.data(), t.x[2]);

    auto expect_message = [&](double flag, const char* message) {
      const CallResult r = block.call(flag);
      EXPECT_FALSE(r.ok) << "flag " << flag;
      EXPECT_EQ(r.error, message) << "flag " << flag;
      EXPECT_EQ(r.identifier, "") << "flag " << flag;
    };

    // Before mdlStart.
    for (const FlagCase& f : kNeverFilled)
      expect_message(f.flag, f.message);
    for (const FlagCase& f : kFilledAtStart)
      expect_message(f.flag, f.message);
    for (double f : kInvalidFlags)
      expect_message(f, kInvalidFlag);
    EXPECT_EQ(block.simstruct()->user_data, nullptr);
    EXPECT_EQ(plugin.lock_count(), 0);
    EXPECT_TRUE(ok(block.set_work_widths()));
    EXPECT_TRUE(ok(block.process_parameters()));

    // After it.
    ASSERT_TRUE(ok(block.start()));
    for (const FlagCase& f : kNeverFilled)
      expect_message(f.flag, f.message);
    for (double f : kInvalidFlags)
      expect_message(f, kInvalidFlag);
    for (const FlagCase& f : kFilledAtStart)
      EXPECT_TRUE(ok(block.call(f.flag))) << f.flag;
    EXPECT_TRUE(ok(block.call(SS_METHOD_FLAG108)));
    EXPECT_TRUE(ok(block.set_work_widths()));
    EXPECT_TRUE(ok(block.process_parameters()));

    // A fractional flag is cut toward zero: the outputs method, the chart steps.
    block.z() = t.x[2];
    ASSERT_TRUE(ok(block.call(int{SS_METHOD_OUTPUTS} + 0.9)));
    EXPECT_TRUE(same_bits(reference(t, t.x[2], c.extrapolate), block.y1()));

    // The error status of one call does not stay for the next.
    expect_message(105, kInvalidFlag);
    EXPECT_TRUE(ok(block.outputs()));

    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(Charts, Flags, ::testing::ValuesIn(all_charts()),
                         [](const auto& info) { return case_name(info.param); });

// ---------------------------------------------------------------------------------
// Port methods that the host fills: the shared width/dimension slots and flags bit 0.

struct PortCall {
  int flag, port, int_arg;
  void* ptr_arg;
};
std::vector<PortCall> g_port_calls;
int g_current_flag = 0;

void record_width(SimStruct*, int port, int arg) {
  g_port_calls.push_back({g_current_flag, port, arg, nullptr});
}
void record_dims(SimStruct*, int port, void* arg) {
  g_port_calls.push_back({g_current_flag, port, 0, arg});
}

class PortMethods : public HostTest {};

TEST_F(PortMethods, SharedSlotServesWidthOrDimensionsByFlagsBit0) {
  {
    Engine engine;
    const ChartCase c = chart_where(any_chart);
    Block& block = engine.add_block(engine.load(c.plugin), {c.chart, c.N});
    SimStruct* S = block.simstruct();
    S->methods.input_port_shape.width = record_width;
    S->methods.output_port_shape.width = record_width;
    S->sizes[SS_SIZES_PORT_INDEX] = 2;
    engine.root()->mdl_info->int_arg = 77;
    g_port_calls.clear();

    for (int flag : {SS_METHOD_SET_INPUT_PORT_WIDTH, SS_METHOD_SET_OUTPUT_PORT_WIDTH}) {
      g_current_flag = flag;
      EXPECT_TRUE(ok(block.call(flag)));
    }
    for (int flag :
         {SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO, SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO})
      EXPECT_FALSE(ok(block.call(flag)));
    ASSERT_EQ(g_port_calls.size(), 2u);
    EXPECT_EQ(g_port_calls[0].flag, SS_METHOD_SET_INPUT_PORT_WIDTH);
    EXPECT_EQ(g_port_calls[1].flag, SS_METHOD_SET_OUTPUT_PORT_WIDTH);
    for (const PortCall& p : g_port_calls) {
      EXPECT_EQ(p.port, 2);
      EXPECT_EQ(p.int_arg, 77);
    }

    // Bit 0 set: the same slots now hold the dimension methods.
    ssSetFlagBit(S, SS_FLAG_PORT_DIMS_METHODS, 1);
    S->methods.input_port_shape.dims = record_dims;
    S->methods.output_port_shape.dims = record_dims;
    int dims_info = 0;
    engine.root()->mdl_info->ptr_arg = &dims_info;
    g_port_calls.clear();
    EXPECT_EQ(block.call(SS_METHOD_SET_INPUT_PORT_WIDTH).error,
              "Unexpected call to mdlSetInputPortWidth");
    EXPECT_EQ(block.call(SS_METHOD_SET_OUTPUT_PORT_WIDTH).error,
              "Unexpected call to mdlSetOutputPortWidth");
    for (int flag :
         {SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO, SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO}) {
      g_current_flag = flag;
      EXPECT_TRUE(ok(block.call(flag)));
    }
    ASSERT_EQ(g_port_calls.size(), 2u);
    EXPECT_EQ(g_port_calls[0].ptr_arg, &dims_info);
    EXPECT_EQ(g_port_calls[1].flag, SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO);
    engine.root()->mdl_info->ptr_arg = nullptr;
  }
  expect_clean();
}

// ---------------------------------------------------------------------------------
// Sim-state compliance other than "the block saves its own state".

class Compliance : public HostTest, public ::testing::WithParamInterface<int> {};

TEST_P(Compliance, SaveAndRestoreAreUnexpected) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 9);
  {
    Engine engine;
    BlockOptions opts;
    opts.sim_state_compliance = GetParam();
    Block& block = started_block(engine, c, t, opts);
    block.z() = t.x[3];
    ASSERT_TRUE(ok(block.outputs()));
    const double y1 = block.y1();
    block.clear_records();

    CallResult r;
    MxPtr state = block.get_sim_state(&r);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(r.error, "Unexpected call to mdlGetSimState");
    EXPECT_TRUE(block.generic_calls().empty());

    MxPtr bogus(mxCreateDoubleScalar(5.0));
    EXPECT_EQ(block.set_sim_state(bogus.get()).error, "Unexpected call to mdlSetSimState");
    EXPECT_TRUE(same_bits(y1, block.y1()));
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(Values, Compliance, ::testing::Values(0, 1, 2, 4, 15));

TEST_F(HostTest, SaveAsksTheBlockHandleThenReportsTheSavedState) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 4);
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    block.clear_records();
    CallResult r;
    MxPtr state = block.get_sim_state(&r);
    ASSERT_TRUE(ok(r));
    ASSERT_NE(state, nullptr);
    const std::vector<std::pair<int, int>> expected = {{SS_GEN_BLOCK_HANDLE, 0},
                                                       {SS_GEN_SIM_STATE_SAVED, 0}};
    EXPECT_EQ(block.generic_calls(), expected);
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

// ---------------------------------------------------------------------------------
// The lock on the plug-in.

class Lock : public HostTest {};

TEST_F(Lock, FirstStartLocksOnceAnyTerminateUnlocksFully) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 21);
  {
    Engine engine;
    auto& plugin = engine.load(c.plugin);
    EXPECT_EQ(plugin.lock_count(), 0);
    Block& a = started_block(engine, c, t);
    EXPECT_EQ(plugin.lock_count(), 1);
    Block& b = started_block(engine, c, t);
    EXPECT_EQ(plugin.lock_count(), 1);

    ASSERT_TRUE(ok(a.terminate()));
    EXPECT_EQ(plugin.lock_count(), 0);
    // The other block is still live and keeps working.
    b.z() = t.x[40] + 1e-3;
    ASSERT_TRUE(ok(b.outputs()));
    EXPECT_TRUE(same_bits(reference(t, b.z(), c.extrapolate), b.y1()));
    ASSERT_TRUE(ok(b.terminate()));
    EXPECT_EQ(plugin.lock_count(), 0);
    // A second terminate of a block finds no records and still succeeds.
    ASSERT_TRUE(ok(b.terminate()));
    EXPECT_EQ(plugin.lock_count(), 0);
  }
  expect_clean();
}

TEST_F(Lock, TerminateWithoutUserDataThenANewBlockRuns) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 22);
  {
    Engine engine;
    auto& plugin = engine.load(c.plugin);
    Block& never_started = engine.add_block(plugin, {c.chart, c.N});
    ASSERT_TRUE(ok(never_started.terminate()));
    EXPECT_EQ(plugin.lock_count(), 0);

    Block& block = started_block(engine, c, t);
    EXPECT_EQ(plugin.lock_count(), 1);
    block.z() = t.x[17];
    ASSERT_TRUE(ok(block.outputs()));
    EXPECT_TRUE(same_bits(reference(t, block.z(), c.extrapolate), block.y1()));
    ASSERT_TRUE(ok(block.terminate()));
    EXPECT_EQ(plugin.lock_count(), 0);
  }
  expect_clean();
}

TEST_F(Lock, ForcedUnlockLeavesLiveBlocksWorking) {
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 23);
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    EXPECT_EQ(block.plugin().lock_count(), 1);
    MxPtr command(mxCreateString("sf_mex_unlock"));
    block.plugin().call_matlab(0, {command.get()});
    EXPECT_EQ(block.plugin().lock_count(), 0);
    ASSERT_TRUE(ok(block.outputs()));
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

TEST_F(Lock, EngineTerminatesBlocksStillStarted) {
  // Blocks of two plug-ins.
  const ChartCase c = chart_where(any_chart), other = chart_where(of_another_model_than(c));
  const Table t = make_table(c.N, 24);
  {
    Engine engine;
    Block& a = started_block(engine, c, t);
    Block& b = started_block(engine, other, make_table(other.N, 25));
    EXPECT_TRUE(a.started());
    EXPECT_TRUE(b.started());
    ASSERT_TRUE(ok(a.outputs()));
  }
  expect_clean();
}

// ---------------------------------------------------------------------------------
// Code generation: the generic calls of set work widths and the record of mdlRTW.

class CodeGen : public HostTest, public ::testing::WithParamInterface<ChartCase> {};

TEST_P(CodeGen, SetWorkWidthsAndRtwRecord) {
  const ChartCase& c = GetParam();
  {
    Engine engine;
    BlockOptions opts;
    opts.chart = c.chart;
    opts.table_length = c.N;
    opts.mode = SimMode::CodeGen;
    opts.host_block_data = true;
    Block& block = engine.add_block(engine.load(c.plugin), opts);
    ASSERT_TRUE(ok(block.set_work_widths()));
    const std::vector<std::pair<int, int>> expected = {{SS_GEN_SET_INLINABLE, 0},
                                                       {SS_GEN_CODE_92, 1},
                                                       {SS_GEN_CODE_93, 1},
                                                       {SS_GEN_GATEWAY_NOT_INLINABLE, 0},
                                                       {SS_GEN_CODE_197, 0}};
    EXPECT_EQ(block.generic_calls(), expected);
    ASSERT_TRUE(ok(block.start()));
    ASSERT_TRUE(ok(block.rtw()));
    ASSERT_EQ(block.rtw_pairs().size(), 1u);
    const auto& pair = block.rtw_pairs()[0];
    EXPECT_EQ(pair.type, 1);
    EXPECT_EQ(pair.name, "StateflowChartType");
    EXPECT_EQ(pair.text, "Embedded MATLAB");
    EXPECT_EQ(pair.data_type, 0);
    EXPECT_EQ(pair.rows, 1);
    EXPECT_EQ(pair.cols, 1);
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

TEST_P(CodeGen, NormalModeWritesNoRecord) {
  const ChartCase& c = GetParam();
  {
    Engine engine;
    Block& block = started_block(engine, c, make_table(c.N, 31));
    EXPECT_TRUE(block.generic_calls().empty());
    ASSERT_TRUE(ok(block.rtw()));
    EXPECT_TRUE(block.rtw_pairs().empty());
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(Charts, CodeGen, ::testing::ValuesIn(all_charts()),
                         [](const auto& info) { return case_name(info.param); });

}  // namespace
