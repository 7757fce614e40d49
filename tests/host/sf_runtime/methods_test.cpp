// Method dispatch, method wrapping, the direct-call refusal, and the mode and time
// of a block.
#include <stdexcept>
#include <string>

#include "host/mex_host.hpp"
#include "platform/simstruc.h"
#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

// A root SimStruct with its model information and one block below it.
class MethodsTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    info_.flags = 0xFFFFFFFFu;
    info_.t = &time_;
    root_.mdl_info = &info_;
    block_.root = &root_;
    block_.path = "model/Chart";
    block_.sf_machine_name = "Harnvale";
    block_.sf_chart_number = 2;
  }
  bool error_flag_set() const { return (info_.flags & SS_MDLINFO_ERROR_FLAG) != 0; }
  std::string error() const { return root_.error_status ? root_.error_status : "<none>"; }

  double time_ = 1.25;
  SsModelInfo info_{};
  SimStruct root_{};
  SimStruct block_{};
};

struct RoutingCall {
  SimStruct* S;
  std::string name;
  int chart;
  void* unused;
  int method;
  void* data;
};
std::vector<RoutingCall> g_routing;
unsigned g_answer = 1;

unsigned routing(SimStruct* S, const char* name, int chart, void* unused, int method, void* data) {
  g_routing.push_back({S, name, chart, unused, method, data});
  return g_answer;
}

TEST_F(MethodsTest, DispatchHandsTheBlocksMachineAndChartToTheRouting) {
  g_routing.clear();
  g_answer = 1;
  EXPECT_EQ(call_sf_machine_global_method_dispatcher(&block_, SS_METHOD_START, 0, routing), 1u);
  ASSERT_EQ(g_routing.size(), 1u);
  EXPECT_EQ(g_routing[0].S, &block_);
  EXPECT_EQ(g_routing[0].name, "Harnvale");
  EXPECT_EQ(g_routing[0].chart, 2);
  EXPECT_EQ(g_routing[0].unused, nullptr);
  EXPECT_EQ(g_routing[0].method, SS_METHOD_START);
  EXPECT_EQ(g_routing[0].data, nullptr);
  EXPECT_EQ(root_.error_status, nullptr);
  EXPECT_TRUE(error_flag_set());
}

TEST_F(MethodsTest, DispatchThatNoChartAnswersPostsTheErrorOnTheRoot) {
  g_routing.clear();
  g_answer = 0;
  block_.sf_chart_number = 4;
  EXPECT_EQ(
      call_sf_machine_global_method_dispatcher(&block_, SS_METHOD_SET_WORK_WIDTHS, 1, routing), 0u);
  EXPECT_EQ(g_routing.size(), 1u);
  EXPECT_EQ(error(), "No chart of machine 'Harnvale' answered method 111 for chart 4.");
  EXPECT_FALSE(error_flag_set());
  EXPECT_EQ(block_.error_status, nullptr);

  // A block that names no machine is not routed.
  block_.sf_machine_name = nullptr;
  EXPECT_EQ(
      call_sf_machine_global_method_dispatcher(&block_, SS_METHOD_PROCESS_PARAMETERS, 0, routing),
      0u);
  EXPECT_EQ(g_routing.size(), 1u);
  EXPECT_EQ(error(), "Block 'model/Chart' names no chart machine; method 118 was not dispatched.");
  g_answer = 1;
}

TEST_F(MethodsTest, DispatchErrorsOfTheChartReachTheCaller) {
  auto raising = [](SimStruct*, const char*, int, void*, int, void*) -> unsigned {
    throw host::HostError("", "Can't handle method 112.");
  };
  EXPECT_HOST_ERROR(
      call_sf_machine_global_method_dispatcher(&block_, SS_METHOD_CHECK_PARAMETERS, 0, raising), "",
      "Can't handle method 112.");
  EXPECT_HOST_ERROR(
      call_sf_machine_global_method_dispatcher(&block_, SS_METHOD_SET_WORK_WIDTHS, 0, nullptr),
      "Stateflow:Runtime:InvalidArgument",
      "call_sf_machine_global_method_dispatcher: no routing callback.");
}

