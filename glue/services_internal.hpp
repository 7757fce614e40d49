// Seams of the glue services that only the glue's own tests reach.
#pragma once

#include <cstddef>

namespace glue::detail {

// Allocator of the message buffer of safe_input_port_signal; the buffer is released
// with std::free. Defaults to std::malloc.
using MessageAllocFn = void* (*)(std::size_t size);
extern MessageAllocFn message_alloc;

}  // namespace glue::detail
