// The S-function glue: the exported entry point, the dispatch of S-function method
// flags, and the method routines that drive a block's chart through its ChartInfo.
#include "glue/simulink.h"

#include "block/chart_records.h"
#include "block/services.h"
#include "platform/mex.h"
#include "platform/sf_runtime.h"
#include "platform/truncate.h"
#include "registry/model_api.h"

namespace {

constexpr double kInheritedPeriod = -1.0;
constexpr double kContinuousPeriod = 0.0;

const char kInvalidFlag[] = "Invalid flag encountered in simulink";
const char kVarHitMissing[] =
    "To have a variable sample time, you must define MDL_GET_TIME_OF_NEXT_VAR_HIT and add a "
    "mdlGetTimeOfNextVarHit routine";

const char kUnexpectedInitializeConditions[] = "Unexpected call to mdlInitializeConditions";
const char kUnexpectedOutputs[] = "Unexpected call to mdlOutputs";
const char kUnexpectedDerivatives[] = "Unexpected call to mdlDerivatives";
const char kUnexpectedCheckParameters[] = "Unexpected call to mdlCheckParameters";
const char kUnexpectedInputPortDataType[] = "Unexpected call to mdlSetInputPortDataType";
const char kUnexpectedOutputPortDataType[] = "Unexpected call to mdlSetOutputPortDataType";
const char kUnexpectedInputPortWidth[] = "Unexpected call to mdlSetInputPortWidth";
const char kUnexpectedOutputPortWidth[] = "Unexpected call to mdlSetOutputPortWidth";
const char kUnexpectedRtw[] = "Unexpected call to mdlRTW";
const char kUnexpectedInputPortComplexSignal[] = "Unexpected call to mdlSetInputPortComplexSignal";
const char kUnexpectedOutputPortComplexSignal[] =
    "Unexpected call to mdlSetOutputPortComplexSignal";
const char kUnexpectedInputPortSampleTime[] = "Unexpected call to mdlSetInputPortSampleTime";
const char kUnexpectedOutputPortSampleTime[] = "Unexpected call to mdlSetOutputPortSampleTime";
const char kUnexpectedInputPortDimensionInfo[] = "Unexpected call to mdlSetInputPortDimensionInfo";
const char kUnexpectedOutputPortDimensionInfo[] =
    "Unexpected call to mdlSetOutputPortDimensionInfo";
const char kUnexpectedInputPortFrameData[] = "Unexpected call to mdlSetInputPortFrameData";
const char kUnexpectedDefaultPortDimensionInfo[] =
    "Unexpected call to mdlSetDefaultPortDimensionInfo";
const char kUnexpectedDefaultPortDataTypes[] = "Unexpected call to mdlSetDefaultPortDataTypes";
const char kUnexpectedDefaultPortComplexSignals[] =
    "Unexpected call to mdlSetDefaultPortComplexSignals";
const char kUnexpectedExtModeExec[] = "Unexpected call to mdlExtModeExec";
const char kUnexpectedEnable[] = "Unexpected call to mdlEnable";
const char kUnexpectedDisable[] = "Unexpected call to mdlDisable";
const char kUnexpectedInitializePropagationPass[] =
    "Unexpected call to mdlInitializePropagationPass";
const char kUnexpectedGetSimState[] = "Unexpected call to mdlGetSimState";
const char kUnexpectedSetSimState[] = "Unexpected call to mdlSetSimState";

// The block's ChartInfo, or null after posting `message` when mdlStart has not made
// the chart records (yet).
ChartInfo* chart_or_unexpected(SimStruct* S, const char* message) {
  ChartInfo* info = chart_info_of(S);
  if (info == nullptr) set_error_status(S, message);
  return info;
}

void run_slot(ChartInstanceSlot slot, const ChartInfo* info) {
  if (slot != nullptr) slot(info->chart_instance);
}

// ---- Method bodies (run through callMdlMethodAndReportError) ----

void start_body(SimStruct* S) {
  ssSetOptions(S, ssGetOptions(S) | SS_OPTION_CALL_TERMINATE_ON_EXIT);
  S->user_data = nullptr;
  machine_initialize(S);
  call_sf_machine_global_method_dispatcher(S, SS_METHOD_START, 0, machine_dispatch_callback);
  if (!mexIsLocked()) mexLock();
}

void terminate_body(SimStruct* S) {
  const ChartInfo* info = chart_info_of(S);
  sf_clear_error_manager_info();
  if (info != nullptr) run_slot(info->terminate, info);
  S->user_data = nullptr;
  machine_terminate();
  while (mexIsLocked())
    mexUnlock();
}

void initialize_conditions_body(SimStruct* S) {
  ChartInfo* info = chart_or_unexpected(S, kUnexpectedInitializeConditions);
  if (info == nullptr) return;
  run_slot(info->initialize, info);
  info->chart_initialized = 1;
}

// Whether the current step is a major one, and whether the stored time of the last
// major step is the current time.
bool major_step(const SimStruct* S) {
  return S->mdl_info != nullptr && S->mdl_info->major_time_step != 0;
}
bool stored_time_is_now(const SimStruct* S) {
  const SsModelInfo* mi = S->mdl_info;
  return mi != nullptr && mi->t != nullptr && mi->stored_time == *mi->t;
}

void outputs_body(SimStruct* S) {
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedOutputs);
  if (info == nullptr) return;
  // A block without a sample-period array runs at the inherited rate.
  const double period = S->sample_periods != nullptr ? S->sample_periods[0] : kInheritedPeriod;
  const bool major = major_step(S);

