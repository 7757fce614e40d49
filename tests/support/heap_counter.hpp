// Counts the heap allocations of the whole process (plug-ins and host libraries
// included): the test binary that links this replaces the global operator new.
// Under the sanitizers the sanitizer's own allocator stays in place, and on Windows
// every DLL has its own operator new that a program cannot replace; there
// counting_heap() answers false and TEST_SUPPORT_COUNTS_HEAP is 0.
#pragma once

#if defined(SF_SANITIZE) || defined(_WIN32)
#define TEST_SUPPORT_COUNTS_HEAP 0
#else
#define TEST_SUPPORT_COUNTS_HEAP 1
#endif

namespace test_support {

bool counting_heap();
long heap_allocations();  // operator new calls since the process started

}  // namespace test_support
