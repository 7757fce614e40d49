// Debug instances, machines and chart registration: numbering, the "already
// declared" answer, what is kept for read-back, and the errors of misuse.
#include <functional>
#include <string>
#include <vector>

#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

SimStruct block_a{}, block_b{}, block_c{};

const mxArray* show_nothing(void*, void*) {
  return nullptr;
}
void edit_nothing(void*, const mxArray*, const char*, void*) {}

TEST_F(RuntimeTest, DebugInstancesAndMachinesAreNumberedInOrder) {
  void* d1 = sf_debug_create_debug_instance_struct();
  void* d2 = sf_debug_create_debug_instance_struct();
  EXPECT_NE(d1, d2);
  EXPECT_EQ(host::sf_runtime::debug_instance_id(d1), 1);
  EXPECT_EQ(host::sf_runtime::debug_instance_id(d2), 2);
  int other = 0;
  EXPECT_EQ(host::sf_runtime::debug_instance_id(&other), 0);

  EXPECT_EQ(sf_debug_initialize_machine(d1, "Harnvale", "sfun", 0, 3, 0, 0, 0), 1u);
  EXPECT_EQ(sf_debug_initialize_machine(d2, "Quimbrel", "sfun", 0, 2, 5, 6, 7), 2u);
  sf_debug_set_machine_event_thresholds(d2, 2, 8, 9);
  sf_debug_set_machine_data_thresholds(d2, 2, 10);

  const host::sf_runtime::MachineRecord* m1 = host::sf_runtime::machine(1);
  ASSERT_NE(m1, nullptr);
  EXPECT_EQ(m1->name, "Harnvale");
  EXPECT_EQ(m1->debug_instance, 1);
  EXPECT_FALSE(m1->event_thresholds.has_value());
  EXPECT_FALSE(m1->data_threshold.has_value());
  const host::sf_runtime::MachineRecord* m2 = host::sf_runtime::machine(2);
  ASSERT_NE(m2, nullptr);
  EXPECT_EQ(m2->name, "Quimbrel");
  EXPECT_EQ(m2->target, "sfun");
  EXPECT_EQ(m2->debug_instance, 2);
  EXPECT_EQ(m2->chart_count, 2u);
  EXPECT_EQ(m2->data_count, 5u);
  EXPECT_EQ(m2->event_count, 6u);
  EXPECT_EQ(m2->reserved, 7u);
  EXPECT_EQ(m2->event_thresholds, (std::array<unsigned, 2>{8, 9}));
  EXPECT_EQ(m2->data_threshold, 10u);
  EXPECT_EQ(host::sf_runtime::machine(3), nullptr);

  // The machine counter is process-wide and goes on after a terminate.
  sf_debug_terminate(d1);
  EXPECT_TRUE(host::sf_runtime::debug_instance_terminated(d1));
  void* d3 = sf_debug_create_debug_instance_struct();
  EXPECT_EQ(host::sf_runtime::debug_instance_id(d3), 3);
  EXPECT_EQ(sf_debug_initialize_machine(d3, "Harnvale", "sfun", 0, 3, 0, 0, 0), 3u);

  // reset() starts every counter again.
  host::sf_runtime::reset();
  void* d4 = sf_debug_create_debug_instance_struct();
  EXPECT_EQ(host::sf_runtime::debug_instance_id(d4), 1);
  EXPECT_EQ(sf_debug_initialize_machine(d4, "Harnvale", "sfun", 0, 3, 0, 0, 0), 1u);
}

