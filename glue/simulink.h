// The S-function glue: the plug-in's one export, its pre-dispatch hook and the
// method routines that the flag dispatch puts into a block's method slots. Every
// routine takes the block's SimStruct.
#pragma once

#include "platform/mex.h"
#include "platform/mx.h"
#include "platform/simstruc.h"

// The plug-in's entry point (the only symbol it exports). A negative nlhs marks a
// direct method call: the SimStruct is plhs[1] and the flag the first element of
// prhs[3]. Any other call goes to the model's command chain.
extern "C" MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// Nonzero when it has answered the call completely (flags 111 and 118); at flag 117
// it fills the block's method slots with the routines below.
int pre_dispatch_hook(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

void sfun_initialize_sample_times(SimStruct* S);
void sfun_initialize_conditions(SimStruct* S);
void sfun_get_time_of_next_var_hit(SimStruct* S);
void sfun_outputs(SimStruct* S);
void sfun_derivatives(SimStruct* S);
void sfun_terminate(SimStruct* S);
void sfun_flag108(SimStruct* S);
void sfun_set_work_widths(SimStruct* S);
void sfun_start(SimStruct* S);
void sfun_process_parameters(SimStruct* S);
void sfun_rtw(SimStruct* S);
void sfun_ext_mode_exec(SimStruct* S);
void sfun_enable(SimStruct* S);
void sfun_disable(SimStruct* S);
// A new mxArray owned by the caller; null after posting an error when the block has
// no chart records.
mxArray* sfun_get_sim_state(SimStruct* S);
void sfun_set_sim_state(SimStruct* S, const mxArray* state);
