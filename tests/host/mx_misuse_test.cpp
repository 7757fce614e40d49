// The stand-in matrix library: bad input, misuse (double destroy, use after destroy,
// owned children) and call scopes.
#include <functional>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "platform/mx.h"
#include "tests/host/mx_fixture.hpp"

namespace {

using mx_test::MxTest;
using mx_test::struct_with_children;
using test_support::HostTest;

// ---- bad input -------------------------------------------------------------------

TEST_F(MxTest, BadSizesAndNamesAreHostErrors) {
  const char* dup[] = {"a", "b", "a"};
  const char* empty[] = {""};
  const char* f1[] = {"a"};
  EXPECT_HOST_ERROR(mxCreateDoubleMatrix_700(-1, 2, mxREAL), "",
                    "mxCreateDoubleMatrix_700: negative dimension");
  EXPECT_HOST_ERROR(mxCreateCellMatrix_700(1, -2), "",
                    "mxCreateCellMatrix_700: negative dimension");
  EXPECT_HOST_ERROR(mxCreateStringFromNChars_700("a", -1), "",
                    "mxCreateStringFromNChars_700: negative length");
  EXPECT_HOST_ERROR(mxCreateNumericMatrix_700(1, 1, mxCHAR_CLASS, mxREAL), "",
                    "mxCreateNumericMatrix_700: class char is not numeric");
  EXPECT_HOST_ERROR(mxCreateStructMatrix_700(1, 1, 3, dup), "",
                    "mxCreateStructMatrix_700: duplicate field name \"a\"");
  EXPECT_HOST_ERROR(mxCreateStructMatrix_700(1, 1, 1, empty), "",
                    "mxCreateStructMatrix_700: empty field name");
  EXPECT_HOST_ERROR(mxCreateDoubleMatrix_700(1 << 30, 1 << 30, mxREAL), "",
                    "mxCreateDoubleMatrix_700: array too large");
  // A struct's slots past what any container holds; without fields it holds none.
  EXPECT_HOST_ERROR(mxCreateStructMatrix_700(0x7fffffff, 0x7fffffff, 1, f1), "",
                    "mxCreateStructMatrix_700: out of memory");
  mxArray* none = mxCreateStructMatrix_700(1 << 28, 1, 0, nullptr);
  EXPECT_EQ(mxGetNumberOfElements(none), std::size_t{1} << 28);
  mxDestroyArray(none);
}

TEST_F(MxTest, SettingAMissingFieldOrCellLeavesTheValueWithItsOwner) {
  const char* f[] = {"a"};
  mxArray* s = mxCreateStructMatrix_700(1, 1, 1, f);
  mxArray* c = mxCreateCellMatrix_700(1, 1);
  mxArray* v = mxCreateDoubleScalar(1);
  EXPECT_HOST_ERROR(mxSetField_700(s, 0, "b", v), "", "mxSetField_700: no field \"b\"");
  EXPECT_HOST_ERROR(mxSetField_700(s, 1, "a", v), "",
                    "mxSetField_700: index 1 is outside struct[1x1]");
  EXPECT_HOST_ERROR(mxSetField_700(c, 0, "a", v), "", "mxSetField_700: cell[1x1] is not a struct");
  EXPECT_HOST_ERROR(mxSetCell_700(c, 1, v), "", "mxSetCell_700: index 1 is outside cell[1x1]");
  EXPECT_HOST_ERROR(mxSetCell_700(s, 0, v), "", "mxSetCell_700: struct[1x1] is not a cell");
  mxDestroyArray(v);  // still the caller's
  mxDestroyArray(s);
  mxDestroyArray(c);
}

// ---- misuse ------------------------------------------------------------------------

TEST_F(MxTest, DoubleDestroyIsDetected) {
  mxArray* a = mxCreateDoubleScalar(1);
  mxDestroyArray(a);
  EXPECT_MISUSE(mxDestroyArray(a), "mxDestroyArray: array already destroyed");
}

TEST_F(MxTest, DestroyingAContainerDestroysItsChildren) {
  mxArray* s = struct_with_children();
  mxArray* child = mxGetField_700(s, 0, "a");
  mxDestroyArray(s);
  EXPECT_MISUSE(mxDestroyArray(child), "mxDestroyArray: array already destroyed");
}

using Use = std::function<void(mxArray*)>;
struct UseCase {
  const char* op;
  Use use;
};

class MxUseAfterDestroy : public HostTest, public ::testing::WithParamInterface<UseCase> {};

TEST_P(MxUseAfterDestroy, IsReportedWithTheOperationName) {
  mxArray* a = mxCreateDoubleScalar(1);
  mxDestroyArray(a);
  EXPECT_MISUSE(GetParam().use(a),
                std::string(GetParam().op) + ": array used after it was destroyed");
  int on_stack = 0;
  EXPECT_MISUSE(GetParam().use(reinterpret_cast<mxArray*>(&on_stack)),
                std::string(GetParam().op) + ": pointer is not an array");
  EXPECT_MISUSE(GetParam().use(nullptr), std::string(GetParam().op) + ": null array");
}

INSTANTIATE_TEST_SUITE_P(
    Ops, MxUseAfterDestroy,
    ::testing::Values(UseCase{"mxGetPr", [](mxArray* a) { mxGetPr(a); }},
                      UseCase{"mxGetM", [](mxArray* a) { mxGetM(a); }},
                      UseCase{"mxGetScalar", [](mxArray* a) { mxGetScalar(a); }},
                      UseCase{"mxIsChar", [](mxArray* a) { mxIsChar(a); }},
                      UseCase{"mxDuplicateArray", [](mxArray* a) { mxDuplicateArray(a); }},
                      UseCase{"mxGetString_700",
                              [](mxArray* a) {
                                char b[4];
                                mxGetString_700(a, b, 4);
                              }},
                      UseCase{"mxGetField_700", [](mxArray* a) { mxGetField_700(a, 0, "f"); }},
                      UseCase{"mxSetCell_700", [](mxArray* a) { mxSetCell_700(a, 0, nullptr); }},
                      UseCase{"mexMakeArrayPersistent",
                              [](mxArray* a) {
                                host::mx::make_persistent(a, "mexMakeArrayPersistent");
                              }}),
    [](const auto& info) { return std::string(info.param.op); });

TEST_F(MxTest, OwnedChildrenCannotBeDestroyedOrStoredTwice) {
  mxArray* s = struct_with_children();
  mxArray* child = mxGetField_700(s, 0, "a");
  mxArray* c = mxCreateCellMatrix_700(1, 1);
  EXPECT_MISUSE(mxDestroyArray(child), "mxDestroyArray: array is owned by a struct or cell");
  EXPECT_MISUSE(mxSetCell_700(c, 0, child),
                "mxSetCell_700: value already belongs to a struct or cell");
  EXPECT_MISUSE(host::mx::make_persistent(child, "mexMakeArrayPersistent"),
                "mexMakeArrayPersistent: array belongs to a struct or cell");
  EXPECT_MISUSE(mxSetCell_700(c, 0, c), "mxSetCell_700: value would contain itself");
  mxArray* inner = mxGetField_700(s, 1, "a");  // a cell inside s
  EXPECT_MISUSE(mxSetCell_700(inner, 0, s), "mxSetCell_700: value would contain itself");
  EXPECT_TRUE(host::mx::is_live(child));
  mxDestroyArray(c);
  mxDestroyArray(s);
}

TEST_F(MxTest, QuarantineIsBounded) {
  std::vector<mxArray*> arrays;
  for (int i = 0; i < 4097; ++i)
    arrays.push_back(mxCreateDoubleScalar(i));
  for (mxArray* a : arrays)
    mxDestroyArray(a);
  // the oldest destroyed array has left the quarantine; the newest is still known
  EXPECT_MISUSE(mxGetM(arrays.front()), "mxGetM: pointer is not an array");
  EXPECT_MISUSE(mxGetM(arrays.back()), "mxGetM: array used after it was destroyed");
}

// ---- scopes ----------------------------------------------------------------------------

TEST_F(MxTest, ClosingAScopeDestroysAllButKeptAndPersistent) {
  const std::size_t persistent = host::mx::persistent_count();
  const auto scope = host::mx::open_scope();
  mxArray* temp = mxCreateDoubleScalar(1);
  mxArray* kept = mxCreateString("k");
  mxArray* pers = mxCreateDoubleScalar(2);
  host::mx::make_persistent(pers);
  mxArray* s = struct_with_children();
  EXPECT_EQ(host::mx::scope_of(temp), scope);
  EXPECT_EQ(host::mx::scope_of(pers), 0u);
  int not_an_array = 0;
  mxArray* keep[] = {kept, nullptr, reinterpret_cast<mxArray*>(&not_an_array), kept};
  host::mx::close_scope(scope, keep, 4);
  EXPECT_FALSE(host::mx::is_live(temp));
  EXPECT_FALSE(host::mx::is_live(s));
  EXPECT_TRUE(host::mx::is_live(kept));
  EXPECT_EQ(host::mx::scope_of(kept), 0u);
  EXPECT_TRUE(host::mx::is_persistent(pers));
  EXPECT_EQ(host::mx::persistent_count(), persistent + 1);
  EXPECT_EQ(host::mx::live_count(), live_before_ + 2);
  mxDestroyArray(kept);
  mxDestroyArray(pers);
  EXPECT_EQ(host::mx::persistent_count(), persistent);
}

TEST_F(MxTest, NestedScopesHandKeptArraysOutward) {
  const auto outer = host::mx::open_scope();
  mxArray* a = mxCreateDoubleScalar(1);
  const auto inner = host::mx::open_scope();
  mxArray* b = mxCreateDoubleScalar(2);
  mxArray* c = mxCreateDoubleScalar(3);
  mxArray* released = mxCreateDoubleScalar(4);
  host::mx::release_from_scope(released);
  EXPECT_MISUSE(host::mx::close_scope(outer, nullptr, 0),
                "close_scope: scope is not the innermost open scope");
  mxArray* keep[] = {b, a};  // a is not the inner scope's: untouched
  host::mx::close_scope(inner, keep, 2);
  EXPECT_FALSE(host::mx::is_live(c));
  EXPECT_EQ(host::mx::scope_of(b), outer);
  EXPECT_EQ(host::mx::scope_of(a), outer);
  host::mx::close_scope(outer, nullptr, 0);
  EXPECT_FALSE(host::mx::is_live(a));
  EXPECT_FALSE(host::mx::is_live(b));
  EXPECT_TRUE(host::mx::is_live(released));
  mxDestroyArray(released);
}

TEST(MxAbort, MisuseAbortsWithTheMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  host::mx::set_misuse_mode(host::mx::MisuseMode::Abort);
  EXPECT_DEATH(
      {
        mxArray* a = mxCreateDoubleScalar(1);
        mxDestroyArray(a);
        mxDestroyArray(a);
      },
      "mxDestroyArray: array already destroyed");
  host::mx::set_misuse_mode(host::mx::MisuseMode::Throw);
}

}  // namespace
