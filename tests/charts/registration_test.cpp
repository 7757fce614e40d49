// Registration of chart blocks with the host's debugger and coverage tool.
#include <string>
#include <vector>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

template <class Chart>
class RegistrationTest : public ChartTest<Chart> {};
TYPED_TEST_SUITE(RegistrationTest, AllCharts);

bool is_debugger_call(const host::trace::Call& c) {
  return c.op.rfind("sf_debug_", 0) == 0 || c.op.rfind("cv_eml_", 0) == 0;
}
std::vector<host::trace::Call> debugger_calls(const std::vector<host::trace::Call>& calls) {
  std::vector<host::trace::Call> out;
  for (const auto& c : calls)
    if (is_debugger_call(c)) out.push_back(c);
  return out;
}

const std::vector<std::string> kDeclaration = {"sf_debug_set_chart_disable_implicit_casting",
                                               "sf_debug_set_chart_event_thresholds",
                                               "sf_debug_set_chart_data_props",
                                               "sf_debug_set_chart_data_props",
                                               "sf_debug_set_chart_data_props",
                                               "sf_debug_set_chart_data_props",
                                               "sf_debug_set_chart_state_info",
                                               "sf_debug_set_chart_substate_count",
                                               "sf_debug_set_chart_decomposition"};
const std::vector<std::string> kPerBlock = {"sf_debug_cv_init_chart",
                                            "sf_debug_cv_init_state",
                                            "sf_debug_cv_init_trans",
                                            "cv_eml_init_script",
                                            "cv_eml_init_fcn",
                                            "sf_debug_set_chart_data_compiled_props",
                                            "sf_debug_set_chart_data_compiled_props",
                                            "sf_debug_set_chart_data_compiled_props",
                                            "sf_debug_set_chart_data_compiled_props",
                                            "sf_debug_set_instance_data_value_ptr",
                                            "sf_debug_set_instance_data_value_ptr",
                                            "sf_debug_set_instance_data_value_ptr",
                                            "sf_debug_set_instance_data_value_ptr"};

std::vector<std::string> full_registration(bool declare) {
  std::vector<std::string> e = {"sf_debug_initialize_chart"};
  if (declare) e.insert(e.end(), kDeclaration.begin(), kDeclaration.end());
  e.insert(e.end(), kPerBlock.begin(), kPerBlock.end());
  return e;
}

TYPED_TEST(RegistrationTest, FirstBlockDeclaresTheChart) {
  constexpr int N = TypeParam::N;
  Block& b = this->add_block();
  host::trace::Collector rec;
  TypeParam::chart_start(&b.S);
  const auto calls = debugger_calls(rec.calls());
  EXPECT_EQ(ops(calls), full_registration(true));
  ASSERT_FALSE(calls.empty());
  // The chart file number and the data count.
  EXPECT_EQ(calls[0].args.at(2), std::to_string(TypeParam::column.number));
  EXPECT_EQ(calls[0].args.at(6), "4");
  const auto fcn = only(calls, {"cv_eml_init_fcn"});
  ASSERT_EQ(fcn.size(), 1u);
  EXPECT_EQ(fcn[0].args.at(6), "\"eML_blk_kernel\"");
  EXPECT_EQ(fcn[0].args.at(9), std::to_string(TypeParam::Model::cv_fcn_last_arg));

  const ChartInstance* inst = b.instance();
  ASSERT_NE(inst->chart_number, 0u);
  ASSERT_NE(inst->instance_number, 0u);
  const host::sf_runtime::ChartRecord* chart = host::sf_runtime::chart(inst->chart_number);
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->file_number, static_cast<unsigned>(TypeParam::column.number));
  EXPECT_EQ(chart->machine_number, this->model().machine_number);
  ASSERT_EQ(chart->data.size(), 4u);
  const char* names[4] = {"x", "y", "z", "y1"};
  const unsigned scope[4] = {1, 1, 1, 2};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(chart->data[i].name, names[i]);
    EXPECT_EQ(chart->data[i].scope, scope[i]);
    EXPECT_EQ(chart->data[i].is_input, i < 3 ? 1u : 0u);
    EXPECT_EQ(chart->data[i].is_output, i < 3 ? 0u : 1u);
  }
  EXPECT_EQ(chart->state_info, (std::array<unsigned, 3>{0, 0, 2}));
  EXPECT_EQ(chart->disable_implicit_casting, 1u);

  const host::sf_runtime::ChartInstanceRecord* rec_inst =
      host::sf_runtime::chart_instance(inst->chart_number, inst->instance_number);
  ASSERT_NE(rec_inst, nullptr);
  ASSERT_EQ(rec_inst->compiled.size(), 4u);
  EXPECT_EQ(rec_inst->compiled[0].dims, std::vector<unsigned>{unsigned(N)});
  EXPECT_EQ(rec_inst->compiled[1].dims, std::vector<unsigned>{unsigned(N)});
  EXPECT_TRUE(rec_inst->compiled[2].dims.empty());
  EXPECT_TRUE(rec_inst->compiled[3].dims.empty());
  EXPECT_EQ(rec_inst->compiled[0].to_mx, &TypeParam::table_to_mx);
  EXPECT_EQ(rec_inst->compiled[1].to_mx, &TypeParam::table_to_mx);
  EXPECT_EQ(rec_inst->compiled[2].to_mx, &TypeParam::double_to_mx);
  EXPECT_EQ(rec_inst->compiled[3].to_mx, &TypeParam::double_to_mx);
  EXPECT_EQ(rec_inst->compiled[3].from_mx, &TypeParam::mx_to_double);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(rec_inst->compiled[i].from_mx, nullptr);
  for (const auto& c : rec_inst->compiled) {
    EXPECT_EQ(c.d0, 0.0);
    EXPECT_EQ(c.d1, 1.0);
  }
  ASSERT_EQ(rec_inst->value_ptrs.size(), 4u);
  EXPECT_EQ(rec_inst->value_ptrs[0], b.x.data());
  EXPECT_EQ(rec_inst->value_ptrs[1], b.y.data());
  EXPECT_EQ(rec_inst->value_ptrs[2], &b.z);
  EXPECT_EQ(rec_inst->value_ptrs[3], &b.y1);
  // The live values are fetched output first, then inputs 2, 1, 0.
  EXPECT_EQ(rec_inst->compiled.size(), 4u);
}

