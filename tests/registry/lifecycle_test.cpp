// The model life cycle of both models: start-up with the first block, shut-down with
// the last, the debug registration, the cached optimisation info, and the debug
// instance that the command chain hands to the runtime first. Every test leaves both
// models idle, as it found them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/mx_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "host/trace.hpp"
#include "models/catalogue_view.hpp"
#include "models/harnvale/model.hpp"
#include "models/quimbrel/model.hpp"
#include "platform/simstruc.h"
#include "registry/commands.hpp"
#include "registry/lifecycle.hpp"
#include "tests/registry/support.hpp"
#include "tests/support/host_guard.hpp"

namespace {

using regtest::Mx;
using Lines = std::vector<std::string>;

// The recorded calls as "op arg arg ...", block addresses left out of the mode query.
Lines lines(const host::trace::Collector& rec) {
  Lines out;
  for (const host::trace::Call& c : rec.calls())
    out.push_back(c.op == "sim_mode_is_rtw_gen" ? c.op : c.line());
  return out;
}

std::string dbg(const void* debug_instance) {
  return "dbg#" + std::to_string(host::sf_runtime::debug_instance_id(debug_instance));
}

template <class Model>
charts::ModelState& state() {
  return charts::model_state<Model>();
}

SimStruct block(SsSimMode mode) {
  SimStruct S{};
  S.sim_mode = mode;
  return S;
}

template <class Model>
class LifecycleTest : public test_support::HostTest {
 protected:
  using L = registry::Lifecycle<Model>;

  void SetUp() override {
    ASSERT_EQ(state<Model>().machine_use_count, 0) << "model not idle";
    ASSERT_EQ(state<Model>().debug_instance, nullptr);
    ASSERT_EQ(state<Model>().optimization_info, nullptr);
    HostTest::SetUp();
  }
  void TearDown() override {
    while (state<Model>().machine_use_count > 0)
      L::machine_terminate();
    charts::unload_optimization_info<Model>();
    host::sf_runtime::set_optimization_info_available(true);
    HostTest::TearDown();
  }

