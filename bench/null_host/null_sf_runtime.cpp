// Null libsf_runtime: the operations a chart step calls. Checks return their
// argument; the debugger and scope calls return.
#include "bench/null_host/null_host.hpp"
#include "platform/sf_runtime.h"

extern "C" {

void callMdlMethodAndReportError(SfMdlMethodFn body, SimStruct* S) {
  NULL_HOST_CALL("callMdlMethodAndReportError");
  body(S);
}

double sf_get_time(SimStruct* S) {
  NULL_HOST_CALL("sf_get_time");
  return *S->mdl_info->t;
}

void sf_debug_call(void*, unsigned int, unsigned int, unsigned int, unsigned int, unsigned int,
                   unsigned int, unsigned int, int, unsigned int, void*, double, unsigned int,
                   unsigned int) {
  NULL_HOST_CALL("sf_debug_call");
}

void eml_debug_line_call(void*, unsigned int, unsigned int, unsigned int, unsigned int, int, int,
                         double, unsigned int, unsigned int) {
  NULL_HOST_CALL("eml_debug_line_call");
}

void cv_eml_eval(void*, unsigned int, unsigned int, unsigned int, unsigned int, unsigned int,
                 unsigned int, unsigned int, unsigned int, unsigned int) {
  NULL_HOST_CALL("cv_eml_eval");
}

void sf_debug_check_for_state_inconsistency(void*, unsigned int, unsigned int, unsigned int) {
  NULL_HOST_CALL("sf_debug_check_for_state_inconsistency");
}

void sf_debug_symbol_scope_push(void*, unsigned int, unsigned int) {
  NULL_HOST_CALL("sf_debug_symbol_scope_push");
}

void sf_debug_symbol_scope_push_eml(void*, unsigned int, unsigned int, unsigned int, const char**,
                                    void*) {
  NULL_HOST_CALL("sf_debug_symbol_scope_push_eml");
}

void sf_debug_symbol_scope_add_eml(void*, void*, unsigned int, SfToMxFn) {
  NULL_HOST_CALL("sf_debug_symbol_scope_add_eml");
}

void sf_debug_symbol_scope_add_eml_importable(void*, void*, unsigned int, SfToMxFn, SfFromMxFn,
                                              unsigned int) {
  NULL_HOST_CALL("sf_debug_symbol_scope_add_eml_importable");
}

void sf_debug_symbol_scope_pop(void*) {
  NULL_HOST_CALL("sf_debug_symbol_scope_pop");
}

void sf_debug_data_range_wrapper(void*, unsigned int, unsigned int, unsigned int, unsigned int,
                                 double) {
  NULL_HOST_CALL("sf_debug_data_range_wrapper");
}

double sf_debug_integer_check(void*, unsigned int, unsigned int, unsigned int, const char*,
                              double value) {
  NULL_HOST_CALL("sf_debug_integer_check");
  return value;
}

int32_t sf_debug_eml_data_array_bounds_error_check(void*, unsigned int, unsigned int, unsigned int,
                                                   const char*, int32_t index, int32_t, int32_t,
                                                   int32_t, int32_t) {
  NULL_HOST_CALL("sf_debug_eml_data_array_bounds_error_check");
  return index;
}

}  // extern "C"
