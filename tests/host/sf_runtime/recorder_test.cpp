// What the runtime's operations record, how, and that recording off costs neither
// records nor heap allocations on the step's paths; the code-generation answers.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "host/trace.hpp"
#include "tests/host/sf_runtime/runtime_support.hpp"
#include "tests/support/heap_counter.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

std::vector<std::string> lines(const host::trace::Collector& c) {
  std::vector<std::string> out;
  for (const host::trace::Call& call : c.calls())
    out.push_back(call.line());
  return out;
}

const mxArray* show(void*, void*) {
  return nullptr;
}

class RecorderTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    start_machine();
    register_chart(2, &S_, &chart_, &instance_);
  }
  // The host calls of a step of a two-element table, as a chart makes them.
  void step_calls() {
    double v[2] = {1.0, 2.0};
    const char* names[] = {"nargin", "nargout", "x", "y", "z", "y1"};
    unsigned scratch[6];
    sf_debug_symbol_scope_push(dbg_, 0, 0);
    sf_debug_call(dbg_, machine_, chart_, instance_, 1, 1, 0, 1, -1, 0, nullptr, 0.5, 1, 0);
    for (double x : v)
      sf_debug_data_range_wrapper(dbg_, machine_, chart_, instance_, 0, x);
    sf_debug_symbol_scope_push_eml(dbg_, 0, 6, 6, names, scratch);
    for (unsigned i = 0; i < 6; ++i)
      sf_debug_symbol_scope_add_eml(dbg_, &v[0], i, show);
    cv_eml_eval(dbg_, machine_, chart_, instance_, 0, 0, 1, 0, 0, 0);
    eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, 3, 0.5, 0, 0);
    for (int k = 1; k <= 2; ++k) {
      const double c = sf_debug_integer_check(dbg_, machine_, chart_, instance_, "", k);
      sf_debug_eml_data_array_bounds_error_check(dbg_, machine_, chart_, instance_, "",
                                                 static_cast<int32_t>(c), 1, 2, 1, 0);
    }
    eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, -3, 0.5, 0, 0);
    sf_debug_symbol_scope_pop(dbg_);
    sf_debug_call(dbg_, machine_, chart_, instance_, 1, 1, 999, 1, -1, 0, nullptr, 0.5, 1, 0);
    sf_debug_symbol_scope_pop(dbg_);
    sf_debug_check_for_state_inconsistency(dbg_, machine_, chart_, instance_);
  }
  SimStruct S_{};
  unsigned chart_ = 0, instance_ = 0;
};

TEST_F(RecorderTest, OperationsRecordThemselvesInOrderWithTheirArguments) {
  const mxArray* prhs[] = {mxCreateString("sf_get_check_sum"), mxCreateDoubleScalar(2)};
  host::trace::Collector collector;
  void* second = sf_debug_create_debug_instance_struct();
  sf_debug_initialize_machine(second, "Quimbrel", "sfun", 0, 2, 0, 0, 0);
  sf_debug_set_chart_data_props(dbg_, machine_, chart_, 3, 2, 0, 1, "y1");
  const unsigned n = 401;
  sf_debug_set_chart_data_compiled_props(dbg_, machine_, chart_, instance_, 0, 0, 1, &n, 0, 0, 0,
                                         0.0, 1.0, 0, 0, nullptr, nullptr, 0);
  sf_debug_integer_check(dbg_, machine_, chart_, instance_, "", 3.0);
  sf_debug_data_range_wrapper(dbg_, machine_, chart_, instance_, 2, 0.1);
  const char* names[] = {"a", "b\"q"};
  sf_debug_symbol_scope_push_eml(dbg_, 0, 2, 2, names, nullptr);
  sf_debug_symbol_scope_pop(dbg_);
  sf_debug_api(nullptr, 1, nullptr, 2, prhs);
  sf_clear_error_manager_info();
  sf_debug_terminate(second);
  const std::vector<std::string> got = lines(collector);
  collector.clear();
  mxDestroyArray(const_cast<mxArray*>(prhs[0]));
  mxDestroyArray(const_cast<mxArray*>(prhs[1]));

  EXPECT_EQ(got,
            (std::vector<std::string>{
                "sf_debug_create_debug_instance_struct",
                "sf_debug_initialize_machine dbg#2 \"Quimbrel\" \"sfun\" 0 2 0 0 0",
                "sf_debug_set_chart_data_props dbg#1 1 101 3 2 0 1 \"y1\"",
                "sf_debug_set_chart_data_compiled_props dbg#1 1 101 1 0 0 1 [401] 0 0 0 0 1 0 0 "
                "null null 0",
                "sf_debug_integer_check dbg#1 1 101 1 \"\" 3",
                "sf_debug_data_range_wrapper dbg#1 1 101 1 2 0.10000000000000001",
                "sf_debug_symbol_scope_push_eml dbg#1 0 2 2 {\"a\",\"b\\\"q\"} null",
                "sf_debug_symbol_scope_pop dbg#1",
                "sf_debug_api null 1 null 2 {char[1x16],double[1x1]}",
                "sf_clear_error_manager_info",
                "sf_debug_terminate dbg#2",
            }));
}

TEST_F(RecorderTest, AFailingCheckIsRecordedBeforeItRaises) {
  host::trace::Collector collector;
  EXPECT_THROW(sf_debug_eml_data_array_bounds_error_check(dbg_, machine_, chart_, instance_, "", 0,
                                                          1, 2, 1, 0),
               host::HostError);
  EXPECT_EQ(lines(collector),
            std::vector<std::string>{
                "sf_debug_eml_data_array_bounds_error_check dbg#1 1 101 1 \"\" 0 1 2 1 0"});
}

