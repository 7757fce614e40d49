// The S-function glue: the exported entry point, the dispatch of S-function method
// flags, and the method routines that drive a block's chart through its ChartInfo.
#include "glue/simulink.h"

#include <array>
#include <cstddef>
#include <iterator>

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

// Argument fields of port and sim-state method calls; all zero for a block without
// model information.
const SsModelInfo& call_arguments(const SimStruct* S) {
  static const SsModelInfo kNoArguments{};
  return S->mdl_info != nullptr ? *S->mdl_info : kNoArguments;
}

// The block's extended method slots; all empty for a block without them.
const SsExtMethods& ext_methods(const SimStruct* S) {
  static const SsExtMethods kNoExtMethods{};
  return S->ext_methods != nullptr ? *S->ext_methods : kNoExtMethods;
}

// Whether the block's port shapes are set through dimension methods rather than widths.
bool dims_methods(SimStruct* S) {
  return (ssGetFlags(S) & SS_FLAG_PORT_DIMS_METHODS) != 0;
}

// Calls a method slot of the block, or posts `unexpected` when it is empty.
template <class Fn, class... Args>
void call_slot(SimStruct* S, Fn slot, const char* unexpected, Args... args) {
  if (slot != nullptr) {
    slot(S, args...);
  } else {
    set_error_status(S, unexpected);
  }
}

// The method routine when the block has filled that slot, else `unexpected`.
template <class Slot>
void call_if_set(SimStruct* S, Slot slot, void (*routine)(SimStruct*), const char* unexpected) {
  if (slot != nullptr) {
    routine(S);
  } else {
    set_error_status(S, unexpected);
  }
}

void get_sim_state_call(SimStruct* S, const char* unexpected) {
  if (ssGetSimStateCompliance(S) != SS_SIM_STATE_COMPLIANCE_OWN || chart_info_of(S) == nullptr) {
    set_error_status(S, unexpected);
    return;
  }
  auto** slot = static_cast<mxArray**>(call_arguments(S).ptr_arg);
  if (slot == nullptr) {
    set_error_status(S, unexpected);
    return;
  }
  *slot = sfun_get_sim_state(S);
  const SsGenericFcn generic = call_arguments(S).generic_fcn;
  if (generic != nullptr) generic(S, SS_GEN_SIM_STATE_SAVED, 0, *slot);
}

void set_sim_state_call(SimStruct* S, const char* unexpected) {
  if (ssGetSimStateCompliance(S) != SS_SIM_STATE_COMPLIANCE_OWN) {
    set_error_status(S, unexpected);
    return;
  }
  sfun_set_sim_state(S, static_cast<const mxArray*>(call_arguments(S).ptr_arg));
}

// One row per method flag that a direct call may carry: the flag, the message posted
// when the block cannot take the call ("Unexpected call to <method>"; null where the
// call is always taken), and the routine that answers it. The hook answers the
// set-work-widths and process-parameters flags before this table is read.
struct Method {
  int flag;
  const char* unexpected;
  void (*call)(SimStruct* S, const char* unexpected);
};

