// The 32-bit truncation rule of flags, chart numbers and checked indices.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/truncate.h"

namespace {

TEST(Truncate, CutsTowardZeroInsideTheOpenRange) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int ok;
    int32_t expected;
  } cases[] = {{117.9, 1, 117},
               {-0.5, 1, 0},
               {-117.9, 1, -117},
               {2147483647.99, 1, 2147483647},
               {-2147483648.9, 1, -2147483647 - 1},
               {2147483648.0, 0, 7},
               {-2147483649.0, 0, 7},
               {std::numeric_limits<double>::quiet_NaN(), 0, 7},
               {kInf, 0, 7},
               {-kInf, 0, 7}};
  for (const auto& c : cases) {
    int32_t out = 7;
    EXPECT_EQ(truncate_to_int32(c.value, &out), c.ok) << c.value;
    EXPECT_EQ(out, c.expected) << c.value;
  }
}

}  // namespace