TEST_F(RecorderTest, StepCallsAreRecordedWhenOn) {
  {
    host::trace::Collector collector;
    step_calls();
    EXPECT_EQ(collector.calls().size(), 22u);
    EXPECT_EQ(collector.calls().front().op, "sf_debug_symbol_scope_push");
    EXPECT_EQ(collector.calls()[1].line(), "sf_debug_call dbg#1 1 101 1 1 1 0 1 -1 0 null 0.5 1 0");
    EXPECT_EQ(collector.calls().back().line(),
              "sf_debug_check_for_state_inconsistency dbg#1 1 101 1");
  }
  EXPECT_FALSE(host::trace::enabled());
}

#if TEST_SUPPORT_COUNTS_HEAP
TEST_F(RecorderTest, AWarmStepWithRecordingOffAllocatesNothing) {
  ASSERT_FALSE(host::trace::enabled());
  step_calls();  // the first step sizes the scope stack
  const long before = test_support::heap_allocations();
  for (int i = 0; i < 100; ++i)
    step_calls();
  EXPECT_EQ(test_support::heap_allocations(), before);
  EXPECT_EQ(host::sf_runtime::chart_instance(chart_, instance_)->debug_calls, 202u);
}
#endif

TEST_F(RuntimeTest, CodeGenerationAnswersAreSetAndCallsLogged) {
  SimStruct S{};
  mxArray* info = sf_load_rtw_optimization_info("Harnvale", "Harnvale");
  ASSERT_NE(info, nullptr);
  ASSERT_TRUE(mxIsStruct(info));
  char text[32];
  mxGetString_700(mxGetField_700(info, 0, "machineName"), text, sizeof text);
  EXPECT_STREQ(text, "Harnvale");

  EXPECT_EQ(sf_is_chart_inlinable("id1", info, 1), 0u);
  EXPECT_EQ(sf_rtw_info_uint_prop("id1", info, 1, "RTWCG"), 0u);
  host::sf_runtime::set_chart_inlinable(1);
  host::sf_runtime::set_rtw_info_uint_prop("RTWCG", 1);
  host::sf_runtime::set_rtw_info_uint_prop("gatewayCannotBeInlinedMultipleTimes", 7);
  EXPECT_EQ(sf_is_chart_inlinable("id1", info, 1), 1u);
  EXPECT_EQ(sf_rtw_info_uint_prop("id1", info, 1, "RTWCG"), 1u);
  EXPECT_EQ(sf_rtw_info_uint_prop("id1", info, 1, "gatewayCannotBeInlinedMultipleTimes"), 7u);
  EXPECT_EQ(sf_rtw_info_uint_prop("id1", info, 1, "other"), 0u);
  sf_update_buildInfo("id1", info, 1);
  sf_mark_chart_expressionable_inputs(&S, "id1", info, 1, 3, 0);
  sf_mark_chart_reusable_outputs(&S, "id1", info, 1, 1, 0);
  sf_set_rtw_dwork_info(&S, "id1", info, 1);
  sf_clear_rtw_identifier(&S);
  mxDestroyArray(info);

  host::sf_runtime::set_optimization_info_available(false);
  EXPECT_EQ(sf_load_rtw_optimization_info("Quimbrel", "Quimbrel"), nullptr);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 2u);
  EXPECT_HOST_ERROR(sf_rtw_info_uint_prop("id1", nullptr, 1, nullptr),
                    "Stateflow:Runtime:InvalidArgument",
                    "sf_rtw_info_uint_prop: no property name.");

  const std::string s = host::trace::arg(static_cast<const void*>(&S));
  std::vector<std::string> got;
  for (const auto& c : host::sf_runtime::codegen_calls())
    got.push_back(c.line());
  EXPECT_EQ(got, (std::vector<std::string>{
                     "sf_load_rtw_optimization_info \"Harnvale\" \"Harnvale\"",
                     "sf_is_chart_inlinable \"id1\" struct[1x1] 1",
                     "sf_rtw_info_uint_prop \"id1\" struct[1x1] 1 \"RTWCG\"",
                     "sf_is_chart_inlinable \"id1\" struct[1x1] 1",
                     "sf_rtw_info_uint_prop \"id1\" struct[1x1] 1 \"RTWCG\"",
                     "sf_rtw_info_uint_prop \"id1\" struct[1x1] 1 "
                     "\"gatewayCannotBeInlinedMultipleTimes\"",
                     "sf_rtw_info_uint_prop \"id1\" struct[1x1] 1 \"other\"",
                     "sf_update_buildInfo \"id1\" struct[1x1] 1",
                     "sf_mark_chart_expressionable_inputs " + s + " \"id1\" struct[1x1] 1 3 0",
                     "sf_mark_chart_reusable_outputs " + s + " \"id1\" struct[1x1] 1 1 0",
                     "sf_set_rtw_dwork_info " + s + " \"id1\" struct[1x1] 1",
                     "sf_clear_rtw_identifier " + s,
                     "sf_load_rtw_optimization_info \"Quimbrel\" \"Quimbrel\"",
                     "sf_rtw_info_uint_prop \"id1\" null 1 null",
                 }));
}

TEST_F(RuntimeTest, TheOptimizationInfoMakesNoTraceOfItsOwnWork) {
  host::trace::Collector collector;
  mxArray* info = sf_load_rtw_optimization_info("Harnvale", "Harnvale");
  mxDestroyArray(info);
  ASSERT_EQ(collector.calls().size(), 2u);
  EXPECT_EQ(collector.calls()[0].line(), "sf_load_rtw_optimization_info \"Harnvale\" \"Harnvale\"");
  EXPECT_EQ(collector.calls()[1].op, "mxDestroyArray");
}

}  // namespace
