// The model interface: what the S-function glue calls of the model it is linked
// with. Each deliverable defines these once, over its own model (the code generated
// from models/model.cpp.in).
#pragma once

#include "platform/mx.h"
#include "platform/simstruc.h"

void machine_initialize(SimStruct* S);
void machine_terminate();
unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void* unused, int method, void* data);
void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
