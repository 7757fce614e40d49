// Shared fixture of the runtime's debugger, check and method tests: the host guard,
// the runtime reset again before the account is checked, and a registered machine.
#pragma once

#include "host/sf_runtime_host.hpp"
#include "platform/sf_runtime.h"
#include "tests/support/host_guard.hpp"

namespace sf_runtime_test {

class RuntimeTest : public test_support::HostTest {
 protected:
  void TearDown() override {
    host::sf_runtime::reset();
    HostTest::TearDown();
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
};

}  // namespace sf_runtime_test
