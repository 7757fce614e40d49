// Host-side view of the stand-in host heap (utMalloc, utFree).
#pragma once

namespace host::ut {

// Test switch: after `skip` more successful utMalloc calls, the next `count` fail.
void fail_next_allocations(int count, int skip = 0);
long outstanding_blocks();  // utMalloc blocks not yet freed

// Host allocations: every utMalloc call and every array the matrix library
// creates (children of a duplicated struct or cell included) counts as one.
long allocation_count();  // host allocations since the process started
// Test switch: the k-th host allocation from now fails (utMalloc answers null, an
// array creation raises the host error "<operation>: out of memory"); 0 disarms it.
void fail_allocation(long k);
// Counts one host allocation and answers whether it must fail (the matrix library
// asks before each array it creates).
bool host_allocation_fails();

}  // namespace host::ut
