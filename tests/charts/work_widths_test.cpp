// Chart blocks in code generation: work widths and the generic calls, the
// optimisation information, parameter processing and the RTW record.
#include <string>
#include <vector>

#include "tests/charts/instance_fixture.hpp"

namespace chart_test {
namespace {

TYPED_TEST_SUITE(InstanceTest, AllCharts);

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

}  // namespace
}  // namespace chart_test
