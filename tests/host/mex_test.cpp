// The stand-in MEX layer: call contexts, host errors, locks, MATLAB-level calls
// and the built-in functions.
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "platform/mex.h"
#include "tests/support/host_guard.hpp"

namespace {

using test_support::HostTest;
using ::testing::ElementsAre;

class MexTest : public HostTest {
 protected:
  void TearDown() override {
    host::mex::set_error_returns(false);
    host::mex::clear_dialogs();
    HostTest::TearDown();
  }
};

std::string text(const mxArray* a) {
  char buf[256];
  EXPECT_EQ(mxGetString_700(a, buf, sizeof buf), 0);
  return buf;
}

const int kPluginA = 0, kPluginB = 0;
const void* const A = &kPluginA;
const void* const B = &kPluginB;

// ---- host errors -------------------------------------------------------------------

TEST_F(MexTest, ErrMsgTxtRaisesWithoutIdentifier) {
  EXPECT_HOST_ERROR(mexErrMsgTxt("Unsuccessful command."), "", "Unsuccessful command.");
}

TEST_F(MexTest, ErrMsgIdAndTxtFormats) {
  EXPECT_HOST_ERROR(mexErrMsgIdAndTxt("my:id", "chart %d of %s: %.2f", 3, "model", 0.5), "my:id",
                    "chart 3 of model: 0.50");
  EXPECT_HOST_ERROR(mexErrMsgIdAndTxt("x:y", "100%% plain"), "x:y", "100% plain");
}

// ---- call contexts ---------------------------------------------------------------------

mxArray* g_made = nullptr;
mxArray* g_persistent = nullptr;

void make_three(int, mxArray* plhs[], int, const mxArray*[]) {
  g_made = mxCreateDoubleScalar(1);
  plhs[0] = mxCreateDoubleScalar(2);
  g_persistent = mxCreateDoubleScalar(3);
  mexMakeArrayPersistent(g_persistent);
}

TEST_F(MexTest, CallDestroysWhatItMadeButOutputsAndPersistent) {
  mxArray* out[1] = {nullptr};
  host::mex::call(A, make_three, 1, out, 0, nullptr);
  EXPECT_FALSE(host::mx::is_live(g_made));
  ASSERT_TRUE(host::mx::is_live(out[0]));
  EXPECT_EQ(mxGetScalar(out[0]), 2.0);
  EXPECT_EQ(host::mx::scope_of(out[0]), 0u);
  EXPECT_TRUE(host::mx::is_persistent(g_persistent));
  EXPECT_EQ(host::mex::current_plugin(), nullptr);
  mxDestroyArray(out[0]);
  mxDestroyArray(g_persistent);
}

void make_and_fail(int, mxArray* plhs[], int, const mxArray*[]) {
  plhs[0] = mxCreateDoubleScalar(2);
  g_made = mxCreateString("tmp");
  mexErrMsgIdAndTxt("t:fail", "failed after %d arrays", 2);
}

TEST_F(MexTest, FailingCallCleansUpAndRethrows) {
  mxArray* out[2] = {nullptr, nullptr};
  EXPECT_HOST_ERROR(host::mex::call(A, make_and_fail, 2, out, 0, nullptr), "t:fail",
                    "failed after 2 arrays");
  EXPECT_FALSE(host::mx::is_live(g_made));
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(host::mex::current_plugin(), nullptr);
}

std::vector<const void*> g_seen;

void inner_call(int, mxArray* plhs[], int, const mxArray*[]) {
  g_seen.push_back(host::mex::current_plugin());
  g_made = mxCreateDoubleScalar(5);
  plhs[0] = mxCreateDoubleScalar(6);
}

void outer_call(int, mxArray* plhs[], int, const mxArray*[]) {
  g_seen.push_back(host::mex::current_plugin());
  mxArray* out[1] = {nullptr};
  host::mex::call(B, inner_call, 1, out, 0, nullptr);
  EXPECT_FALSE(host::mx::is_live(g_made));
  g_seen.push_back(host::mex::current_plugin());
  plhs[0] = out[0];  // the inner output now belongs to this call and is passed on
}

TEST_F(MexTest, NestedContextsRestoreThePluginAndScope) {
  g_seen.clear();
  mxArray* out[1] = {nullptr};
  host::mex::call(A, outer_call, 1, out, 0, nullptr);
  EXPECT_THAT(g_seen, ElementsAre(A, B, A));
  ASSERT_TRUE(host::mx::is_live(out[0]));
  EXPECT_EQ(mxGetScalar(out[0]), 6.0);
  mxDestroyArray(out[0]);
}

TEST_F(MexTest, UnclosedContextDestroysEverything) {
  mxArray* a = nullptr;
  {
    host::mex::CallContext context(A);
    a = mxCreateDoubleScalar(1);
    EXPECT_EQ(host::mex::current_plugin(), A);
  }
  EXPECT_FALSE(host::mx::is_live(a));
  EXPECT_EQ(host::mex::current_plugin(), nullptr);
}

TEST_F(MexTest, NegativeOutputCountLeavesTheSlotsAlone) {
  int simstruct = 0;
  mxArray* slots[2] = {nullptr, reinterpret_cast<mxArray*>(&simstruct)};
  auto fail = [](int, mxArray*[], int, const mxArray*[]) { mexErrMsgTxt("bad"); };
  EXPECT_HOST_ERROR(host::mex::call(A, fail, -1, slots, 0, nullptr), "", "bad");
  EXPECT_EQ(slots[1], reinterpret_cast<mxArray*>(&simstruct));
  auto fine = [](int, mxArray*[], int, const mxArray*[]) { mxCreateDoubleScalar(1); };
  host::mex::call(A, fine, -1, slots, 0, nullptr);
  EXPECT_EQ(slots[1], reinterpret_cast<mxArray*>(&simstruct));
}

// ---- locks -------------------------------------------------------------------------------

TEST_F(MexTest, LocksAreCountedPerPlugin) {
  {
    host::mex::CallContext a(A);
    EXPECT_FALSE(mexIsLocked());
    mexLock();
    mexLock();
    EXPECT_TRUE(mexIsLocked());
    {
      host::mex::CallContext b(B);
      EXPECT_FALSE(mexIsLocked());
      mexLock();
    }
    EXPECT_EQ(host::mex::lock_count(A), 2);
    EXPECT_EQ(host::mex::lock_count(B), 1);
    mexUnlock();
    EXPECT_TRUE(mexIsLocked());
    mexUnlock();
    EXPECT_FALSE(mexIsLocked());
    EXPECT_HOST_ERROR(mexUnlock(), "", "mexUnlock: the plug-in is not locked");
  }
  host::mex::CallContext b(B);
  mexUnlock();
  EXPECT_EQ(host::mex::lock_count(B), 0);
}

TEST_F(MexTest, LocksOutsideACallAreHostErrors) {
  EXPECT_HOST_ERROR(mexLock(), "", "mexLock: called outside of a MEX call");
  EXPECT_HOST_ERROR(mexUnlock(), "", "mexUnlock: called outside of a MEX call");
  EXPECT_HOST_ERROR(mexIsLocked(), "", "mexIsLocked: called outside of a MEX call");
}

// ---- mexCallMATLAB -------------------------------------------------------------------

TEST_F(MexTest, UnknownFunctionIsAnUndefinedFunctionError) {
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 0, nullptr, "no_such_fn"), "MATLAB:UndefinedFunction",
                    "Undefined function 'no_such_fn'.");
}

