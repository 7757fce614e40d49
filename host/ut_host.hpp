// Host-side view of the stand-in host heap (utMalloc, utFree).
#pragma once

namespace host::ut {

// Test switch: after `skip` more successful utMalloc calls, the next `count` fail.
void fail_next_allocations(int count, int skip = 0);
long outstanding_blocks();  // utMalloc blocks not yet freed

}  // namespace host::ut
