/* Chart runtime (libsf_runtime): the 64 operations the plug-ins call. Published
 * names, C linkage. Operations that raise do so with the host's error (a C++
 * exception) and do not return. */
#ifndef PLATFORM_SF_RUNTIME_H
#define PLATFORM_SF_RUNTIME_H

#include <stdint.h>

#include "platform/mx.h"
#include "platform/simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Identifier record of a value being imported: the variable name and its parent. */
typedef struct SfMsgIdentifier {
  const char* fIdentifier;
  const struct SfMsgIdentifier* fParent;
} SfMsgIdentifier;

/* Debugger conversion callbacks of a chart's data. */
typedef const mxArray* (*SfToMxFn)(void* chart_instance, void* data);
typedef void (*SfFromMxFn)(void* chart_instance, const mxArray* value, const char* name,
                           void* data);

/* Routing callback handed to the method dispatch. */
typedef unsigned int (*SfMachineDispatchFn)(SimStruct* S, const char* machine_name,
                                            int chart_number, void* unused, int method, void* data);

/* Body of a method run under callMdlMethodAndReportError. */
typedef void (*SfMdlMethodFn)(SimStruct* S);

/* Sim-state value kinds of sf_mex_create. */
enum {
  SF_MEX_DOUBLE = 0,
  SF_MEX_UINT8 = 3,
  SF_MEX_UINT32 = 7,
  SF_MEX_CHAR_BUFFER = 10, /* characters given by the dimensions, no terminator */
  SF_MEX_TEXT = 15         /* a terminated text */
};

/* Argument-kind code of sf_mex_call_debug: an mxArray follows. */
enum { SF_MEX_ARG_HOLDER = 14 };

/* Machine (1-5) */
void* sf_debug_create_debug_instance_struct(void);
unsigned int sf_debug_initialize_machine(void* debug_instance, const char* machine_name,
                                         const char* target_name, unsigned int is_library,
                                         unsigned int chart_count, unsigned int data_count,
                                         unsigned int event_count, unsigned int reserved);
void sf_debug_set_machine_event_thresholds(void* debug_instance, unsigned int machine_number,
                                           unsigned int event_count, unsigned int reserved);
void sf_debug_set_machine_data_thresholds(void* debug_instance, unsigned int machine_number,
                                          unsigned int data_count);
void sf_debug_terminate(void* debug_instance);

/* Dispatch (6) */
unsigned int call_sf_machine_global_method_dispatcher(SimStruct* S, int method, int flag,
                                                      SfMachineDispatchFn callback);

/* Commands (7) */
unsigned int sf_debug_api(void* debug_instance, int nlhs, mxArray* plhs[], int nrhs,
                          const mxArray* prhs[]);

/* Method wrapping (8-10) */
void callMdlMethodAndReportError(SfMdlMethodFn body, SimStruct* S);
void sf_clear_error_manager_info(void);
void sf_mex_error_direct_call(SimStruct* S, const char* method_name, const char* sfun_name);

/* Mode, time (11-13) */
bool sim_mode_is_rtw_gen(SimStruct* S);
bool sim_mode_is_external(SimStruct* S);
double sf_get_time(SimStruct* S);

/* Chart registration (14-28) */
unsigned int sf_debug_initialize_chart(void* debug_instance, unsigned int machine_number,
                                       unsigned int chart_file_number, unsigned int a1,
                                       unsigned int a2, unsigned int a3, unsigned int data_count,
                                       unsigned int a5, unsigned int a6, unsigned int a7,
                                       unsigned int a8, unsigned int a9, unsigned int* chart_number,
                                       unsigned int* instance_number, void* S, unsigned int a10);
void sf_debug_set_chart_disable_implicit_casting(void* debug_instance, unsigned int machine_number,
                                                 unsigned int chart_number, unsigned int value);
void sf_debug_set_chart_event_thresholds(void* debug_instance, unsigned int machine_number,
                                         unsigned int chart_number, unsigned int a0,
                                         unsigned int a1, unsigned int a2);
void sf_debug_set_chart_data_props(void* debug_instance, unsigned int machine_number,
                                   unsigned int chart_number, unsigned int data_number,
                                   unsigned int scope, unsigned int is_input,
                                   unsigned int is_output, const char* name);
