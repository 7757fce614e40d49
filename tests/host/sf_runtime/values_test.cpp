// The runtime's value operations: slots and ownership, cells and structs, import
// with its errors, and what the recorder sees (creation is values_create_test.cpp).
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

class ValuesTest : public HostTest {};

// ---------------------------------------------------------------------------
// Slots: sf_mex_assign and sf_mex_destroy

TEST_F(ValuesTest, AssignReplacesAndReleasesTheOldValue) {
  const mxArray* slot = nullptr;
  const mxArray* first = sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0);
  sf_mex_assign(&slot, first, false);
  EXPECT_EQ(slot, first);
  EXPECT_EQ(host::mx::live_count(), live_before_ + 1);

  sf_mex_assign(&slot, first, false);  // the same array again: kept
  EXPECT_TRUE(host::mx::is_live(first));

  const mxArray* second = sf_mex_create("y", &kU8, SF_MEX_UINT8, 0, 0, 0, 0);
  sf_mex_assign(&slot, second, false);
  EXPECT_EQ(slot, second);
  EXPECT_FALSE(host::mx::is_live(first));
  EXPECT_EQ(host::mx::live_count(), live_before_ + 1);

  sf_mex_destroy(&slot);
  EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(host::mx::is_live(second));
  sf_mex_destroy(&slot);  // an empty slot is fine
  sf_mex_destroy(nullptr);
}

TEST_F(ValuesTest, AssignPersistentKeepsTheValuePastTheCall) {
  const mxArray* slot = nullptr;
  sf_mex_assign(&slot, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0), true);
  EXPECT_TRUE(host::mx::is_persistent(slot));
  sf_mex_destroy(&slot);
}

TEST_F(ValuesTest, AssignInsideACallSurvivesItOnlyWhenPersistent) {
  const mxArray* kept = nullptr;
  const mxArray* dropped = nullptr;
  {
    host::mex::CallContext call(this);
    sf_mex_assign(&kept, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0), true);
    sf_mex_assign(&dropped, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0), false);
    call.close(nullptr, 0);
  }
  EXPECT_TRUE(host::mx::is_live(kept));
  EXPECT_FALSE(host::mx::is_live(dropped));
  sf_mex_destroy(&kept);
}

TEST_F(ValuesTest, AssignWithoutSlotRaises) {
  EXPECT_HOST_ERROR(sf_mex_assign(nullptr, nullptr, false), "Stateflow:Runtime:BadValue",
                    "sf_mex_assign: no slot given.");
}

// ---------------------------------------------------------------------------
// Duplicates

TEST_F(ValuesTest, DupIsDeepAndIndependent) {
  Mx cell(sf_mex_createcellmatrix(2, 1));
  sf_mex_setcell(cell.get(), 0, sf_mex_create("y", kD5, SF_MEX_DOUBLE, 0, 0, 0, 1, 5));
  sf_mex_setcell(cell.get(), 1, sf_mex_create("y", "abc", SF_MEX_TEXT, 0, 0, 0, 2, 1, 3));
  Mx copy(sf_mex_dup(cell.get()));
  ASSERT_NE(copy.get(), cell.get());
  const mxArray* original_vector = sf_mex_getcell(cell.get(), 0);
  const mxArray* copied_vector = sf_mex_getcell(copy.get(), 0);
  ASSERT_NE(copied_vector, original_vector);
  mxGetPr(copied_vector)[0] = 99.0;
  EXPECT_EQ(mxGetPr(original_vector)[0], 1.5);
  EXPECT_EQ(text_of(sf_mex_getcell(copy.get(), 1)), "abc");
  EXPECT_EQ(sf_mex_dup(nullptr), nullptr);
}

TEST_F(ValuesTest, DuplicateArraySafeCopiesTheSlotsValue) {
  const mxArray* slot = nullptr;
  EXPECT_EQ(sf_mex_duplicatearraysafe(&slot), nullptr);
  EXPECT_EQ(sf_mex_duplicatearraysafe(nullptr), nullptr);
  sf_mex_assign(&slot, sf_mex_createcellmatrix(0, 1), false);
  Mx copy(sf_mex_duplicatearraysafe(&slot));
  ASSERT_NE(copy.get(), slot);
  EXPECT_TRUE(mxIsCell(copy.get()));
  EXPECT_EQ(mxGetM(copy.get()), 0u);
  EXPECT_EQ(mxGetN(copy.get()), 1u);
  sf_mex_destroy(&slot);
  EXPECT_TRUE(host::mx::is_live(copy.get()));
}

