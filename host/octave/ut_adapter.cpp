// libut for the plug-ins inside GNU Octave: the host heap of the chart records.
// Records live from a block's start to its terminate, across MEX calls, so they
// come from the C heap and not from mxMalloc (which Octave frees at the end of
// the call). The count of live blocks lets tests see that nothing is kept.
#include <cstddef>
#include <cstdlib>

namespace {
std::size_t g_live = 0;
}

extern "C" {

void* utMalloc(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++g_live;
  return block;
}

void utFree(void* block) {
  if (block == nullptr) return;
  --g_live;
  std::free(block);
}

// Blocks given out by utMalloc and not yet freed.
std::size_t sf_octave_ut_live_blocks(void) {
  return g_live;
}

}  // extern "C"
