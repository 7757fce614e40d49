// Life cycle of chart blocks: records, slots, dispatcher, saved state, allocation
// failures and ownership (code generation is work_widths_test.cpp).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/charts/instance_fixture.hpp"

namespace chart_test {
namespace {

TYPED_TEST_SUITE(InstanceTest, AllCharts);

TYPED_TEST(InstanceTest, LifeCycleTable) {
  Block& b = this->add_block();
  const long heap = host::ut::outstanding_blocks();
  TypeParam::method_dispatcher(&b.S, SS_METHOD_START, nullptr);
  EXPECT_EQ(host::ut::outstanding_blocks(), heap + 2);

  // Created.
  auto* user = static_cast<ChartUserData*>(b.S.user_data);
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->runtime_flag, 0);
  ChartInstance* inst = b.instance();
  ASSERT_NE(inst, nullptr);
  ChartInfo& info = inst->chart_info;
  EXPECT_EQ(user->chart_info, &info);
  EXPECT_EQ(info.chart_instance, inst);
  EXPECT_EQ(inst->S, &b.S);
  EXPECT_EQ(info.is_embedded_matlab_chart, 1);
  EXPECT_EQ(info.chart_initialized, 0);
  EXPECT_EQ(info.debug_instance, this->model().debug_instance);
  EXPECT_EQ(info.step, &TypeParam::chart_step);
  EXPECT_EQ(info.initialize, &TypeParam::chart_initialize);
  EXPECT_EQ(info.terminate, &TypeParam::chart_terminate);
  EXPECT_EQ(info.enable, &TypeParam::enable_chart);
  EXPECT_EQ(info.disable, &TypeParam::disable_chart);
  EXPECT_EQ(info.get_sim_state, &TypeParam::chart_get_sim_state);
  EXPECT_EQ(info.get_sim_state_info, &TypeParam::get_sim_state_info);
  EXPECT_EQ(info.set_sim_state, &TypeParam::chart_set_sim_state);
  EXPECT_EQ(info.rtw, &TypeParam::chart_rtw);
  EXPECT_EQ(info.set_work_widths, &TypeParam::chart_set_work_widths);
  EXPECT_EQ(info.start, &TypeParam::chart_start);
  EXPECT_EQ(info.ext_mode_exec, nullptr);
  EXPECT_EQ(info.step_prologue, nullptr);
  EXPECT_EQ(info.step_prologue_same_time, nullptr);
  EXPECT_EQ(info.step_epilogue, nullptr);
  EXPECT_EQ(info.flag108_routine, nullptr);
  EXPECT_EQ(info.skip_step_hooks, nullptr);
  EXPECT_EQ(info.derivatives, nullptr);
  for (unsigned char c : info.reserved)
    EXPECT_EQ(c, 0);
  EXPECT_EQ(inst->current_event, 0);
  EXPECT_EQ(inst->is_active, 0);

  // Initialised, stepped.
  this->root_.time = 0.5;
  info.initialize(inst);
  EXPECT_EQ(inst->current_event, -1);
  EXPECT_EQ(TypeParam::chart_time, 0.5);
  b.z = 7.25;
  info.step(inst);
  EXPECT_EQ(b.y1, 14.5);

  // Raw state right after: {y1, uint8 0}.
  const mxArray* raw = TypeParam::get_raw_sim_state(inst);
  ASSERT_TRUE(mxIsCell(raw));
  ASSERT_EQ(mxGetNumberOfElements(raw), 2u);
  const mxArray* e0 = mxGetCell_700(raw, 0);
  const mxArray* e1 = mxGetCell_700(raw, 1);
  EXPECT_TRUE(mxIsDouble(e0));
  EXPECT_EQ(mxGetScalar(e0), 14.5);
  EXPECT_TRUE(mxIsUint8(e1));
  EXPECT_EQ(mxGetNumberOfElements(e1), 1u);
  EXPECT_EQ(*static_cast<const uint8_t*>(mxGetData(e1)), 0);

  // Restore the raw state after a change: y1 and the flag come back, raw consumed.
  b.y1 = -3.0;
  inst->is_active = 1;
  const std::size_t live = host::mx::live_count();
  TypeParam::set_raw_sim_state(inst, raw);
  EXPECT_EQ(host::mx::live_count(), live - 3);
  EXPECT_EQ(b.y1, 14.5);
  EXPECT_EQ(inst->is_active, 0);

