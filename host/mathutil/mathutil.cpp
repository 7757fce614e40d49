// The stand-in numeric tests (libmwmathutil).
#include <cmath>

#include "host/trace.hpp"
#include "platform/mathutil.h"

extern "C" {

bool muDoubleScalarIsNaN(double value) {
  host::trace::record("muDoubleScalarIsNaN", value);
  return std::isnan(value);
}

bool muDoubleScalarIsInf(double value) {
  host::trace::record("muDoubleScalarIsInf", value);
  return std::isinf(value);
}

}  // extern "C"