  if (period == kInheritedPeriod) {
    if (info->is_embedded_matlab_chart != 0 || major) run_slot(info->step, info);
  } else if (period == kContinuousPeriod) {
    if (info->skip_step_hooks != nullptr) {
      run_slot(info->step, info);
    } else if (major) {
      run_slot(info->step_prologue, info);
      run_slot(info->step, info);
      run_slot(info->step_epilogue, info);
    } else {
      if (stored_time_is_now(S) && info->step_prologue_same_time != nullptr) {
        run_slot(info->step_prologue_same_time, info);
      } else {
        run_slot(info->step_prologue, info);
      }
      run_slot(info->step, info);
    }
  } else if (major) {
    run_slot(info->step, info);
  }
}

void derivatives_body(SimStruct* S) {
  const ChartInfo* info = chart_info_of(S);
  if (info != nullptr) run_slot(info->derivatives, info);
}

void flag108_body(SimStruct* S) {
  const ChartInfo* info = chart_info_of(S);
  if (info != nullptr) run_slot(info->flag108_routine, info);
}

void ext_mode_exec_body(SimStruct* S) {
  const ChartInfo* info = chart_info_of(S);
  if (info != nullptr) run_slot(info->ext_mode_exec, info);
}

void enable_body(SimStruct* S) {
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedEnable);
  if (info != nullptr) run_slot(info->enable, info);
}

void disable_body(SimStruct* S) {
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedDisable);
  if (info != nullptr) run_slot(info->disable, info);
}

// ---- Direct method calls ----

enum class CallShape { kNoSimStruct, kInvalidFlag, kValid };

// Reads the SimStruct (plhs[1]) and the flag (first element of prhs[3], a double
// truncated toward zero) of a direct method call. The flag must be a finite value
// in the 32-bit range.
CallShape read_direct_call(mxArray* plhs[], int nrhs, const mxArray* prhs[], SimStruct** S,
                           int* flag) {
  *S = plhs != nullptr ? reinterpret_cast<SimStruct*>(plhs[1]) : nullptr;
  if (*S == nullptr) return CallShape::kNoSimStruct;
  if (nrhs < 4 || prhs == nullptr) return CallShape::kInvalidFlag;
  const mxArray* flag_array = prhs[3];
  if (flag_array == nullptr || !mxIsDouble(flag_array) || mxIsEmpty(flag_array)) {
    return CallShape::kInvalidFlag;
  }
  int32_t value = 0;
  if (!truncate_to_int32(mxGetPr(flag_array)[0], &value)) return CallShape::kInvalidFlag;
  *flag = value;
  return CallShape::kValid;
}

