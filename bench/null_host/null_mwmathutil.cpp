// Null libmwmathutil.
#include <cmath>

#include "bench/null_host/null_host.hpp"
#include "platform/mathutil.h"

extern "C" bool muDoubleScalarIsNaN(double value) {
  NULL_HOST_CALL("muDoubleScalarIsNaN");
  return std::isnan(value);
}