// ---------------------------------------------------------------------------
// Cells

TEST_F(ValuesTest, CellsOwnTheirElementsAndLendThem) {
  Mx cell(sf_mex_createcellmatrix(2, 1));
  EXPECT_EQ(mxGetM(cell.get()), 2u);
  EXPECT_EQ(mxGetN(cell.get()), 1u);
  const mxArray* element = sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0);
  sf_mex_setcell(cell.get(), 1, element);
  EXPECT_EQ(sf_mex_getcell(cell.get(), 1), element);  // borrowed, not a copy
  EXPECT_EQ(sf_mex_getcell(cell.get(), 0), nullptr);

  const mxArray* replacement = sf_mex_create("y", &kU8, SF_MEX_UINT8, 0, 0, 0, 0);
  sf_mex_setcell(cell.get(), 1, replacement);
  EXPECT_FALSE(host::mx::is_live(element));
  EXPECT_EQ(sf_mex_getcell(cell.get(), 1), replacement);
}

TEST_F(ValuesTest, CellErrorsConsumeTheValue) {
  Mx cell(sf_mex_createcellmatrix(2, 1));
  Mx not_cell(sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0));
  EXPECT_HOST_ERROR(
      sf_mex_setcell(cell.get(), 2, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0)),
      "Stateflow:Runtime:BadValue", "sf_mex_setcell: element 2 is outside cell[2x1].");
  EXPECT_HOST_ERROR(
      sf_mex_setcell(not_cell.get(), 0, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0)),
      "Stateflow:Runtime:BadValue", "sf_mex_setcell: double[1x1] is no cell array.");
  EXPECT_HOST_ERROR(sf_mex_getcell(cell.get(), -1), "Stateflow:Runtime:BadValue",
                    "sf_mex_getcell: element -1 is outside cell[2x1].");
  EXPECT_HOST_ERROR(sf_mex_getcell(nullptr, 0), "Stateflow:Runtime:BadValue",
                    "sf_mex_getcell: nothing is no cell array.");
  EXPECT_HOST_ERROR(sf_mex_createcellmatrix(-1, 1), "Stateflow:Runtime:BadValue",
                    "sf_mex_createcellmatrix: negative dimension -1x1.");
}

// ---------------------------------------------------------------------------
// Structs

TEST_F(ValuesTest, CreateStructHasTheDimsAndNoFields) {
  Mx column(sf_mex_createstruct("structure", 2, 84, 1));
  EXPECT_TRUE(mxIsStruct(column.get()));
  EXPECT_EQ(mxGetM(column.get()), 84u);
  EXPECT_EQ(mxGetN(column.get()), 1u);
  EXPECT_EQ(mxGetNumberOfFields(column.get()), 0);
  Mx scalar(sf_mex_createstruct("s", 0));
  EXPECT_EQ(mxGetNumberOfElements(scalar.get()), 1u);
  Mx vector(sf_mex_createstruct("s", 1, 3));
  EXPECT_EQ(mxGetM(vector.get()), 3u);
  EXPECT_EQ(mxGetN(vector.get()), 1u);
}