void sf_debug_set_chart_state_info(void* debug_instance, unsigned int machine_number,
                                   unsigned int chart_number, unsigned int a0, unsigned int a1,
                                   unsigned int a2);
void sf_debug_set_chart_substate_count(void* debug_instance, unsigned int machine_number,
                                       unsigned int chart_number, unsigned int count);
void sf_debug_set_chart_decomposition(void* debug_instance, unsigned int machine_number,
                                      unsigned int chart_number, unsigned int decomposition);
void sf_debug_set_chart_data_compiled_props(void* debug_instance, unsigned int machine_number,
                                            unsigned int chart_number, unsigned int instance_number,
                                            unsigned int data_number, unsigned int data_type,
                                            unsigned int num_dims, const unsigned int* dims,
                                            unsigned int a0, unsigned int a1, unsigned int a2,
                                            double d0, double d1, unsigned int a3, unsigned int a4,
                                            SfToMxFn to_mx, SfFromMxFn from_mx, unsigned int a5);
void sf_debug_set_instance_data_value_ptr(void* debug_instance, unsigned int machine_number,
                                          unsigned int chart_number, unsigned int instance_number,
                                          unsigned int data_number, void* address,
                                          void* size_address, unsigned int a0);
void sf_debug_reset_current_state_configuration(void* debug_instance, unsigned int machine_number,
                                                unsigned int chart_number,
                                                unsigned int instance_number);
void sf_debug_cv_init_chart(void* debug_instance, unsigned int machine_number,
                            unsigned int chart_number, unsigned int instance_number,
                            unsigned int a0, unsigned int a1, unsigned int a2, unsigned int a3);
void sf_debug_cv_init_state(void* debug_instance, unsigned int machine_number,
                            unsigned int chart_number, unsigned int instance_number,
                            unsigned int a0, unsigned int a1, unsigned int a2, unsigned int a3,
                            unsigned int a4, unsigned int a5, unsigned int* p0, unsigned int* p1);
void sf_debug_cv_init_trans(void* debug_instance, unsigned int machine_number,
                            unsigned int chart_number, unsigned int instance_number,
                            unsigned int a0, unsigned int a1, unsigned int* p0, unsigned int* p1,
                            unsigned int a2, unsigned int* p2);
void cv_eml_init_script(void* debug_instance, unsigned int machine_number,
                        unsigned int chart_number, unsigned int instance_number, unsigned int a0,
                        unsigned int a1, unsigned int a2, unsigned int a3, unsigned int a4,
                        unsigned int a5, unsigned int a6, unsigned int a7, unsigned int a8,
                        unsigned int a9, unsigned int a10, unsigned int a11);
void cv_eml_init_fcn(void* debug_instance, unsigned int machine_number, unsigned int chart_number,
                     unsigned int instance_number, unsigned int a0, unsigned int a1,
                     const char* name, int a2, int a3, int a4);

/* Step hooks (29-38) */
void sf_debug_call(void* debug_instance, unsigned int machine_number, unsigned int chart_number,
                   unsigned int instance_number, unsigned int a0, unsigned int a1, unsigned int tag,
                   unsigned int object_number, int current_event, unsigned int a2, void* ptr,
                   double time, unsigned int a3, unsigned int a4);
void eml_debug_line_call(void* debug_instance, unsigned int machine_number,
                         unsigned int chart_number, unsigned int instance_number, unsigned int a0,
                         int current_event, int line_code, double time, unsigned int a1,
                         unsigned int a2);
void sf_debug_symbol_scope_push(void* debug_instance, unsigned int a0, unsigned int a1);
void sf_debug_symbol_scope_push_eml(void* debug_instance, unsigned int a0,
                                    unsigned int symbol_count, unsigned int capacity,
                                    const char** names, void* scratch);
void sf_debug_symbol_scope_add_eml(void* debug_instance, void* address, unsigned int index,
                                   SfToMxFn to_mx);
void sf_debug_symbol_scope_add_eml_importable(void* debug_instance, void* address,
                                              unsigned int index, SfToMxFn to_mx,
                                              SfFromMxFn from_mx, unsigned int a0);
