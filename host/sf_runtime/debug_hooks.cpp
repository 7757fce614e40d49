// What a debugger front end hooks into beyond the line calls: host errors seen
// before they unwind, and the handles of debug instances.
#include <string>

#include "host/sf_runtime/runtime.hpp"

namespace host::sf_runtime::detail {

void error_raised(const char* identifier, const std::string& message) {
  Runtime& rt = runtime();
  if (!rt.error_hook || rt.in_error_hook) return;
  // A copy, so that the hook may replace itself; the flag keeps errors raised by the
  // hook's own calls from running it again.
  const host::sf_runtime::ErrorHook hook = rt.error_hook;
  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
  } busy(rt.in_error_hook);
  hook(host::sf_runtime::ErrorRecord{identifier != nullptr ? identifier : "", message});
}

}  // namespace host::sf_runtime::detail

namespace host::sf_runtime {

void set_error_hook(ErrorHook hook) {
  detail::runtime().error_hook = std::move(hook);
}

const void* debug_instance_handle(int id) {
  for (const auto& [handle, inst] : detail::runtime().instances)
    if (inst->id == id) return handle;
  return nullptr;
}

}  // namespace host::sf_runtime
