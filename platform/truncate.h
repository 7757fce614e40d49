/* Conversion of a double to a 32-bit integer, truncated toward zero. Method flags,
 * chart numbers and checked indices all arrive as doubles and are read this way. */
#ifndef PLATFORM_TRUNCATE_H
#define PLATFORM_TRUNCATE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 1 and the value truncated toward zero in *out when the value is strictly between
 * -2^31 - 1 and 2^31 (so that its integer part fits in 32 bits); 0 and *out left
 * alone otherwise: NaN, infinite or out of range. */
static inline int truncate_to_int32(double value, int32_t* out) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  *out = (int32_t)value;
  return 1;
}

#ifdef __cplusplus
}
#endif

#endif