void install_method_slots(SimStruct* S) {
  S->methods.set_work_widths = sfun_set_work_widths;
  S->methods.terminate = sfun_terminate;
  S->methods.start = sfun_start;
  S->methods.process_parameters = sfun_process_parameters;
  S->methods.initialize_conditions = sfun_initialize_conditions;
  S->methods.outputs = sfun_outputs;
  S->methods.rtw = sfun_rtw;
  if (S->ext_methods != nullptr) {
    S->ext_methods->enable = sfun_enable;
    S->ext_methods->disable = sfun_disable;
    S->ext_methods->ext_mode_exec = sfun_ext_mode_exec;
  }
  S->methods.flag108 = sfun_flag108;
  S->methods.derivatives = sfun_derivatives;
}

// The hook's part of a direct call: nonzero when it answered the call.
int hook_direct_call(SimStruct* S, int flag) {
  switch (flag) {
    case SS_METHOD_START:
      install_method_slots(S);
      return 0;
    case SS_METHOD_SET_WORK_WIDTHS:
      sfun_set_work_widths(S);
      return 1;
    case SS_METHOD_PROCESS_PARAMETERS:
      sfun_process_parameters(S);
      return 1;
    default:
      return 0;
  }
}

// Argument fields of port and sim-state method calls; all zero for a block without
// model information.
const SsModelInfo& call_arguments(const SimStruct* S) {
  static const SsModelInfo kNoArguments{};
  return S->mdl_info != nullptr ? *S->mdl_info : kNoArguments;
}

template <class Fn, class... Args>
void call_slot(SimStruct* S, Fn slot, const char* message, Args... args) {
  if (slot != nullptr) {
    slot(S, args...);
  } else {
    set_error_status(S, message);
  }
}

void get_sim_state_call(SimStruct* S) {
  if (ssGetSimStateCompliance(S) != SS_SIM_STATE_COMPLIANCE_OWN || chart_info_of(S) == nullptr) {
    set_error_status(S, kUnexpectedGetSimState);
    return;
  }
  auto** slot = static_cast<mxArray**>(call_arguments(S).ptr_arg);
  if (slot == nullptr) {
    set_error_status(S, kUnexpectedGetSimState);
    return;
  }
  *slot = sfun_get_sim_state(S);
  const SsGenericFcn generic = call_arguments(S).generic_fcn;
  if (generic != nullptr) generic(S, SS_GEN_SIM_STATE_SAVED, 0, *slot);
}

void set_sim_state_call(SimStruct* S) {
  if (ssGetSimStateCompliance(S) != SS_SIM_STATE_COMPLIANCE_OWN) {
    set_error_status(S, kUnexpectedSetSimState);
    return;
  }
  sfun_set_sim_state(S, static_cast<const mxArray*>(call_arguments(S).ptr_arg));
}

