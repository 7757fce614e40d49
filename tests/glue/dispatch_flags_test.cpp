// The glue's flag table: invalid flags and malformed direct calls, and the
// slot-tested flags with their slots empty and filled.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/glue/dispatch_fixture.hpp"

namespace {

using namespace dispatch_test;

// ---- Invalid flags and malformed direct calls ----

class InvalidFlag : public Dispatch, public ::testing::WithParamInterface<double> {};

TEST_P(InvalidFlag, IsPostedAndRunsNothing) {
  start();
  call(GetParam());
  EXPECT_STREQ(root.error_status, kInvalidFlag);
  EXPECT_TRUE(g_log.empty());
}

INSTANTIATE_TEST_SUITE_P(Gaps, InvalidFlag,
                         ::testing::Values(105, 109, 110, 124, 125, 129, 130, 135, 136, 137, 138,
                                           141, 143));
INSTANTIATE_TEST_SUITE_P(OutsideTheTable, InvalidFlag,
                         ::testing::Values(0, 1, 100, 100.99, 146, 1000, -104, -0.5, 2147483647.0,
                                           -2147483648.0, -2147483648.9, 2147483647.99));
INSTANTIATE_TEST_SUITE_P(NotAnInt32, InvalidFlag,
                         ::testing::Values(std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(), 2147483648.0,
                                           -2147483649.0, 4294967400.0, 1e300, -1e300));

TEST_F(Dispatch, FractionalFlagIsTruncatedTowardZero) {
  start();
  call(int{SS_METHOD_OUTPUTS} + 0.9);
  EXPECT_EQ(g_log, (Log{"step"}));
  call(int{SS_METHOD_INITIALIZE_CONDITIONS} + 0.999);
  EXPECT_EQ(g_log, (Log{"step", "initialize"}));
  EXPECT_EQ(root.error_status, nullptr);
}

TEST_F(Dispatch, MalformedFlagInputIsAnInvalidFlag) {
  start();
  host::mex::CallContext context(plugin_);
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S)};
  const mxArray* text_flag = mxCreateString("104");
  const mxArray* empty_flag = mxCreateDoubleMatrix_700(0, 1, mxREAL);
  const mxArray* good_flag = mxCreateDoubleScalar(SS_METHOD_OUTPUTS);
  struct Case {
    int nrhs;
    const mxArray* fourth;
  };
  for (const Case& c : {Case{4, text_flag}, Case{4, empty_flag}, Case{4, nullptr},
                        Case{3, good_flag}, Case{0, good_flag}}) {
    root.error_status = nullptr;
    const mxArray* prhs[4] = {nullptr, nullptr, nullptr, c.fourth};
    mexFunction(-1, plhs, c.nrhs, prhs);
    EXPECT_STREQ(root.error_status, kInvalidFlag) << "nrhs " << c.nrhs;
  }
  root.error_status = nullptr;
  mexFunction(-1, plhs, 4, nullptr);
  EXPECT_STREQ(root.error_status, kInvalidFlag);
  context.close(nullptr, 0);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(Dispatch, DirectCallWithoutSimStructTouchesNothing) {
  host::mex::CallContext context(plugin_);
  const mxArray* prhs[4] = {nullptr, nullptr, nullptr, mxCreateDoubleScalar(SS_METHOD_START)};
  mxArray* plhs[2] = {nullptr, nullptr};
  mexFunction(-1, plhs, 4, prhs);
  mexFunction(-1, nullptr, 4, prhs);
  mexFunction(-1, plhs, 0, nullptr);
  context.close(nullptr, 0);
  EXPECT_TRUE(g_log.empty());
}

// ---- Slot-tested flags ----

struct SlotCase {
  double flag;
  const char* message;
};

class EmptySlot : public Dispatch, public ::testing::WithParamInterface<SlotCase> {};

