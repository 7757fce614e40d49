// Life cycle of chart blocks: records, slots, dispatcher, work widths, saved state,
// allocation failures and ownership.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

template <class Chart>
class InstanceTest : public ChartTest<Chart> {
 protected:
  static std::string raised_message(auto&& fn) {
    host::mex::CallContext call(&fn);
    try {
      fn();
    } catch (const host::HostError& e) {
      return e.what();
    }
    return "<no raise>";
  }
};
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

TYPED_TEST(InstanceTest, SetWorkWidthsInPlainSimulation) {
  Block& b = this->add_block();
  b.S.methods.derivatives = [](SimStruct*) {};
  ssSetFlags(&b.S, SS_FLAG_RTWCG);
  TypeParam::method_dispatcher(&b.S, SS_METHOD_SET_WORK_WIDTHS, nullptr);
  EXPECT_EQ(ssGetOptions(&b.S), SS_OPTION_SFUNCTION_INLINED_FOR_RTW);
  EXPECT_EQ(ssGetFlags(&b.S), SS_FLAG_RTWCG | SS_FLAG_HAS_SUBFUNCTIONS);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(ssGetChecksum(&b.S, i), TypeParam::column.sfun_checksum[i]);
  EXPECT_EQ(b.S.methods.derivatives, nullptr);
  EXPECT_TRUE(generic_calls().empty());
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 0u);
  EXPECT_TRUE(host::sf_runtime::codegen_calls().empty());
  for (const SsPort& p : b.in)
    EXPECT_EQ(p.attributes, 0u);
  // With the host's block data present, one call with code 197 and a true value.
  int data = 0;
  b.S.host_block_data = &data;
  TypeParam::chart_set_work_widths(&b.S);
  EXPECT_EQ(generic_calls(), (std::vector<GenericCall>{{&b.S, SS_GEN_CODE_197, 0, true, true}}));
}

struct CodeGenCase {
  SsSimMode mode;
  unsigned inlinable;
  unsigned rtwcg;
  bool generic;
};