  // What a first start-up in normal simulation records, for the debug instance
  // and machine number that it made.
  static Lines registration(const void* debug_instance, unsigned machine_number) {
    const std::string d = dbg(debug_instance);
    const std::string n = std::to_string(machine_number);
    return {"sim_mode_is_rtw_gen", "sf_debug_create_debug_instance_struct",
            "sf_debug_initialize_machine " + d + " \"" + Model::name + "\" \"sfun\" 0 " +
                std::to_string(Model::chart_count) + " 0 0 0",
            "sf_debug_set_machine_event_thresholds " + d + " " + n + " 0 0",
            "sf_debug_set_machine_data_thresholds " + d + " " + n + " 0"};
  }
};

using Models = models::All::as<::testing::Types>;
TYPED_TEST_SUITE(LifecycleTest, Models);

TYPED_TEST(LifecycleTest, TwoBlocksShareOneDebugInstanceAndOneRegistration) {
  using L = typename TestFixture::L;
  charts::ModelState& m = state<TypeParam>();
  SimStruct a = block(SS_SIM_NORMAL), b = block(SS_SIM_NORMAL);

  host::trace::Collector rec;
  L::machine_initialize(&a);
  ASSERT_NE(m.debug_instance, nullptr);
  void* const first = m.debug_instance;
  EXPECT_EQ(lines(rec), TestFixture::registration(first, m.machine_number));
  EXPECT_EQ(m.machine_use_count, 1);
  const host::sf_runtime::MachineRecord* machine = host::sf_runtime::machine(m.machine_number);
  ASSERT_NE(machine, nullptr);
  EXPECT_EQ(machine->name, TypeParam::name);
  EXPECT_EQ(machine->target, "sfun");
  EXPECT_EQ(machine->chart_count, static_cast<unsigned>(TypeParam::chart_count));
  EXPECT_EQ(machine->debug_instance, host::sf_runtime::debug_instance_id(first));

  // The second block only asks for its mode and counts itself in.
  rec.clear();
  L::machine_initialize(&b);
  EXPECT_EQ(lines(rec), (Lines{"sim_mode_is_rtw_gen"}));
  EXPECT_EQ(m.machine_use_count, 2);
  EXPECT_EQ(m.debug_instance, first);

  // The first terminate keeps the model up; the second shuts it down.
  rec.clear();
  L::machine_terminate();
  EXPECT_EQ(lines(rec), Lines{});
  EXPECT_EQ(m.machine_use_count, 1);
  EXPECT_EQ(m.debug_instance, first);
  EXPECT_FALSE(host::sf_runtime::debug_instance_terminated(first));

  const unsigned number = m.machine_number;
  rec.clear();
  L::machine_terminate();
  EXPECT_EQ(lines(rec), (Lines{"sf_debug_terminate " + dbg(first)}));
  EXPECT_EQ(m.machine_use_count, 0);
  EXPECT_EQ(m.debug_instance, nullptr);
  EXPECT_TRUE(host::sf_runtime::debug_instance_terminated(first));
  EXPECT_EQ(m.machine_number, number) << "the machine number outlives the shut-down";

  // A later first start-up makes a new instance and registers the model again.
  rec.clear();
  L::machine_initialize(&a);
  ASSERT_NE(m.debug_instance, nullptr);
  EXPECT_NE(m.debug_instance, first);
  EXPECT_NE(m.machine_number, number);
  EXPECT_EQ(lines(rec), TestFixture::registration(m.debug_instance, m.machine_number));
  L::machine_terminate();
  EXPECT_EQ(m.debug_instance, nullptr);
}

TYPED_TEST(LifecycleTest, CodeGenerationStartUpMakesAnInstanceButRegistersNoMachine) {
  using L = typename TestFixture::L;
  charts::ModelState& m = state<TypeParam>();
  const unsigned number_before = m.machine_number;
  SimStruct gen = block(SS_SIM_RTW_GEN), plain = block(SS_SIM_NORMAL);

  host::trace::Collector rec;
  L::machine_initialize(&gen);
  EXPECT_EQ(lines(rec), (Lines{"sim_mode_is_rtw_gen", "sf_debug_create_debug_instance_struct"}));
  EXPECT_NE(m.debug_instance, nullptr);
  EXPECT_EQ(m.machine_number, number_before);
  EXPECT_EQ(m.machine_use_count, 1);

  // A normal block joining a model started for code generation registers nothing.
  rec.clear();
  L::machine_initialize(&plain);
  EXPECT_EQ(lines(rec), (Lines{"sim_mode_is_rtw_gen"}));
  EXPECT_EQ(m.machine_number, number_before);

  const void* instance = m.debug_instance;
  rec.clear();
  L::machine_terminate();
  L::machine_terminate();
  EXPECT_EQ(lines(rec), (Lines{"sf_debug_terminate " + dbg(instance)}));
  EXPECT_EQ(m.debug_instance, nullptr);
}

TYPED_TEST(LifecycleTest, ExternalModeStartUpRegistersTheMachine) {
  using L = typename TestFixture::L;
  charts::ModelState& m = state<TypeParam>();
  SimStruct ext = block(SS_SIM_EXTERNAL);
  host::trace::Collector rec;
  L::machine_initialize(&ext);
  EXPECT_EQ(lines(rec), TestFixture::registration(m.debug_instance, m.machine_number));
  L::machine_terminate();
}

TYPED_TEST(LifecycleTest, TerminateWithoutStartUpHoldsTheCountAtZero) {
  using L = typename TestFixture::L;
  charts::ModelState& m = state<TypeParam>();
  host::trace::Collector rec;
  L::machine_terminate();
  L::machine_terminate();
  EXPECT_EQ(lines(rec), Lines{});
  EXPECT_EQ(m.machine_use_count, 0);

  // The next start-up is a first start-up all the same.
  SimStruct S = block(SS_SIM_NORMAL);
  L::machine_initialize(&S);
  EXPECT_EQ(m.machine_use_count, 1);
  ASSERT_NE(m.debug_instance, nullptr);
  EXPECT_EQ(lines(rec), TestFixture::registration(m.debug_instance, m.machine_number));
  L::machine_terminate();
  EXPECT_EQ(m.debug_instance, nullptr);
}

TYPED_TEST(LifecycleTest, OptimisationInfoIsLoadedOnceKeptAndLoadedAgainAfterUnload) {
  charts::ModelState& m = state<TypeParam>();
  const std::string name = std::string("\"") + TypeParam::name + "\"";
  const unsigned loads = host::sf_runtime::optimization_info_loads();

  host::trace::Collector rec;
  mxArray* info = charts::load_optimization_info<TypeParam>();
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(host::mx::is_persistent(info));
  EXPECT_EQ(m.optimization_info, info);
  ASSERT_EQ(rec.calls().size(), 2u);
  EXPECT_EQ(rec.calls()[0].line(), "sf_load_rtw_optimization_info " + name + " " + name);
  EXPECT_EQ(rec.calls()[1].op, "mexMakeArrayPersistent");

  rec.clear();
  EXPECT_EQ(charts::load_optimization_info<TypeParam>(), info);
  EXPECT_EQ(lines(rec), Lines{});
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), loads + 1);

  charts::unload_optimization_info<TypeParam>();
  EXPECT_EQ(m.optimization_info, nullptr);
  ASSERT_EQ(rec.calls().size(), 1u);
  EXPECT_EQ(rec.calls()[0].op, "mxDestroyArray");

  // Nothing cached: nothing to do.
  rec.clear();
  charts::unload_optimization_info<TypeParam>();
  EXPECT_EQ(lines(rec), Lines{});

  EXPECT_NE(charts::load_optimization_info<TypeParam>(), nullptr);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), loads + 2);
}

