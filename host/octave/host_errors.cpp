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

namespace {

// The identifier that chart code last asked "message" for: the error that the
// "error" call after it raises.
std::string& asked_identifier() {
  static std::string identifier;
  return identifier;
}

std::string text_of(const mxArray* a) {
  if (a == nullptr || !mxIsChar(a)) return {};
  std::string text(mxGetNumberOfElements(a) + 1, '\0');
  mxGetString_700(a, text.data(), static_cast<int>(text.size()));
  return text.c_str();
}

// A field of a 1x1 struct as text; empty when there is none.
std::string field_text(const mxArray* a, const char* field) {
  if (a == nullptr || !mxIsStruct(a) || mxGetNumberOfElements(a) != 1) return {};
  if (mxGetFieldNumber(a, field) < 0) return {};
  return text_of(mxGetField_700(a, 0, field));
}

}  // namespace

// Octave's "error" returns when it is given an empty message (a user's own
// "message" function that answers [] or a struct with an empty text) or when a
// user's own "error" shadows Octave's. The chart's error is then raised here,
// under the identifier the chart asked "message" for, with the text of the
// message when there is one (else the identifier), so that the step ends.
void host::sf_runtime::detail::host_function_returned(const char* name, int nrhs,
                                                      mxArray* const* inputs) {
  const std::string function = name != nullptr ? name : "";
  if (function == "message") {
    asked_identifier() = nrhs == 1 ? text_of(inputs[0]) : std::string();
    return;
  }
  if (function != "error") return;
  std::string identifier;
  identifier.swap(asked_identifier());
  const mxArray* message = nrhs >= 1 ? inputs[0] : nullptr;
  if (identifier.empty()) identifier = field_text(message, "identifier");
  std::string text = field_text(message, "message");
  if (text.empty()) text = text_of(message);
  if (identifier.empty()) identifier = "Stateflow:runtime:errorReturned";
  if (text.empty()) text = identifier;
  mexErrMsgIdAndTxt(identifier.c_str(), "%s", text.c_str());
}