TYPED_TEST(InstanceTest, SetWorkWidthsForCodeGenerationAndExternalMode) {
  for (const CodeGenCase c :
       {CodeGenCase{SS_SIM_RTW_GEN, 0, 1, true}, CodeGenCase{SS_SIM_RTW_GEN, 1, 0, true},
        CodeGenCase{SS_SIM_EXTERNAL, 1, 3, true}, CodeGenCase{SS_SIM_EXTERNAL, 0, 0, true},
        CodeGenCase{SS_SIM_RTW_GEN, 1, 1, false}}) {
    SCOPED_TRACE(::testing::Message()
                 << "mode " << c.mode << " inlinable " << c.inlinable << " generic " << c.generic);
    host::sf_runtime::reset();
    generic_calls().clear();
    charts::unload_optimization_info<typename TypeParam::Model>();
    host::sf_runtime::set_chart_inlinable(c.inlinable);
    host::sf_runtime::set_rtw_info_uint_prop("RTWCG", c.rtwcg);
    host::sf_runtime::set_rtw_info_uint_prop("gatewayCannotBeInlinedMultipleTimes", 5);
    Block b(this->root_, TypeParam::N, c.mode);
    SsModelInfo info = this->root_.info;
    if (!c.generic) info.generic_fcn = nullptr;
    b.S.mdl_info = &info;
    b.in[0].attributes = 0x4;
    b.in[1].attributes = 0x6;
    ssSetFlags(&b.S, c.inlinable ? uint32_t{SS_FLAG_NOT_INLINABLE} : 0u);
    int host_data = 0;
    b.S.host_block_data = &host_data;
    host::trace::Collector rec;
    TypeParam::chart_set_work_widths(&b.S);

    // Runtime and generic calls interleaved, in the documented order.
    std::vector<std::string> order;
    for (const auto& call : rec.calls()) {
      if (call.op == "generic_fcn")
        order.push_back("generic " + call.args.at(0) + " " + call.args.at(1));
      else if (call.op.rfind("sf_", 0) == 0)
        order.push_back(call.op);
    }
    std::vector<std::string> expected_order = {"sf_load_rtw_optimization_info",
                                               "sf_is_chart_inlinable"};
    const std::string inl = std::to_string(c.inlinable);
    if (c.generic) expected_order.push_back("generic 31 " + inl);
    expected_order.push_back("sf_rtw_info_uint_prop");
    if (c.generic) {
      expected_order.insert(expected_order.end(), {"generic 92 1", "generic 93 1",
                                                   "sf_rtw_info_uint_prop", "generic 98 5"});
    }
    expected_order.push_back("sf_update_buildInfo");
    if (c.inlinable) {
      expected_order.push_back("sf_mark_chart_expressionable_inputs");
      expected_order.push_back("sf_mark_chart_reusable_outputs");
    }
    expected_order.push_back("sf_set_rtw_dwork_info");
    if (c.generic) expected_order.push_back("generic 197 0");
    EXPECT_EQ(order, expected_order);

    const std::string id = std::string("\"") + TypeParam::column.specialization_id + "\"";
    const std::string n = std::to_string(TypeParam::column.number);
    std::vector<std::string> expected_ops = {"sf_is_chart_inlinable", "sf_rtw_info_uint_prop"};
    if (c.generic) expected_ops.push_back("sf_rtw_info_uint_prop");
    expected_ops.push_back("sf_update_buildInfo");
    if (c.inlinable) {
      expected_ops.push_back("sf_mark_chart_expressionable_inputs");
      expected_ops.push_back("sf_mark_chart_reusable_outputs");
    }
    expected_ops.push_back("sf_set_rtw_dwork_info");
    const auto& calls = host::sf_runtime::codegen_calls();
    std::vector<std::string> got_ops = ops(calls);
    got_ops.erase(std::remove(got_ops.begin(), got_ops.end(), "sf_load_rtw_optimization_info"),
                  got_ops.end());
    EXPECT_EQ(got_ops, expected_ops);
    for (const auto& call : calls) {
      if (call.op == "sf_load_rtw_optimization_info") continue;
      const auto& a = call.args;
      const bool on_simstruct =
          call.op.rfind("sf_mark", 0) == 0 || call.op == "sf_set_rtw_dwork_info";
      EXPECT_EQ(a.at(on_simstruct ? 1 : 0), id) << call.line();
      EXPECT_EQ(a.at(on_simstruct ? 3 : 2), n) << call.line();
    }
    const auto props = only(calls, {"sf_rtw_info_uint_prop"});
    ASSERT_GE(props.size(), 1u);
    EXPECT_EQ(props[0].args.at(3), "\"RTWCG\"");
    if (c.generic) {
      ASSERT_EQ(props.size(), 2u);
      EXPECT_EQ(props[1].args.at(3), "\"gatewayCannotBeInlinedMultipleTimes\"");
    }
    const auto marks =
        only(calls, {"sf_mark_chart_expressionable_inputs", "sf_mark_chart_reusable_outputs"});
    if (c.inlinable) {
      ASSERT_EQ(marks.size(), 2u);
      EXPECT_EQ(marks[0].args.at(4), "3");
      EXPECT_EQ(marks[1].args.at(4), "1");
    }
    EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 1u);

    std::vector<GenericCall> expected_generic;
    if (c.generic) {
      expected_generic = {{&b.S, SS_GEN_SET_INLINABLE, int(c.inlinable), false, false},
                          {&b.S, SS_GEN_CODE_92, 1, false, false},
                          {&b.S, SS_GEN_CODE_93, 1, false, false},
                          {&b.S, SS_GEN_GATEWAY_NOT_INLINABLE, 5, false, false},
                          {&b.S, SS_GEN_CODE_197, 0, true, true}};
    }
    EXPECT_EQ(generic_calls(), expected_generic);

    const uint32_t opt = c.inlinable ? uint32_t{SS_PORT_OPTIMIZE_REUSABLE} : 0u;
    EXPECT_EQ(b.in[0].attributes, SS_INPUT_PORT_OPTIMIZE_IN_IR | (c.inlinable ? opt : 0x4u));
    EXPECT_EQ(b.in[1].attributes, SS_INPUT_PORT_OPTIMIZE_IN_IR | (c.inlinable ? opt : 0x6u));
    EXPECT_EQ(b.in[2].attributes, SS_INPUT_PORT_OPTIMIZE_IN_IR | opt);
    EXPECT_EQ(b.out[1].attributes, SS_OUTPUT_PORT_OPTIMIZE_IN_IR);
    EXPECT_EQ(b.out[0].attributes, 0u);
    uint32_t flags = SS_FLAG_HAS_SUBFUNCTIONS;
    if (c.rtwcg & 1u) flags |= SS_FLAG_RTWCG;
    if (!c.inlinable) flags |= SS_FLAG_NOT_INLINABLE;
    EXPECT_EQ(ssGetFlags(&b.S), flags);
    EXPECT_EQ(ssGetOptions(&b.S), SS_OPTION_SFUNCTION_INLINED_FOR_RTW);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(ssGetChecksum(&b.S, i), TypeParam::column.sfun_checksum[i]);
  }
  charts::unload_optimization_info<typename TypeParam::Model>();
}

