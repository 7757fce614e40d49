// The method flags of a direct method call, by name and number: glue, engine and
// tests all read these names, so only this table notices two numbers swapped.
#include <gtest/gtest.h>

#include "platform/simstruc.h"

namespace {

TEST(MethodFlags, EachNameHasTheHostsNumber) {
  const struct {
    int value;
    int expected;
    const char* name;
  } flags[] = {
      {SS_METHOD_INITIALIZE_SAMPLE_TIMES, 101, "mdlInitializeSampleTimes"},
      {SS_METHOD_INITIALIZE_CONDITIONS, 102, "mdlInitializeConditions"},
      {SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT, 103, "mdlGetTimeOfNextVarHit"},
      {SS_METHOD_OUTPUTS, 104, "mdlOutputs"},
      {SS_METHOD_DERIVATIVES, 106, "mdlDerivatives"},
      {SS_METHOD_TERMINATE, 107, "terminate"},
      {SS_METHOD_FLAG108, 108, "flag-108 method"},
      {SS_METHOD_SET_WORK_WIDTHS, 111, "mdlSetWorkWidths"},
      {SS_METHOD_CHECK_PARAMETERS, 112, "mdlCheckParameters"},
      {SS_METHOD_SET_INPUT_PORT_DATA_TYPE, 113, "mdlSetInputPortDataType"},
      {SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE, 114, "mdlSetOutputPortDataType"},
      {SS_METHOD_SET_INPUT_PORT_WIDTH, 115, "mdlSetInputPortWidth"},
      {SS_METHOD_SET_OUTPUT_PORT_WIDTH, 116, "mdlSetOutputPortWidth"},
      {SS_METHOD_START, 117, "mdlStart"},
      {SS_METHOD_PROCESS_PARAMETERS, 118, "mdlProcessParameters"},
      {SS_METHOD_RTW, 119, "mdlRTW"},
      {SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL, 120, "mdlSetInputPortComplexSignal"},
      {SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL, 121, "mdlSetOutputPortComplexSignal"},
      {SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME, 122, "mdlSetInputPortSampleTime"},
      {SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME, 123, "mdlSetOutputPortSampleTime"},
      {SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO, 126, "mdlSetInputPortDimensionInfo"},
      {SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO, 127, "mdlSetOutputPortDimensionInfo"},
      {SS_METHOD_SET_INPUT_PORT_FRAME_DATA, 128, "mdlSetInputPortFrameData"},
      {SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO, 131, "mdlSetDefaultPortDimensionInfo"},
      {SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES, 132, "mdlSetDefaultPortDataTypes"},
      {SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS, 133, "mdlSetDefaultPortComplexSignals"},
      {SS_METHOD_EXT_MODE_EXEC, 134, "mdlExtModeExec"},
      {SS_METHOD_ENABLE, 139, "mdlEnable"},
      {SS_METHOD_DISABLE, 140, "mdlDisable"},
      {SS_METHOD_INITIALIZE_PROPAGATION_PASS, 142, "mdlInitializePropagationPass"},
      {SS_METHOD_GET_SIM_STATE, 144, "mdlGetSimState"},
      {SS_METHOD_SET_SIM_STATE, 145, "mdlSetSimState"},
  };
  for (const auto& f : flags)
    EXPECT_EQ(f.value, f.expected) << f.name;
}

}  // namespace