TEST_F(MexTest, OutputsGoToTheCallerAndTemporariesEndWithTheFunction) {
  mxArray* temp = nullptr;
  host::mex::register_function("twice", [&](int, mxArray* plhs[], int, mxArray* prhs[]) {
    temp = mxCreateDoubleScalar(0);
    plhs[0] = mxCreateDoubleScalar(2 * mxGetScalar(prhs[0]));
  });
  EXPECT_TRUE(host::mex::has_function("twice"));
  host::mex::CallContext context(A);
  mxArray* in[1] = {mxCreateDoubleScalar(21)};
  mxArray* out[1] = {nullptr};
  EXPECT_EQ(mexCallMATLAB(1, out, 1, in, "twice"), 0);
  EXPECT_FALSE(host::mx::is_live(temp));
  EXPECT_EQ(mxGetScalar(out[0]), 42.0);
  EXPECT_EQ(host::mx::scope_of(out[0]), host::mx::scope_of(in[0]));
  context.close(nullptr, 0);
  EXPECT_FALSE(host::mx::is_live(out[0]));
  host::mex::unregister_function("twice");
  EXPECT_FALSE(host::mex::has_function("twice"));
}

TEST_F(MexTest, UnassignedOutputIsAnError) {
  mxArray* made = nullptr;
  host::mex::register_function("lazy", [&](int, mxArray* plhs[], int, mxArray*[]) {
    plhs[0] = mxCreateDoubleScalar(1);
    made = plhs[0];
  });
  mxArray* out[2] = {nullptr, nullptr};
  EXPECT_HOST_ERROR(mexCallMATLAB(2, out, 0, nullptr, "lazy"), "MATLAB:unassignedOutputs",
                    "One or more output arguments not assigned during call to 'lazy'.");
  EXPECT_FALSE(host::mx::is_live(made));
  EXPECT_EQ(out[0], nullptr);
  // with no outputs requested, a value the function gives anyway is dropped
  EXPECT_EQ(mexCallMATLAB(0, nullptr, 0, nullptr, "lazy"), 0);
  EXPECT_FALSE(host::mx::is_live(made));
  host::mex::unregister_function("lazy");
}

TEST_F(MexTest, InputsAreValidated) {
  mxArray* a = mxCreateDoubleScalar(1);
  mxDestroyArray(a);
  mxArray* in[1] = {a};
  EXPECT_MISUSE(mexCallMATLAB(0, nullptr, 1, in, "errordlg"),
                "mexCallMATLAB: array used after it was destroyed");
}

// ---- built-in functions ------------------------------------------------------------------

struct Catalogue {
  const char* id;
  const char* text;
};

