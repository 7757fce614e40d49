// What the compiler is told about the host libraries' own code, per system.
//
// HOST_PRINTF_CHECK: the check of a printf-style format. The MinGW-w64 runtime's printf is
// its own C99 one, not the system's (so numbers read the same as on Linux); the
// check must know that.
#pragma once

#if defined(__MINGW32__)
#define HOST_PRINTF_CHECK(format_index, first_arg) \
  __attribute__((format(gnu_printf, format_index, first_arg)))
#else
#define HOST_PRINTF_CHECK(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))
#endif

// HOST_LOCAL: a variable of a host library that no other library or plug-in sees
// (ELF visibility; a Windows DLL shows only what it exports anyway).
#if defined(_WIN32)
#define HOST_LOCAL
#else
#define HOST_LOCAL __attribute__((visibility("hidden")))
#endif
