// The stand-in host heap: utMalloc and utFree with an account of outstanding
// blocks and a switch that makes allocations fail.
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "host/trace.hpp"
#include "host/ut_host.hpp"
#include "platform/ut.h"

namespace host::ut {
namespace {

struct Heap {
  std::unordered_set<void*> blocks;
  int skip = 0;
  int fail = 0;
};

Heap& heap() {
  static Heap* h = new Heap;  // outlives every static destructor
  return *h;
}

}  // namespace

void fail_next_allocations(int count, int skip) {
  heap().fail = count > 0 ? count : 0;
  heap().skip = skip > 0 ? skip : 0;
}

long outstanding_blocks() {
  return static_cast<long>(heap().blocks.size());
}

}  // namespace host::ut

extern "C" {

void* utMalloc(size_t size) {
  host::trace::record("utMalloc", static_cast<unsigned long long>(size));
  auto& h = host::ut::heap();
  if (h.fail > 0) {
    if (h.skip > 0) {
      --h.skip;
    } else {
      --h.fail;
      return nullptr;
    }
  }
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) return nullptr;
  h.blocks.insert(block);
  return block;
}

void utFree(void* block) {
  host::trace::record("utFree", static_cast<const void*>(block));
  if (block == nullptr) return;
  auto& h = host::ut::heap();
  if (h.blocks.erase(block) == 0) {
    std::fprintf(stderr, "host misuse: utFree: block not allocated by utMalloc or already freed\n");
    std::fflush(stderr);
    std::abort();
  }
  std::free(block);
}

}  // extern "C"