void dispatch_flag(SimStruct* S, int flag) {
  SsMethods& m = S->methods;
  SsExtMethods no_ext{};
  SsExtMethods& ext = S->ext_methods != nullptr ? *S->ext_methods : no_ext;
  const SsModelInfo& args = call_arguments(S);
  const int port = ssGetPortIndexArg(S);
  const bool dims_methods = (ssGetFlags(S) & SS_FLAG_PORT_DIMS_METHODS) != 0;

  switch (flag) {
    case SS_METHOD_INITIALIZE_SAMPLE_TIMES:
      sfun_initialize_sample_times(S);
      break;
    case SS_METHOD_INITIALIZE_CONDITIONS:
      if (m.initialize_conditions != nullptr) {
        sfun_initialize_conditions(S);
      } else {
        set_error_status(S, kUnexpectedInitializeConditions);
      }
      break;
    case SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT:
      sfun_get_time_of_next_var_hit(S);
      break;
    case SS_METHOD_OUTPUTS:
      sfun_outputs(S);
      break;
    case SS_METHOD_DERIVATIVES:
      if (m.derivatives != nullptr) {
        sfun_derivatives(S);
      } else {
        set_error_status(S, kUnexpectedDerivatives);
      }
      break;
    case SS_METHOD_TERMINATE:
      sfun_terminate(S);
      break;
    case SS_METHOD_FLAG108:
      sfun_flag108(S);
      break;
    case SS_METHOD_CHECK_PARAMETERS:
      call_slot(S, m.check_parameters, kUnexpectedCheckParameters);
      break;
    case SS_METHOD_SET_INPUT_PORT_DATA_TYPE:
      call_slot(S, m.set_input_port_data_type, kUnexpectedInputPortDataType, port, args.int_arg);
      break;
    case SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE:
      call_slot(S, m.set_output_port_data_type, kUnexpectedOutputPortDataType, port, args.int_arg);
      break;
    case SS_METHOD_SET_INPUT_PORT_WIDTH:
      call_slot(S, dims_methods ? nullptr : m.input_port_shape.width, kUnexpectedInputPortWidth,
                port, args.int_arg);
      break;
    case SS_METHOD_SET_OUTPUT_PORT_WIDTH:
      call_slot(S, dims_methods ? nullptr : m.output_port_shape.width, kUnexpectedOutputPortWidth,
                port, args.int_arg);
      break;
    case SS_METHOD_START:
      sfun_start(S);
      break;
    case SS_METHOD_RTW:
      call_slot(S, m.rtw, kUnexpectedRtw);
      break;
    case SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL:
      call_slot(S, m.set_input_port_complex_signal, kUnexpectedInputPortComplexSignal, port,
                args.int_arg);
      break;
    case SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL:
      call_slot(S, m.set_output_port_complex_signal, kUnexpectedOutputPortComplexSignal, port,
                args.int_arg);
      break;
    case SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME:
      call_slot(S, m.set_input_port_sample_time, kUnexpectedInputPortSampleTime, port,
                args.time_arg0, args.time_arg1);
      break;
    case SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME:
      call_slot(S, m.set_output_port_sample_time, kUnexpectedOutputPortSampleTime, port,
                args.time_arg0, args.time_arg1);
      break;
    case SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO:
      call_slot(S, dims_methods ? m.input_port_shape.dims : nullptr,
                kUnexpectedInputPortDimensionInfo, port, args.ptr_arg);
      break;
    case SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO:
      call_slot(S, dims_methods ? m.output_port_shape.dims : nullptr,
                kUnexpectedOutputPortDimensionInfo, port, args.ptr_arg);
      break;
    case SS_METHOD_SET_INPUT_PORT_FRAME_DATA:
      call_slot(S, ext.set_input_port_frame_data, kUnexpectedInputPortFrameData, port,
                args.int_arg);
      break;
    case SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO:
      call_slot(S, ext.set_default_port_dimension_info, kUnexpectedDefaultPortDimensionInfo);
      break;
    case SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES:
      call_slot(S, ext.set_default_port_data_types, kUnexpectedDefaultPortDataTypes);
      break;
    case SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS:
      call_slot(S, ext.set_default_port_complex_signals, kUnexpectedDefaultPortComplexSignals);
      break;
    case SS_METHOD_EXT_MODE_EXEC:
      call_slot(S, ext.ext_mode_exec, kUnexpectedExtModeExec);
      break;
    case SS_METHOD_ENABLE:
      if (ext.enable != nullptr) {
        sfun_enable(S);
      } else {
        set_error_status(S, kUnexpectedEnable);
      }
      break;
    case SS_METHOD_DISABLE:
      if (ext.disable != nullptr) {
        sfun_disable(S);
      } else {
        set_error_status(S, kUnexpectedDisable);
      }
      break;
    case SS_METHOD_INITIALIZE_PROPAGATION_PASS:
      call_slot(S, ext.initialize_propagation_pass, kUnexpectedInitializePropagationPass, port);
      break;
    case SS_METHOD_GET_SIM_STATE:
      get_sim_state_call(S);
      break;
    case SS_METHOD_SET_SIM_STATE:
      set_sim_state_call(S);
      break;
    default:
      set_error_status(S, kInvalidFlag);
      break;
  }
}

}  // namespace

