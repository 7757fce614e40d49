// The coverage records of a chart instance: the step hooks tallied by kind, the
// values of the range checks while recording is on (also on the checks' fast path,
// and the value that breaks a range), the errors of the block's methods, and what a
// new registration and reset() clear.
#include <cmath>
#include <limits>

#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;
namespace hs = host::sf_runtime;

class CoverageRecordsTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    info_.t = &time_;
    root_.mdl_info = &info_;
    block_.root = &root_;
    start_machine();
    register_chart(1, &block_, &chart_, &instance_);
  }
  const hs::CoverageRecord& seen() const { return hs::chart_instance(chart_, instance_)->seen; }
  void range(unsigned data, double value) {
    sf_debug_data_range_wrapper(dbg_, machine_, chart_, instance_, data, value);
  }

  double time_ = 0;
  SsModelInfo info_{};
  SimStruct root_{}, block_{};
  unsigned chart_ = 0, instance_ = 0;
};

TEST_F(CoverageRecordsTest, StepHooksAreTalliedByKindWithoutRecordingOn) {
  for (unsigned tag : {0u, 3u, 999u, 0u})
    sf_debug_call(dbg_, machine_, chart_, instance_, 1, 1, tag, 0, -1, 0, nullptr, 0, 1, 0);
  // Nine line codes: the ninth finds no slot and is counted apart.
  for (int code : {3, -3, 3, 1, 2, 4, 5, 6, 7, 8})
    eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, code, 0, 0, 0);
  cv_eml_eval(dbg_, machine_, chart_, instance_, 0, 0, 1, 0, 0, 0);
  cv_eml_eval(dbg_, machine_, chart_, instance_, 0, 0, 1, 0, 0, 0);
  cv_eml_eval(dbg_, machine_, chart_, instance_, 0, 1, 1, 0, 0, 0);
  range(2, 5.0);
  const hs::CoverageRecord& s = seen();
  EXPECT_EQ(s.chart_calls.count(0), 2u);
  EXPECT_EQ(s.chart_calls.count(999), 1u);
  EXPECT_EQ(s.chart_calls.used, 3u);
  EXPECT_EQ(s.lines.count(3), 2u);
  EXPECT_EQ(s.lines.count(-3), 1u);
  EXPECT_EQ(s.lines.used, hs::kCoverageSlots);
  EXPECT_EQ(s.lines.other, 1u);
  EXPECT_EQ(s.lines.total(), 10u);
  EXPECT_EQ(s.evals.count({0, 0, 1, 0, 0, 0}), 2u);
  EXPECT_EQ(s.evals.count({0, 1, 1, 0, 0, 0}), 1u);
  // Values are kept only while recording is on.
  ASSERT_EQ(s.data.size(), 4u);
  EXPECT_EQ(s.data[2].checks, 0u);
}

TEST_F(CoverageRecordsTest, RangeChecksRecordEveryValueWhileOnAlsoOnTheFastPath) {
  range(0, 1.0);  // trusted from here: the fast path
  hs::set_coverage_recording(true);
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {2.0, std::nan(""), -1.5, 7.0, std::nan(""), inf})
    range(0, v);
  range(3, -inf);
  hs::set_coverage_recording(false);
  range(0, 100.0);
  const hs::DataSeen& x = seen().data[0];
  EXPECT_EQ(x.checks, 6u);
  EXPECT_EQ(x.nans, 2u);
  EXPECT_TRUE(x.any);
  EXPECT_EQ(x.min, -1.5);
  EXPECT_EQ(x.max, inf);
  EXPECT_EQ(seen().data[3].min, -inf);
  EXPECT_EQ(seen().data[1].checks, 0u);
  EXPECT_FALSE(seen().data[1].any);
}

TEST_F(CoverageRecordsTest, AValueOutsideItsRangeIsRecordedAndTheRangeReported) {
  hs::set_coverage_recording(true);
  hs::set_data_range(machine_, chart_, 2, 0.0, 10.0);
  EXPECT_EQ(hs::data_range(machine_, chart_, 2), std::make_pair(0.0, 10.0));
  EXPECT_FALSE(hs::data_range(machine_, chart_, 1).has_value());
  range(2, 4.0);
  EXPECT_THROW(range(2, 11.0), host::HostError);
  EXPECT_EQ(seen().data[2].checks, 2u);
  EXPECT_EQ(seen().data[2].max, 11.0);
  // A data number the chart does not have is checked, not recorded.
  EXPECT_NO_THROW(range(9, 1.0));
}

TEST_F(CoverageRecordsTest, ErrorsOfTheBlocksMethodsAreCountedByIdentifier) {
  auto nan_in_x = [](SimStruct*) { throw host::HostError("MATLAB:interp1:NaNinX", "NaN."); };
  auto no_id = [](SimStruct*) { throw host::HostError("", "plain"); };
  callMdlMethodAndReportError(nan_in_x, &block_);
  callMdlMethodAndReportError(no_id, &block_);
  callMdlMethodAndReportError(nan_in_x, &block_);
  SimStruct other{};
  other.root = &root_;
  callMdlMethodAndReportError(nan_in_x, &other);  // no registration: nowhere to count
  using Errors = std::vector<std::pair<std::string, unsigned long long>>;
  EXPECT_EQ(seen().errors, (Errors{{"MATLAB:interp1:NaNinX", 2}, {"", 1}}));
}

TEST_F(CoverageRecordsTest, ARegistrationStartsAfreshAndResetTurnsRecordingOff) {
  hs::set_coverage_recording(true);
  range(1, 3.0);
  eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, 3, 0, 0, 0);
  unsigned chart = 0, instance = 0;
  register_chart(1, &block_, &chart, &instance);
  ASSERT_EQ(instance, instance_);
  EXPECT_EQ(seen().lines.total(), 0u);
  EXPECT_EQ(seen().data[1].checks, 0u);
  range(1, 4.0);  // recorded into the new registration's storage
  EXPECT_EQ(seen().data[1].min, 4.0);
  hs::reset();
  EXPECT_FALSE(hs::coverage_recording());
}

}  // namespace
