// The stand-in matrix library: values, ownership and accounting (misuse is
// mx_misuse_test.cpp).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "platform/mx.h"
#include "tests/host/mx_fixture.hpp"
#include "tests/support/host_guard.hpp"

namespace {

using test_support::HostTest;
using ::testing::ElementsAre;

using mx_test::MxTest;
using mx_test::struct_with_children;

// ---- creation and accounting ------------------------------------------------

struct Maker {
  const char* name;
  std::function<mxArray*()> make;
  std::size_t arrays;  // how many live arrays one value counts for
  const char* description;
};

class MxCreate : public HostTest, public ::testing::WithParamInterface<Maker> {};

TEST_P(MxCreate, CountsEveryArrayAndDestroysDeeply) {
  const Maker& m = GetParam();
  mxArray* a = m.make();
  EXPECT_EQ(host::mx::live_count(), live_before_ + m.arrays);
  EXPECT_TRUE(host::mx::is_live(a));
  EXPECT_EQ(host::mx::describe(a), m.description);
  mxArray* copy = mxDuplicateArray(a);
  EXPECT_EQ(host::mx::live_count(), live_before_ + 2 * m.arrays);
  mxDestroyArray(a);
  EXPECT_FALSE(host::mx::is_live(a));
  EXPECT_EQ(host::mx::live_count(), live_before_ + m.arrays);
  mxDestroyArray(copy);
}

const char* kThreeTexts[] = {"ab", "", "xyz"};
const char* kFields[] = {"first", "second"};

INSTANTIATE_TEST_SUITE_P(
    Kinds, MxCreate,
    ::testing::Values(
        Maker{"double", [] { return mxCreateDoubleMatrix_700(2, 3, mxREAL); }, 1, "double[2x3]"},
        Maker{"scalar", [] { return mxCreateDoubleScalar(4.5); }, 1, "double[1x1]"},
        Maker{"string", [] { return mxCreateString("abcd"); }, 1, "char[1x4]"},
        Maker{"nchars", [] { return mxCreateStringFromNChars_700("abcdef", 3); }, 1, "char[1x3]"},
        Maker{"charmatrix", [] { return mxCreateCharMatrixFromStrings_700(3, kThreeTexts); }, 1,
              "char[3x3]"},
        Maker{"uint8", [] { return mxCreateNumericMatrix_700(1, 5, mxUINT8_CLASS, mxREAL); }, 1,
              "uint8[1x5]"},
        Maker{"uint32", [] { return mxCreateNumericMatrix_700(4, 1, mxUINT32_CLASS, mxREAL); }, 1,
              "uint32[4x1]"},
        Maker{"int16", [] { return mxCreateNumericMatrix_700(2, 2, mxINT16_CLASS, mxREAL); }, 1,
              "int16[2x2]"},
        Maker{"logical", [] { return mxCreateLogicalScalar(true); }, 1, "logical[1x1]"},
        Maker{"emptystruct", [] { return mxCreateStructMatrix_700(0, 0, 2, kFields); }, 1,
              "struct[0x0]"},
        Maker{"struct", struct_with_children, 5, "struct[1x2]"},
        Maker{"cell", [] { return mxCreateCellMatrix_700(2, 2); }, 1, "cell[2x2]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MxTest, ClassesAndPredicates) {
  struct Row {
    mxArray* a;
    mxClassID id;
    const char* name;
    bool is_char, is_double, is_numeric, is_logical, is_uint8, is_uint32, is_struct, is_cell;
  };
  const char* f[] = {"f"};
  const Row rows[] = {
      {mxCreateDoubleScalar(1), mxDOUBLE_CLASS, "double", 0, 1, 1, 0, 0, 0, 0, 0},
      {mxCreateString("a"), mxCHAR_CLASS, "char", 1, 0, 0, 0, 0, 0, 0, 0},
      {mxCreateLogicalScalar(false), mxLOGICAL_CLASS, "logical", 0, 0, 0, 1, 0, 0, 0, 0},
      {mxCreateNumericMatrix_700(1, 1, mxUINT8_CLASS, mxREAL), mxUINT8_CLASS, "uint8", 0, 0, 1, 0,
       1, 0, 0, 0},
      {mxCreateNumericMatrix_700(1, 1, mxUINT32_CLASS, mxREAL), mxUINT32_CLASS, "uint32", 0, 0, 1,
       0, 0, 1, 0, 0},
      {mxCreateNumericMatrix_700(1, 1, mxSINGLE_CLASS, mxREAL), mxSINGLE_CLASS, "single", 0, 0, 1,
       0, 0, 0, 0, 0},
      {mxCreateStructMatrix_700(1, 1, 1, f), mxSTRUCT_CLASS, "struct", 0, 0, 0, 0, 0, 0, 1, 0},
      {mxCreateCellMatrix_700(1, 1), mxCELL_CLASS, "cell", 0, 0, 0, 0, 0, 0, 0, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(mxGetClassID(r.a), r.id);
    EXPECT_STREQ(mxGetClassName(r.a), r.name);
    EXPECT_EQ(mxIsChar(r.a), r.is_char);
    EXPECT_EQ(mxIsDouble(r.a), r.is_double);
    EXPECT_EQ(mxIsNumeric(r.a), r.is_numeric);
    EXPECT_EQ(mxIsLogical(r.a), r.is_logical);
    EXPECT_EQ(mxIsUint8(r.a), r.is_uint8);
    EXPECT_EQ(mxIsUint32(r.a), r.is_uint32);
    EXPECT_EQ(mxIsStruct(r.a), r.is_struct);
    EXPECT_EQ(mxIsCell(r.a), r.is_cell);
    EXPECT_FALSE(mxIsEmpty(r.a));
    EXPECT_EQ(mxIsDouble(r.a), mxGetPr(r.a) != nullptr);
    mxDestroyArray(r.a);
  }
}

TEST_F(MxTest, ShapesAndComplexity) {
  mxArray* a = mxCreateDoubleMatrix_700(3, 0, mxCOMPLEX);
  EXPECT_EQ(mxGetM(a), 3u);
  EXPECT_EQ(mxGetN(a), 0u);
  EXPECT_EQ(mxGetNumberOfElements(a), 0u);
  EXPECT_TRUE(mxIsEmpty(a));
  EXPECT_TRUE(mxIsComplex(a));
  mxArray* e = mxCreateString("");
  EXPECT_TRUE(mxIsEmpty(e));
  EXPECT_TRUE(mxIsChar(e));
  mxDestroyArray(a);
  mxDestroyArray(e);
}

TEST_F(MxTest, NumericDataIsZeroedAndColumnMajor) {
  mxArray* a = mxCreateDoubleMatrix_700(2, 3, mxREAL);
  double* pr = mxGetPr(a);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(pr[i], 0.0);
  EXPECT_EQ(mxGetData(a), static_cast<void*>(pr));
  mxArray* u = mxCreateNumericMatrix_700(2, 2, mxUINT32_CLASS, mxREAL);
  auto* w = static_cast<std::uint32_t*>(mxGetData(u));
  w[0] = 4000000000u;
  EXPECT_EQ(mxGetScalar(u), 4000000000.0);
  mxDestroyArray(a);
  mxDestroyArray(u);
}

TEST_F(MxTest, CharMatrixIsPaddedWithBlanksColumnMajor) {
  mxArray* a = mxCreateCharMatrixFromStrings_700(3, kThreeTexts);
  const auto* c = static_cast<const std::uint16_t*>(mxGetData(a));
  const std::string rows[] = {"ab ", "   ", "xyz"};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      EXPECT_EQ(c[j * 3 + i], rows[i][j]) << i << "," << j;
  mxDestroyArray(a);
}

TEST_F(MxTest, ScalarOfEveryKind) {
  mxArray* empty = mxCreateDoubleMatrix_700(0, 0, mxREAL);
  mxArray* text = mxCreateString("A?");
  mxArray* yes = mxCreateLogicalScalar(true);
  mxArray* d = mxCreateDoubleScalar(-2.75);
  mxArray* i8 = mxCreateNumericMatrix_700(1, 1, mxINT8_CLASS, mxREAL);
  *static_cast<std::int8_t*>(mxGetData(i8)) = -7;
  mxArray* u8 = mxCreateNumericMatrix_700(1, 1, mxUINT8_CLASS, mxREAL);
  *static_cast<std::uint8_t*>(mxGetData(u8)) = 200;
  // An empty array has no value to give, outside a call as inside one.
  EXPECT_THROW(mxGetScalar(empty), host::HostError);
  EXPECT_EQ(mxGetScalar(text), 65.0);
  EXPECT_EQ(mxGetScalar(yes), 1.0);
  EXPECT_EQ(mxGetScalar(d), -2.75);
  EXPECT_EQ(mxGetScalar(i8), -7.0);
  EXPECT_EQ(mxGetScalar(u8), 200.0);
  EXPECT_EQ(mxGetPr(text), nullptr);
  EXPECT_EQ(mxGetPr(u8), nullptr);
  for (mxArray* a : {empty, text, yes, d, i8, u8})
    mxDestroyArray(a);
}

TEST_F(MxTest, Specials) {
  EXPECT_TRUE(std::isnan(mxGetNaN()));
  EXPECT_TRUE(std::isinf(mxGetInf()));
  EXPECT_GT(mxGetInf(), 0.0);
}

// ---- mxGetString_700 ---------------------------------------------------------

struct Cut {
  const char* text;
  int buflen;
  const char* expected;
  int result;
};

class MxGetString : public HostTest, public ::testing::WithParamInterface<Cut> {};

TEST_P(MxGetString, CutsToTheBufferAndTerminates) {
  const Cut& c = GetParam();
  mxArray* a = mxCreateString(c.text);
  char buf[16];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(mxGetString_700(a, buf, c.buflen), c.result);
  if (c.buflen > 0) {
    EXPECT_STREQ(buf, c.expected);
    // nothing written past the terminator
    const std::size_t used = std::strlen(c.expected) + 1;
    for (std::size_t i = used; i < sizeof buf; ++i)
      EXPECT_EQ(buf[i], '#') << i;
  } else {
    EXPECT_EQ(buf[0], '#');
  }
  mxDestroyArray(a);
}

INSTANTIATE_TEST_SUITE_P(Cases, MxGetString,
                         ::testing::Values(Cut{"hello", 16, "hello", 0},
                                           Cut{"hello", 6, "hello", 0}, Cut{"hello", 5, "hell", 1},
                                           Cut{"hello", 2, "h", 1}, Cut{"hello", 1, "", 1},
                                           Cut{"hello", 0, "", 1}, Cut{"", 1, "", 0},
                                           Cut{"", 4, "", 0}));

TEST_F(MxTest, GetStringOfANonCharArrayFailsWithAnEmptyText) {
  mxArray* a = mxCreateDoubleScalar(65);
  char buf[8] = "zzzzzzz";
  EXPECT_EQ(mxGetString_700(a, buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "");
  mxDestroyArray(a);
}

TEST_F(MxTest, GetStringReadsACharMatrixColumnMajor) {
  const char* rows[] = {"ab", "cd"};
  mxArray* a = mxCreateCharMatrixFromStrings_700(2, rows);
  char buf[8];
  EXPECT_EQ(mxGetString_700(a, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "acbd");
  mxDestroyArray(a);
}

// ---- structs and cells ---------------------------------------------------------

TEST_F(MxTest, StructFieldsKeepTheirOrder) {
  const char* fields[] = {"zeta", "alpha", "mid"};
  mxArray* s = mxCreateStructMatrix_700(1, 1, 3, fields);
  EXPECT_EQ(mxAddField(s, "beta"), 3);
  EXPECT_EQ(mxAddField(s, "alpha"), -1);
  EXPECT_EQ(mxAddField(s, ""), -1);
  std::vector<std::string> names;
  for (int i = 0; i < mxGetNumberOfFields(s); ++i)
    names.emplace_back(mxGetFieldNameByNumber(s, i));
  EXPECT_THAT(names, ElementsAre("zeta", "alpha", "mid", "beta"));
  EXPECT_EQ(mxGetFieldNameByNumber(s, 4), nullptr);
  EXPECT_EQ(mxGetFieldNameByNumber(s, -1), nullptr);
  EXPECT_EQ(mxGetFieldNumber(s, "mid"), 2);
  EXPECT_EQ(mxGetFieldNumber(s, "Mid"), -1);
  mxArray* v = mxCreateDoubleScalar(3);
  mxSetField_700(s, 0, "beta", v);
  EXPECT_EQ(mxGetField_700(s, 0, "beta"), v);
  EXPECT_EQ(mxGetFieldByNumber_700(s, 0, 3), v);
  EXPECT_EQ(mxGetFieldByNumber_700(s, 0, 0), nullptr);
  EXPECT_EQ(mxGetField_700(s, 1, "beta"), nullptr);
  EXPECT_EQ(mxGetField_700(s, 0, "nope"), nullptr);
  mxArray* d = mxCreateDoubleScalar(1);
  EXPECT_EQ(mxGetNumberOfFields(d), 0);
  EXPECT_EQ(mxAddField(d, "x"), -1);
  EXPECT_EQ(mxGetField_700(d, 0, "x"), nullptr);
  mxDestroyArray(d);
  mxDestroyArray(s);
}

TEST_F(MxTest, CellSlots) {
  mxArray* c = mxCreateCellMatrix_700(1, 3);
  EXPECT_EQ(mxGetCell_700(c, 0), nullptr);
  mxArray* v = mxCreateString("v");
  mxSetCell_700(c, 2, v);
  EXPECT_EQ(mxGetCell_700(c, 2), v);
  EXPECT_EQ(mxGetCell_700(c, 3), nullptr);
  EXPECT_EQ(mxGetCell_700(c, -1), nullptr);
  mxSetCell_700(c, 2, nullptr);  // the old value goes back to the caller
  EXPECT_TRUE(host::mx::is_live(v));
  mxDestroyArray(v);
  mxDestroyArray(c);
}

TEST_F(MxTest, DuplicateIsDeepAndIndependent) {
  mxArray* s = struct_with_children();
  mxArray* copy = mxDuplicateArray(s);
  ASSERT_NE(copy, s);
  mxArray* cell = mxGetField_700(s, 1, "a");
  mxArray* cell_copy = mxGetField_700(copy, 1, "a");
  ASSERT_NE(cell_copy, nullptr);
  EXPECT_NE(cell_copy, cell);
  EXPECT_NE(mxGetCell_700(cell_copy, 0), mxGetCell_700(cell, 0));
  *mxGetPr(mxGetCell_700(cell_copy, 0)) = 99;
  *mxGetPr(mxGetField_700(copy, 0, "a")) = 98;
  EXPECT_EQ(mxGetScalar(mxGetCell_700(cell, 0)), 2.0);
  EXPECT_EQ(mxGetScalar(mxGetField_700(s, 0, "a")), 1.0);
  mxDestroyArray(s);
  char buf[4];
  EXPECT_EQ(mxGetString_700(mxGetField_700(copy, 1, "b"), buf, 4), 0);
  EXPECT_STREQ(buf, "x");
  EXPECT_EQ(mxGetScalar(mxGetCell_700(cell_copy, 0)), 99.0);
  // a child's copy is a top-level array of its own
  mxArray* child_copy = mxDuplicateArray(cell_copy);
  mxDestroyArray(copy);
  EXPECT_EQ(mxGetScalar(mxGetCell_700(child_copy, 0)), 99.0);
  mxDestroyArray(child_copy);
}

TEST_F(MxTest, ReplacedFieldValueGoesBackToTheCallScope) {
  const char* f[] = {"v"};
  const auto scope = host::mx::open_scope();
  mxArray* s = mxCreateStructMatrix_700(1, 1, 1, f);
  host::mx::release_from_scope(s);  // the test owns the struct
  mxArray* first = mxCreateDoubleScalar(1);
  mxSetField_700(s, 0, "v", first);
  EXPECT_EQ(host::mx::scope_of(first), 0u);
  mxArray* second = mxCreateDoubleScalar(2);
  mxSetField_700(s, 0, "v", second);
  EXPECT_EQ(host::mx::scope_of(first), scope);
  mxSetField_700(s, 0, "v", second);  // the same value again changes nothing
  EXPECT_TRUE(host::mx::is_live(second));
  host::mx::close_scope(scope, nullptr, 0);
  EXPECT_FALSE(host::mx::is_live(first));
  EXPECT_EQ(mxGetField_700(s, 0, "v"), second);
  mxDestroyArray(s);
}

TEST_F(MxTest, StoringAPersistentArrayHandsItToTheContainer) {
  mxArray* p = mxCreateDoubleScalar(1);
  host::mx::make_persistent(p);
  const std::size_t persistent = host::mx::persistent_count();
  mxArray* c = mxCreateCellMatrix_700(1, 1);
  mxSetCell_700(c, 0, p);
  EXPECT_FALSE(host::mx::is_persistent(p));
  EXPECT_EQ(host::mx::persistent_count(), persistent - 1);
  mxDestroyArray(c);
  EXPECT_FALSE(host::mx::is_live(p));
}

}  // namespace