TEST_F(ValuesTest, AddFieldAddsOnceInOrderAndStoresPerElement) {
  Mx s(sf_mex_createstruct("structure", 2, 2, 3));
  for (int i = 0; i < 6; ++i) {
    const double v = i;
    sf_mex_addfield(s.get(), sf_mex_create("y", &v, SF_MEX_DOUBLE, 0, 0, 0, 0), "b", "b", i);
    sf_mex_addfield(s.get(), sf_mex_create("y", "t", SF_MEX_TEXT, 0, 0, 0, 2, 1, 1), "a", "a", i);
  }
  ASSERT_EQ(mxGetNumberOfFields(s.get()), 2);
  EXPECT_STREQ(mxGetFieldNameByNumber(s.get(), 0), "b");
  EXPECT_STREQ(mxGetFieldNameByNumber(s.get(), 1), "a");
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(mxGetScalar(mxGetField_700(s.get(), i, "b")), i);
    EXPECT_EQ(text_of(mxGetField_700(s.get(), i, "a")), "t");
  }
  const mxArray* old = mxGetField_700(s.get(), 5, "b");
  const double nine = 9;
  sf_mex_addfield(s.get(), sf_mex_create("y", &nine, SF_MEX_DOUBLE, 0, 0, 0, 0), "b", "b", 5);
  EXPECT_FALSE(host::mx::is_live(old));
  EXPECT_EQ(mxGetScalar(mxGetField_700(s.get(), 5, "b")), 9.0);
}

TEST_F(ValuesTest, AddFieldErrorsConsumeTheValue) {
  Mx s(sf_mex_createstruct("structure", 2, 3, 1));
  Mx d(sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0));
  auto value = [] { return sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0); };
  EXPECT_HOST_ERROR(sf_mex_addfield(s.get(), value(), "name", "name", 3),
                    "Stateflow:Runtime:BadValue",
                    "sf_mex_addfield: element 3 of field 'name' is outside struct[3x1].");
  EXPECT_HOST_ERROR(sf_mex_addfield(d.get(), value(), "name", "name", 0),
                    "Stateflow:Runtime:BadValue",
                    "sf_mex_addfield: field 'name' added to double[1x1], which is no struct.");
  EXPECT_HOST_ERROR(sf_mex_addfield(s.get(), value(), "", "", 0), "Stateflow:Runtime:BadValue",
                    "sf_mex_addfield: no field name given.");
  EXPECT_EQ(mxGetNumberOfFields(s.get()), 0);
}

TEST_F(ValuesTest, PostProcessAcceptsAStructArrayAndLeavesItAsItIs) {
  const mxArray* report = nullptr;
  sf_mex_assign(&report, sf_mex_createstruct("structure", 2, 2, 1), false);
  sf_mex_addfield(report, sf_mex_create("y", "x", SF_MEX_TEXT, 0, 0, 0, 2, 1, 1), "name", "name",
                  1);
  const mxArray* before = report;
  sf_mex_emlrtNameCapturePostProcessR2012a(&report);
  EXPECT_EQ(report, before);
  EXPECT_EQ(mxGetNumberOfFields(report), 1);
  EXPECT_EQ(text_of(mxGetField_700(report, 1, "name")), "x");
  sf_mex_destroy(&report);

  Mx d(sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0));
  const mxArray* slot = d.get();
  EXPECT_HOST_ERROR(sf_mex_emlrtNameCapturePostProcessR2012a(&slot), "Stateflow:Runtime:BadValue",
                    "sf_mex_emlrtNameCapturePostProcessR2012a: expected a struct array, got "
                    "double[1x1].");
}

// ---------------------------------------------------------------------------
// sf_mex_import

TEST_F(ValuesTest, ImportReadsADoubleAndConsumesTheValue) {
  const double v = -0.30000000000000004;
  const SfMsgIdentifier id{"y1", nullptr};
  double out = 0;
  sf_mex_import(&id, sf_mex_create("y", &v, SF_MEX_DOUBLE, 0, 0, 0, 0), &out, 1, SF_MEX_DOUBLE, 0,
                0, 0, 0, 0);
  EXPECT_EQ(std::memcmp(&out, &v, sizeof v), 0);
}

TEST_F(ValuesTest, ImportReadsAUint8AndConsumesTheValue) {
  const SfMsgIdentifier id{"is_active_c1_Harnvale", nullptr};
  uint8_t out = 0;
  sf_mex_import(&id, sf_mex_create("y", &kU8, SF_MEX_UINT8, 0, 0, 0, 0), &out, 1, SF_MEX_UINT8, 0,
                0, 0, 0, 0);
  EXPECT_EQ(out, 200);
}

struct ImportErrorCase {
  const char* label;
  std::function<const mxArray*()> value;
  int kind;
  const char* message;
};

const SfMsgIdentifier kState{"state", nullptr};
const SfMsgIdentifier kNested{"y1", &kState};