  // Terminated.
  info.terminate(inst);
  EXPECT_EQ(b.S.user_data, nullptr);
  EXPECT_EQ(chart_info_of(&b.S), nullptr);
  EXPECT_EQ(host::ut::outstanding_blocks(), heap);
  TypeParam::chart_terminate(nullptr);
  EXPECT_EQ(host::ut::outstanding_blocks(), heap);
}

TYPED_TEST(InstanceTest, TwoBlocksOfOneChart) {
  Block& a = this->started_block();
  Block& b = this->started_block();
  ASSERT_NE(a.instance(), b.instance());
  EXPECT_NE(a.S.user_data, b.S.user_data);
  EXPECT_EQ(a.instance()->chart_info.chart_instance, a.instance());
  EXPECT_EQ(b.instance()->chart_info.chart_instance, b.instance());
  a.z = 1.0;
  b.z = 2.0;
  TypeParam::chart_step(a.instance());
  TypeParam::chart_step(b.instance());
  TypeParam::chart_terminate(a.instance());
  EXPECT_EQ(a.S.user_data, nullptr);
  ASSERT_NE(b.instance(), nullptr);
  b.z = 4.0;
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(b.y1, 8.0);
  EXPECT_EQ(a.y1, 2.0);
}

TYPED_TEST(InstanceTest, DispatcherRefusesOtherCodes) {
  Block& b = this->add_block();
  const int codes[] = {SS_METHOD_CHECK_PARAMETERS, 0, -1, SS_METHOD_RTW};
  for (int code : codes) {
    const std::string msg =
        this->raised_message([&] { TypeParam::method_dispatcher(&b.S, code, nullptr); });
    EXPECT_EQ(msg, std::string("Stateflow Internal Error:\nError calling ") +
                       charts::text::ChartNames<TypeParam>::dispatcher.c_str() +
                       ".\nCan't handle method " + std::to_string(code) + ".\n");
  }
  EXPECT_EQ(b.S.user_data, nullptr);
  EXPECT_EQ(ssGetFlags(&b.S), 0u);
}

TYPED_TEST(InstanceTest, AllocationFailures) {
  Block& b = this->add_block();
  const long heap = host::ut::outstanding_blocks();
  for (int skip : {0, 1}) {  // the user data fails, then the instance
    host::ut::fail_next_allocations(1, skip);
    host::trace::Collector rec;
    const std::string msg = this->raised_message([&] { TypeParam::chart_start(&b.S); });
    EXPECT_EQ(msg, "Could not allocate memory for chart instance.") << skip;
    EXPECT_EQ(b.S.user_data, nullptr);
    EXPECT_EQ(host::ut::outstanding_blocks(), heap);
    EXPECT_TRUE(only(rec.calls(), {"sf_debug_initialize_chart"}).empty());
  }
  host::ut::fail_next_allocations(0);
  TypeParam::chart_start(&b.S);
  EXPECT_NE(b.instance(), nullptr);
}

TYPED_TEST(InstanceTest, SavedStateRoundTrip) {
  Block& b = this->started_block();
  block_handles()[&b.S] = 42.0;
  b.z = 0.1;
  TypeParam::chart_step(b.instance());
  const double saved_y1 = b.y1;
  b.instance()->is_active = 1;  // only a restore changes it; set here to see it saved
  const mxArray* state = TypeParam::chart_get_sim_state(&b.S);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(generic_calls().back().code, SS_GEN_BLOCK_HANDLE);
  const std::string before = host::mx::describe(state);

  b.y1 = 99.0;
  b.instance()->is_active = 0;
  TypeParam::chart_set_sim_state(&b.S, state);
  EXPECT_TRUE(same_bits(b.y1, saved_y1));
  EXPECT_EQ(b.instance()->is_active, 1);
  // The caller's array is left as it was.
  EXPECT_TRUE(host::mx::is_live(state));
  EXPECT_EQ(host::mx::describe(state), before);
  b.y1 = 5.0;
  TypeParam::chart_set_sim_state(&b.S, state);
  EXPECT_TRUE(same_bits(b.y1, saved_y1));
  mxDestroyArray(const_cast<mxArray*>(state));
}

TYPED_TEST(InstanceTest, RefusedRestoresChangeNothing) {
  Block& b = this->started_block();
  b.y1 = 1.25;
  // A state of another kind: not what the conversion accepts.
  mxArray* wrong = mxCreateDoubleScalar(3.0);
  std::string msg = this->raised_message([&] { TypeParam::chart_set_sim_state(&b.S, wrong); });
  EXPECT_NE(msg, "<no raise>");
  EXPECT_EQ(b.y1, 1.25);
  EXPECT_EQ(b.instance()->is_active, 0);
  EXPECT_TRUE(host::mx::is_live(wrong));
  mxDestroyArray(wrong);

  // A raw state whose flag is of the wrong class: the import names the flag, and
  // y1 is not restored either.
  msg = this->raised_message([&] {
    const mxArray* raw = sf_mex_createcellmatrix(2, 1);
    sf_mex_setcell(raw, 0, mxCreateDoubleScalar(-8.0));
    sf_mex_setcell(raw, 1, mxCreateDoubleScalar(1.0));
    TypeParam::set_raw_sim_state(b.instance(), raw);
  });
  EXPECT_NE(msg.find(charts::text::ChartNames<TypeParam>::active_flag.c_str()), std::string::npos)
      << msg;
  EXPECT_EQ(b.y1, 1.25);
  EXPECT_EQ(b.instance()->is_active, 0);

  msg = this->raised_message([&] {
    const mxArray* raw = sf_mex_createcellmatrix(2, 1);
    sf_mex_setcell(raw, 0, mxCreateString("y"));
    sf_mex_setcell(raw, 1, mxCreateNumericMatrix_700(1, 1, mxUINT8_CLASS, mxREAL));
    TypeParam::set_raw_sim_state(b.instance(), raw);
  });
  EXPECT_NE(msg.find("y1"), std::string::npos) << msg;
  EXPECT_EQ(b.y1, 1.25);
}

// The conversion reporting failure (no "sfprivate" to call): the two internal
// errors word for word, the arguments destroyed, the instance and the caller's
// state as they were. The case removes the host's "sfprivate", so it runs in a
// child process and leaves the host of the other tests untouched.
template <class Chart>
class InstanceDeathTest : public InstanceTest<Chart> {};
TYPED_TEST_SUITE(InstanceDeathTest, AllCharts);

TYPED_TEST(InstanceDeathTest, ConversionFailuresGiveTheInternalErrors) {
  const std::string save_error =
      "Stateflow Internal Error: \nError calling 'chart_simctx_raw2high'.\n";
  const std::string restore_error =
      "Stateflow Internal Error: \nError calling 'chart_simctx_high2raw'.\n";
  EXPECT_EXIT(
      {
        Block& b = this->started_block();
        b.y1 = 2.5;
        const mxArray* state = nullptr;
        {
          // A real state to restore from, made while the conversion is there.
          host::mex::CallContext keep(nullptr);
          state = TypeParam::chart_get_sim_state(&b.S);
          mexMakeArrayPersistent(const_cast<mxArray*>(state));
        }
        host::mex::unregister_function("sfprivate");
        const std::string before = host::mx::describe(state);
        const std::size_t live = host::mx::live_count();
        std::string failures;
        std::string msg = this->raised_message([&] { (void)TypeParam::chart_get_sim_state(&b.S); });
        if (msg != save_error) failures += "save: " + msg + "\n";
        b.instance()->is_active = 1;
        msg = this->raised_message([&] { TypeParam::chart_set_sim_state(&b.S, state); });
        if (msg != restore_error) failures += "restore: " + msg + "\n";
        if (b.y1 != 2.5 || b.instance()->is_active != 1) failures += "instance changed\n";
        if (host::mx::describe(state) != before) failures += "state changed\n";
        if (host::mx::live_count() != live) failures += "arrays left alive\n";
        std::fputs(failures.c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(failures.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ChartsTogether, DifferentChartsAndModels) {
  host::sf_runtime::reset();
  const std::size_t live = host::mx::live_count();
  const long heap = host::ut::outstanding_blocks();
  using H1 = charts::Chart<harnvale::C1>;
  using H2 = charts::Chart<harnvale::C2>;
  using Q1 = charts::Chart<quimbrel::C1>;
  Root root;
  Block a(root, H1::N), b(root, H2::N), c(root, Q1::N);
  registry::Lifecycle<harnvale::Model>::machine_initialize(&a.S);
  registry::Lifecycle<harnvale::Model>::machine_initialize(&b.S);
  registry::Lifecycle<quimbrel::Model>::machine_initialize(&c.S);
  H1::chart_start(&a.S);
  H2::chart_start(&b.S);
  Q1::chart_start(&c.S);
  H1::chart_initialize(a.instance());
  H2::chart_initialize(b.instance());
  Q1::chart_initialize(c.instance());
  EXPECT_NE(a.instance()->chart_number, b.instance()->chart_number);
  EXPECT_NE(a.instance()->chart_number, c.instance()->chart_number);
  a.z = b.z = c.z = -1.0;  // below the first breakpoint
  H1::chart_step(a.instance());
  H2::chart_step(b.instance());
  Q1::chart_step(c.instance());
  EXPECT_EQ(a.y1, -2.0);
  EXPECT_EQ(b.y1, -2.0);
  EXPECT_TRUE(std::isnan(c.y1));
  H2::chart_terminate(b.instance());
  H1::chart_step(a.instance());
  H1::chart_terminate(a.instance());
  Q1::chart_terminate(c.instance());
  registry::Lifecycle<harnvale::Model>::machine_terminate();
  registry::Lifecycle<harnvale::Model>::machine_terminate();
  registry::Lifecycle<quimbrel::Model>::machine_terminate();
  EXPECT_EQ(host::mx::live_count(), live);
  EXPECT_EQ(host::ut::outstanding_blocks(), heap);
}

}  // namespace
}  // namespace chart_test
