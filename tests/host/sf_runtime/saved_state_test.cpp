// The MATLAB-level function "sfprivate": the round trip between a chart's raw saved
// state and the host's saved state, and every refusal of a state that does not fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "platform/sf_runtime.h"
#include "tests/host/sf_runtime/values_support.hpp"
#include "tests/support/mx_owner.hpp"

namespace {

using sf_runtime_test::text_of;
using test_support::HostTest;
using test_support::Mx;

const double kChecksum[4] = {420144196.0, 1446226589.0, 925199814.0, 3263377851.0};

// The sim-state description of chart 1 of Harnvale, as the chart builds it.
mxArray* description(const double* checksum = kChecksum) {
  const char* fields[2] = {"chartChecksum", "varInfo"};
  mxArray* d = mxCreateStructMatrix_700(1, 1, 2, fields);
  mxArray* sum = mxCreateDoubleMatrix_700(1, 4, mxREAL);
  std::memcpy(mxGetPr(sum), checksum, 4 * sizeof(double));
  mxSetField_700(d, 0, "chartChecksum", sum);
  const char* texts[1] = {
      "100 S1x2'type','srcId','name','auxInfo'{{M[1],M[7],T\"y1\",},{M[8],M[0],T\"is_active_c1_"
      "Harnvale\",}}"};
  mxSetField_700(d, 0, "varInfo", sf_mex_decode_encoded_mx_struct_array(texts, 2, 10));
  return d;
}

mxArray* raw_state(double y1, uint8_t flag) {
  mxArray* cell = mxCreateCellMatrix_700(2, 1);
  mxSetCell_700(cell, 0, mxCreateDoubleScalar(y1));
  mxArray* f = mxCreateNumericMatrix_700(1, 1, mxUINT8_CLASS, mxREAL);
  *static_cast<uint8_t*>(mxGetData(f)) = flag;
  mxSetCell_700(cell, 1, f);
  return cell;
}

// sfprivate(args...) with one output, through the host's function call.
Mx sfprivate(std::vector<const mxArray*> args) {
  mxArray* out[1] = {nullptr};
  std::vector<mxArray*> in;
  for (const mxArray* a : args)
    in.push_back(const_cast<mxArray*>(a));
  mexCallMATLAB(1, out, static_cast<int>(in.size()), in.data(), "sfprivate");
  return Mx(out[0]);
}

class SfprivateTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    to_high_.reset(mxCreateString("chart_simctx_raw2high"));
    to_raw_.reset(mxCreateString("chart_simctx_high2raw"));
    handle_.reset(mxCreateDoubleScalar(12.0001));
    desc_.reset(description());
    raw_.reset(raw_state(0.30000000000000004, 1));
  }
  void TearDown() override {
    to_high_.reset();
    to_raw_.reset();
    handle_.reset();
    desc_.reset();
    raw_.reset();
    HostTest::TearDown();
  }

  Mx to_high_, to_raw_, handle_, desc_, raw_;

  Mx saved() { return sfprivate({to_high_.get(), handle_.get(), raw_.get(), desc_.get()}); }
};

TEST_F(SfprivateTest, IsRegisteredWhenTheRuntimeIsLoaded) {
  EXPECT_TRUE(host::mex::has_function("sfprivate"));
}

TEST_F(SfprivateTest, RawToHighIsASelfDescribingStruct) {
  Mx state = saved();
  ASSERT_TRUE(mxIsStruct(state.get()));
  ASSERT_EQ(mxGetNumberOfElements(state.get()), 1u);
  ASSERT_EQ(mxGetNumberOfFields(state.get()), 4);
  const char* names[4] = {"blockHandle", "chartChecksum", "y1", "is_active_c1_Harnvale"};
  for (int f = 0; f < 4; ++f)
    EXPECT_STREQ(mxGetFieldNameByNumber(state.get(), f), names[f]);
  EXPECT_EQ(mxGetScalar(mxGetField_700(state.get(), 0, "blockHandle")), 12.0001);
  const mxArray* sum = mxGetField_700(state.get(), 0, "chartChecksum");
  ASSERT_EQ(mxGetN(sum), 4u);
  EXPECT_EQ(std::memcmp(mxGetPr(sum), kChecksum, sizeof kChecksum), 0);
  const mxArray* y1 = mxGetField_700(state.get(), 0, "y1");
  EXPECT_EQ(mxGetScalar(y1), 0.30000000000000004);
  EXPECT_NE(y1, mxGetCell_700(raw_.get(), 0));  // a duplicate, the input is kept
  const mxArray* flag = mxGetField_700(state.get(), 0, "is_active_c1_Harnvale");
  ASSERT_TRUE(mxIsUint8(flag));
  EXPECT_EQ(*static_cast<const uint8_t*>(mxGetData(flag)), 1);
}

