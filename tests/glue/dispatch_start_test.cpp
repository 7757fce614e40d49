// The glue's mdlStart, its hook, the plug-in lock, terminate, and the flags the hook
// answers, driven through mexFunction as the host drives them.
#include <gtest/gtest.h>

#include "tests/glue/dispatch_fixture.hpp"

namespace {

using namespace dispatch_test;

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

}  // namespace
