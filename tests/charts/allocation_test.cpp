// The output step allocates nothing on the heap once the host is warmed up: every
// operator new in the process is counted while a step runs.
#include "tests/charts/chart_fixture.hpp"

#include "tests/support/heap_counter.hpp"

#if TEST_SUPPORT_COUNTS_HEAP

namespace chart_test {
namespace {

template <class Chart>
class AllocationTest : public ChartTest<Chart> {};
TYPED_TEST_SUITE(AllocationTest, AllCharts);

TYPED_TEST(AllocationTest, StepMakesNoHeapAllocation) {
  Block& b = this->started_block();
  b.z = 1.5;
  TypeParam::chart_step(b.instance());  // the host's scopes are made once
  for (int i = 0; i < TypeParam::N; ++i)
    b.x[i] = TypeParam::N - i;  // reversed in the kernel
  const long before = test_support::heap_allocations();
  TypeParam::chart_step(b.instance());
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(test_support::heap_allocations() - before, 0);
  EXPECT_EQ(b.y1, 2.0 * (TypeParam::N - 1.5));
  // The counter sees allocations where there are some: the recorder's.
  host::trace::Collector rec;
  const long recording = test_support::heap_allocations();
  TypeParam::chart_step(b.instance());
  EXPECT_GT(test_support::heap_allocations() - recording, 0);
}

}  // namespace
}  // namespace chart_test

#endif
