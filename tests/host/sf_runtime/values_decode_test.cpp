// Decoding of encoded struct arrays: the charts' saved-state descriptions, other
// shapes, and malformed texts with the offset of the fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/sf_runtime.h"
#include "tests/host/sf_runtime/values_support.hpp"
#include "tests/support/mx_owner.hpp"

namespace {

using sf_runtime_test::text_of;
using test_support::HostTest;
using test_support::Mx;

Mx decode(const std::string& text) {
  const char* texts[1] = {text.c_str()};
  return Mx(sf_mex_decode_encoded_mx_struct_array(texts, 2, 10));
}

bool is_empty_double(const mxArray* a) {
  return a != nullptr && mxIsDouble(a) && mxGetM(a) == 0 && mxGetN(a) == 0;
}

double number(const mxArray* s, int i, const char* field) {
  const mxArray* v = mxGetField_700(s, i, field);
  EXPECT_TRUE(v != nullptr && mxIsDouble(v) && mxGetNumberOfElements(v) == 1) << field;
  return v != nullptr ? mxGetScalar(v) : std::nan("");
}

class ChartDescriptionTest : public HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ChartDescriptionTest, DecodesTheTwoVariables) {
  const std::string flag = GetParam();
  Mx info = decode("100 S1x2'type','srcId','name','auxInfo'{{M[1],M[7],T\"y1\",},{M[8],M[0],T\"" +
                   flag + "\",}}");
  ASSERT_TRUE(mxIsStruct(info.get()));
  EXPECT_EQ(mxGetM(info.get()), 1u);
  EXPECT_EQ(mxGetN(info.get()), 2u);
  ASSERT_EQ(mxGetNumberOfFields(info.get()), 4);
  const char* names[4] = {"type", "srcId", "name", "auxInfo"};
  for (int f = 0; f < 4; ++f)
    EXPECT_STREQ(mxGetFieldNameByNumber(info.get(), f), names[f]);
  EXPECT_EQ(number(info.get(), 0, "type"), 1.0);
  EXPECT_EQ(number(info.get(), 0, "srcId"), 7.0);
  EXPECT_EQ(text_of(mxGetField_700(info.get(), 0, "name")), "y1");
  EXPECT_EQ(number(info.get(), 1, "type"), 8.0);
  EXPECT_EQ(number(info.get(), 1, "srcId"), 0.0);
  EXPECT_EQ(text_of(mxGetField_700(info.get(), 1, "name")), flag);
  const mxArray* name = mxGetField_700(info.get(), 1, "name");
  EXPECT_EQ(mxGetM(name), 1u);
  EXPECT_EQ(mxGetN(name), flag.size());
  EXPECT_TRUE(is_empty_double(mxGetField_700(info.get(), 0, "auxInfo")));
  EXPECT_TRUE(is_empty_double(mxGetField_700(info.get(), 1, "auxInfo")));
}

INSTANTIATE_TEST_SUITE_P(FiveCharts, ChartDescriptionTest,
                         ::testing::Values("is_active_c1_Harnvale", "is_active_c2_Harnvale",
                                           "is_active_c3_Harnvale", "is_active_c1_Quimbrel",
                                           "is_active_c2_Quimbrel"));

class DecodeTest : public HostTest {};

TEST_F(DecodeTest, OneByOne) {
  Mx s = decode("7 S1x1'a'{{T\"hello world\",}}");
  ASSERT_EQ(mxGetNumberOfElements(s.get()), 1u);
  EXPECT_EQ(text_of(mxGetField_700(s.get(), 0, "a")), "hello world");
}

TEST_F(DecodeTest, TwoByThreeInColumnOrder) {
  Mx s = decode("100 S2x3'k'{{M[0],},{M[1],},{M[2],},{M[3],},{M[4],},{M[5],}}");
  ASSERT_EQ(mxGetM(s.get()), 2u);
  ASSERT_EQ(mxGetN(s.get()), 3u);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(number(s.get(), i, "k"), i);
}

TEST_F(DecodeTest, NumbersAreReadExactly) {
  Mx s = decode("1 S1x6'v'{{M[-3],},{M[0.1],},{M[-2.5],},{M[1e-3],},{M[420144196],},{M[-0.0],}}");
  const double expected[6] = {-3.0, 0.1, -2.5, 1e-3, 420144196.0, -0.0};
  for (int i = 0; i < 6; ++i) {
    const double got = number(s.get(), i, "v");
    EXPECT_EQ(std::memcmp(&got, &expected[i], sizeof got), 0) << "element " << i;
  }
}

TEST_F(DecodeTest, FieldsLeftOutAreEmpty) {
  Mx s = decode("100 S1x3'a','b','c'{{},{M[1],},{M[1],T\"\",M[2],}}");
  for (const char* f : {"a", "b", "c"})
    EXPECT_TRUE(is_empty_double(mxGetField_700(s.get(), 0, f)));
  EXPECT_EQ(number(s.get(), 1, "a"), 1.0);
  EXPECT_TRUE(is_empty_double(mxGetField_700(s.get(), 1, "b")));
  const mxArray* empty_text = mxGetField_700(s.get(), 2, "b");
  EXPECT_TRUE(mxIsChar(empty_text));
  EXPECT_EQ(mxGetM(empty_text), 1u);
  EXPECT_EQ(mxGetN(empty_text), 0u);
  EXPECT_EQ(number(s.get(), 2, "c"), 2.0);
}

