// The output step allocates nothing on the heap once the host is warmed up: every
// operator new in the process is counted while a step runs.
#include <cstdlib>
#include <new>

#include "tests/charts/chart_fixture.hpp"

#ifndef SF_SANITIZE

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

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
  g_allocations = 0;
  g_counting = true;
  TypeParam::chart_step(b.instance());
  TypeParam::chart_step(b.instance());
  g_counting = false;
  EXPECT_EQ(g_allocations, 0);
  EXPECT_EQ(b.y1, 2.0 * (TypeParam::N - 1.5));
  // The counter sees allocations where there are some: the recorder's.
  host::trace::Collector rec;
  g_counting = true;
  TypeParam::chart_step(b.instance());
  g_counting = false;
  EXPECT_GT(g_allocations, 0);
}

}  // namespace
}  // namespace chart_test

#endif