TEST_F(RuntimeTest, ChartNumbersAndInstanceNumbersAcrossBlocksAndInstances) {
  start_machine();
  unsigned chart = 0, instance = 0;
  // First block of chart 1: a new chart number, instance 1, not yet declared.
  EXPECT_EQ(register_chart(1, &block_a, &chart, &instance), 0u);
  EXPECT_EQ(chart, 101u);
  EXPECT_EQ(instance, 1u);
  // Second block of chart 1: same chart number, instance 2, already declared.
  EXPECT_EQ(register_chart(1, &block_b, &chart, &instance), 1u);
  EXPECT_EQ(chart, 101u);
  EXPECT_EQ(instance, 2u);
  // Chart 2 of the same machine: its own number, instances counted per chart.
  EXPECT_EQ(register_chart(2, &block_c, &chart, &instance), 0u);
  EXPECT_EQ(chart, 102u);
  EXPECT_EQ(instance, 1u);
  // The first block registering again keeps its instance number.
  EXPECT_EQ(register_chart(1, &block_a, &chart, &instance), 1u);
  EXPECT_EQ(chart, 101u);
  EXPECT_EQ(instance, 1u);
  EXPECT_EQ(host::sf_runtime::chart_instance(101, 1)->registrations, 2u);
  EXPECT_EQ(host::sf_runtime::chart_instance(101, 2)->registrations, 1u);
  EXPECT_EQ(host::sf_runtime::chart(101)->instances.size(), 2u);

  // Another machine on the same instance declares its chart 1 afresh.
  const unsigned other = sf_debug_initialize_machine(dbg_, "Quimbrel", "sfun", 0, 2, 0, 0, 0);
  EXPECT_EQ(sf_debug_initialize_chart(dbg_, other, 1, 1, 1, 0, 4, 0, 0, 0, 0, 0, &chart, &instance,
                                      &block_a, 0),
            0u);
  EXPECT_EQ(chart, 103u);
  EXPECT_EQ(instance, 1u);

  // A new debug instance (the model started again) declares everything again.
  sf_debug_terminate(dbg_);
  void* old = dbg_;
  start_machine();
  EXPECT_EQ(machine_, 3u);
  EXPECT_EQ(register_chart(1, &block_a, &chart, &instance), 0u);
  EXPECT_EQ(chart, 104u);
  EXPECT_EQ(instance, 1u);
  EXPECT_EQ(host::sf_runtime::chart_of(dbg_, machine_, 1)->chart_number, 104u);
  EXPECT_EQ(host::sf_runtime::chart_of(old, 1, 1)->chart_number, 101u);
  EXPECT_EQ(host::sf_runtime::chart_of(dbg_, 1, 1), nullptr);
  // By machine name, on any instance: the first declared.
  EXPECT_EQ(host::sf_runtime::first_chart_of("Harnvale", 1)->chart_number, 101u);
  EXPECT_EQ(host::sf_runtime::first_chart_of("Quimbrel", 1)->chart_number, 103u);
  EXPECT_EQ(host::sf_runtime::first_chart_of("Quimbrel", 2), nullptr);
}

TEST_F(RuntimeTest, DeclarationsAreKeptForReadBack) {
  start_machine();
  unsigned chart = 0, instance = 0;
  register_chart(3, &block_a, &chart, &instance);
  sf_debug_set_chart_disable_implicit_casting(dbg_, machine_, chart, 1);
  sf_debug_set_chart_event_thresholds(dbg_, machine_, chart, 4, 5, 6);
  sf_debug_set_chart_data_props(dbg_, machine_, chart, 0, 1, 1, 0, "x");
  sf_debug_set_chart_data_props(dbg_, machine_, chart, 3, 2, 0, 1, "y1");
  sf_debug_set_chart_state_info(dbg_, machine_, chart, 0, 0, 2);
  sf_debug_set_chart_substate_count(dbg_, machine_, chart, 7);
  sf_debug_set_chart_decomposition(dbg_, machine_, chart, 8);
  const unsigned n = 243;
  sf_debug_set_chart_data_compiled_props(dbg_, machine_, chart, instance, 0, 0, 1, &n, 0, 0, 0, 0.0,
                                         1.0, 0, 0, show_nothing, nullptr, 0);
  sf_debug_set_chart_data_compiled_props(dbg_, machine_, chart, instance, 3, 0, 0, nullptr, 0, 0, 0,
                                         0.0, 1.0, 0, 0, show_nothing, edit_nothing, 0);
  double y1 = 0;
  sf_debug_set_instance_data_value_ptr(dbg_, machine_, chart, instance, 3, &y1, nullptr, 0);
  sf_debug_reset_current_state_configuration(dbg_, machine_, chart, instance);
  sf_debug_reset_current_state_configuration(dbg_, machine_, chart, instance);
  sf_debug_cv_init_chart(dbg_, machine_, chart, instance, 0, 0, 0, 0);
  cv_eml_init_fcn(dbg_, machine_, chart, instance, 0, 0, "eML_blk_kernel", 0, -1, 62);

  const host::sf_runtime::ChartRecord* c = host::sf_runtime::chart(chart);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->file_number, 3u);
  EXPECT_EQ(c->machine_number, machine_);
  EXPECT_EQ(c->data_count, 4u);
  EXPECT_EQ(c->disable_implicit_casting, 1u);
  EXPECT_EQ(c->event_thresholds, (std::array<unsigned, 3>{4, 5, 6}));
  EXPECT_EQ(c->state_info, (std::array<unsigned, 3>{0, 0, 2}));
  EXPECT_EQ(c->substate_count, 7u);
  EXPECT_EQ(c->decomposition, 8u);
  ASSERT_EQ(c->data.size(), 4u);
  EXPECT_TRUE(c->data[0].set);
  EXPECT_EQ(c->data[0].name, "x");
  EXPECT_EQ(c->data[0].scope, 1u);
  EXPECT_EQ(c->data[0].is_input, 1u);
  EXPECT_FALSE(c->data[1].set);
  EXPECT_EQ(c->data[3].name, "y1");
  EXPECT_EQ(c->data[3].is_output, 1u);

  const host::sf_runtime::ChartInstanceRecord* ci =
      host::sf_runtime::chart_instance(chart, instance);
  ASSERT_NE(ci, nullptr);
  EXPECT_EQ(ci->simstruct, &block_a);
  EXPECT_EQ(ci->compiled[0].dims, std::vector<unsigned>{243});
  EXPECT_EQ(ci->compiled[0].d1, 1.0);
  EXPECT_EQ(ci->compiled[0].to_mx, &show_nothing);
  EXPECT_EQ(ci->compiled[0].from_mx, nullptr);
  EXPECT_FALSE(ci->compiled[1].set);
  EXPECT_TRUE(ci->compiled[3].dims.empty());
  EXPECT_EQ(ci->compiled[3].from_mx, &edit_nothing);
  EXPECT_EQ(ci->value_ptrs[3], &y1);
  EXPECT_EQ(ci->value_ptrs[0], nullptr);
  EXPECT_EQ(ci->reset_count, 2u);
  ASSERT_EQ(ci->coverage.size(), 2u);
  EXPECT_EQ(ci->coverage[0].line(), "sf_debug_cv_init_chart dbg#1 1 101 1 0 0 0 0");
  EXPECT_EQ(ci->coverage[1].line(), "cv_eml_init_fcn dbg#1 1 101 1 0 0 \"eML_blk_kernel\" 0 -1 62");
}

