// Once a debug instance has passed the full handle check, the checks a step makes
// take a fast path. Whatever withdraws that trust (terminate, reset, recording on,
// a range set, another instance) must bring back the full path's answers and
// errors, for every check that has a fast path.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "host/trace.hpp"
#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

struct Op {
  const char* name;
  void (*call)(void* dbg, unsigned machine, unsigned chart, unsigned instance);
};

const Op kOps[] = {
    {"sf_debug_integer_check", [](void* d, unsigned m, unsigned c,
                                  unsigned i) { sf_debug_integer_check(d, m, c, i, "", 7); }},
    {"sf_debug_eml_data_array_bounds_error_check",
     [](void* d, unsigned m, unsigned c, unsigned i) {
       sf_debug_eml_data_array_bounds_error_check(d, m, c, i, "", 2, 1, 5, 1, 0);
     }},
    {"sf_debug_data_range_wrapper",
     [](void* d, unsigned m, unsigned c, unsigned i) {
       sf_debug_data_range_wrapper(d, m, c, i, 0, 0.5);
     }},
    {"sf_debug_symbol_scope_push",
     [](void* d, unsigned, unsigned, unsigned) {
       sf_debug_symbol_scope_push(d, 0, 0);
       sf_debug_symbol_scope_pop(d);
     }},
};

class FastPathTest : public RuntimeTest, public ::testing::WithParamInterface<Op> {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    start_machine();
    register_chart(1, &S_, &chart_, &instance_);
  }
  void call(void* dbg) { GetParam().call(dbg, machine_, chart_, instance_); }
  void warm() {
    call(dbg_);
    call(dbg_);
  }
  std::string message(const char* tail) const { return std::string(GetParam().name) + tail; }

  SimStruct S_{};
  unsigned chart_ = 0, instance_ = 0;
};

TEST_P(FastPathTest, ATerminatedOrForgottenHandleIsRefused) {
  warm();
  sf_debug_terminate(dbg_);
  EXPECT_HOST_ERROR(call(dbg_), "Stateflow:Runtime:InvalidDebugInstance",
                    message(": debug instance dbg#1 has been terminated."));
  host::sf_runtime::reset();
  EXPECT_HOST_ERROR(call(dbg_), "Stateflow:Runtime:InvalidDebugInstance",
                    message(": the handle is not a debug instance of this runtime."));
}

TEST_P(FastPathTest, AnotherInstanceDoesNotInheritTheTrust) {
  warm();
  void* other = sf_debug_create_debug_instance_struct();
  call(other);
  call(dbg_);
  sf_debug_terminate(other);
  EXPECT_HOST_ERROR(call(other), "Stateflow:Runtime:InvalidDebugInstance",
                    message(": debug instance dbg#2 has been terminated."));
  EXPECT_NO_THROW(call(dbg_));
  const int unknown = 0;
  EXPECT_HOST_ERROR(call(const_cast<int*>(&unknown)), "Stateflow:Runtime:InvalidDebugInstance",
                    message(": the handle is not a debug instance of this runtime."));
}

TEST_P(FastPathTest, RecordingSwitchedOnAfterTheWarmUpRecordsEveryCall) {
  warm();
  {
    host::trace::Collector collector;
    call(dbg_);
    call(dbg_);
    {
      host::trace::Mute mute;  // off and on again inside
      call(dbg_);
    }
    call(dbg_);
    std::size_t mine = 0;
    for (const host::trace::Call& c : collector.calls())
      mine += c.op == GetParam().name ? 1 : 0;
    EXPECT_EQ(mine, 3u);
  }
  EXPECT_FALSE(host::trace::enabled());
  EXPECT_NO_THROW(warm());
}

INSTANTIATE_TEST_SUITE_P(Checks, FastPathTest, ::testing::ValuesIn(kOps),
                         [](const ::testing::TestParamInfo<Op>& info) {
                           return std::string(info.param.name);
                         });

class FastRangeTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    start_machine();
    register_chart(1, &S_, &chart_, &instance_);
  }
  void range_check(double v) {
    sf_debug_data_range_wrapper(dbg_, machine_, chart_, instance_, 1, v);
  }
  SimStruct S_{};
  unsigned chart_ = 0, instance_ = 0;
};

TEST_F(FastRangeTest, ARangeSetAfterTheWarmUpIsChecked) {
  range_check(5.0);
  range_check(5.0);
  host::sf_runtime::set_data_range(machine_, chart_, 1, 0.0, 1.0);
  EXPECT_HOST_ERROR(range_check(5.0), "Stateflow:Runtime:DataOutOfRange",
                    "Data #1 of chart 101 has the value 5, outside its range [0, 1].");
  EXPECT_NO_THROW(range_check(1.0));
  host::sf_runtime::clear_data_ranges();
  range_check(5.0);
  range_check(5.0);
  host::sf_runtime::set_data_range(machine_, chart_, 1, 0.0, 1.0);
  EXPECT_HOST_ERROR(range_check(-0.5), "Stateflow:Runtime:DataOutOfRange",
                    "Data #1 of chart 101 has the value -0.5, outside its range [0, 1].");
}

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Around the edges of the integer check's fast test (the round trip through a 64-bit
// integer): what it cannot decide goes to the full test, with the same answer.
TEST_F(FastRangeTest, TheIntegerCheckAgreesWithTheFullTestAtTheFastTestsEdges) {
  for (int pass = 0; pass < 2; ++pass) {  // the first call takes the full path
    for (double v : {-9223372036854775808.0, 9223372036854775808.0, 1.8446744073709552e19,
                     4503599627370497.0, -4503599627370497.0, -0.0, 1.7976931348623157e308}) {
      EXPECT_EQ(bits(sf_debug_integer_check(dbg_, machine_, chart_, instance_, "", v)), bits(v))
          << v;
    }
    EXPECT_HOST_ERROR(
        sf_debug_integer_check(dbg_, machine_, chart_, instance_, "", 4503599627370495.5),
        "Stateflow:Runtime:IndexNotInteger", "Index value 4503599627370495.5 is not an integer.");
    EXPECT_HOST_ERROR(sf_debug_integer_check(dbg_, machine_, chart_, instance_, "k", 5e-324),
                      "Stateflow:Runtime:IndexNotInteger",
                      "Index value 5e-324 of 'k' is not an integer.");
  }
}

}  // namespace
