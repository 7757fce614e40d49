// Whole simulations of the five charts through the built plug-ins: outputs against
// an independent evaluation, saved state, rate logic, host errors inside a step,
// and both plug-ins in one process.
#include <gmock/gmock.h>

#include <tuple>

#include "block/chart_records.h"
#include "tests/e2e/e2e.hpp"

namespace {

using host::engine::Block;
using host::engine::BlockOptions;
using host::engine::CallResult;
using host::engine::Engine;
using host::engine::kStepSize;
using host::engine::MxPtr;
using host::engine::Rate;
using namespace e2e;

std::uint64_t seed_of(const ChartCase& c) {
  return static_cast<std::uint64_t>(c.N) * 1000003u + static_cast<std::uint64_t>(c.chart);
}

// Steps the block through queries z[from..to) at times from the step number and
// checks every output against the reference; returns the outputs.
std::vector<double> run(Engine& engine, Block& block, const Table& t, const std::vector<double>& z,
                        std::size_t from, std::size_t to, bool extrapolate) {
  std::vector<double> out;
  for (std::size_t k = from; k < to; ++k) {
    engine.set_time(static_cast<double>(k) * kStepSize, true);
    block.z() = z[k];
    EXPECT_TRUE(ok(block.outputs())) << "z = " << z[k];
    EXPECT_TRUE(same_bits(reference(t, z[k], extrapolate), block.y1())) << "z = " << z[k];
    out.push_back(block.y1());
  }
  return out;
}

// ---------------------------------------------------------------------------------

class Simulation : public HostTest,
                   public ::testing::WithParamInterface<std::tuple<ChartCase, bool>> {};

TEST_P(Simulation, OutputsMatchTheFormulaAndARestoredRunContinuesExactly) {
  const auto& [c, descending] = GetParam();
  Table t = make_table(c.N, seed_of(c));
  if (descending) t = reversed(t);
  const std::vector<double> z = sweep(t, seed_of(c) + 7);
  const std::size_t half = z.size() / 2;
  {
    Engine engine;
    Block& block = started_block(engine, c, t);
    EXPECT_EQ(block.plugin().lock_count(), 1);
    EXPECT_NE(block.simstruct()->user_data, nullptr);

    run(engine, block, t, z, 0, half, c.extrapolate);
    const double saved_y1 = block.y1();
    CallResult saved;
    MxPtr state = block.get_sim_state(&saved);
    ASSERT_TRUE(ok(saved));
    ASSERT_NE(state, nullptr);

    const std::vector<double> first = run(engine, block, t, z, half, z.size(), c.extrapolate);

    // Restoring puts the saved output back, and the same steps give the same outputs.
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(ok(block.set_sim_state(state.get())));
      EXPECT_TRUE(same_bits(saved_y1, block.y1()));
      const std::vector<double> again = run(engine, block, t, z, half, z.size(), c.extrapolate);
      ASSERT_EQ(first.size(), again.size());
      for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_TRUE(same_bits(first[i], again[i]));
    }

    // The chart works on copies: the block's input signals are never reversed.
    EXPECT_TRUE(std::equal(t.x.begin(), t.x.end(), block.x()));

    ASSERT_TRUE(ok(block.terminate()));
    EXPECT_EQ(block.simstruct()->user_data, nullptr);
    EXPECT_EQ(block.plugin().lock_count(), 0);
  }
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(Charts, Simulation,
                         ::testing::Combine(::testing::ValuesIn(all_charts()), ::testing::Bool()),
                         [](const auto& info) {
                           return case_name(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Descending" : "Ascending");
                         });

// ---------------------------------------------------------------------------------
// Rate logic: whether an outputs call steps the chart.

struct RateCase {
  const char* name;
  Rate rate;
  double period;  // of a discrete block
  bool major;
  bool steps;
};

// gtest names a parameter by this instead of dumping its bytes (padding included).
void PrintTo(const RateCase& rc, std::ostream* os) {
  *os << rc.name;
}

class RateLogic : public HostTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RateLogic, StepsOnlyWhenTheRateSaysSo) {
  const RateCase& rc = GetParam();
  const ChartCase c = chart_where(any_chart);
  const Table t = make_table(c.N, 11);
  {
    Engine engine;
    BlockOptions opts;
    opts.rate = rc.rate;
    opts.discrete_period = rc.period;
    Block& block = started_block(engine, c, t, opts);

    engine.set_time(0.0, true);
    block.z() = t.x[10] + 0.25 * (t.x[11] - t.x[10]);
    ASSERT_TRUE(ok(block.outputs()));
    const double before = block.y1();
    EXPECT_TRUE(same_bits(reference(t, block.z(), c.extrapolate), before));

    // A later call, at the stored time of the last major step when minor, and once
    // more at a time of its own.
    for (double when : {0.0, 0.5 * kStepSize}) {
      engine.set_time(when, rc.major);
      block.z() = t.x[100] + 0.75 * (t.x[101] - t.x[100]) + when;
      ASSERT_TRUE(ok(block.outputs()));
      if (rc.steps) {
        EXPECT_TRUE(same_bits(reference(t, block.z(), c.extrapolate), block.y1()));
      } else {
        EXPECT_TRUE(same_bits(before, block.y1()));
      }
    }
    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

INSTANTIATE_TEST_SUITE_P(
    Rates, RateLogic,
    ::testing::Values(RateCase{"InheritedMajor", Rate::Inherited, 0.1, true, true},
                      RateCase{"InheritedMinor", Rate::Inherited, 0.1, false, true},
                      RateCase{"ContinuousMajor", Rate::Continuous, 0.1, true, true},
                      RateCase{"ContinuousMinor", Rate::Continuous, 0.1, false, true},
                      RateCase{"DiscreteMajor", Rate::Discrete, 0.1, true, true},
                      RateCase{"DiscreteMinor", Rate::Discrete, 0.1, false, false},
                      RateCase{"DiscreteNaNPeriodMajor", Rate::Discrete, NAN, true, true},
                      RateCase{"DiscreteNaNPeriodMinor", Rate::Discrete, NAN, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// A host error inside a step becomes the block's error; the output keeps its value.

struct BadTable {
  const char* name;
  const char* identifier;
  void (*spoil)(Table& t);
};

class StepError : public HostTest,
                  public ::testing::WithParamInterface<std::tuple<ChartCase, BadTable>> {};

TEST_P(StepError, IsTheBlocksErrorAndTheNextGoodStepWorks) {
  const auto& [c, bad] = GetParam();
  const Table good = make_table(c.N, seed_of(c) + 3);
  Table spoilt = good;
  bad.spoil(spoilt);
  {
    Engine engine;
    Block& block = started_block(engine, c, good);
    engine.set_time(0.0, true);
    block.z() = good.x[5];
    ASSERT_TRUE(ok(block.outputs()));
    const double before = block.y1();

    block.set_inputs(spoilt.x.data(), spoilt.y.data(), good.x[7]);
    engine.set_time(kStepSize, true);
    const CallResult r = block.outputs();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.identifier, bad.identifier);
    EXPECT_EQ(r.error, host::mex::catalogue_text(bad.identifier));
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(engine.root()->mdl_info->flags & SS_MDLINFO_ERROR_FLAG, 0u);
    EXPECT_TRUE(same_bits(before, block.y1()));
    // The debugger's symbol scopes of the failed step are not left open.
    const ChartInfo* info = chart_info_of(block.simstruct());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(host::sf_runtime::scope_depth(info->debug_instance), 0u);

    block.set_inputs(good.x.data(), good.y.data(), good.x[7]);
    engine.set_time(2 * kStepSize, true);
    ASSERT_TRUE(ok(block.outputs()));
    EXPECT_TRUE(same_bits(reference(good, good.x[7], c.extrapolate), block.y1()));
    EXPECT_NE(engine.root()->mdl_info->flags & SS_MDLINFO_ERROR_FLAG, 0u);

    ASSERT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

const BadTable kBadTables[] = {
    {"NaNBreakpoint", "MATLAB:interp1:NaNinX",
     [](Table& t) { t.x[t.x.size() / 2] = std::numeric_limits<double>::quiet_NaN(); }},
    {"FirstBreakpointNaN", "MATLAB:interp1:NaNinX",
     [](Table& t) { t.x[0] = std::numeric_limits<double>::quiet_NaN(); }},
    {"RepeatedBreakpoint", "Coder:toolbox:interp1_nonMonotonicX",
     [](Table& t) { t.x[t.x.size() - 1] = t.x[t.x.size() - 2]; }},
    {"DescendingThenNotMonotonic", "Coder:toolbox:interp1_nonMonotonicX",
     [](Table& t) {
       t = reversed(std::move(t));
       std::swap(t.x[t.x.size() / 2], t.x[t.x.size() / 2 + 1]);
     }},
};

INSTANTIATE_TEST_SUITE_P(Charts, StepError,
                         ::testing::Combine(::testing::ValuesIn(all_charts()),
                                            ::testing::ValuesIn(kBadTables)),
                         [](const auto& info) {
                           return case_name(std::get<0>(info.param)) + std::get<1>(info.param).name;
                         });

// ---------------------------------------------------------------------------------
// Both plug-ins in one process.

class BothPlugins : public HostTest {};

TEST_F(BothPlugins, BlocksOfBothModelsRunSideBySide) {
  {
    Engine engine;
    std::vector<Block*> blocks;
    std::vector<ChartCase> cases = all_charts();
    cases.push_back(cases[1]);  // a second block of one chart
    std::vector<Table> tables;
    std::vector<std::vector<double>> queries;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      tables.push_back(make_table(cases[i].N, 100 + i));
      queries.push_back(sweep(tables[i], 200 + i));
      blocks.push_back(&started_block(engine, cases[i], tables[i]));
    }
    // One plug-in per model, each its own library.
    for (std::size_t i = 0; i < cases.size(); ++i) {
      EXPECT_EQ(blocks[i]->plugin().model(), cases[i].model);
      const bool same_model = std::string_view(cases[i].model) == cases[0].model;
      EXPECT_EQ(&blocks[i]->plugin() == &blocks[0]->plugin(), same_model) << case_name(cases[i]);
      EXPECT_EQ(blocks[i]->plugin().entry() == blocks[0]->plugin().entry(), same_model);
    }

    const std::size_t steps = queries[0].size();
    for (std::size_t k = 0; k < steps; ++k) {
      engine.set_time(static_cast<double>(k) * kStepSize, true);
      for (std::size_t i = 0; i < cases.size(); ++i) {
        blocks[i]->z() = queries[i][k];
        ASSERT_TRUE(ok(blocks[i]->outputs())) << case_name(cases[i]);
        EXPECT_TRUE(
            same_bits(reference(tables[i], queries[i][k], cases[i].extrapolate), blocks[i]->y1()))
            << case_name(cases[i]) << " z = " << queries[i][k];
      }
    }
    // Above the table each model gives what its catalogue says: extrapolation or NaN.
    for (std::size_t i = 0; i < cases.size(); ++i) {
      blocks[i]->z() = tables[i].x.back() + 1.0;
      ASSERT_TRUE(ok(blocks[i]->outputs()));
      EXPECT_EQ(std::isnan(blocks[i]->y1()), !cases[i].extrapolate) << case_name(cases[i]);
    }
    for (Block* b : blocks)
      ASSERT_TRUE(ok(b->terminate()));
    for (Block* b : blocks)
      EXPECT_EQ(b->plugin().lock_count(), 0);
  }
  expect_clean();
}

TEST_F(BothPlugins, EachPluginAnswersOnlyItsOwnModelsBlocks) {
  {
    Engine engine;
    const ChartCase q = all_charts().back();
    auto& other_plugin = engine.load(chart_where(of_another_model_than(q)).plugin);
    // A block of one model handed to another model's plug-in: its routing leaves it
    // alone (no chart of the plug-in answers, which the runtime reports as the error).
    BlockOptions opts;
    opts.chart = q.chart;
    opts.table_length = q.N;
    Block& foreign = engine.add_block(other_plugin, opts);
    foreign.simstruct()->sf_machine_name = q.model;
    EXPECT_FALSE(foreign.set_work_widths().ok);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(ssGetChecksum(foreign.simstruct(), i), 0u);
    const CallResult started = foreign.start();
    EXPECT_FALSE(started.ok);
    EXPECT_THAT(started.error, ::testing::HasSubstr(q.model));
    EXPECT_EQ(foreign.simstruct()->user_data, nullptr);

    // The same block given to its own plug-in is served.
    const Table t = make_table(q.N, 5);
    Block& own = started_block(engine, q, t);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(ssGetChecksum(own.simstruct(), i), q.view->sfun_checksum[i]);
    }
    EXPECT_NE(own.simstruct()->user_data, nullptr);
    ASSERT_TRUE(ok(foreign.terminate()));
    ASSERT_TRUE(ok(own.terminate()));
  }
  expect_clean();
}

TEST_F(BothPlugins, EachAnswersItsOwnChecksumQuery) {
  {
    Engine engine;
    for (const models::ModelView& m : models::catalogue()) {
      const struct {
        const char* path;
        const std::array<uint32_t, 4>& words;
      } p{plugin_of(m.name), m.checksum};
      auto& plugin = engine.load(p.path);
      host::engine::MxPtr command(mxCreateString("sf_get_check_sum"));
      auto out = plugin.call_matlab(1, {command.get()});
      ASSERT_EQ(out.size(), 1u);
      ASSERT_NE(out[0], nullptr);
      ASSERT_EQ(mxGetNumberOfElements(out[0].get()), 4u);
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mxGetPr(out[0].get())[i], p.words[i]) << p.path;
      EXPECT_EQ(&engine.load(p.path), &plugin);
    }
  }
  expect_clean();
}

}  // namespace