// Each case: a misuse of the registration calls and the host error it raises.
struct MisuseCase {
  std::string name;
  std::function<void(void* dbg, unsigned machine, unsigned chart)> call;
  std::string identifier, message;
};

class RegistrationErrorTest : public RuntimeTest,
                              public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(RegistrationErrorTest, RaisesNamingTheProblem) {
  start_machine();
  unsigned chart = 0, instance = 0;
  register_chart(1, &block_a, &chart, &instance);
  const MisuseCase& c = GetParam();
  EXPECT_HOST_ERROR(c.call(dbg_, machine_, chart), c.identifier.c_str(), c.message.c_str());
}

int not_an_instance = 0;

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistrationErrorTest,
    ::testing::Values(
        MisuseCase{"NullInstance",
                   [](void*, unsigned m, unsigned c) {
                     sf_debug_set_chart_substate_count(nullptr, m, c, 0);
                   },
                   "Stateflow:Runtime:InvalidDebugInstance",
                   "sf_debug_set_chart_substate_count: no debug instance (null)."},
        MisuseCase{"ForeignHandle",
                   [](void*, unsigned m, unsigned c) {
                     sf_debug_call(&not_an_instance, m, c, 1, 1, 1, 0, 0, -1, 0, nullptr, 0.0, 1,
                                   0);
                   },
                   "Stateflow:Runtime:InvalidDebugInstance",
                   "sf_debug_call: the handle is not a debug instance of this runtime."},
        MisuseCase{"TerminatedInstance",
                   [](void* d, unsigned m, unsigned c) {
                     sf_debug_terminate(d);
                     sf_debug_integer_check(d, m, c, 1, "", 1.0);
                   },
                   "Stateflow:Runtime:InvalidDebugInstance",
                   "sf_debug_integer_check: debug instance dbg#1 has been terminated."},
        MisuseCase{"TerminatedTwice",
                   [](void* d, unsigned, unsigned) {
                     sf_debug_terminate(d);
                     sf_debug_terminate(d);
                   },
                   "Stateflow:Runtime:InvalidDebugInstance",
                   "sf_debug_terminate: debug instance dbg#1 has been terminated."},
        MisuseCase{
            "UnknownMachine",
            [](void* d, unsigned, unsigned) { sf_debug_set_machine_data_thresholds(d, 9, 0); },
            "Stateflow:Runtime:UnknownMachine",
            "sf_debug_set_machine_data_thresholds: machine 9 is not registered on debug "
            "instance dbg#1."},
        MisuseCase{"MachineOfAnotherInstance",
                   [](void*, unsigned m, unsigned) {
                     void* other = sf_debug_create_debug_instance_struct();
                     unsigned c = 0, i = 0;
                     sf_debug_initialize_chart(other, m, 1, 1, 1, 0, 4, 0, 0, 0, 0, 0, &c, &i,
                                               nullptr, 0);
                   },
                   "Stateflow:Runtime:UnknownMachine",
                   "sf_debug_initialize_chart: machine 1 is not registered on debug instance "
                   "dbg#2."},
        MisuseCase{"NoNumberAddresses",
                   [](void* d, unsigned m, unsigned) {
                     unsigned c = 0;
                     sf_debug_initialize_chart(d, m, 2, 1, 1, 0, 4, 0, 0, 0, 0, 0, &c, nullptr,
                                               nullptr, 0);
                   },
                   "Stateflow:Runtime:InvalidArgument",
                   "sf_debug_initialize_chart: no address for the chart or instance number."},
        MisuseCase{
            "UnknownChart",
            [](void* d, unsigned m, unsigned) { sf_debug_set_chart_decomposition(d, m, 1, 0); },
            "Stateflow:Runtime:UnknownChart",
            "sf_debug_set_chart_decomposition: chart 1 of machine 1 is not registered on "
            "debug instance dbg#1."},
        MisuseCase{"ChartOfAnotherMachine",
                   [](void* d, unsigned, unsigned c) {
                     const unsigned other =
                         sf_debug_initialize_machine(d, "Quimbrel", "sfun", 0, 2, 0, 0, 0);
                     sf_debug_check_for_state_inconsistency(d, other, c, 1);
                   },
                   "Stateflow:Runtime:UnknownChart",
                   "sf_debug_check_for_state_inconsistency: chart 101 of machine 2 is not "
                   "registered on debug instance dbg#1."},
        MisuseCase{"UnknownInstance",
                   [](void* d, unsigned m, unsigned c) {
                     sf_debug_reset_current_state_configuration(d, m, c, 2);
                   },
                   "Stateflow:Runtime:UnknownChartInstance",
                   "sf_debug_reset_current_state_configuration: chart 101 has no instance 2."},
        MisuseCase{"InstanceZero",
                   [](void* d, unsigned m, unsigned c) {
                     eml_debug_line_call(d, m, c, 0, 0, -1, 3, 0.0, 0, 0);
                   },
                   "Stateflow:Runtime:UnknownChartInstance",
                   "eml_debug_line_call: chart 101 has no instance 0."},
        MisuseCase{"DataNumberBeyondCount",
                   [](void* d, unsigned m, unsigned c) {
                     sf_debug_set_chart_data_props(d, m, c, 4, 1, 1, 0, "w");
                   },
                   "Stateflow:Runtime:InvalidDataNumber",
                   "sf_debug_set_chart_data_props: data number 4 is out of range for chart 101, "
                   "which has 4 data."},
        MisuseCase{"NoDataName",
                   [](void* d, unsigned m, unsigned c) {
                     sf_debug_set_chart_data_props(d, m, c, 0, 1, 1, 0, nullptr);
                   },
                   "Stateflow:Runtime:InvalidArgument",
                   "sf_debug_set_chart_data_props: no data name."},
        MisuseCase{"DimensionsMissing",
                   [](void* d, unsigned m, unsigned c) {
                     sf_debug_set_chart_data_compiled_props(d, m, c, 1, 0, 0, 1, nullptr, 0, 0, 0,
                                                            0.0, 1.0, 0, 0, nullptr, nullptr, 0);
                   },
                   "Stateflow:Runtime:InvalidArgument",
                   "sf_debug_set_chart_data_compiled_props: 1 dimensions announced but none "
                   "given."},
        MisuseCase{"ValuePointerDataBeyondCount",
                   [](void* d, unsigned m, unsigned c) {
                     double v = 0;
                     sf_debug_set_instance_data_value_ptr(d, m, c, 1, 7, &v, nullptr, 0);
                   },
                   "Stateflow:Runtime:InvalidDataNumber",
                   "sf_debug_set_instance_data_value_ptr: data number 7 is out of range for chart "
                   "101, which has 4 data."},
        MisuseCase{"NoMachineName",
                   [](void* d, unsigned, unsigned) {
                     sf_debug_initialize_machine(d, nullptr, "sfun", 0, 1, 0, 0, 0);
                   },
                   "Stateflow:Runtime:InvalidArgument",
                   "sf_debug_initialize_machine: no machine name."}),
    [](const ::testing::TestParamInfo<MisuseCase>& info) { return info.param.name; });

