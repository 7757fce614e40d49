// Shared fixture of the host core tests: misuse is thrown, and every test must
// leave the live-array count where it found it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "host/mx_host.hpp"

namespace host_test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::mx::set_misuse_mode(host::mx::MisuseMode::Throw);
    baseline_ = host::mx::live_count();
  }
  void TearDown() override {
    EXPECT_EQ(host::mx::live_count(), baseline_) << "arrays leaked or destroyed too often";
  }
  std::size_t baseline_ = 0;
};

}  // namespace host_test

#define EXPECT_MISUSE(statement, text) \
  EXPECT_THAT([&] { statement; },      \
              ::testing::ThrowsMessage<host::mx::MisuseError>(::testing::StrEq(text)))

#define EXPECT_HOST_ERROR(statement, id, text)                                          \
  EXPECT_THAT([&] { statement; },                                                       \
              ::testing::Throws<host::HostError>(::testing::AllOf(                      \
                  ::testing::Field(&host::HostError::identifier, ::testing::StrEq(id)), \
                  ::testing::Property(&host::HostError::what, ::testing::StrEq(text)))))
