// The numeric tests of libmwmathutil against the IEEE 754 bit pattern.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/mathutil.h"

namespace {

class MathUtil : public ::testing::TestWithParam<double> {};

// Independent classification from the IEEE 754 bit pattern.
bool bits_nan(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return ((b >> 52) & 0x7ff) == 0x7ff && (b & ((1ull << 52) - 1)) != 0;
}
bool bits_inf(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return ((b >> 52) & 0x7ff) == 0x7ff && (b & ((1ull << 52) - 1)) == 0;
}

TEST_P(MathUtil, ClassifiesLikeTheBitPattern) {
  const double v = GetParam();
  EXPECT_EQ(muDoubleScalarIsNaN(v), bits_nan(v));
  EXPECT_EQ(muDoubleScalarIsInf(v), bits_inf(v));
}

INSTANTIATE_TEST_SUITE_P(Values, MathUtil,
                         ::testing::Values(0.0, -0.0, 1.0, -1e308, 4.9e-324,
                                           std::numeric_limits<double>::max(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN(),
                                           -std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::signaling_NaN()));

}  // namespace
