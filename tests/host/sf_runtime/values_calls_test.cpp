// Calls into MATLAB-level functions (sf_mex_call_debug, sf_mex_call_matlab) and the
// runtime's own error (sf_mex_error_message).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/trace.hpp"
#include "platform/sf_runtime.h"
#include "tests/host/sf_runtime/values_support.hpp"
#include "tests/support/mx_owner.hpp"

namespace {

using sf_runtime_test::text_of;
using test_support::HostTest;
using test_support::Mx;

class CallsTest : public HostTest {
 protected:
  void TearDown() override {
    for (const std::string& name : registered_)
      host::mex::unregister_function(name);
    HostTest::TearDown();
  }
  void add_function(const std::string& name, host::mex::Function fn) {
    host::mex::register_function(name, std::move(fn));
    registered_.push_back(name);
  }
  std::vector<std::string> registered_;
};

// The chart kernel's way of raising an error by identifier: a character buffer, the
// function "message", then the function "error".
const mxArray* raise_by_identifier(const char* identifier, int length) {
  const mxArray* holder = nullptr;
  sf_mex_assign(
      &holder, sf_mex_create("y", identifier, SF_MEX_CHAR_BUFFER, 0, 1, 0, 2, 1, length, 0), false);
  const mxArray* msg = sf_mex_call_debug(nullptr, "message", 1, 1, SF_MEX_ARG_HOLDER, holder);
  return sf_mex_call_debug(nullptr, "error", 0, 1, SF_MEX_ARG_HOLDER, msg);
}

TEST_F(CallsTest, MessageThenErrorRaisesTheCataloguedText) {
  host::mex::CallContext call(this);
  EXPECT_HOST_ERROR(raise_by_identifier("MATLAB:interp1:NaNinX", 21), "MATLAB:interp1:NaNinX",
                    "NaN is not an allowed value in the breakpoints X.");
  EXPECT_HOST_ERROR(raise_by_identifier("Coder:toolbox:interp1_nonMonotonicX", 35),
                    "Coder:toolbox:interp1_nonMonotonicX",
                    "The breakpoints X must be strictly monotonic.");
  call.close(nullptr, 0);  // holders and messages end with the call
}

TEST_F(CallsTest, ErrorReturnsWhenTheSwitchIsOn) {
  host::mex::set_error_returns(true);
  host::mex::CallContext call(this);
  EXPECT_EQ(raise_by_identifier("MATLAB:interp1:NaNinX", 21), nullptr);
  call.close(nullptr, 0);
}

TEST_F(CallsTest, CallDebugReturnsTheFirstOutputAndReleasesTheOthers) {
  int calls = 0;
  add_function("pair", [&](int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]) {
    ++calls;
    EXPECT_EQ(nrhs, 2);
    EXPECT_EQ(text_of(prhs[0]), "abc");
    plhs[0] = mxCreateDoubleScalar(mxGetScalar(prhs[1]) * 2);
    if (nlhs > 1) plhs[1] = mxCreateString("second");
  });
  Mx text(sf_mex_create("y", "abc", SF_MEX_TEXT, 0, 0, 0, 2, 1, 3));
  Mx four(mxCreateDoubleScalar(4));
  Mx out(sf_mex_call_debug(nullptr, "pair", 2, 2, SF_MEX_ARG_HOLDER, text.get(), SF_MEX_ARG_HOLDER,
                           four.get()));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(mxGetScalar(out.get()), 8.0);
  // No output asked for: whatever the function left is released, null comes back.
  EXPECT_EQ(sf_mex_call_debug(nullptr, "pair", 0, 2, SF_MEX_ARG_HOLDER, text.get(),
                              SF_MEX_ARG_HOLDER, four.get()),
            nullptr);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(host::mx::is_live(text.get()));  // inputs are not consumed
}