int g_body_runs = 0;
void good_body(SimStruct*) {
  ++g_body_runs;
}
void raising_body(SimStruct*) {
  ++g_body_runs;
  throw host::HostError("MATLAB:interp1:NaNinX", "NaN values in X are not allowed.");
}
void other_exception_body(SimStruct*) {
  throw std::logic_error("not a host error");
}

TEST_F(MethodsTest, AHostErrorInTheBodyBecomesTheBlocksErrorAndTheCallReturns) {
  g_body_runs = 0;
  callMdlMethodAndReportError(good_body, &block_);
  EXPECT_EQ(g_body_runs, 1);
  EXPECT_EQ(root_.error_status, nullptr);
  EXPECT_FALSE(host::sf_runtime::last_error().has_value());

  EXPECT_NO_THROW(callMdlMethodAndReportError(raising_body, &block_));
  EXPECT_EQ(g_body_runs, 2);
  EXPECT_EQ(error(), "NaN values in X are not allowed.");
  EXPECT_FALSE(error_flag_set());
  ASSERT_TRUE(host::sf_runtime::last_error().has_value());
  EXPECT_EQ(host::sf_runtime::last_error()->identifier, "MATLAB:interp1:NaNinX");
  EXPECT_EQ(host::sf_runtime::last_error()->message, "NaN values in X are not allowed.");

  sf_clear_error_manager_info();
  EXPECT_FALSE(host::sf_runtime::last_error().has_value());
  // Other exceptions are not host errors: they pass through untouched.
  root_.error_status = nullptr;
  EXPECT_THROW(callMdlMethodAndReportError(other_exception_body, &block_), std::logic_error);
  EXPECT_EQ(root_.error_status, nullptr);
}

TEST_F(MethodsTest, ALongErrorIsCutInThePostedTextButKeptWhole) {
  static std::string long_text(20000, 'e');
  callMdlMethodAndReportError([](SimStruct*) { throw host::HostError("Id:long", long_text); },
                              &block_);
  EXPECT_EQ(std::string(root_.error_status).size(), 8191u);
  EXPECT_EQ(host::sf_runtime::last_error()->message, long_text);
}

TEST_F(MethodsTest, DirectCallIsRefusedOnTheRoot) {
  sf_mex_error_direct_call(&block_, "mdlInitializeSampleTimes", "sfc_sf");
  EXPECT_EQ(error(),
            "S-function 'sfc_sf' does not support a direct call of method "
            "'mdlInitializeSampleTimes'.");
  EXPECT_FALSE(error_flag_set());
}

struct ModeCase {
  SsSimMode mode;
  bool rtw_gen, external;
};

class ModeTest : public MethodsTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTest, ModesFollowTheBlock) {
  block_.sim_mode = GetParam().mode;
  root_.sim_mode = SS_SIM_NORMAL;
  EXPECT_EQ(sim_mode_is_rtw_gen(&block_), GetParam().rtw_gen);
  EXPECT_EQ(sim_mode_is_external(&block_), GetParam().external);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTest,
                         ::testing::Values(ModeCase{SS_SIM_NORMAL, false, false},
                                           ModeCase{SS_SIM_RTW_GEN, true, false},
                                           ModeCase{SS_SIM_EXTERNAL, false, true}));

TEST_F(MethodsTest, TimeComesFromTheBlocksModelInformation) {
  EXPECT_EQ(sf_get_time(&block_), 1.25);  // the root's, the block has none of its own
  time_ = 2.5;
  EXPECT_EQ(sf_get_time(&block_), 2.5);
  double own = 9.0;
  SsModelInfo block_info{};
  block_info.t = &own;
  block_.mdl_info = &block_info;
  EXPECT_EQ(sf_get_time(&block_), 9.0);
  block_info.t = nullptr;
  EXPECT_HOST_ERROR(sf_get_time(&block_), "Stateflow:Runtime:NoSimulationTime",
                    "sf_get_time: block 'model/Chart' has no simulation time.");
  EXPECT_HOST_ERROR(sf_get_time(nullptr), "Stateflow:Runtime:InvalidArgument",
                    "sf_get_time: no SimStruct.");
}

}  // namespace