// Every argument of every call of a first registration, addresses included.
TYPED_TEST(RegistrationTest, FirstRegistrationArgumentsInFull) {
  constexpr int N = TypeParam::N;
  using host::trace::arg;
  auto fn = [](auto f) { return arg(reinterpret_cast<const void*>(f)); };
  Block& b = this->add_block();
  host::trace::Collector rec;
  TypeParam::chart_start(&b.S);
  const auto calls = debugger_calls(rec.calls());
  ASSERT_FALSE(calls.empty());
  const std::string di = calls[0].args.at(0);
  const ChartInstance* inst = b.instance();
  const std::string head = di + " " + std::to_string(this->model().machine_number) + " ";
  const std::string cn = std::to_string(inst->chart_number);
  const std::string chart = head + cn + " ";
  const std::string block = chart + std::to_string(inst->instance_number) + " ";
  const std::string dims = "[" + std::to_string(N) + "]";
  const std::string to_table = fn(&TypeParam::table_to_mx);
  const std::string to_double = fn(&TypeParam::double_to_mx);
  const std::string from_double = fn(&TypeParam::mx_to_double);
  const std::string E = std::to_string(TypeParam::Model::cv_fcn_last_arg);
  const std::vector<std::string> expected = {
      "sf_debug_initialize_chart " + head + std::to_string(TypeParam::column.number) +
          " 1 1 0 4 0 0 0 0 0 " + arg(&inst->chart_number) + " " + arg(&inst->instance_number) +
          " " + arg(&b.S) + " 0",
      "sf_debug_set_chart_disable_implicit_casting " + chart + "1",
      "sf_debug_set_chart_event_thresholds " + chart + "0 0 0",
      "sf_debug_set_chart_data_props " + chart + "0 1 1 0 \"x\"",
      "sf_debug_set_chart_data_props " + chart + "1 1 1 0 \"y\"",
      "sf_debug_set_chart_data_props " + chart + "2 1 1 0 \"z\"",
      "sf_debug_set_chart_data_props " + chart + "3 2 0 1 \"y1\"",
      "sf_debug_set_chart_state_info " + chart + "0 0 2",
      "sf_debug_set_chart_substate_count " + chart + "0",
      "sf_debug_set_chart_decomposition " + chart + "0",
      "sf_debug_cv_init_chart " + block + "0 0 0 0",
      "sf_debug_cv_init_state " + block + "0 0 0 0 0 0 null null",
      "sf_debug_cv_init_trans " + block + "0 0 null null 0 null",
      "cv_eml_init_script " + block + "0 1 1 0 0 0 0 0 0 0 0 0",
      "cv_eml_init_fcn " + block + "0 0 \"eML_blk_kernel\" 0 -1 " + E,
      "sf_debug_set_chart_data_compiled_props " + block + "0 0 1 " + dims + " 0 0 0 0 1 0 0 " +
          to_table + " null 0",
      "sf_debug_set_chart_data_compiled_props " + block + "1 0 1 " + dims + " 0 0 0 0 1 0 0 " +
          to_table + " null 0",
      "sf_debug_set_chart_data_compiled_props " + block + "2 0 0 [] 0 0 0 0 1 0 0 " + to_double +
          " null 0",
      "sf_debug_set_chart_data_compiled_props " + block + "3 0 0 [] 0 0 0 0 1 0 0 " + to_double +
          " " + from_double + " 0",
      "sf_debug_set_instance_data_value_ptr " + block + "0 " + arg(b.x.data()) + " null 0",
      "sf_debug_set_instance_data_value_ptr " + block + "1 " + arg(b.y.data()) + " null 0",
      "sf_debug_set_instance_data_value_ptr " + block + "2 " + arg(&b.z) + " null 0",
      "sf_debug_set_instance_data_value_ptr " + block + "3 " + arg(&b.y1) + " null 0",
  };
  std::vector<std::string> got;
  for (const auto& c : calls)
    got.push_back(c.line());
  EXPECT_EQ(got, expected);
}