void sf_debug_symbol_scope_pop(void* debug_instance);
void sf_debug_data_range_wrapper(void* debug_instance, unsigned int machine_number,
                                 unsigned int chart_number, unsigned int instance_number,
                                 unsigned int data_number, double value);
void sf_debug_check_for_state_inconsistency(void* debug_instance, unsigned int machine_number,
                                            unsigned int chart_number,
                                            unsigned int instance_number);
void cv_eml_eval(void* debug_instance, unsigned int machine_number, unsigned int chart_number,
                 unsigned int instance_number, unsigned int a0, unsigned int a1, unsigned int a2,
                 unsigned int a3, unsigned int a4, unsigned int a5);

/* Checks (39-40) */
double sf_debug_integer_check(void* debug_instance, unsigned int machine_number,
                              unsigned int chart_number, unsigned int instance_number,
                              const char* name, double value);
int32_t sf_debug_eml_data_array_bounds_error_check(void* debug_instance,
                                                   unsigned int machine_number,
                                                   unsigned int chart_number,
                                                   unsigned int instance_number, const char* name,
                                                   int32_t index, int32_t lower, int32_t upper,
                                                   int32_t a0, int32_t a1);

/* Code generation (41-48) */
mxArray* sf_load_rtw_optimization_info(const char* machine_name, const char* main_machine_name);
unsigned int sf_is_chart_inlinable(const char* specialization_id, const mxArray* info,
                                   unsigned int chart_number);
unsigned int sf_rtw_info_uint_prop(const char* specialization_id, const mxArray* info,
                                   unsigned int chart_number, const char* property);
void sf_mark_chart_expressionable_inputs(SimStruct* S, const char* specialization_id,
                                         const mxArray* info, unsigned int chart_number,
                                         unsigned int count, unsigned int a0);
void sf_mark_chart_reusable_outputs(SimStruct* S, const char* specialization_id,
                                    const mxArray* info, unsigned int chart_number,
                                    unsigned int count, unsigned int a0);
void sf_set_rtw_dwork_info(SimStruct* S, const char* specialization_id, const mxArray* info,
                           unsigned int chart_number);
void sf_update_buildInfo(const char* specialization_id, const mxArray* info,
                         unsigned int chart_number);
void sf_clear_rtw_identifier(SimStruct* S);

/* Values (49-61) */
/* sf_mex_create(name, data, kind, complexity, a0, a1, dimension count, dimensions...):
 * count 0 is a scalar, 1 an N-by-1 vector, 2 a matrix of the two dimensions. */
const mxArray* sf_mex_create(const char* name, const void* data, int kind, int complexity, int a0,
                             int a1, int num_dims, ...);
void sf_mex_assign(const mxArray** slot, const mxArray* value, bool persistent);
void sf_mex_destroy(const mxArray** slot);
const mxArray* sf_mex_dup(const mxArray* value);
/* Reads one value of the given kind into out and consumes value; raises a host error
 * naming the identifier when the value is not of that kind and size. */
void sf_mex_import(const SfMsgIdentifier* id, const mxArray* value, void* out, int a0, int kind,
                   int a1, int a2, int a3, int a4, int a5);
const mxArray* sf_mex_createstruct(const char* name, int num_dims, ...);
void sf_mex_addfield(const mxArray* record, const mxArray* value, const char* field_name,
                     const char* display_name, int index);
const mxArray* sf_mex_createcellmatrix(int m, int n);
void sf_mex_setcell(const mxArray* cell, int index, const mxArray* value);
const mxArray* sf_mex_getcell(const mxArray* cell, int index);
const mxArray* sf_mex_duplicatearraysafe(const mxArray** slot);
void sf_mex_emlrtNameCapturePostProcessR2012a(const mxArray** slot);
mxArray* sf_mex_decode_encoded_mx_struct_array(const char** texts, int a0, int a1);

/* Host calls, errors (62-64) */
/* sf_mex_call_debug(instance, function, nlhs, nrhs, then per input a kind code and a
 * value): with kind 14 the value is an mxArray. */
const mxArray* sf_mex_call_debug(void* debug_instance, const char* function_name, int nlhs,
                                 int nrhs, ...);
int sf_mex_call_matlab(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[],
                       const char* function_name);
void sf_mex_error_message(const char* format, ...);

#ifdef __cplusplus
}
#endif

#endif
