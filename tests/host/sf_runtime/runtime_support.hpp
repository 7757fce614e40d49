// Shared fixture of the runtime's debugger, check and method tests: a clean runtime
// per test, thrown matrix misuse, and a leak check of arrays and debug scopes.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/sf_runtime_host.hpp"
#include "platform/sf_runtime.h"

namespace sf_runtime_test {

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::mx::set_misuse_mode(host::mx::MisuseMode::Throw);
    host::sf_runtime::reset();
    baseline_ = host::mx::live_count();
  }
  void TearDown() override {
    host::sf_runtime::reset();
    EXPECT_EQ(host::mx::live_count(), baseline_) << "arrays leaked or destroyed too often";
  }

  // A debug instance with one registered machine, as a model's first block makes.
  void start_machine(const char* name = "Harnvale", unsigned charts = 3) {
    dbg_ = sf_debug_create_debug_instance_struct();
    machine_ = sf_debug_initialize_machine(dbg_, name, "sfun", 0, charts, 0, 0, 0);
  }
  // Registers chart file number n for the block S; returns the runtime's answer.
  unsigned register_chart(unsigned n, void* S, unsigned* chart, unsigned* instance,
                          unsigned data_count = 4) {
    return sf_debug_initialize_chart(dbg_, machine_, n, 1, 1, 0, data_count, 0, 0, 0, 0, 0, chart,
                                     instance, S, 0);
  }

  void* dbg_ = nullptr;
  unsigned machine_ = 0;
  std::size_t baseline_ = 0;
};

}  // namespace sf_runtime_test

#define EXPECT_HOST_ERROR(statement, id, text)                                          \
  EXPECT_THAT([&] { statement; },                                                       \
              ::testing::Throws<host::HostError>(::testing::AllOf(                      \
                  ::testing::Field(&host::HostError::identifier, ::testing::StrEq(id)), \
                  ::testing::Property(&host::HostError::what, ::testing::StrEq(text)))))
