#include "tests/support/heap_counter.hpp"

#include <cstdlib>
#include <new>

#if TEST_SUPPORT_COUNTS_HEAP

namespace {
long g_allocations = 0;

void* counted_allocation(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

// Kept out of line so that the compiler does not pair the inlined free() with the
// new-expression it came from (a false mismatched-new-delete report).
[[gnu::noinline]] void release(void* p) noexcept {
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
  return counted_allocation(size);
}
void* operator new[](std::size_t size) {
  return counted_allocation(size);
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  release(p);
}

namespace test_support {
bool counting_heap() {
  return true;
}
long heap_allocations() {
  return g_allocations;
}
}  // namespace test_support

#else

namespace test_support {
bool counting_heap() {
  return false;
}
long heap_allocations() {
  return 0;
}
}  // namespace test_support

#endif