TYPED_TEST(InstanceTest, OptimisationInfoLoadedOnceDroppedAtCodeGenTerminate) {
  Block& plain = this->add_block();
  Block& b = this->add_block(SS_SIM_RTW_GEN);
  TypeParam::chart_set_work_widths(&b.S);
  TypeParam::chart_set_work_widths(&b.S);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 1u);
  ASSERT_NE(this->model().optimization_info, nullptr);
  TypeParam::chart_start(&b.S);
  host::trace::Collector rec;
  TypeParam::chart_terminate(b.instance());
  EXPECT_EQ(this->model().optimization_info, nullptr);
  EXPECT_EQ(only(rec.calls(), {"sf_clear_rtw_identifier"}).size(), 1u);
  TypeParam::chart_set_work_widths(&b.S);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 2u);
  // A plain terminate keeps the cache.
  TypeParam::chart_start(&plain.S);
  TypeParam::chart_terminate(plain.instance());
  EXPECT_NE(this->model().optimization_info, nullptr);
}

TYPED_TEST(InstanceTest, ProcessParameters) {
  Block& b = this->add_block();
  TypeParam::method_dispatcher(&b.S, SS_METHOD_PROCESS_PARAMETERS, nullptr);
  EXPECT_TRUE(generic_calls().empty());
  const uint32_t attributes[4] = {0x2, 0x1, 0x6, 0x0};
  b.S.num_run_time_params = 4;
  b.S.run_time_param_attributes = attributes;
  TypeParam::method_dispatcher(&b.S, SS_METHOD_PROCESS_PARAMETERS, nullptr);
  EXPECT_EQ(generic_calls(),
            (std::vector<GenericCall>{{&b.S, SS_GEN_UPDATE_RUNTIME_PARAM, 0, false, false},
                                      {&b.S, SS_GEN_UPDATE_RUNTIME_PARAM, 2, false, false}}));
  EXPECT_EQ(b.S.user_data, nullptr);
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

TYPED_TEST(InstanceTest, RtwWritesTheChartTypeOnlyForCodeGeneration) {
  struct Pair {
    int type;
    std::string name, value;
    int data_type, rows, cols;
  };
  static std::vector<Pair> pairs;
  pairs.clear();
  this->root_.info.rtw_writer = [](void*, int type, const char* name, const void* value,
                                   int data_type, int rows, int cols, int) {
    pairs.push_back({type, name, static_cast<const char*>(value), data_type, rows, cols});
    return 1;
  };
  Block& plain = this->add_block();
  TypeParam::chart_rtw(&plain.S);
  EXPECT_TRUE(pairs.empty());
  Block& gen = this->add_block(SS_SIM_RTW_GEN);
  TypeParam::chart_rtw(&gen.S);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].type, 1);
  EXPECT_EQ(pairs[0].name, "StateflowChartType");
  EXPECT_EQ(pairs[0].value, "Embedded MATLAB");
  EXPECT_EQ(pairs[0].rows, 1);
  EXPECT_EQ(pairs[0].cols, 1);
}

// Blocks of different charts of both models live side by side.
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