// ---- Method routines ----

void sfun_initialize_sample_times(SimStruct* S) {
  sf_mex_error_direct_call(S, "mdlInitializeSampleTimes", "sfc_sf");
}

void sfun_initialize_conditions(SimStruct* S) {
  callMdlMethodAndReportError(initialize_conditions_body, S);
}

void sfun_get_time_of_next_var_hit(SimStruct* S) {
  set_error_status(S, kVarHitMissing);
}

void sfun_outputs(SimStruct* S) {
  callMdlMethodAndReportError(outputs_body, S);
}

void sfun_derivatives(SimStruct* S) {
  callMdlMethodAndReportError(derivatives_body, S);
}

void sfun_terminate(SimStruct* S) {
  callMdlMethodAndReportError(terminate_body, S);
}

void sfun_flag108(SimStruct* S) {
  callMdlMethodAndReportError(flag108_body, S);
}

void sfun_set_work_widths(SimStruct* S) {
  call_sf_machine_global_method_dispatcher(S, SS_METHOD_SET_WORK_WIDTHS, 1,
                                           machine_dispatch_callback);
}

void sfun_start(SimStruct* S) {
  callMdlMethodAndReportError(start_body, S);
}

void sfun_process_parameters(SimStruct* S) {
  call_sf_machine_global_method_dispatcher(S, SS_METHOD_PROCESS_PARAMETERS, 0,
                                           machine_dispatch_callback);
}

void sfun_rtw(SimStruct* S) {
  sf_clear_error_manager_info();
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedRtw);
  if (info != nullptr && info->rtw != nullptr) info->rtw(S);
}

void sfun_ext_mode_exec(SimStruct* S) {
  callMdlMethodAndReportError(ext_mode_exec_body, S);
}

void sfun_enable(SimStruct* S) {
  callMdlMethodAndReportError(enable_body, S);
}

void sfun_disable(SimStruct* S) {
  callMdlMethodAndReportError(disable_body, S);
}

mxArray* sfun_get_sim_state(SimStruct* S) {
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedGetSimState);
  if (info == nullptr || info->get_sim_state == nullptr) return nullptr;
  // The chart hands over a new array; from here on it belongs to the caller.
  return const_cast<mxArray*>(info->get_sim_state(S));
}

void sfun_set_sim_state(SimStruct* S, const mxArray* state) {
  const ChartInfo* info = chart_or_unexpected(S, kUnexpectedSetSimState);
  if (info != nullptr && info->set_sim_state != nullptr) info->set_sim_state(S, state);
}

// ---- Entry point ----

int pre_dispatch_hook(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nlhs >= 0) return 0;
  SimStruct* S = nullptr;
  int flag = 0;
  if (read_direct_call(plhs, nrhs, prhs, &S, &flag) != CallShape::kValid) return 0;
  return hook_direct_call(S, flag);
}

extern "C" MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  // The hook answers direct method calls only; any other call goes to the model.
  if (nlhs >= 0) {
    process_command_line_call(nlhs, plhs, nrhs, prhs);
    return;
  }
  // A direct method call: the flag is read once and serves both the hook's part
  // and the flag table.
  SimStruct* S = nullptr;
  int flag = 0;
  switch (read_direct_call(plhs, nrhs, prhs, &S, &flag)) {
    case CallShape::kNoSimStruct:
      return;
    case CallShape::kInvalidFlag:
      set_error_status(S, kInvalidFlag);
      return;
    case CallShape::kValid:
      break;
  }
  if (hook_direct_call(S, flag) != 0) return;
  dispatch_flag(S, flag);
}
