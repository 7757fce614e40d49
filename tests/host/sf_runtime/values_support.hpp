// Shared helpers of the runtime's value, call and sfprivate tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "platform/mx.h"

namespace sf_runtime_test {

struct MxFree {
  void operator()(const mxArray* a) const {
    if (a != nullptr) mxDestroyArray(const_cast<mxArray*>(a));
  }
};
using Owned = std::unique_ptr<const mxArray, MxFree>;

// Every test starts and ends with the same live arrays; misuse of the matrix library
// (double destroy, use after destroy) is thrown so that a test fails instead of aborting.
class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::mx::set_misuse_mode(host::mx::MisuseMode::Throw);
    host::mex::set_error_returns(false);
    baseline_ = host::mx::live_count();
  }
  void TearDown() override {
    host::mex::set_error_returns(false);
    EXPECT_EQ(host::mx::live_count(), baseline_) << "arrays leaked or destroyed too often";
  }
  std::size_t baseline_ = 0;
};

inline std::string text_of(const mxArray* a) {
  if (a == nullptr || !mxIsChar(a)) return "<not text>";
  char buf[512];
  mxGetString_700(a, buf, sizeof buf);
  return buf;
}

// Runs fn, which must raise a host error with exactly this identifier and message.
inline void expect_host_error(const std::function<void()>& fn, const std::string& identifier,
                              const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no host error; expected: " << message;
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.identifier, identifier);
    EXPECT_EQ(std::string(e.what()), message);
  }
}

}  // namespace sf_runtime_test
