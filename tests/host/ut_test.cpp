// The host heap (libut): outstanding blocks counted, allocations failing on
// request, a block freed twice stopping the program.
#include <cstring>

#include "host/ut_host.hpp"
#include "platform/ut.h"
#include "tests/support/host_guard.hpp"

namespace {

class Heap : public test_support::HostTest {
 protected:
  void TearDown() override {
    host::ut::fail_next_allocations(0);
    HostTest::TearDown();
  }
};

TEST_F(Heap, CountsOutstandingBlocks) {
  const long base = host::ut::outstanding_blocks();
  void* a = utMalloc(8);
  void* b = utMalloc(0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  std::memset(a, 0xab, 8);
  EXPECT_EQ(host::ut::outstanding_blocks(), base + 2);
  utFree(a);
  utFree(nullptr);
  EXPECT_EQ(host::ut::outstanding_blocks(), base + 1);
  utFree(b);
  EXPECT_EQ(host::ut::outstanding_blocks(), base);
}

TEST_F(Heap, AllocationsFailOnRequest) {
  const long base = host::ut::outstanding_blocks();
  host::ut::fail_next_allocations(2, 1);
  void* first = utMalloc(4);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(utMalloc(4), nullptr);
  EXPECT_EQ(utMalloc(4), nullptr);
  void* after = utMalloc(4);
  EXPECT_NE(after, nullptr);
  EXPECT_EQ(host::ut::outstanding_blocks(), base + 2);
  utFree(first);
  utFree(after);
}

TEST(HeapDeath, FreeingTwiceAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        void* p = utMalloc(4);
        utFree(p);
        utFree(p);
      },
      "utFree: block not allocated by utMalloc or already freed");
}

}  // namespace
