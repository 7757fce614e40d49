/* Numeric tests (libmwmathutil). */
#ifndef PLATFORM_MATHUTIL_H
#define PLATFORM_MATHUTIL_H

#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

bool muDoubleScalarIsNaN(double value);
bool muDoubleScalarIsInf(double value);

#ifdef __cplusplus
}
#endif

#endif
