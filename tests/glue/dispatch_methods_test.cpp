// The glue's method routines on a started block: initialise, enable, disable, RTW,
// the records they need, simulation state, the rate logic of mdlOutputs, host
// errors, and MATLAB-level calls.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/glue/dispatch_fixture.hpp"

namespace {

using namespace dispatch_test;

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
