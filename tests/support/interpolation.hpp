// The charts' interpolation written from its mathematics, independently of the
// kernel: orient the table ascending, find the interval that holds the query,
// interpolate on it (or extend the outer line, or give NaN, outside the table).
// The arithmetic is the documented one, so that results agree bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace test_support {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The interval [X[k], X[k+1]] (from 0) of a strictly increasing X that holds u,
// X[0] <= u <= X[n-1]: the last breakpoint not above u, the last interval for X[n-1].
inline std::size_t interval_of(const std::vector<double>& X, double u) {
  const auto above = std::upper_bound(X.begin(), X.end(), u);
  const auto k = static_cast<std::size_t>(above - X.begin()) - 1;
  return std::min(k, X.size() - 2);
}

// Linear interpolation on the interval k: the fraction of the way first, then the
// weighted sum; equal neighbours give their value untouched.
inline double on_interval(const std::vector<double>& X, const std::vector<double>& Y, std::size_t k,
                          double u) {
  const double r = (u - X[k]) / (X[k + 1] - X[k]);
  if (Y[k] == Y[k + 1]) return Y[k];
  return Y[k] * (1.0 - r) + Y[k + 1] * r;
}

// y1 for the query u on a table (X, Y) taken in the order given: between its first
// and last breakpoint the interval that holds u, outside it the line through the two
// outer points at that end, or NaN. A table that is not increasing throughout (the
// kernel's value after a refused monotonicity check) is still read from these ends.
inline double interpolate_oriented(const std::vector<double>& X, const std::vector<double>& Y,
                                   double u, bool extrapolate) {
  const std::size_t n = X.size();
  if (std::isnan(u)) return kNaN;
  if (u > X[n - 1]) {
    if (!extrapolate) return kNaN;
    return (Y[n - 1] - Y[n - 2]) * ((u - X[n - 1]) / (X[n - 1] - X[n - 2])) + Y[n - 1];
  }
  if (u < X[0]) {
    if (!extrapolate) return kNaN;
    return (Y[1] - Y[0]) * ((u - X[0]) / (X[1] - X[0])) + Y[0];
  }
  return on_interval(X, Y, interval_of(X, u), u);
}

// y1 for the query u on the table (X, Y), ascending or descending (a table whose
// first pair descends is read reversed).
inline double interpolate(std::vector<double> X, std::vector<double> Y, double u,
                          bool extrapolate) {
  if (X[1] < X[0]) {
    std::reverse(X.begin(), X.end());
    std::reverse(Y.begin(), Y.end());
  }
  return interpolate_oriented(X, Y, u, extrapolate);
}

// Bit-for-bit equality; any NaN equals any NaN (the payload is not a result).
inline ::testing::AssertionResult same_bits(double expected, double actual) {
  if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
  if (std::bit_cast<std::uint64_t>(expected) == std::bit_cast<std::uint64_t>(actual))
    return ::testing::AssertionSuccess();
  char b[160];
  std::snprintf(b, sizeof b, "expected %.17g (%016llx), got %.17g (%016llx)", expected,
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(expected)), actual,
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(actual)));
  return ::testing::AssertionFailure() << b;
}

}  // namespace test_support
