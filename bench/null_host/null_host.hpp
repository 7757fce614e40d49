// The null host: libraries of the stand-in host's names whose operations do the
// least a caller can see (a check returns its argument, a query its field). A step
// driven into them costs its calls, its copies and its own arithmetic, and nothing
// that a host adds. Built twice: for timing, and with NULL_HOST_PRINT, where every
// operation writes its name on a line of standard output so that a test can hold
// the driver's calls against a real step's.
#pragma once

#include <cstdio>

#ifdef NULL_HOST_PRINT
#define NULL_HOST_CALL(name) std::fputs(name "\n", stdout)
#else
#define NULL_HOST_CALL(name) static_cast<void>(0)
#endif
