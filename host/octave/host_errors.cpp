// What the chart runtime asks of its host inside GNU Octave: Octave's own errors
// (from "error" and mexErrMsgIdAndTxt) are host errors to the runtime's method
// wrapper, and a function exists when Octave can call it by name.
#include <octave/octave-config.h>
#include <octave/quit.h>

#include <string>

#include "host/mex_host.hpp"
#include "host/sf_runtime/runtime.hpp"

std::optional<host::sf_runtime::ErrorRecord> host::sf_runtime::detail::foreign_host_error() {
  try {
    throw;
  } catch (const octave::execution_exception& e) {
    return host::sf_runtime::ErrorRecord{e.identifier(), e.message()};
  } catch (...) {
    return std::nullopt;
  }
}

namespace host::mex {

// A function Octave can call by name: a file, a MEX file or a built-in.
bool has_function(const std::string& name) {
  mxArray* in = mxCreateString(name.c_str());
  mxArray* out = nullptr;
  mexCallMATLAB(1, &out, 1, &in, "exist");
  const double kind = out != nullptr ? mxGetScalar(out) : 0.0;
  mxDestroyArray(in);
  if (out != nullptr) mxDestroyArray(out);
  return kind == 2 || kind == 3 || kind == 5;
}

}  // namespace host::mex
