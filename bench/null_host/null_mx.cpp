// Null libmx: double arrays reduced to their data.
#include <cmath>
#include <cstdlib>

#include "bench/null_host/null_host.hpp"
#include "platform/mx.h"

struct mxArray_tag {
  double value;
};

extern "C" {

mxArray* mxCreateDoubleScalar(double value) {
  NULL_HOST_CALL("mxCreateDoubleScalar");
  auto* a = static_cast<mxArray*>(std::malloc(sizeof(mxArray)));
  if (a != nullptr) a->value = value;
  return a;
}

void mxDestroyArray(mxArray* array) {
  NULL_HOST_CALL("mxDestroyArray");
  std::free(array);
}

bool mxIsDouble(const mxArray* array) {
  NULL_HOST_CALL("mxIsDouble");
  return array != nullptr;
}

bool mxIsEmpty(const mxArray* array) {
  NULL_HOST_CALL("mxIsEmpty");
  return array == nullptr;
}

double* mxGetPr(const mxArray* array) {
  NULL_HOST_CALL("mxGetPr");
  return &const_cast<mxArray*>(array)->value;
}

double mxGetNaN(void) {
  NULL_HOST_CALL("mxGetNaN");
  return NAN;
}

}  // extern "C"
