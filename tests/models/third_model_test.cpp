// A third model built from nothing but its folder's catalogue and report rows
// (tests/models/tessel), by the same build rule as the real models: its deliverable
// answers through mexFunction like theirs, and its named dispatchers are the
// entries of its routing table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/tessel/model.hpp"
#include "platform/mx.h"
#include "tests/e2e/e2e.hpp"

namespace {

using namespace e2e;

const char* const kTessel = TESSEL_PLUGIN;

// The view outlives the cases, which point into it.
const models::ModelView& tessel_view() {
  static const models::ModelView view = models::view_of<tessel::Model>();
  return view;
}

std::vector<ChartCase> tessel_cases() {
  std::vector<ChartCase> cases;
  for (const models::ChartView& c : tessel_view().charts)
    cases.push_back(chart_case(kTessel, tessel_view(), c));
  return cases;
}

class ThirdModel : public HostTest {};

TEST_F(ThirdModel, EveryChartStepsThroughMexFunctionAsItsCatalogueSays) {
  const std::vector<ChartCase> cases = tessel_cases();
  ASSERT_EQ(cases.size(), 2u);
  for (const ChartCase& c : cases) {
    SCOPED_TRACE(case_name(c));
    host::engine::Engine engine;
    const Table t = make_table(c.N, 17u + static_cast<std::uint64_t>(c.chart));
    host::engine::Block& block = started_block(engine, c, t);
    EXPECT_EQ(block.plugin().model(), "Tessel");
    for (double z : sweep(t, 5u)) {
      block.z() = z;
      ASSERT_TRUE(ok(block.outputs())) << "z = " << z;
      EXPECT_TRUE(same_bits(reference(t, z, false), block.y1())) << "z = " << z;
    }
    EXPECT_TRUE(ok(block.terminate()));
  }
  expect_clean();
}

TEST_F(ThirdModel, ItsQueriesAnswerWithItsOwnConstants) {
  host::engine::Engine engine;
  host::engine::Plugin& plugin = engine.load(kTessel);
  mxArray* command = mxCreateString("sf_get_check_sum");
  {
    auto out = plugin.call_matlab(1, {command});
    ASSERT_EQ(out.size(), 1u);
    const double* words = mxGetPr(out[0].get());
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(words[i], tessel::Model::checksums.none[i]);
  }
  mxDestroyArray(command);
  expect_clean();
}

TEST(ThirdModelRouting, TheNamedDispatchersAreItsRoutingTable) {
  const auto& table = registry::ModelCharts<tessel::Model>::charts;
  ASSERT_EQ(std::size(table), 2u);
  EXPECT_EQ(table[0].method_dispatcher, &c1_Tessel_method_dispatcher);
  EXPECT_EQ(table[1].method_dispatcher, &c2_Tessel_method_dispatcher);
  EXPECT_STREQ(table[1].specialization_id(), tessel::C2::column.specialization_id);
}

}  // namespace