class ImportErrorTest : public HostTest, public ::testing::WithParamInterface<ImportErrorCase> {};

TEST_P(ImportErrorTest, NamesTheVariableAndStillConsumesTheValue) {
  const ImportErrorCase& c = GetParam();
  const SfMsgIdentifier plain{c.kind == SF_MEX_UINT8 ? "is_active_c1_Harnvale" : "y1", nullptr};
  const SfMsgIdentifier* id = std::string(c.label) == "NestedName" ? &kNested : &plain;
  unsigned char sentinel[8];
  std::memset(sentinel, 0xA5, sizeof sentinel);
  EXPECT_HOST_ERROR(sf_mex_import(id, c.value(), sentinel, 1, c.kind, 0, 0, 0, 0, 0),
                    "Stateflow:Runtime:ImportMismatch", c.message);
  for (unsigned char b : sentinel)
    EXPECT_EQ(b, 0xA5);  // nothing written
}

INSTANTIATE_TEST_SUITE_P(
    WrongValues, ImportErrorTest,
    ::testing::Values(
        ImportErrorCase{"Text",
                        [] { return sf_mex_create("y", "abc", SF_MEX_TEXT, 0, 0, 0, 2, 1, 3); },
                        SF_MEX_DOUBLE, "Expected a real double scalar for 'y1', got char[1x3]."},
        ImportErrorCase{"Vector",
                        [] { return sf_mex_create("y", kD5, SF_MEX_DOUBLE, 0, 0, 0, 2, 1, 2); },
                        SF_MEX_DOUBLE, "Expected a real double scalar for 'y1', got double[1x2]."},
        ImportErrorCase{"Empty", [] { return mxCreateDoubleMatrix_700(0, 0, mxREAL); },
                        SF_MEX_DOUBLE, "Expected a real double scalar for 'y1', got double[0x0]."},
        ImportErrorCase{"Uint8ForDouble",
                        [] { return sf_mex_create("y", &kU8, SF_MEX_UINT8, 0, 0, 0, 0); },
                        SF_MEX_DOUBLE, "Expected a real double scalar for 'y1', got uint8[1x1]."},
        ImportErrorCase{"DoubleForUint8",
                        [] { return sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0); },
                        SF_MEX_UINT8,
                        "Expected a real uint8 scalar for 'is_active_c1_Harnvale', got "
                        "double[1x1]."},
        ImportErrorCase{"Nothing", [] { return static_cast<const mxArray*>(nullptr); },
                        SF_MEX_DOUBLE, "Expected a real double scalar for 'y1', got nothing."},
        ImportErrorCase{"NestedName", [] { return sf_mex_createcellmatrix(2, 1); }, SF_MEX_DOUBLE,
                        "Expected a real double scalar for 'state.y1', got cell[2x1]."},
        ImportErrorCase{"UnsupportedKind",
                        [] { return sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0); },
                        SF_MEX_CHAR_BUFFER, "Cannot import 'y1': unsupported value kind 10."}),
    [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Recording

TEST_F(ValuesTest, RecordsEachOperationOnceWithoutItsInnerMatrixCalls) {
  std::vector<std::string> lines;
  {
    host::trace::Collector collector;
    const mxArray* value = nullptr;
    sf_mex_assign(&value, sf_mex_create("y", &kD1, SF_MEX_DOUBLE, 0, 0, 0, 0), false);
    const mxArray* cell = nullptr;
    sf_mex_assign(&cell, sf_mex_createcellmatrix(2, 1), false);
    sf_mex_setcell(cell, 0, value);
    sf_mex_destroy(&cell);
    for (const auto& c : collector.calls())
      lines.push_back(c.line());
  }
  EXPECT_THAT(lines, ::testing::ElementsAre(
                         "sf_mex_create \"y\" 0 0 0 0 0 1x1", "sf_mex_assign nothing double[1x1] 0",
                         "sf_mex_createcellmatrix 2 1", "sf_mex_assign nothing cell[2x1] 0",
                         "sf_mex_setcell cell[2x1] 0 double[1x1]", "sf_mex_destroy cell[2x1]"));
}

}  // namespace