constexpr Method kMethods[] = {
    {SS_METHOD_INITIALIZE_SAMPLE_TIMES, nullptr,
     [](SimStruct* S, const char*) { sfun_initialize_sample_times(S); }},
    {SS_METHOD_INITIALIZE_CONDITIONS, "Unexpected call to mdlInitializeConditions",
     [](SimStruct* S, const char* u) {
       call_if_set(S, S->methods.initialize_conditions, sfun_initialize_conditions, u);
     }},
    {SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT, nullptr,
     [](SimStruct* S, const char*) { sfun_get_time_of_next_var_hit(S); }},
    {SS_METHOD_OUTPUTS, "Unexpected call to mdlOutputs",
     [](SimStruct* S, const char*) { sfun_outputs(S); }},
    {SS_METHOD_DERIVATIVES, "Unexpected call to mdlDerivatives",
     [](SimStruct* S, const char* u) {
       call_if_set(S, S->methods.derivatives, sfun_derivatives, u);
     }},
    {SS_METHOD_TERMINATE, nullptr, [](SimStruct* S, const char*) { sfun_terminate(S); }},
    {SS_METHOD_FLAG108, nullptr, [](SimStruct* S, const char*) { sfun_flag108(S); }},
    {SS_METHOD_CHECK_PARAMETERS, "Unexpected call to mdlCheckParameters",
     [](SimStruct* S, const char* u) { call_slot(S, S->methods.check_parameters, u); }},
    {SS_METHOD_SET_INPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetInputPortDataType",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_input_port_data_type, u, ssGetPortIndexArg(S),
                 call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE, "Unexpected call to mdlSetOutputPortDataType",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_output_port_data_type, u, ssGetPortIndexArg(S),
                 call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_INPUT_PORT_WIDTH, "Unexpected call to mdlSetInputPortWidth",
     [](SimStruct* S, const char* u) {
       call_slot(S, dims_methods(S) ? nullptr : S->methods.input_port_shape.width, u,
                 ssGetPortIndexArg(S), call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_OUTPUT_PORT_WIDTH, "Unexpected call to mdlSetOutputPortWidth",
     [](SimStruct* S, const char* u) {
       call_slot(S, dims_methods(S) ? nullptr : S->methods.output_port_shape.width, u,
                 ssGetPortIndexArg(S), call_arguments(S).int_arg);
     }},
    {SS_METHOD_START, nullptr, [](SimStruct* S, const char*) { sfun_start(S); }},
    {SS_METHOD_RTW, "Unexpected call to mdlRTW",
     [](SimStruct* S, const char* u) { call_slot(S, S->methods.rtw, u); }},
    {SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetInputPortComplexSignal",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_input_port_complex_signal, u, ssGetPortIndexArg(S),
                 call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL, "Unexpected call to mdlSetOutputPortComplexSignal",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_output_port_complex_signal, u, ssGetPortIndexArg(S),
                 call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetInputPortSampleTime",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_input_port_sample_time, u, ssGetPortIndexArg(S),
                 call_arguments(S).time_arg0, call_arguments(S).time_arg1);
     }},
    {SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME, "Unexpected call to mdlSetOutputPortSampleTime",
     [](SimStruct* S, const char* u) {
       call_slot(S, S->methods.set_output_port_sample_time, u, ssGetPortIndexArg(S),
                 call_arguments(S).time_arg0, call_arguments(S).time_arg1);
     }},
    {SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetInputPortDimensionInfo",
     [](SimStruct* S, const char* u) {
       call_slot(S, dims_methods(S) ? S->methods.input_port_shape.dims : nullptr, u,
                 ssGetPortIndexArg(S), call_arguments(S).ptr_arg);
     }},
    {SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetOutputPortDimensionInfo",
     [](SimStruct* S, const char* u) {
       call_slot(S, dims_methods(S) ? S->methods.output_port_shape.dims : nullptr, u,
                 ssGetPortIndexArg(S), call_arguments(S).ptr_arg);
     }},
    {SS_METHOD_SET_INPUT_PORT_FRAME_DATA, "Unexpected call to mdlSetInputPortFrameData",
     [](SimStruct* S, const char* u) {
       call_slot(S, ext_methods(S).set_input_port_frame_data, u, ssGetPortIndexArg(S),
                 call_arguments(S).int_arg);
     }},
    {SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO, "Unexpected call to mdlSetDefaultPortDimensionInfo",
     [](SimStruct* S, const char* u) {
       call_slot(S, ext_methods(S).set_default_port_dimension_info, u);
     }},
    {SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES, "Unexpected call to mdlSetDefaultPortDataTypes",
     [](SimStruct* S, const char* u) {
       call_slot(S, ext_methods(S).set_default_port_data_types, u);
     }},
    {SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS,
     "Unexpected call to mdlSetDefaultPortComplexSignals",
     [](SimStruct* S, const char* u) {
       call_slot(S, ext_methods(S).set_default_port_complex_signals, u);
     }},
    {SS_METHOD_EXT_MODE_EXEC, "Unexpected call to mdlExtModeExec",
     [](SimStruct* S, const char* u) { call_slot(S, ext_methods(S).ext_mode_exec, u); }},
    {SS_METHOD_ENABLE, "Unexpected call to mdlEnable",
     [](SimStruct* S, const char* u) { call_if_set(S, ext_methods(S).enable, sfun_enable, u); }},
    {SS_METHOD_DISABLE, "Unexpected call to mdlDisable",
     [](SimStruct* S, const char* u) { call_if_set(S, ext_methods(S).disable, sfun_disable, u); }},
    {SS_METHOD_INITIALIZE_PROPAGATION_PASS, "Unexpected call to mdlInitializePropagationPass",
     [](SimStruct* S, const char* u) {
       call_slot(S, ext_methods(S).initialize_propagation_pass, u, ssGetPortIndexArg(S));
     }},
    {SS_METHOD_GET_SIM_STATE, "Unexpected call to mdlGetSimState", get_sim_state_call},
    {SS_METHOD_SET_SIM_STATE, "Unexpected call to mdlSetSimState", set_sim_state_call},
};

// The rows by flag: kRowOf[flag - kFirstFlag] is the flag's row in kMethods, -1 for a
// flag without one.
constexpr int kFirstFlag = SS_METHOD_INITIALIZE_SAMPLE_TIMES;
constexpr int kLastFlag = SS_METHOD_SET_SIM_STATE;
constexpr auto kRowOf = [] {
  std::array<signed char, kLastFlag - kFirstFlag + 1> rows{};
  rows.fill(-1);
  for (std::size_t i = 0; i < std::size(kMethods); ++i)
    rows[kMethods[i].flag - kFirstFlag] = static_cast<signed char>(i);
  return rows;
}();

// The message a method posts when the block cannot take it.
consteval const char* unexpected_call(int flag) {
  return kMethods[kRowOf[flag - kFirstFlag]].unexpected;
}

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
  ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_INITIALIZE_CONDITIONS));
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
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_OUTPUTS));
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
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_ENABLE));
  if (info != nullptr) run_slot(info->enable, info);
}

void disable_body(SimStruct* S) {
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_DISABLE));
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

void dispatch_flag(SimStruct* S, int flag) {
  if (flag < kFirstFlag || flag > kLastFlag || kRowOf[flag - kFirstFlag] < 0) {
    set_error_status(S, kInvalidFlag);
    return;
  }
  const Method& method = kMethods[kRowOf[flag - kFirstFlag]];
  method.call(S, method.unexpected);
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
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_RTW));
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
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_GET_SIM_STATE));
  if (info == nullptr || info->get_sim_state == nullptr) return nullptr;
  // The chart hands over a new array; from here on it belongs to the caller.
  return const_cast<mxArray*>(info->get_sim_state(S));
}

void sfun_set_sim_state(SimStruct* S, const mxArray* state) {
  const ChartInfo* info = chart_or_unexpected(S, unexpected_call(SS_METHOD_SET_SIM_STATE));
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