TEST_F(RuntimeTest, RecordsSurviveTheTerminateOfTheirInstance) {
  start_machine();
  unsigned chart = 0, instance = 0;
  register_chart(1, &block_a, &chart, &instance);
  sf_debug_terminate(dbg_);
  ASSERT_NE(host::sf_runtime::chart(chart), nullptr);
  EXPECT_EQ(host::sf_runtime::chart_instance(chart, instance)->simstruct, &block_a);
  EXPECT_EQ(host::sf_runtime::machine(machine_)->name, "Harnvale");
  // sf_debug_api takes any handle: the model may have no live block.
  EXPECT_EQ(sf_debug_api(dbg_, 0, nullptr, 0, nullptr), 0u);
  EXPECT_EQ(sf_debug_api(nullptr, 0, nullptr, 0, nullptr), 0u);
}

}  // namespace

// What the engine reads of a block after its start: every instance record made with
// the block's SimStruct, in chart-number order, with its count of registrations.
TEST_F(RuntimeTest, RegistrationsOfEachBlock) {
  using R = host::sf_runtime::Registration;
  start_machine();
  unsigned chart = 0, instance = 0;
  register_chart(2, &block_a, &chart, &instance);  // chart 101, instance 1
  register_chart(1, &block_b, &chart, &instance);  // chart 102, instance 1
  register_chart(1, &block_a, &chart, &instance);  // chart 102, instance 2
  register_chart(1, &block_a, &chart, &instance);  // the same block again
  struct Row {
    const SimStruct* block;
    std::vector<R> expected;
  };
  for (const Row& row : {Row{&block_a, {R{101, 1, 1}, R{102, 2, 2}}}, Row{&block_b, {R{102, 1, 1}}},
                         Row{&block_c, {}}}) {
    EXPECT_EQ(host::sf_runtime::registrations_of(row.block), row.expected)
        << "block "
        << (row.block == &block_a   ? 'a'
            : row.block == &block_b ? 'b'
                                    : 'c');
  }
  host::sf_runtime::reset();
  EXPECT_TRUE(host::sf_runtime::registrations_of(&block_a).empty());
}