TEST_F(SfprivateTest, HighToRawGivesTheRawStateBackBitForBit) {
  Mx state = saved();
  Mx raw = sfprivate({to_raw_.get(), state.get(), desc_.get()});
  ASSERT_TRUE(mxIsCell(raw.get()));
  EXPECT_EQ(mxGetM(raw.get()), 2u);
  EXPECT_EQ(mxGetN(raw.get()), 1u);
  const mxArray* y1 = mxGetCell_700(raw.get(), 0);
  ASSERT_TRUE(mxIsDouble(y1));
  const double expected = 0.30000000000000004;
  EXPECT_EQ(std::memcmp(mxGetPr(y1), &expected, sizeof expected), 0);
  const mxArray* flag = mxGetCell_700(raw.get(), 1);
  ASSERT_TRUE(mxIsUint8(flag));
  EXPECT_EQ(*static_cast<const uint8_t*>(mxGetData(flag)), 1);
  EXPECT_EQ(mxGetNumberOfFields(state.get()), 4);  // the saved state is left as it was
}

// One refusal: what to do to a good saved state (or which state to pass) and the
// exact message.
struct RefusalCase {
  const char* label;
  std::function<mxArray*(const mxArray* good)> make_state;
  const char* message;
};

mxArray* without(const mxArray* good, const char* removed) {
  mxArray* s = mxCreateStructMatrix_700(1, 1, 0, nullptr);
  for (int f = 0; f < mxGetNumberOfFields(good); ++f) {
    const char* name = mxGetFieldNameByNumber(good, f);
    if (std::strcmp(name, removed) == 0) continue;
    mxAddField(s, name);
    mxSetField_700(s, 0, name, mxDuplicateArray(mxGetField_700(good, 0, name)));
  }
  return s;
}

mxArray* replaced(const mxArray* good, const char* field, mxArray* value) {
  mxArray* s = mxDuplicateArray(good);
  mxArray* old = mxGetField_700(s, 0, field);
  mxSetField_700(s, 0, field, value);
  mxDestroyArray(old);
  return s;
}

class RefusalTest : public SfprivateTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, RefusesWithAClearErrorAndChangesNothing) {
  Mx good = saved();
  Mx bad(GetParam().make_state(good.get()));
  Mx before(mxDuplicateArray(bad.get()));
  const std::size_t live = host::mx::live_count();
  EXPECT_HOST_ERROR(sfprivate({to_raw_.get(), bad.get(), desc_.get()}),
                    "Stateflow:SimState:Mismatch", GetParam().message);
  EXPECT_EQ(host::mx::live_count(), live);  // no partial result left behind
  if (mxIsStruct(bad.get())) {
    EXPECT_EQ(mxGetNumberOfFields(bad.get()), mxGetNumberOfFields(before.get()));
  }
}

const double kOtherChecksum[4] = {207144194.0, 1757117914.0, 1026443369.0, 1123537778.0};

