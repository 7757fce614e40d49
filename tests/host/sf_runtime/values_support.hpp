// Shared helpers of the runtime's value, call and sfprivate tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host/mex_host.hpp"
#include "platform/mx.h"
#include "tests/support/host_guard.hpp"

namespace sf_runtime_test {

// Values that the value tests create from.
inline constexpr double kD1 = 0.1;
inline constexpr double kD5[5] = {1.5, -0.0, 1e300, -2.25, 3.0000000000000004};
inline constexpr uint8_t kU8 = 200;

inline std::string text_of(const mxArray* a) {
  if (a == nullptr || !mxIsChar(a)) return "<not text>";
  char buf[512];
  mxGetString_700(a, buf, sizeof buf);
  return buf;
}

}  // namespace sf_runtime_test