TEST_F(DecodeTest, EmptyArraysAndNestedStructs) {
  Mx none = decode("0 S0x0{}");
  EXPECT_TRUE(mxIsStruct(none.get()));
  EXPECT_EQ(mxGetNumberOfElements(none.get()), 0u);
  Mx nested = decode("100 S1x1'inner'{{S1x2'x'{{M[5],},{}},}}");
  const mxArray* inner = mxGetField_700(nested.get(), 0, "inner");
  ASSERT_TRUE(inner != nullptr && mxIsStruct(inner));
  EXPECT_EQ(mxGetN(inner), 2u);
  EXPECT_EQ(number(inner, 0, "x"), 5.0);
  EXPECT_TRUE(is_empty_double(mxGetField_700(inner, 1, "x")));
}

struct MalformedCase {
  const char* text;
  const char* message;
};

class MalformedTest : public HostTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedTest, NamesTheOffsetAndWhatWasExpected) {
  EXPECT_HOST_ERROR(decode(GetParam().text), "Stateflow:Runtime:DecodeError", GetParam().message);
}

// Offsets count characters from 0, the numeric prefix included.
INSTANTIATE_TEST_SUITE_P(
    Texts, MalformedTest,
    ::testing::Values(
        MalformedCase{"",
                      "Malformed encoded struct array at offset 0: expected a numeric prefix, "
                      "found the end of the text."},
        MalformedCase{"100S1x1{}",
                      "Malformed encoded struct array at offset 3: expected one blank after the "
                      "numeric prefix, found 'S'."},
        MalformedCase{"100 X1x1{}",
                      "Malformed encoded struct array at offset 4: expected 'S' opening a struct "
                      "array, found 'X'."},
        MalformedCase{"100 S1y2{}",
                      "Malformed encoded struct array at offset 6: expected 'x' between the rows "
                      "and columns, found 'y'."},
        MalformedCase{"100 S1x'a'{}",
                      "Malformed encoded struct array at offset 7: expected the number of "
                      "columns, found '''."},
        MalformedCase{"100 S1x1'a{{M[1],}}",
                      "Malformed encoded struct array at offset 19: expected a closing quote "
                      "after a field name, found the end of the text."},
        MalformedCase{"100 S1x1'a',{{M[1],}}",
                      "Malformed encoded struct array at offset 12: expected a field name in "
                      "single quotes, found '{'."},
        MalformedCase{"100 S1x1'a','a'{{}}",
                      "Malformed encoded struct array at offset 12: expected a field name not "
                      "given before, found '''."},
        MalformedCase{"100 S1x1'a'{{M[1]}}",
                      "Malformed encoded struct array at offset 17: expected ',' after a value, "
                      "found '}'."},
        MalformedCase{"100 S1x1'a'{{M[x],}}",
                      "Malformed encoded struct array at offset 15: expected a decimal number, "
                      "found 'x'."},
        MalformedCase{"100 S1x1'a'{{M[1.5e],}}",
                      "Malformed encoded struct array at offset 19: expected the digits of an "
                      "exponent, found ']'."},
        MalformedCase{"100 S1x1'a'{{T\"abc,}}",
                      "Malformed encoded struct array at offset 21: expected '\"' closing a text, "
                      "found the end of the text."},
        MalformedCase{"100 S1x1'a'{{Q,}}",
                      "Malformed encoded struct array at offset 13: expected a value (M[number], "
                      "T\"text\" or a struct), found 'Q'."},
        MalformedCase{"100 S1x1'a'{{M[1],M[2],}}",
                      "Malformed encoded struct array at offset 18: expected '}' closing an "
                      "element that has a value for every field, found 'M'."},
        MalformedCase{"100 S1x2'a'{{M[1],}}",
                      "Malformed encoded struct array at offset 19: expected ',' before the next "
                      "element, found '}'."},
        MalformedCase{"100 S1x1'a'{{M[1],},{}}",
                      "Malformed encoded struct array at offset 19: expected '}' after the last "
                      "element of the struct array, found ','."},
        MalformedCase{"100 S1x1'a'{{M[1],}}x",
                      "Malformed encoded struct array at offset 20: expected the end of the text, "
                      "found 'x'."},
        MalformedCase{"100 S2000x2000{}",
                      "Malformed encoded struct array at offset 4: expected a struct array of at "
                      "most 1000000 elements, found 'S'."}));

TEST_F(DecodeTest, NoTextRaises) {
  EXPECT_HOST_ERROR(sf_mex_decode_encoded_mx_struct_array(nullptr, 2, 10),
                    "Stateflow:Runtime:DecodeError",
                    "Malformed encoded struct array: no text given.");
}

}  // namespace