TYPED_TEST(LifecycleTest, MissingOptimisationInfoIsNotCached) {
  const unsigned loads = host::sf_runtime::optimization_info_loads();
  host::sf_runtime::set_optimization_info_available(false);
  host::trace::Collector rec;
  EXPECT_EQ(charts::load_optimization_info<TypeParam>(), nullptr);
  EXPECT_EQ(charts::load_optimization_info<TypeParam>(), nullptr);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), loads + 2);
  for (const host::trace::Call& c : rec.calls())
    EXPECT_NE(c.op, "mexMakeArrayPersistent");
  EXPECT_EQ(state<TypeParam>().optimization_info, nullptr);

  host::sf_runtime::set_optimization_info_available(true);
  EXPECT_NE(charts::load_optimization_info<TypeParam>(), nullptr);
  EXPECT_EQ(host::sf_runtime::optimization_info_loads(), loads + 3);
}

// Both models in one process keep their own state and registration.
TEST(Lifecycle, BothModelsKeepTheirOwnState) {
  SimStruct h = block(SS_SIM_NORMAL), q = block(SS_SIM_NORMAL);
  registry::Lifecycle<harnvale::Model>::machine_initialize(&h);
  registry::Lifecycle<quimbrel::Model>::machine_initialize(&q);
  charts::ModelState& hm = state<harnvale::Model>();
  charts::ModelState& qm = state<quimbrel::Model>();
  EXPECT_NE(hm.debug_instance, qm.debug_instance);
  EXPECT_NE(hm.machine_number, qm.machine_number);
  EXPECT_EQ(hm.machine_use_count, 1);
  EXPECT_EQ(qm.machine_use_count, 1);
  ASSERT_NE(host::sf_runtime::machine(hm.machine_number), nullptr);
  ASSERT_NE(host::sf_runtime::machine(qm.machine_number), nullptr);
  EXPECT_EQ(host::sf_runtime::machine(hm.machine_number)->name, "Harnvale");
  EXPECT_EQ(host::sf_runtime::machine(qm.machine_number)->name, "Quimbrel");

  void* const q_instance = qm.debug_instance;
  registry::Lifecycle<harnvale::Model>::machine_terminate();
  EXPECT_EQ(hm.debug_instance, nullptr);
  EXPECT_EQ(qm.debug_instance, q_instance);
  EXPECT_FALSE(host::sf_runtime::debug_instance_terminated(q_instance));
  registry::Lifecycle<quimbrel::Model>::machine_terminate();
  EXPECT_EQ(qm.debug_instance, nullptr);
}

// The command chain asks the runtime's debug interface first, with the model's
// current debug instance (none while no block is live), and the caller's arguments.
template <class Model>
void expect_runtime_asked_first(const std::string& instance) {
  Mx command = regtest::text("sf_get_check_sum");
  const mxArray* args[] = {command.get()};
  mxArray* out[1] = {nullptr};
  host::trace::Collector rec;
  registry::Commands<Model>::process_command_line_call(1, out, 1, args);
  Mx answer(out[0]);
  ASSERT_FALSE(rec.calls().empty());
  const host::trace::Call& first = rec.calls()[0];
  EXPECT_EQ(first.op, "sf_debug_api");
  ASSERT_EQ(first.args.size(), 5u);
  EXPECT_EQ(first.args[0], instance);
  EXPECT_EQ(first.args[1], "1");
  EXPECT_EQ(first.args[3], "1");
  EXPECT_NE(answer, nullptr);
}

TEST(CommandChain, AsksTheRuntimeFirstWithTheModelsDebugInstance) {
  expect_runtime_asked_first<harnvale::Model>("null");
  expect_runtime_asked_first<quimbrel::Model>("null");

  SimStruct S = block(SS_SIM_NORMAL);
  registry::Lifecycle<quimbrel::Model>::machine_initialize(&S);
  expect_runtime_asked_first<quimbrel::Model>(dbg(state<quimbrel::Model>().debug_instance));
  expect_runtime_asked_first<harnvale::Model>("null");
  registry::Lifecycle<quimbrel::Model>::machine_terminate();
  expect_runtime_asked_first<quimbrel::Model>("null");
}

// The inner autoinheritance query reads its command into a 32-byte buffer: a longer
// command that begins with the right one is cut and does not match.
TEST(CommandChain, InnerAutoinheritanceCommandIsCutToItsBuffer) {
  for (const std::string& command :
       {std::string("get_autoinheritance_info") + std::string(7, '_'),
        std::string("get_autoinheritance_info") + std::string(8, '_'),
        std::string("get_autoinheritance_info") + std::string(40, '_')}) {
    Mx text = regtest::text(command);
    Mx chart = regtest::num(1);
    Mx checksum = regtest::text("XeSGqLBgQKpLtif172dxxF");
    const mxArray* args[] = {text.get(), chart.get(), checksum.get()};
    mxArray* out[1] = {nullptr};
    EXPECT_EQ(registry::Commands<harnvale::Model>::autoinheritance_query(1, out, 3, args), 0)
        << command;
    EXPECT_EQ(out[0], nullptr);
  }
}

}  // namespace
