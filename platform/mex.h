/* MEX call environment (libmex). Published names, C linkage. */
#ifndef PLATFORM_MEX_H
#define PLATFORM_MEX_H

#include "platform/mx.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The one export of every MEX plug-in, and how a plug-in marks it for export: the
 * only symbol its library shows to the loader. */
typedef void (*mexFunction_t)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
#if defined(_WIN32)
#define MEX_EXPORT __declspec(dllexport)
#else
#define MEX_EXPORT __attribute__((visibility("default")))
#endif

/* Raise a host error: the MEX call ends; never returns. */
void mexErrMsgTxt(const char* message);
void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...);

/* Call a MATLAB-level function by name. Outputs belong to the caller. Returns 0;
 * an error raised by the function ends the calling MEX call too. */
int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name);

/* The lock that keeps the calling plug-in in memory. */
void mexLock(void);
void mexUnlock(void);
bool mexIsLocked(void);

/* Keep an array alive past the end of the current MEX call. */
void mexMakeArrayPersistent(mxArray* array);

int mexPrintf(const char* format, ...);

#ifdef __cplusplus
}
#endif

#endif
