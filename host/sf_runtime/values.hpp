// Private helpers of the runtime's value operations, host calls and "sfprivate":
// raising host errors, describing arrays for messages and traces, and a guard that
// releases an array on the way out of a failing operation.
#pragma once

#include <cstdarg>
#include <string>
#include <utility>

#include "host/attributes.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"

namespace host::sf_runtime::detail::values {

// Ends a va_list when it goes out of scope, also when reading it raised.
class VaListEnd {
 public:
  explicit VaListEnd(std::va_list& args) : args_(args) {}
  ~VaListEnd() { va_end(args_); }
  VaListEnd(const VaListEnd&) = delete;
  VaListEnd& operator=(const VaListEnd&) = delete;

 private:
  std::va_list& args_;
};

// Identifiers of the errors these operations raise.
inline constexpr const char* kIdBadValue = "Stateflow:Runtime:BadValue";
inline constexpr const char* kIdImport = "Stateflow:Runtime:ImportMismatch";
inline constexpr const char* kIdDecode = "Stateflow:Runtime:DecodeError";
inline constexpr const char* kIdCall = "Stateflow:Runtime:BadCall";
inline constexpr const char* kIdErrorMessage = "Stateflow:Runtime:ErrorMessage";
inline constexpr const char* kIdSimStateMismatch = "Stateflow:SimState:Mismatch";
inline constexpr const char* kIdSimStateDescription = "Stateflow:SimState:BadDescription";
inline constexpr const char* kIdSfprivate = "Stateflow:sfprivate:BadCall";

// printf-style formatting into a string.
std::string vformat(const char* format, std::va_list args);
std::string format(const char* format, ...) HOST_PRINTF_CHECK(1, 2);

// Raises a host error (through mexErrMsgIdAndTxt); never returns.
[[noreturn]] void raise(const char* identifier, const std::string& message);

// "double[1x4]", "complex double[1x1]", "struct[1x2]", or "nothing" for null.
std::string describe(const mxArray* array);

// Releases the guarded array unless released first.
class ArrayGuard {
 public:
  explicit ArrayGuard(const mxArray* array) : array_(const_cast<mxArray*>(array)) {}
  ~ArrayGuard();
  ArrayGuard(const ArrayGuard&) = delete;
  ArrayGuard& operator=(const ArrayGuard&) = delete;
  mxArray* get() const { return array_; }
  mxArray* release() {
    mxArray* a = array_;
    array_ = nullptr;
    return a;
  }

 private:
  mxArray* array_;
};

// Recorder arguments: an array is shown by its description.
struct Arr {
  const mxArray* p;
};
inline std::string arg(Arr a) {
  return describe(a.p);
}
using host::trace::arg;

// Records one operation of the runtime. Its arguments are formatted with recording
// muted, so that the matrix calls made to describe arrays do not show; operations
// mute their own inner work the same way once recorded.
template <class... A>
void trace_call(const char* op, const A&... a) {
  if (!host::trace::enabled()) return;
  host::trace::Call call{op, {}};
  {
    host::trace::Mute mute;
    call.args = {arg(a)...};
  }
  host::trace::emit(std::move(call));
}

// A 1xn character array of the n characters at text (1x0 for n = 0).
mxArray* text_row(const char* text, std::size_t n);

// True for a real 1x1 array of the given class.
bool is_real_scalar(const mxArray* array, mxClassID class_id);

}  // namespace host::sf_runtime::detail::values
