// The integer, bounds and range checks: values that pass come back unchanged (bit
// for bit), values that fail raise host errors with their exact texts.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class ChecksTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    start_machine();
    register_chart(1, &S_, &chart_, &instance_);
    sf_debug_set_chart_data_props(dbg_, machine_, chart_, 0, 1, 1, 0, "x");
    sf_debug_set_chart_data_props(dbg_, machine_, chart_, 3, 2, 0, 1, "y1");
  }
  void range_check(unsigned data, double value) {
    sf_debug_data_range_wrapper(dbg_, machine_, chart_, instance_, data, value);
  }
  SimStruct S_{};
  unsigned chart_ = 0, instance_ = 0;
};

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

class IntegerPassTest : public ChecksTest, public ::testing::WithParamInterface<double> {};

TEST_P(IntegerPassTest, ReturnsTheValueBitForBit) {
  const double v = GetParam();
  EXPECT_EQ(bits(sf_debug_integer_check(dbg_, machine_, chart_, instance_, "", v)), bits(v));
}

INSTANTIATE_TEST_SUITE_P(Values, IntegerPassTest,
                         ::testing::Values(1.0, 2402.0, 0.0, -0.0, -7.0, 9007199254740992.0, 1e300,
                                           -2147483648.0));

struct IntegerFail {
  double value;
  const char* name;
  const char* message;
};

class IntegerFailTest : public ChecksTest, public ::testing::WithParamInterface<IntegerFail> {};