INSTANTIATE_TEST_SUITE_P(
    States, RefusalTest,
    ::testing::Values(
        RefusalCase{"NotAStruct", [](const mxArray*) { return mxCreateDoubleScalar(1); },
                    "sfprivate: not a saved chart state: expected a 1x1 struct with fields "
                    "'blockHandle' and 'chartChecksum', got double[1x1]."},
        RefusalCase{"StructArray",
                    [](const mxArray*) {
                      const char* f[2] = {"blockHandle", "chartChecksum"};
                      return mxCreateStructMatrix_700(1, 2, 2, f);
                    },
                    "sfprivate: not a saved chart state: expected a 1x1 struct with fields "
                    "'blockHandle' and 'chartChecksum', got struct[1x2]."},
        RefusalCase{"NoBlockHandle", [](const mxArray* g) { return without(g, "blockHandle"); },
                    "sfprivate: not a saved chart state: expected a 1x1 struct with fields "
                    "'blockHandle' and 'chartChecksum', got struct[1x1]."},
        RefusalCase{"NoChecksum", [](const mxArray* g) { return without(g, "chartChecksum"); },
                    "sfprivate: not a saved chart state: expected a 1x1 struct with fields "
                    "'blockHandle' and 'chartChecksum', got struct[1x1]."},
        RefusalCase{"ChecksumOfAnotherChart",
                    [](const mxArray* g) {
                      mxArray* sum = mxCreateDoubleMatrix_700(1, 4, mxREAL);
                      std::memcpy(mxGetPr(sum), kOtherChecksum, sizeof kOtherChecksum);
                      return replaced(g, "chartChecksum", sum);
                    },
                    "sfprivate: the state was saved from another chart: its checksum "
                    "[207144194 1757117914 1026443369 1123537778] differs from this chart's "
                    "[420144196 1446226589 925199814 3263377851]."},
        RefusalCase{"ChecksumOfWrongSize",
                    [](const mxArray* g) {
                      return replaced(g, "chartChecksum", mxCreateDoubleMatrix_700(1, 3, mxREAL));
                    },
                    "sfprivate: the saved state's chartChecksum must be a 1x4 real double, got "
                    "double[1x3]."},
        RefusalCase{"MissingVariable", [](const mxArray* g) { return without(g, "y1"); },
                    "sfprivate: the saved state has no variable 'y1'."},
        RefusalCase{"OutputOfWrongClass",
                    [](const mxArray* g) { return replaced(g, "y1", mxCreateString("abc")); },
                    "sfprivate: the saved state's variable 'y1' must be a real double scalar, "
                    "got char[1x3]."},
        RefusalCase{"OutputOfWrongSize",
                    [](const mxArray* g) {
                      return replaced(g, "y1", mxCreateDoubleMatrix_700(1, 2, mxREAL));
                    },
                    "sfprivate: the saved state's variable 'y1' must be a real double scalar, "
                    "got double[1x2]."},
        RefusalCase{"ActiveFlagOfWrongClass",
                    [](const mxArray* g) {
                      return replaced(g, "is_active_c1_Harnvale", mxCreateDoubleScalar(1));
                    },
                    "sfprivate: the saved state's variable 'is_active_c1_Harnvale' must be a "
                    "real uint8 scalar, got double[1x1]."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SfprivateTest, RefusesARawStateThatDoesNotFitTheDescription) {
  Mx short_raw(mxCreateCellMatrix_700(1, 1));
  EXPECT_HOST_ERROR(sfprivate({to_high_.get(), handle_.get(), short_raw.get(), desc_.get()}),
                    "Stateflow:SimState:Mismatch",
                    "sfprivate: the raw state must be a cell of 2 elements, got cell[1x1].");
  Mx swapped(raw_state(1.0, 0));
  mxArray* flag = mxGetCell_700(swapped.get(), 1);
  mxSetCell_700(const_cast<mxArray*>(swapped.get()), 1, mxCreateDoubleScalar(1));
  mxDestroyArray(flag);
  EXPECT_HOST_ERROR(
      sfprivate({to_high_.get(), handle_.get(), swapped.get(), desc_.get()}),
      "Stateflow:SimState:Mismatch",
      "sfprivate: the raw state's variable 'is_active_c1_Harnvale' must be a real uint8 scalar, "
      "got double[1x1].");
}

TEST_F(SfprivateTest, RefusesBadCalls) {
  Mx other(mxCreateString("chart_simctx_other"));
  EXPECT_HOST_ERROR(sfprivate({other.get(), desc_.get()}), "Stateflow:sfprivate:BadCall",
                    "sfprivate: unknown conversion 'chart_simctx_other'.");
  EXPECT_HOST_ERROR(sfprivate({handle_.get()}), "Stateflow:sfprivate:BadCall",
                    "sfprivate: the first input must be a text naming the conversion.");
  EXPECT_HOST_ERROR(sfprivate({}), "Stateflow:sfprivate:BadCall",
                    "sfprivate: the first input must be a text naming the conversion.");
  EXPECT_HOST_ERROR(sfprivate({to_raw_.get(), raw_.get()}), "Stateflow:sfprivate:BadCall",
                    "sfprivate: 'chart_simctx_high2raw' takes 3 inputs, got 2.");
  EXPECT_HOST_ERROR(sfprivate({to_high_.get(), handle_.get(), raw_.get()}),
                    "Stateflow:sfprivate:BadCall",
                    "sfprivate: 'chart_simctx_raw2high' takes 4 inputs, got 3.");
  Mx no_info(mxCreateStructMatrix_700(1, 1, 0, nullptr));
  EXPECT_HOST_ERROR(
      sfprivate({to_high_.get(), handle_.get(), raw_.get(), no_info.get()}),
      "Stateflow:SimState:BadDescription",
      "sfprivate: invalid sim-state description: its chartChecksum must be a 1x4 real double, got "
      "nothing.");
}

TEST_F(SfprivateTest, ReachedThroughCallMatlabAsTheChartsDo) {
  mxArray* out[1] = {nullptr};
  mxArray* in[4] = {const_cast<mxArray*>(to_high_.get()), const_cast<mxArray*>(handle_.get()),
                    const_cast<mxArray*>(raw_.get()), const_cast<mxArray*>(desc_.get())};
  ASSERT_EQ(sf_mex_call_matlab(1, out, 4, in, "sfprivate"), 0);
  Mx state(out[0]);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(mxGetNumberOfFields(state.get()), 4);
}

}  // namespace
