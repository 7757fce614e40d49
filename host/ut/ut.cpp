// The stand-in host heap: utMalloc and utFree with an account of outstanding
// blocks, and the switches that make host allocations fail.
//
// The account lives in the blocks themselves: every block carries a header that
// links it into a list of outstanding blocks. The heap therefore owns nothing but
// static data, so unloading this library (it goes with the last plug-in that uses
// it) loses no memory, and keeping the account never allocates.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "host/trace.hpp"
#include "host/ut_host.hpp"
#include "platform/ut.h"

namespace host::ut {
namespace {

struct alignas(std::max_align_t) Header {
  Header* prev;
  Header* next;
};

struct Heap {
  Header outstanding{&outstanding, &outstanding};  // list of live blocks
  long count = 0;
  // utMalloc-only switch (fail_next_allocations).
  int skip = 0;
  int fail = 0;
  // Host-wide switch over utMalloc and array creation (fail_allocation).
  long allocations = 0;
  long fail_at = 0;
};

// Constant-initialised and trivially destroyed: usable from any static
// constructor or destructor of the process.
constinit Heap g_heap;

bool is_outstanding(const Header* h) {
  for (const Header* p = g_heap.outstanding.next; p != &g_heap.outstanding; p = p->next) {
    if (p == h) return true;
  }
  return false;
}

}  // namespace

void fail_next_allocations(int count, int skip) {
  g_heap.fail = count > 0 ? count : 0;
  g_heap.skip = skip > 0 ? skip : 0;
}

long outstanding_blocks() {
  return g_heap.count;
}

long allocation_count() {
  return g_heap.allocations;
}

void fail_allocation(long k) {
  g_heap.fail_at = k > 0 ? g_heap.allocations + k : 0;
}

bool host_allocation_fails() {
  ++g_heap.allocations;
  if (g_heap.fail_at == 0 || g_heap.allocations != g_heap.fail_at) return false;
  g_heap.fail_at = 0;
  return true;
}

}  // namespace host::ut

extern "C" {

void* utMalloc(size_t size) {
  host::trace::record("utMalloc", static_cast<unsigned long long>(size));
  auto& h = host::ut::g_heap;
  if (h.fail > 0) {
    if (h.skip > 0) {
      --h.skip;
    } else {
      --h.fail;
      return nullptr;
    }
  }
  if (host::ut::host_allocation_fails()) return nullptr;
  using host::ut::Header;
  if (size > static_cast<size_t>(-1) - sizeof(Header)) return nullptr;
  auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
  if (header == nullptr) return nullptr;
  header->prev = h.outstanding.prev;
  header->next = &h.outstanding;
  h.outstanding.prev->next = header;
  h.outstanding.prev = header;
  ++h.count;
  return header + 1;
}

void utFree(void* block) {
  host::trace::record("utFree", static_cast<const void*>(block));
  if (block == nullptr) return;
  using host::ut::Header;
  auto* header = static_cast<Header*>(block) - 1;
  // Found by address in the list before anything of the block is read: a freed or
  // foreign pointer is never dereferenced.
  if (!host::ut::is_outstanding(header)) {
    std::fprintf(stderr, "host misuse: utFree: block not allocated by utMalloc or already freed\n");
    std::fflush(stderr);
    std::abort();
  }
  header->prev->next = header->next;
  header->next->prev = header->prev;
  --host::ut::g_heap.count;
  std::free(header);
}

}  // extern "C"