class MessageFunction : public MexTest, public ::testing::WithParamInterface<Catalogue> {};

TEST_P(MessageFunction, BuildsARecordFromTheCatalogue) {
  mxArray* in[1] = {mxCreateString(GetParam().id)};
  mxArray* out[1] = {nullptr};
  mexCallMATLAB(1, out, 1, in, "message");
  ASSERT_TRUE(mxIsStruct(out[0]));
  EXPECT_EQ(mxGetNumberOfElements(out[0]), 1u);
  ASSERT_EQ(mxGetNumberOfFields(out[0]), 2);
  EXPECT_STREQ(mxGetFieldNameByNumber(out[0], 0), "identifier");
  EXPECT_STREQ(mxGetFieldNameByNumber(out[0], 1), "text");
  EXPECT_EQ(text(mxGetField_700(out[0], 0, "identifier")), GetParam().id);
  EXPECT_EQ(text(mxGetField_700(out[0], 0, "text")), GetParam().text);
  EXPECT_EQ(host::mex::catalogue_text(GetParam().id), GetParam().text);
  // and "error" raises it
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 1, out, "error"), GetParam().id, GetParam().text);
  mxDestroyArray(in[0]);
  mxDestroyArray(out[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, MessageFunction,
    ::testing::Values(Catalogue{"MATLAB:interp1:NaNinX",
                                "NaN is not an allowed value in the breakpoints X."},
                      Catalogue{"Coder:toolbox:interp1_nonMonotonicX",
                                "The breakpoints X must be strictly monotonic."},
                      Catalogue{"Some:unknown:id", "Some:unknown:id"}));

TEST_F(MexTest, ErrorTakesATextOrAnIdentifierAndText) {
  mxArray* in[2] = {mxCreateString("my:id"), mxCreateString("Went wrong.")};
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 1, in + 1, "error"), "", "Went wrong.");
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 2, in, "error"), "my:id", "Went wrong.");
  host::mex::set_error_returns(true);
  EXPECT_TRUE(host::mex::error_returns());
  EXPECT_EQ(mexCallMATLAB(0, nullptr, 2, in, "error"), 0);
  EXPECT_EQ(mexCallMATLAB(0, nullptr, 1, in + 1, "error"), 0);
  host::mex::set_error_returns(false);
  mxDestroyArray(in[0]);
  mxDestroyArray(in[1]);
}

TEST_F(MexTest, BuiltinsRejectBadArguments) {
  mxArray* d = mxCreateDoubleScalar(1);
  mxArray* s = mxCreateString("s");
  const char* f[] = {"identifier"};
  mxArray* rec = mxCreateStructMatrix_700(1, 1, 1, f);
  mxArray* out[1] = {nullptr};
  EXPECT_HOST_ERROR(mexCallMATLAB(1, out, 1, &d, "message"), "",
                    "message: argument 1 must be a character array");
  EXPECT_HOST_ERROR(mexCallMATLAB(1, out, 0, nullptr, "message"), "",
                    "message: not enough input arguments");
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 1, &d, "error"), "",
                    "error: argument 1 must be a character array");
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 1, &rec, "error"), "",
                    "error: a message record needs the fields identifier and text");
  mxArray* three[3] = {s, s, s};
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 3, three, "error"), "",
                    "error: too many input arguments");
  EXPECT_HOST_ERROR(mexCallMATLAB(1, out, 1, &s, "errordlg"), "",
                    "errordlg: too many output arguments");
  mxArray* bad[2] = {s, d};
  EXPECT_HOST_ERROR(mexCallMATLAB(0, nullptr, 2, bad, "errordlg"), "",
                    "errordlg: argument 2 must be a character array");
  EXPECT_TRUE(host::mex::dialogs().empty());
  for (mxArray* a : {d, s, rec})
    mxDestroyArray(a);
}

TEST_F(MexTest, ErrordlgRecordsTheDialog) {
  mxArray* in[3] = {mxCreateString("Chart failed"), mxCreateString("Fatal Error"),
                    mxCreateString("modal")};
  mexCallMATLAB(0, nullptr, 3, in, "errordlg");
  mexCallMATLAB(0, nullptr, 1, in, "errordlg");
  ASSERT_EQ(host::mex::dialogs().size(), 2u);
  const auto& d = host::mex::dialogs()[0];
  EXPECT_EQ(d.message, "Chart failed");
  EXPECT_EQ(d.title, "Fatal Error");
  EXPECT_EQ(d.mode, "modal");
  EXPECT_EQ(host::mex::dialogs()[1].message, "Chart failed");
  EXPECT_EQ(host::mex::dialogs()[1].title, "");
  host::mex::clear_dialogs();
  EXPECT_TRUE(host::mex::dialogs().empty());
  for (mxArray* a : in)
    mxDestroyArray(a);
}

TEST_F(MexTest, PrintfWritesToStandardOutput) {
  ::testing::internal::CaptureStdout();
  const int n = mexPrintf("%s=%d\n", "n", 42);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "n=42\n");
  EXPECT_EQ(n, 5);
}

}  // namespace