TEST_P(IntegerFailTest, RaisesNamingTheValue) {
  const IntegerFail& c = GetParam();
  EXPECT_HOST_ERROR(sf_debug_integer_check(dbg_, machine_, chart_, instance_, c.name, c.value),
                    "Stateflow:Runtime:IndexNotInteger", c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerFailTest,
    ::testing::Values(IntegerFail{2.5, "", "Index value 2.5 is not an integer."},
                      IntegerFail{0.1, "", "Index value 0.1 is not an integer."},
                      IntegerFail{-1e-300, "", "Index value -1e-300 is not an integer."},
                      IntegerFail{kNaN, "", "Index value NaN is not an integer."},
                      IntegerFail{kInf, "", "Index value Inf is not an integer."},
                      IntegerFail{-kInf, "", "Index value -Inf is not an integer."},
                      IntegerFail{2401.5, "x", "Index value 2401.5 of 'x' is not an integer."},
                      IntegerFail{0.5, nullptr, "Index value 0.5 is not an integer."}));

struct Bounds {
  int32_t index, lower, upper;
};

class BoundsPassTest : public ChecksTest, public ::testing::WithParamInterface<Bounds> {};

TEST_P(BoundsPassTest, ReturnsTheIndex) {
  const Bounds& b = GetParam();
  EXPECT_EQ(sf_debug_eml_data_array_bounds_error_check(dbg_, machine_, chart_, instance_, "",
                                                       b.index, b.lower, b.upper, 1, 0),
            b.index);
}

INSTANTIATE_TEST_SUITE_P(Values, BoundsPassTest,
                         ::testing::Values(Bounds{1, 1, 2402}, Bounds{2402, 1, 2402},
                                           Bounds{1201, 1, 2402}, Bounds{0, 0, 0},
                                           Bounds{-5, -10, -1}));

struct BoundsFail {
  Bounds b;
  const char* name;
  const char* message;
};

class BoundsFailTest : public ChecksTest, public ::testing::WithParamInterface<BoundsFail> {};

TEST_P(BoundsFailTest, RaisesNamingIndexAndRange) {
  const BoundsFail& c = GetParam();
  EXPECT_HOST_ERROR(
      sf_debug_eml_data_array_bounds_error_check(dbg_, machine_, chart_, instance_, c.name,
                                                 c.b.index, c.b.lower, c.b.upper, 1, 0),
      "Stateflow:Runtime:IndexOutOfBounds", c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoundsFailTest,
    ::testing::Values(
        BoundsFail{
            {0, 1, 2402}, "", "Index 0 is out of bounds; it must be in the range [1..2402]."},
        BoundsFail{
            {2403, 1, 2402}, "", "Index 2403 is out of bounds; it must be in the range [1..2402]."},
        BoundsFail{{-2147483647 - 1, 1, 390},
                   "",
                   "Index -2147483648 is out of bounds; it must be in the range [1..390]."},
        BoundsFail{{1, 1, 0}, "", "Index 1 is out of bounds; it must be in the range [1..0]."},
        BoundsFail{{244, 1, 243},
                   "y",
                   "Index 244 of 'y' is out of bounds; it must be in the range [1..243]."}));

TEST_F(ChecksTest, RangeChecksPassEverythingByDefault) {
  for (double v : {0.0, -1e308, 1e308, kInf, -kInf, kNaN}) {
    for (unsigned data = 0; data < 4; ++data)
      EXPECT_NO_THROW(range_check(data, v));
  }
  // The 0.0 and 1.0 of the compiled properties are not a range.
  const unsigned n = 2402;
  sf_debug_set_chart_data_compiled_props(dbg_, machine_, chart_, instance_, 0, 0, 1, &n, 0, 0, 0,
                                         0.0, 1.0, 0, 0, nullptr, nullptr, 0);
  EXPECT_NO_THROW(range_check(0, 5.0));
  EXPECT_NO_THROW(range_check(0, -5.0));
}

TEST_F(ChecksTest, ARangeSetForOneDataChecksThatDataOnly) {
  host::sf_runtime::set_data_range(machine_, chart_, 3, -1.0, 2.0);
  EXPECT_NO_THROW(range_check(3, -1.0));
  EXPECT_NO_THROW(range_check(3, 2.0));
  EXPECT_NO_THROW(range_check(3, 0.5));
  EXPECT_NO_THROW(range_check(0, 100.0));  // another data of the chart
  EXPECT_HOST_ERROR(range_check(3, 2.5), "Stateflow:Runtime:DataOutOfRange",
                    "Data 'y1' (#3) of chart 101 has the value 2.5, outside its range [-1, 2].");
  EXPECT_HOST_ERROR(range_check(3, kNaN), "Stateflow:Runtime:DataOutOfRange",
                    "Data 'y1' (#3) of chart 101 has the value NaN, outside its range [-1, 2].");
  EXPECT_HOST_ERROR(range_check(3, -kInf), "Stateflow:Runtime:DataOutOfRange",
                    "Data 'y1' (#3) of chart 101 has the value -Inf, outside its range [-1, 2].");

  // A data without declared properties is named by its number.
  host::sf_runtime::set_data_range(machine_, chart_, 2, 0.0, 0.0);
  EXPECT_HOST_ERROR(range_check(2, 1e-9), "Stateflow:Runtime:DataOutOfRange",
                    "Data #2 of chart 101 has the value 1e-09, outside its range [0, 0].");

  host::sf_runtime::clear_data_ranges();
  EXPECT_NO_THROW(range_check(3, 2.5));
}

TEST_F(ChecksTest, ChecksRefuseAnUnknownDebugInstance) {
  host::sf_runtime::set_data_range(machine_, chart_, 3, 0.0, 1.0);
  EXPECT_HOST_ERROR(sf_debug_data_range_wrapper(nullptr, machine_, chart_, instance_, 3, 0.5),
                    "Stateflow:Runtime:InvalidDebugInstance",
                    "sf_debug_data_range_wrapper: no debug instance (null).");
  EXPECT_HOST_ERROR(sf_debug_eml_data_array_bounds_error_check(nullptr, machine_, chart_, instance_,
                                                               "", 1, 1, 2, 1, 0),
                    "Stateflow:Runtime:InvalidDebugInstance",
                    "sf_debug_eml_data_array_bounds_error_check: no debug instance (null).");
}

}  // namespace
