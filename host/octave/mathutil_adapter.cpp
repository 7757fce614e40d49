// libmwmathutil for the plug-ins inside GNU Octave: the numeric tests.
#include <cmath>

extern "C" {

bool muDoubleScalarIsNaN(double value) {
  return std::isnan(value);
}

bool muDoubleScalarIsInf(double value) {
  return std::isinf(value);
}

}  // extern "C"
