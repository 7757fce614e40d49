// The host heap library is loaded with the plug-ins that use it and unloaded with
// the last of them. Unloading it must leave nothing of it on the process heap.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#ifndef SF_SANITIZE
// Live operator-new blocks of the whole process (the libraries loaded included).
// Under the sanitizers their leak checker looks at the process's exit instead.
namespace {
long g_live = 0;
// Out of line, so that the compiler does not pair free() with the new-expression.
[[gnu::noinline]] void release(void* p) noexcept {
  if (p != nullptr) --g_live;
  std::free(p);
}
}  // namespace
void* operator new(std::size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    ++g_live;
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  release(p);
}
#endif

namespace {

using Malloc = void* (*)(std::size_t);
using Free = void (*)(void*);

TEST(HostHeapUnload, LeavesNothingBehind) {
#ifndef SF_SANITIZE
  const long before = g_live;
#endif
  for (int round = 0; round < 2; ++round) {
    void* lib = dlopen(SF_LIBUT, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto ut_malloc = reinterpret_cast<Malloc>(dlsym(lib, "utMalloc"));
    auto ut_free = reinterpret_cast<Free>(dlsym(lib, "utFree"));
    ASSERT_NE(ut_malloc, nullptr);
    ASSERT_NE(ut_free, nullptr);
    void* blocks[3] = {ut_malloc(24), ut_malloc(0), ut_malloc(1000)};
    for (void* b : blocks)
      ASSERT_NE(b, nullptr);
    for (void* b : blocks)
      ut_free(b);
    ASSERT_EQ(dlclose(lib), 0);
  }
#ifndef SF_SANITIZE
  EXPECT_EQ(g_live, before) << "operator-new blocks left by the host heap";
#endif
}

}  // namespace
