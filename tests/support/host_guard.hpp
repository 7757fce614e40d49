// The fixture every test of the host, the charts, the registry and the tools uses:
// a fresh chart runtime, misuse of the matrix library thrown (so that a double
// destroy fails the test instead of aborting the program), the host's "error"
// raising, and at the end no array alive and no host heap block outstanding that
// were not there at the start, and no misuse detected that EXPECT_MISUSE did not
// expect (a destructor that swallows the thrown error still leaves it counted).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "host/ut_host.hpp"

namespace test_support {

// Misuses that EXPECT_MISUSE provoked on purpose since the fixture's start.
inline std::size_t expected_misuses = 0;

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::mx::set_misuse_mode(host::mx::MisuseMode::Throw);
    host::mex::set_error_returns(false);
    host::sf_runtime::reset();
    live_before_ = host::mx::live_count();
    persistent_before_ = host::mx::persistent_count();
    heap_before_ = host::ut::outstanding_blocks();
    misuses_before_ = host::mx::misuse_count();
    expected_misuses = 0;
  }
  void TearDown() override {
    host::mex::set_error_returns(false);
    EXPECT_EQ(host::mx::live_count(), live_before_) << "arrays leaked or destroyed too often";
    EXPECT_EQ(host::ut::outstanding_blocks(), heap_before_) << "host heap blocks left";
    EXPECT_EQ(host::mx::misuse_count() - misuses_before_, expected_misuses)
        << "matrix misuse detected that no check expected (swallowed by a destructor?)";
  }

  // Mid-test, while plug-ins may still hold persistent arrays: every array alive
  // that was not alive at the start is a persistent one, and the host heap is
  // balanced.
  void expect_clean() const {
    EXPECT_EQ(host::mx::live_count() - live_before_,
              host::mx::persistent_count() - persistent_before_)
        << "arrays leaked or destroyed too often";
    EXPECT_EQ(host::ut::outstanding_blocks(), heap_before_) << "host heap blocks left";
  }

  std::size_t live_before_ = 0, persistent_before_ = 0, misuses_before_ = 0;
  long heap_before_ = 0;
};

}  // namespace test_support

// The statement raises matrix misuse with exactly this message (counted as expected).
#define EXPECT_MISUSE(statement, text)                                                     \
  do {                                                                                     \
    const std::size_t misuses_before_statement = host::mx::misuse_count();                 \
    EXPECT_THAT([&] { statement; },                                                        \
                ::testing::ThrowsMessage<host::mx::MisuseError>(::testing::StrEq(text)));  \
    test_support::expected_misuses += host::mx::misuse_count() - misuses_before_statement; \
  } while (0)

// The statement raises a host error with exactly this identifier and message.
#define EXPECT_HOST_ERROR(statement, id, text)                                          \
  EXPECT_THAT([&] { statement; },                                                       \
              ::testing::Throws<host::HostError>(::testing::AllOf(                      \
                  ::testing::Field(&host::HostError::identifier, ::testing::StrEq(id)), \
                  ::testing::Property(&host::HostError::what, ::testing::StrEq(text)))))
