// Small services on the block's SimStruct used by the glue's dispatch and by the
// chart code: posting an error, showing a fatal dialog, reading an input signal
// with its port checks, writing a code-generation pair, asking the block handle.
#pragma once

#include "platform/simstruc.h"

// Post a constant message (static storage, not copied) as the model's error.
void set_error_status(SimStruct* S, const char* message);
// Show a modal error dialog through the host function "errordlg".
void show_fatal_error(SimStruct* S, const char* message);
// The signal address of input port `port`, or null after reporting the bad access.
void* safe_input_port_signal(SimStruct* S, int port);
// Write one name-value pair of the code-generation record; the further arguments
// depend on `type` (see the value-type table in services.cpp). 0 on a rejected call.
extern "C" int ssWriteRTWNameValuePair(SimStruct* S, int type, const char* name, const void* value,
                                       ...);
// The double that the host's generic-function entry answers for code 21 (0.0 when
// the entry is absent).
double query_host_double(SimStruct* S);
