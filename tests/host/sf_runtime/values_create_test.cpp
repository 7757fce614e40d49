// The runtime's value creation: sf_mex_create of every kind, and its refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/mx_host.hpp"
#include "host/trace.hpp"
#include "platform/sf_runtime.h"
#include "tests/host/sf_runtime/values_support.hpp"
#include "tests/support/mx_owner.hpp"

namespace {

using sf_runtime_test::kD1;
using sf_runtime_test::kD5;
using sf_runtime_test::kU8;
using sf_runtime_test::text_of;
using test_support::HostTest;
using test_support::Mx;

// ---------------------------------------------------------------------------
// sf_mex_create

struct CreateCase {
  const char* label;
  std::function<const mxArray*()> make;
  mxClassID class_id;
  size_t m, n;
  std::vector<unsigned char> bytes;  // expected data, column order (numeric kinds)
  std::vector<std::string> rows;     // expected rows (character kinds)
};

template <class T>
std::vector<unsigned char> bytes_of(std::vector<T> v) {
  std::vector<unsigned char> b(v.size() * sizeof(T));
  if (!b.empty()) std::memcpy(b.data(), v.data(), b.size());
  return b;
}

const double kD23[6] = {1, 2, 3, 4, 5, 6};  // column order of a 2x3 matrix
const uint32_t kU32 = 1381850306u;
const char kBuffer[] = "MATLAB:interp1:NaNinXtrailing";  // only the first 21 are the value
const char kColumns[] = "acbd";                          // 2x2 rows "ab" and "cd"

class CreateTest : public HostTest, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(CreateTest, MakesTheValueWithClassSizeAndContents) {
  const CreateCase& c = GetParam();
  Mx a(c.make());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(mxGetClassID(a.get()), c.class_id);
  EXPECT_FALSE(mxIsComplex(a.get()));
  EXPECT_EQ(mxGetM(a.get()), c.m);
  EXPECT_EQ(mxGetN(a.get()), c.n);
  if (c.class_id == mxCHAR_CLASS) {
    if (c.rows.size() == 1) {
      EXPECT_EQ(text_of(a.get()), c.rows[0]);
    }
    if (c.rows.size() > 1) {
      // Read each row from the char matrix through a one-row copy made by the host.
      std::vector<char> buf(c.m * c.n + 1);
      ASSERT_EQ(mxGetString_700(a.get(), buf.data(), static_cast<int>(buf.size())), 0);
      // mxGetString reads in column order.
      std::string columns(buf.data());
      for (size_t i = 0; i < c.m; ++i) {
        std::string row;
        for (size_t j = 0; j < c.n; ++j)
          row.push_back(columns[i + j * c.m]);
        EXPECT_EQ(row, c.rows[i]) << "row " << i;
      }
    }
  } else {
    ASSERT_EQ(c.bytes.size() % (c.m * c.n == 0 ? 1 : c.m * c.n), 0u);
    if (!c.bytes.empty()) {
      EXPECT_EQ(std::memcmp(mxGetData(a.get()), c.bytes.data(), c.bytes.size()), 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, CreateTest,
    ::testing::Values(
        CreateCase{"DoubleScalar",
                   [] { return sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0); },
                   mxDOUBLE_CLASS,
                   1,
                   1,
                   bytes_of(std::vector<double>{0.1}),
                   {}},
        CreateCase{"DoubleVectorIsNBy1",
                   [] { return sf_mex_create("y", kD5, SF_MEX_DOUBLE, 0, 1, 0, 1, 5); },
                   mxDOUBLE_CLASS,
                   5,
                   1,
                   bytes_of(std::vector<double>(kD5, kD5 + 5)),
                   {}},
        CreateCase{"DoubleMatrixColumnOrder",
                   [] { return sf_mex_create("y", kD23, SF_MEX_DOUBLE, 0, 0, 0, 2, 2, 3); },
                   mxDOUBLE_CLASS,
                   2,
                   3,
                   bytes_of(std::vector<double>(kD23, kD23 + 6)),
                   {}},
        CreateCase{"DoubleEmpty",
                   [] { return sf_mex_create("y", nullptr, SF_MEX_DOUBLE, 0, 0, 0, 2, 0, 0); },
                   mxDOUBLE_CLASS,
                   0,
                   0,
                   {},
                   {}},
        CreateCase{"Uint8Scalar",
                   [] { return sf_mex_create("y", &kU8, SF_MEX_UINT8, 0, 0, 0, 0); },
                   mxUINT8_CLASS,
                   1,
                   1,
                   bytes_of(std::vector<uint8_t>{200}),
                   {}},
        CreateCase{"Uint32Scalar",
                   [] { return sf_mex_create("y", &kU32, SF_MEX_UINT32, 0, 0, 0, 0); },
                   mxUINT32_CLASS,
                   1,
                   1,
                   bytes_of(std::vector<uint32_t>{1381850306u}),
                   {}},
        CreateCase{
            "CharBufferTakesExactlyTheDims",
            [] { return sf_mex_create("y", kBuffer, SF_MEX_CHAR_BUFFER, 0, 1, 0, 2, 1, 21, 0); },
            mxCHAR_CLASS,
            1,
            21,
            {},
            {"MATLAB:interp1:NaNinX"}},
        CreateCase{
            "CharBufferMatrixColumnOrder",
            [] { return sf_mex_create("y", kColumns, SF_MEX_CHAR_BUFFER, 0, 0, 0, 2, 2, 2); },
            mxCHAR_CLASS,
            2,
            2,
            {},
            {"ab", "cd"}},
        CreateCase{"CharBufferScalar",
                   [] { return sf_mex_create("y", "q", SF_MEX_CHAR_BUFFER, 0, 0, 0, 0); },
                   mxCHAR_CLASS,
                   1,
                   1,
                   {},
                   {"q"}},
        CreateCase{"TextRow",
                   [] {
                     return sf_mex_create("y", "coder.internal.assert", SF_MEX_TEXT, 0, 0, 0, 2, 1,
                                          21);
                   },
                   mxCHAR_CLASS,
                   1,
                   21,
                   {},
                   {"coder.internal.assert"}},
        CreateCase{"EmptyTextIs1By0",
                   [] { return sf_mex_create("y", "", SF_MEX_TEXT, 0, 0, 0, 2, 1, 0); },
                   mxCHAR_CLASS,
                   1,
                   0,
                   {},
                   {""}},
        CreateCase{"TextStopsAtItsTerminator",
                   [] { return sf_mex_create("y", "abc", SF_MEX_TEXT, 0, 0, 0, 2, 1, 40); },
                   mxCHAR_CLASS,
                   1,
                   3,
                   {},
                   {"abc"}},
        CreateCase{"TextWithoutDims",
                   [] { return sf_mex_create("y", "int8", SF_MEX_TEXT, 0, 0, 0, 0); },
                   mxCHAR_CLASS,
                   1,
                   4,
                   {},
                   {"int8"}}),
    [](const auto& info) { return std::string(info.param.label); });

struct CreateErrorCase {
  const char* label;
  std::function<void()> call;
  const char* message;
};

class CreateErrorTest : public HostTest, public ::testing::WithParamInterface<CreateErrorCase> {};

TEST_P(CreateErrorTest, RaisesAndMakesNothing) {
  EXPECT_HOST_ERROR(GetParam().call(), "Stateflow:Runtime:BadValue", GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    BadRequests, CreateErrorTest,
    ::testing::Values(
        CreateErrorCase{"UnknownKind", [] { sf_mex_create("y", &kD1, 5, 0, 0, 0, 0); },
                        "sf_mex_create: unknown value kind 5 for 'y'."},
        CreateErrorCase{"Complex", [] { sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 1, 0, 0, 0); },
                        "sf_mex_create: complex values are not supported ('y')."},
        CreateErrorCase{"ThreeDims",
                        [] { sf_mex_create("y", kD23, SF_MEX_DOUBLE, 0, 0, 0, 3, 1, 2, 3); },
                        "sf_mex_create: 3 dimensions given; values have at most 2 dimensions."},
        CreateErrorCase{"NegativeDim",
                        [] { sf_mex_create("y", kD23, SF_MEX_DOUBLE, 0, 0, 0, 2, -1, 2); },
                        "sf_mex_create: negative dimension -1x2."},
        CreateErrorCase{"NoData", [] { sf_mex_create("v", nullptr, SF_MEX_DOUBLE, 0, 0, 0, 1, 3); },
                        "sf_mex_create: no data given for the 3x1 value 'v'."},
        CreateErrorCase{"TextOfTwoRows",
                        [] { sf_mex_create("y", "abcd", SF_MEX_TEXT, 0, 0, 0, 2, 2, 2); },
                        "sf_mex_create: a text has one row, not 2 ('y')."}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
