// Counts the heap allocations of the whole process (plug-ins and host libraries
// included): the test binary that links this replaces the global operator new.
// Under the sanitizers the sanitizer's own allocator stays in place and
// counting_heap() answers false.
#pragma once

namespace test_support {

bool counting_heap();
long heap_allocations();  // operator new calls since the process started

}  // namespace test_support
