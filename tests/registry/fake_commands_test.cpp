// The command chain over a model whose chart operations say which chart they are:
// exactly which chart answers each query, and what the chain does with the answer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "registry/commands.hpp"
#include "tests/registry/fake_model.hpp"
#include "tests/registry/support.hpp"

namespace {

using Commands = registry::Commands<fake::Model>;
using regtest::Mx;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Call {
  explicit Call(std::vector<Mx> inputs) : owned(std::move(inputs)) {
    for (const Mx& m : owned)
      raw.push_back(m.get());
    fake::calls().clear();
    const std::size_t before = host::mx::live_count();
    mxArray* slot[1] = {nullptr};
    took = Commands::process_command_line_call(1, slot, static_cast<int>(raw.size()), raw.data());
    out.reset(slot[0]);
    live_after = host::mx::live_count() - before;
  }
  std::vector<Mx> owned;
  std::vector<const mxArray*> raw;
  int took = 0;
  Mx out;
  std::size_t live_after = 0;
};

std::vector<Mx> args(const char* command, double chart, const std::string& text) {
  std::vector<Mx> v;
  v.push_back(regtest::text(command));
  v.push_back(regtest::text("Fakemodel"));
  v.push_back(regtest::num(chart));
  v.push_back(regtest::text(text));
  return v;
}

double scalar(const Mx& a) {
  return a != nullptr && mxIsDouble(a.get()) && mxGetNumberOfElements(a.get()) == 1
             ? mxGetScalar(a.get())
             : -1.0;
}

struct SearchCase {
  const char* command;
  int base;     // the record's value is base + chart
  bool search;  // uses and build info search onward; autoinheritance does not
};

void PrintTo(const SearchCase& c, std::ostream* os) {
  *os << c.command;
}

class SearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchTest, TheFirstMatchingChartFromTheNamedOneAnswers) {
  const SearchCase c = GetParam();
  for (double n : {-1.0, 0.0, 1.0, 2.0, 3.0, 3.7, 4.0, kNaN}) {
    for (int k = 1; k <= 3; ++k) {
      const std::string text =
          c.search ? "identifier-" + std::to_string(k) : "checksum-" + std::to_string(k);
      SCOPED_TRACE(std::string(c.command) + " chart " + std::to_string(n) + " text " + text);
      Call call(args(c.command, n, text));
      EXPECT_EQ(call.took, 1);
      const int chart = std::isnan(n) ? 0 : static_cast<int>(n);
      const bool valid = chart >= 1 && chart <= 3;
      const bool answers = valid && (c.search ? k >= chart : k == chart);
      if (answers) {
        EXPECT_EQ(scalar(call.out), c.base + k);
        ASSERT_EQ(fake::calls().size(), 1u);
        EXPECT_EQ(fake::calls()[0], std::make_pair(k, "record " + std::to_string(c.base)));
      } else {
        regtest::expect_empty_answer(call.out.get());
        EXPECT_TRUE(fake::calls().empty());
      }
      EXPECT_EQ(call.live_after, 1u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fake, SearchTest,
    ::testing::Values(SearchCase{"get_autoinheritance_info", fake::kAutoinheritance, false},
                      SearchCase{"get_third_party_uses_info", fake::kUses, true},
                      SearchCase{"get_updateBuildInfo_args_info", fake::kBuildInfo, true}),
    [](const auto& info) { return std::string(info.param.command); });

TEST(FakeCommands, ChartChecksumIsTheChartsOwn) {
  for (int n = 1; n <= 3; ++n) {
    std::vector<Mx> in;
    in.push_back(regtest::text("sf_get_check_sum"));
    in.push_back(regtest::text("chart"));
    in.push_back(regtest::num(n + 0.5));
    Call call(std::move(in));
    EXPECT_EQ(regtest::doubles(call.out.get()),
              (regtest::Words{1000.0 * n, 1000.0 * n + 1, 1000.0 * n + 2, 1000.0 * n + 3}));
    ASSERT_EQ(fake::calls().size(), 1u);
    EXPECT_EQ(fake::calls()[0], std::make_pair(n, std::string("checksum")));
  }
}

TEST(FakeCommands, ResolvedFunctionsHandsOverACopyAndReleasesTheReport) {
  for (int n = 1; n <= 3; ++n) {
    std::vector<Mx> in;
    in.push_back(regtest::text("get_eml_resolved_functions_info"));
    in.push_back(regtest::text("Fakemodel"));
    in.push_back(regtest::num(n));
    Call call(std::move(in));
    EXPECT_EQ(scalar(call.out), 400 + n);
    EXPECT_EQ(call.live_after, 1u) << "the built report must be released";
    ASSERT_EQ(fake::calls().size(), 1u);
    EXPECT_EQ(fake::calls()[0], std::make_pair(n, std::string("report")));
  }
}

// The inner queries answer only their own command, and only with their inputs.
TEST(FakeCommands, InnerQueriesCheckTheirCommandAndInputs) {
  std::vector<Mx> in;
  in.push_back(regtest::text("get_autoinheritance_info_"));
  in.push_back(regtest::num(1));
  in.push_back(regtest::text("checksum-1"));
  std::vector<const mxArray*> raw;
  for (const Mx& m : in)
    raw.push_back(m.get());
  mxArray* out[1] = {nullptr};
  EXPECT_EQ(Commands::autoinheritance_query(1, out, 3, raw.data()), 0);
  EXPECT_EQ(Commands::third_party_query(1, out, 3, raw.data()), 0);
  EXPECT_EQ(Commands::build_info_query(1, out, 3, raw.data()), 0);
  EXPECT_EQ(Commands::resolved_functions_query(1, out, 2, raw.data()), 0);
  EXPECT_EQ(out[0], nullptr);

  Mx exact = regtest::text("get_autoinheritance_info");
  raw[0] = exact.get();
  EXPECT_EQ(Commands::autoinheritance_query(1, out, 2, raw.data()), 0);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(Commands::autoinheritance_query(1, out, 3, raw.data()), 1);
  Mx answer(out[0]);
  EXPECT_EQ(scalar(answer), fake::kAutoinheritance + 1);
}

TEST(FakeCommands, CheckSumHandlerAnswersExactlyZeroOrOne) {
  std::vector<Mx> in;
  in.push_back(regtest::text("sf_get_check_sum"));
  in.push_back(regtest::text("unknown"));
  const mxArray* raw[] = {in[0].get(), in[1].get()};
  const std::size_t before = host::mx::live_count();
  mxArray* out[1] = {nullptr};
  EXPECT_EQ(Commands::check_sum_query(1, out, 2, raw), 0);
  EXPECT_EQ(out[0], nullptr) << "a declined answer is not left in the slot";
  EXPECT_EQ(host::mx::live_count(), before);
  EXPECT_EQ(Commands::check_sum_query(1, out, 1, raw), 1);
  Mx answer(out[0]);
  EXPECT_EQ(regtest::doubles(answer.get()), (regtest::Words{1, 2, 3, 4}));
}

}  // namespace
