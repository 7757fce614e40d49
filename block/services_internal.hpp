// Seams of the block services that only their own tests reach.
#pragma once

#include <cstddef>

namespace block::detail {

// Allocator of the message buffer of safe_input_port_signal; the buffer is released
// with std::free. Defaults to std::malloc.
using MessageAllocFn = void* (*)(std::size_t size);
extern MessageAllocFn message_alloc;

}  // namespace block::detail