// reset() leaves the runtime as a new process finds it: every answer set by a test
// back to its default, every record and log gone, every counter from its start.
TEST_F(RuntimeTest, ResetRestoresEveryDefault) {
  start_machine();
  unsigned chart = 0, instance = 0;
  register_chart(1, &block_a, &chart, &instance);
  host::sf_runtime::set_data_range(machine_, chart, 1, 0.0, 1.0);
  EXPECT_THROW(sf_debug_data_range_wrapper(dbg_, machine_, chart, instance, 1, 5.0),
               host::HostError);
  host::sf_runtime::set_optimization_info_available(false);
  host::sf_runtime::set_chart_inlinable(7);
  host::sf_runtime::set_rtw_info_uint_prop("prop", 9);
  EXPECT_EQ(sf_load_rtw_optimization_info("Harnvale", "Harnvale"), nullptr);
  EXPECT_EQ(sf_is_chart_inlinable("id", nullptr, 1), 7u);

  host::sf_runtime::reset();
  EXPECT_EQ(host::sf_runtime::machine(1), nullptr);
  EXPECT_EQ(host::sf_runtime::chart(101), nullptr);
  EXPECT_TRUE(host::sf_runtime::codegen_calls().empty());
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), 0u);
  mxArray* info = sf_load_rtw_optimization_info("Harnvale", "Harnvale");
  EXPECT_NE(info, nullptr);
  EXPECT_EQ(sf_is_chart_inlinable("id", info, 1), 0u);
  EXPECT_EQ(sf_rtw_info_uint_prop("id", info, 1, "prop"), 0u);
  mxDestroyArray(info);
  start_machine();
  EXPECT_EQ(machine_, 1u);
  register_chart(1, &block_a, &chart, &instance);
  EXPECT_EQ(chart, 101u);
  EXPECT_NO_THROW(sf_debug_data_range_wrapper(dbg_, machine_, chart, instance, 1, 5.0));
}