TEST_P(EmptySlot, PostsItsUnexpectedCallMessage) {
  call(GetParam().flag);
  EXPECT_STREQ(root.error_status, GetParam().message);
  EXPECT_TRUE(g_log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, EmptySlot,
    ::testing::Values(
        SlotCase{SS_METHOD_INITIALIZE_CONDITIONS, "Unexpected call to mdlInitializeConditions"},
        SlotCase{SS_METHOD_DERIVATIVES, "Unexpected call to mdlDerivatives"},
        SlotCase{SS_METHOD_CHECK_PARAMETERS, "Unexpected call to mdlCheckParameters"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetInputPortDataType"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE,
                 "Unexpected call to mdlSetOutputPortDataType"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_WIDTH, "Unexpected call to mdlSetInputPortWidth"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_WIDTH, "Unexpected call to mdlSetOutputPortWidth"},
        SlotCase{SS_METHOD_RTW, "Unexpected call to mdlRTW"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL,
                 "Unexpected call to mdlSetInputPortComplexSignal"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL,
                 "Unexpected call to mdlSetOutputPortComplexSignal"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME,
                 "Unexpected call to mdlSetInputPortSampleTime"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME,
                 "Unexpected call to mdlSetOutputPortSampleTime"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetInputPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetOutputPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_INPUT_PORT_FRAME_DATA,
                 "Unexpected call to mdlSetInputPortFrameData"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO,
                 "Unexpected call to mdlSetDefaultPortDimensionInfo"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES,
                 "Unexpected call to mdlSetDefaultPortDataTypes"},
        SlotCase{SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS,
                 "Unexpected call to mdlSetDefaultPortComplexSignals"},
        SlotCase{SS_METHOD_EXT_MODE_EXEC, "Unexpected call to mdlExtModeExec"},
        SlotCase{SS_METHOD_ENABLE, "Unexpected call to mdlEnable"},
        SlotCase{SS_METHOD_DISABLE, "Unexpected call to mdlDisable"},
        SlotCase{SS_METHOD_INITIALIZE_PROPAGATION_PASS,
                 "Unexpected call to mdlInitializePropagationPass"}));

// Every slot filled by the host; the flag calls the slot's routine with its arguments.
using SlotRun = std::pair<double, const char*>;
class FilledSlot : public Dispatch, public ::testing::WithParamInterface<SlotRun> {
 protected:
  void SetUp() override {
    Dispatch::SetUp();
    S.sizes[SS_SIZES_PORT_INDEX] = 2;
    info.int_arg = -7;
    info.time_arg0 = 0.25;
    info.time_arg1 = 0.125;
    info.ptr_arg = &period;
    S.methods.check_parameters = host_method<kCheckParameters>;
    S.methods.set_input_port_data_type = host_port_int<kInputDataType>;
    S.methods.set_output_port_data_type = host_port_int<kOutputDataType>;
    S.methods.input_port_shape.width = host_port_int<kInputWidth>;
    S.methods.output_port_shape.width = host_port_int<kOutputWidth>;
    S.methods.set_input_port_complex_signal = host_port_int<kInputComplex>;
    S.methods.set_output_port_complex_signal = host_port_int<kOutputComplex>;
    S.methods.set_input_port_sample_time = host_port_times<kInputSampleTime>;
    S.methods.set_output_port_sample_time = host_port_times<kOutputSampleTime>;
    S.methods.rtw = host_method<kHostRtw>;
    ext.set_input_port_frame_data = host_port_int<kFrameData>;
    ext.set_default_port_dimension_info = host_method<kDefaultDims>;
    ext.set_default_port_data_types = host_method<kDefaultTypes>;
    ext.set_default_port_complex_signals = host_method<kDefaultComplex>;
    ext.ext_mode_exec = host_method<kHostExtModeExec>;
    ext.initialize_propagation_pass = host_port<kPropagation>;
  }
};

TEST_P(FilledSlot, CallsTheSlotsRoutineWithItsArguments) {
  call(GetParam().first);
  EXPECT_EQ(g_log, (Log{GetParam().second}));
  EXPECT_EQ(root.error_status, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Dispatch, FilledSlot,
    ::testing::Values(
        SlotRun{SS_METHOD_CHECK_PARAMETERS, "check_parameters"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "input_data_type 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE, "output_data_type 2 -7"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_WIDTH, "input_width 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_WIDTH, "output_width 2 -7"},
        SlotRun{SS_METHOD_RTW, "host_rtw"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL, "input_complex 2 -7"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL, "output_complex 2 -7"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME, "input_sample_time 2 0.25 0.125"},
        SlotRun{SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME, "output_sample_time 2 0.25 0.125"},
        SlotRun{SS_METHOD_SET_INPUT_PORT_FRAME_DATA, "frame_data 2 -7"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO, "default_dims"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES, "default_types"},
        SlotRun{SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS, "default_complex"},
        SlotRun{SS_METHOD_EXT_MODE_EXEC, "host_ext_mode_exec"},
        SlotRun{SS_METHOD_INITIALIZE_PROPAGATION_PASS, "propagation 2"}));

TEST_F(Dispatch, FlagsBit0ChoosesWidthOrDimensionMethodsOfTheSharedSlot) {
  S.methods.input_port_shape.width = host_port_int<kInputWidth>;
  S.methods.output_port_shape.width = host_port_int<kOutputWidth>;
  S.sizes[SS_SIZES_PORT_INDEX] = 1;
  info.int_arg = 3;
  call(SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetInputPortDimensionInfo");
  call(SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetOutputPortDimensionInfo");
  EXPECT_TRUE(g_log.empty());

  S.methods.input_port_shape.dims = host_port_ptr<kInputDims>;
  S.methods.output_port_shape.dims = host_port_ptr<kOutputDims>;
  ssSetFlagBit(&S, SS_FLAG_PORT_DIMS_METHODS, 1);
  root.error_status = nullptr;
  info.ptr_arg = &now;
  call(SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO);
  call(SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO);
  EXPECT_EQ(g_log, (Log{"input_dims 1 ptr", "output_dims 1 ptr"}));
  EXPECT_EQ(root.error_status, nullptr);
  call(SS_METHOD_SET_INPUT_PORT_WIDTH);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetInputPortWidth");
  call(SS_METHOD_SET_OUTPUT_PORT_WIDTH);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlSetOutputPortWidth");
  EXPECT_EQ(g_log.size(), 2u);
}

TEST_F(Dispatch, GlueSlotsTestedThenGlueRoutinesRun) {
  // Host routines in the tested slots: the glue runs its own routine all the same.
  S.methods.initialize_conditions = host_method<kHostInitializeConditions>;
  S.methods.derivatives = host_method<kHostDerivatives>;
  ext.enable = host_method<kHostEnable>;
  ext.disable = host_method<kHostDisable>;
  call(SS_METHOD_INITIALIZE_CONDITIONS);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlInitializeConditions");
  call(SS_METHOD_ENABLE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlEnable");
  call(SS_METHOD_DISABLE);
  EXPECT_STREQ(root.error_status, "Unexpected call to mdlDisable");
  root.error_status = nullptr;
  call(SS_METHOD_DERIVATIVES);  // the glue's derivatives: nothing to do without a chart
  EXPECT_EQ(root.error_status, nullptr);
  EXPECT_TRUE(g_log.empty());
}

}  // namespace