TYPED_TEST(RegistrationTest, SecondBlockOfTheSameChartSkipsTheDeclaration) {
  Block& first = this->add_block();
  TypeParam::chart_start(&first.S);
  Block& second = this->add_block();
  host::trace::Collector rec;
  TypeParam::chart_start(&second.S);
  EXPECT_EQ(ops(debugger_calls(rec.calls())), full_registration(false));
  const ChartInstance* a = first.instance();
  const ChartInstance* b = second.instance();
  EXPECT_EQ(a->chart_number, b->chart_number);
  EXPECT_NE(a->instance_number, b->instance_number);
  const auto* rb = host::sf_runtime::chart_instance(b->chart_number, b->instance_number);
  const auto* ra = host::sf_runtime::chart_instance(a->chart_number, a->instance_number);
  ASSERT_NE(ra, nullptr);
  ASSERT_NE(rb, nullptr);
  EXPECT_EQ(rb->value_ptrs[0], second.x.data());
  EXPECT_EQ(rb->value_ptrs[3], &second.y1);
  EXPECT_EQ(ra->value_ptrs[0], first.x.data());
  EXPECT_EQ(ra->value_ptrs[3], &first.y1);
}

TYPED_TEST(RegistrationTest, LaterInitialisationsOnlyReset) {
  Block& b = this->add_block();
  TypeParam::chart_start(&b.S);
  const ChartInstance* inst = b.instance();
  host::trace::Collector rec;
  TypeParam::chart_debug_initialize(&b.S, 0);
  const auto calls = debugger_calls(rec.calls());
  ASSERT_EQ(ops(calls), std::vector<std::string>{"sf_debug_reset_current_state_configuration"});
  EXPECT_EQ(calls[0].args.at(2), std::to_string(inst->chart_number));
  EXPECT_EQ(calls[0].args.at(3), std::to_string(inst->instance_number));
  EXPECT_EQ(
      host::sf_runtime::chart_instance(inst->chart_number, inst->instance_number)->reset_count, 1u);
}

// Initialising a started block: one debugger call, the reset, with the numbers
// that the host assigned at start.
TYPED_TEST(RegistrationTest, ChartInitializeMakesOnlyTheReset) {
  Block& b = this->add_block();
  TypeParam::chart_start(&b.S);
  const ChartInstance* inst = b.instance();
  const std::size_t charts_declared = host::sf_runtime::chart(inst->chart_number)->data.size();
  host::trace::Collector rec;
  TypeParam::chart_initialize(b.instance());
  const auto calls = debugger_calls(rec.calls());
  ASSERT_EQ(ops(calls), std::vector<std::string>{"sf_debug_reset_current_state_configuration"});
  EXPECT_EQ(calls[0].args.at(1), std::to_string(this->model().machine_number));
  EXPECT_EQ(calls[0].args.at(2), std::to_string(inst->chart_number));
  EXPECT_EQ(calls[0].args.at(3), std::to_string(inst->instance_number));
  EXPECT_EQ(host::sf_runtime::chart(inst->chart_number)->data.size(), charts_declared);
}

TYPED_TEST(RegistrationTest, NoRegistrationBitOnTheRootOnlyResets) {
  Block& b = this->add_block();
  TypeParam::chart_start(&b.S);
  const ChartInstance* inst = b.instance();
  this->root_.info.flags |= SS_MDLINFO_NO_DEBUG_REGISTRATION;
  host::trace::Collector rec;
  TypeParam::chart_debug_initialize(&b.S, 1);
  const auto calls = debugger_calls(rec.calls());
  ASSERT_EQ(ops(calls), std::vector<std::string>{"sf_debug_reset_current_state_configuration"});
  EXPECT_EQ(calls[0].args.at(3), std::to_string(inst->instance_number));
  // The bit is read on the root's model information, not on the block's.
  this->root_.info.flags = 0;
  SsModelInfo own = this->root_.info;
  own.flags = SS_MDLINFO_NO_DEBUG_REGISTRATION;
  b.S.mdl_info = &own;
  rec.clear();
  TypeParam::chart_debug_initialize(&b.S, 1);
  EXPECT_EQ(ops(debugger_calls(rec.calls())), full_registration(false));
  b.S.mdl_info = &this->root_.info;
}

TYPED_TEST(RegistrationTest, CodeGenerationRegistersNothing) {
  Block& b = this->add_block(SS_SIM_RTW_GEN);
  host::trace::Collector rec;
  TypeParam::chart_start(&b.S);
  TypeParam::chart_initialize(b.instance());
  EXPECT_TRUE(debugger_calls(rec.calls()).empty());
  EXPECT_EQ(b.instance()->chart_number, 0u);
  EXPECT_EQ(b.instance()->instance_number, 0u);
}

}  // namespace
}  // namespace chart_test