TEST_F(CallsTest, CallDebugRefusesOtherArgumentKinds) {
  Mx v(mxCreateDoubleScalar(1));
  EXPECT_HOST_ERROR(
      sf_mex_call_debug(nullptr, "message", 1, 1, 13, v.get()), "Stateflow:Runtime:BadCall",
      "sf_mex_call_debug: input 1 of 'message' has argument kind 13; only kind 14 (an mxArray) "
      "is supported.");
}

TEST_F(CallsTest, CallDebugOfAnUnknownFunctionRaises) {
  try {
    sf_mex_call_debug(nullptr, "no_such_function_here", 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.identifier, "MATLAB:UndefinedFunction");
  }
}

TEST_F(CallsTest, CallMatlabAnswersNonzeroForAnUnknownFunction) {
  mxArray* plhs[1] = {nullptr};
  EXPECT_NE(sf_mex_call_matlab(1, plhs, 0, nullptr, "no_such_function_here"), 0);
  EXPECT_EQ(plhs[0], nullptr);
}

TEST_F(CallsTest, CallMatlabRunsTheFunction) {
  add_function("twice", [](int, mxArray* plhs[], int, mxArray* prhs[]) {
    plhs[0] = mxCreateDoubleScalar(2 * mxGetScalar(prhs[0]));
  });
  mxArray* in[1] = {mxCreateDoubleScalar(21)};
  mxArray* out[1] = {nullptr};
  EXPECT_EQ(sf_mex_call_matlab(1, out, 1, in, "twice"), 0);
  ASSERT_NE(out[0], nullptr);
  EXPECT_EQ(mxGetScalar(out[0]), 42.0);
  mxDestroyArray(out[0]);
  mxDestroyArray(in[0]);
}

TEST_F(CallsTest, CallMatlabPassesTheFunctionsErrorOn) {
  add_function("refuse", [](int, mxArray*[], int, mxArray*[]) {
    mexErrMsgIdAndTxt("Test:Refused", "refused: %d", 7);
  });
  mxArray* out[1] = {nullptr};
  EXPECT_HOST_ERROR(sf_mex_call_matlab(1, out, 0, nullptr, "refuse"), "Test:Refused", "refused: 7");
  EXPECT_EQ(out[0], nullptr);
}

TEST_F(CallsTest, ErrorMessageFormatsAndRaises) {
  EXPECT_HOST_ERROR(
      sf_mex_error_message(
          "Stateflow Internal Error:\nError calling c2_Harnvale_method_dispatcher.\nCan't "
          "handle method %d.\n",
          SS_METHOD_CHECK_PARAMETERS),
      "Stateflow:Runtime:ErrorMessage",
      "Stateflow Internal Error:\nError calling c2_Harnvale_method_dispatcher.\nCan't handle "
      "method 112.\n");
  EXPECT_HOST_ERROR(sf_mex_error_message("Could not allocate memory for chart instance."),
                    "Stateflow:Runtime:ErrorMessage",
                    "Could not allocate memory for chart instance.");
  // A message longer than any fixed buffer comes through whole.
  const std::string long_text(3000, 'x');
  EXPECT_HOST_ERROR(sf_mex_error_message("%s!", long_text.c_str()),
                    "Stateflow:Runtime:ErrorMessage", long_text + "!");
}

TEST_F(CallsTest, TheRaiseSequenceIsRecordedWithoutTheHostsInnerCalls) {
  std::vector<std::string> lines;
  {
    host::mex::CallContext call(this);
    host::trace::Collector collector;
    try {
      raise_by_identifier("MATLAB:interp1:NaNinX", 21);
    } catch (const host::HostError&) {
    }
    for (const auto& c : collector.calls())
      lines.push_back(c.line());
    call.close(nullptr, 0);
  }
  EXPECT_THAT(lines, ::testing::ElementsAre("sf_mex_create \"y\" 10 0 1 0 2 1x21",
                                            "sf_mex_assign nothing char[1x21] 0",
                                            "sf_mex_call_debug null \"message\" 1 1 [char[1x21]]",
                                            "sf_mex_call_debug null \"error\" 0 1 [struct[1x1]]"));
}

}  // namespace
