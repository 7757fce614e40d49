// The call recorder: what it records of every host call, in order, and how its
// collectors, sinks and mute nest.
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/trace.hpp"
#include "platform/mathutil.h"
#include "platform/mex.h"
#include "platform/ut.h"
#include "tests/support/host_guard.hpp"

namespace {

using ::testing::ElementsAre;
namespace trace = host::trace;

std::vector<std::string> lines(const trace::Collector& c) {
  std::vector<std::string> out;
  for (const trace::Call& call : c.calls())
    out.push_back(call.line());
  return out;
}

// Read when the program loads, before any test could install a sink.
const bool g_enabled_at_load = trace::enabled();

TEST(Trace, RecordingIsOffByDefault) {
  EXPECT_FALSE(g_enabled_at_load);
  EXPECT_FALSE(trace::enabled());
  int calls = 0;
  trace::set_sink([&](const trace::Call&) { ++calls; });
  EXPECT_TRUE(trace::enabled());
  mxDestroyArray(mxCreateDoubleScalar(1));
  EXPECT_EQ(calls, 2);
  trace::clear_sink();
  EXPECT_FALSE(trace::enabled());
  mxDestroyArray(mxCreateDoubleScalar(1));
  muDoubleScalarIsNaN(1.0);
  EXPECT_EQ(calls, 2);
}

struct Formatted {
  std::string got, want;
};

class TraceArg : public ::testing::TestWithParam<Formatted> {};

TEST_P(TraceArg, Formats) {
  EXPECT_EQ(GetParam().got, GetParam().want);
}

std::string hex(const void* p) {
  std::ostringstream s;
  s << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(p);
  return s.str();
}

const int kSomewhere = 0;

INSTANTIATE_TEST_SUITE_P(
    Values, TraceArg,
    ::testing::Values(Formatted{trace::arg("plain"), "\"plain\""},
                      Formatted{trace::arg("a\"b\\c"), "\"a\\\"b\\\\c\""},
                      Formatted{trace::arg("l1\nl2\tx\r"), "\"l1\\nl2\\tx\\r\""},
                      Formatted{trace::arg("\x01\x7f\xe9"), "\"\\x01\\x7f\\xe9\""},
                      Formatted{trace::arg(static_cast<const char*>(nullptr)), "null"},
                      Formatted{trace::arg(static_cast<const void*>(nullptr)), "null"},
                      Formatted{trace::arg(static_cast<const void*>(&kSomewhere)),
                                hex(&kSomewhere)},
                      Formatted{trace::arg(nullptr), "null"},
                      Formatted{trace::arg(0.1), "0.10000000000000001"},
                      Formatted{trace::arg(-2.5), "-2.5"},
                      Formatted{trace::arg(1e300), "1.0000000000000001e+300"},
                      Formatted{trace::arg(std::numeric_limits<double>::quiet_NaN()), "nan"},
                      Formatted{trace::arg(-7), "-7"}, Formatted{trace::arg(true), "1"},
                      Formatted{trace::arg(18446744073709551615ull), "18446744073709551615"},
                      Formatted{trace::Call{"op", {}}.line(), "op"},
                      Formatted{trace::Call{"op", {"1", "\"a b\""}}.line(), "op 1 \"a b\""}));

class TraceOrder : public test_support::HostTest {
 protected:
  void TearDown() override {
    host::mex::clear_dialogs();
    HostTest::TearDown();
  }
};

TEST_F(TraceOrder, RecordsEveryHostCallInOrder) {
  trace::Collector c;
  mxArray* s = mxCreateString("say \"hi\"");
  mxArray* d = mxCreateDoubleMatrix_700(1, 4, mxREAL);
  mxGetPr(d);
  mxArray* in[3] = {s, s, s};
  mexCallMATLAB(0, nullptr, 3, in, "errordlg");
  void* block = utMalloc(24);
  utFree(block);
  muDoubleScalarIsNaN(0.5);
  muDoubleScalarIsInf(-std::numeric_limits<double>::infinity());
  mxDestroyArray(d);
  mxDestroyArray(s);
  mxDestroyArray(nullptr);
  EXPECT_THAT(
      lines(c),
      ElementsAre("mxCreateString \"say \\\"hi\\\"\"", "mxCreateDoubleMatrix_700 1 4 0",
                  "mxGetPr double[1x4]",
                  "mexCallMATLAB 0 3 \"errordlg\" char[1x8] char[1x8] char[1x8]", "utMalloc 24",
                  "utFree " + hex(block), "muDoubleScalarIsNaN 0.5", "muDoubleScalarIsInf -inf",
                  "mxDestroyArray double[1x4]", "mxDestroyArray char[1x8]", "mxDestroyArray null"));
  ASSERT_EQ(c.calls().size(), 11u);
  EXPECT_EQ(c.calls()[3].op, "mexCallMATLAB");
  EXPECT_THAT(c.calls()[3].args,
              ElementsAre("0", "3", "\"errordlg\"", "char[1x8]", "char[1x8]", "char[1x8]"));
}

TEST_F(TraceOrder, CallsInsideAFunctionAreRecordedButNotTheBuiltinsOwn) {
  host::mex::register_function("probe", [](int, mxArray*[], int, mxArray*[]) { mxGetNaN(); });
  mxArray* in[1] = {mxCreateString("Coder:toolbox:interp1_nonMonotonicX")};
  mxArray* out[1] = {nullptr};
  trace::Collector c;
  mexCallMATLAB(0, nullptr, 0, nullptr, "probe");
  mexCallMATLAB(1, out, 1, in, "message");
  EXPECT_THAT(lines(c), ElementsAre("mexCallMATLAB 0 0 \"probe\"", "mxGetNaN",
                                    "mexCallMATLAB 1 1 \"message\" char[1x35]"));
  host::mex::unregister_function("probe");
  mxDestroyArray(in[0]);
  mxDestroyArray(out[0]);
}

TEST_F(TraceOrder, HostErrorsAndLocksAreRecorded) {
  trace::Collector c;
  {
    host::mex::CallContext context(&c);
    mexLock();
    mexIsLocked();
    mexUnlock();
  }
  EXPECT_THROW(mexErrMsgIdAndTxt("a:b", "n=%d", 3), host::HostError);
  EXPECT_THROW(mexErrMsgTxt("plain"), host::HostError);
  EXPECT_THAT(lines(c), ElementsAre("mexLock", "mexIsLocked", "mexUnlock",
                                    "mexErrMsgIdAndTxt \"a:b\" \"n=3\"", "mexErrMsgTxt \"plain\""));
}

TEST_F(TraceOrder, CollectorsNestAndRestore) {
  trace::Collector outer;
  mxDestroyArray(mxCreateDoubleScalar(1));
  {
    trace::Collector inner;
    mxGetNaN();
    EXPECT_THAT(lines(inner), ElementsAre("mxGetNaN"));
  }
  mxGetInf();
  EXPECT_THAT(lines(outer),
              ElementsAre("mxCreateDoubleScalar 1", "mxDestroyArray double[1x1]", "mxGetInf"));
  outer.clear();
  EXPECT_TRUE(outer.calls().empty());
}

TEST_F(TraceOrder, MuteAndASinkCallingTheHostRecordNothing) {
  std::vector<std::string> seen;
  trace::set_sink([&](const trace::Call& call) {
    seen.push_back(call.line());
    mxGetNaN();  // would recurse if recorded
  });
  {
    trace::Mute mute;
    EXPECT_FALSE(trace::enabled());
    mxGetInf();
  }
  EXPECT_TRUE(trace::enabled());
  mxGetNaN();
  trace::clear_sink();
  EXPECT_THAT(seen, ElementsAre("mxGetNaN"));
}

}  // namespace
