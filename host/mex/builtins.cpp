// MATLAB-level functions the stand-in host provides from the start: "message",
// "error" and "errordlg", and the message catalogue behind "message".
#include <string>
#include <unordered_map>

#include "host/mex/mex_internal.hpp"
#include "host/trace.hpp"

namespace host::mex {

namespace detail {

std::string text_argument(const char* function, const mxArray* a, int position) {
  if (a == nullptr || !mxIsChar(a)) {
    throw HostError("", std::string(function) + ": argument " + std::to_string(position) +
                            " must be a character array");
  }
  const std::size_t count = mxGetNumberOfElements(a);
  std::string text(count + 1, '\0');
  mxGetString_700(a, text.data(), static_cast<int>(text.size()));
  text.resize(count);
  return text;
}

}  // namespace detail

namespace {

void check_counts(const char* function, int nlhs, int max_out, int nrhs, int min_in, int max_in) {
  if (nrhs < min_in) throw HostError("", std::string(function) + ": not enough input arguments");
  if (nrhs > max_in) throw HostError("", std::string(function) + ": too many input arguments");
  if (nlhs > max_out) throw HostError("", std::string(function) + ": too many output arguments");
}

// message(identifier): a message record with the identifier and its catalogue text.
void builtin_message(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]) {
  trace::Mute mute;  // the function's own matrix work is not part of the caller's trace
  check_counts("message", nlhs, 1, nrhs, 1, 1);
  const std::string id = detail::text_argument("message", prhs[0], 1);
  const std::string text = catalogue_text(id);
  const char* fields[] = {"identifier", "text"};
  mxArray* msg = mxCreateStructMatrix_700(1, 1, 2, fields);
  mxSetField_700(msg, 0, "identifier", mxCreateString(id.c_str()));
  mxSetField_700(msg, 0, "text", mxCreateString(text.c_str()));
  plhs[0] = msg;
}

// error(message record), error(text) or error(identifier, text): raises it.
void builtin_error(int nlhs, mxArray*[], int nrhs, mxArray* prhs[]) {
  trace::Mute mute;
  check_counts("error", nlhs, 0, nrhs, 1, 2);
  std::string id, text;
  if (nrhs == 1 && mxIsStruct(prhs[0])) {
    const mxArray* identifier = mxGetField_700(prhs[0], 0, "identifier");
    const mxArray* message = mxGetField_700(prhs[0], 0, "text");
    if (identifier == nullptr || message == nullptr) {
      throw HostError("", "error: a message record needs the fields identifier and text");
    }
    id = detail::text_argument("error", identifier, 1);
    text = detail::text_argument("error", message, 1);
  } else if (nrhs == 1) {
    text = detail::text_argument("error", prhs[0], 1);
  } else {
    id = detail::text_argument("error", prhs[0], 1);
    text = detail::text_argument("error", prhs[1], 2);
  }
  if (error_returns()) return;
  throw HostError(id, text);
}

// errordlg(message, title, mode): shown as a dialog record.
void builtin_errordlg(int nlhs, mxArray*[], int nrhs, mxArray* prhs[]) {
  trace::Mute mute;
  check_counts("errordlg", nlhs, 0, nrhs, 0, 3);
  Dialog d;
  if (nrhs > 0) d.message = detail::text_argument("errordlg", prhs[0], 1);
  if (nrhs > 1) d.title = detail::text_argument("errordlg", prhs[1], 2);
  if (nrhs > 2) d.mode = detail::text_argument("errordlg", prhs[2], 3);
  detail::state().dialogs.push_back(std::move(d));
}

const bool registered = [] {
  register_function("message", builtin_message);
  register_function("error", builtin_error);
  register_function("errordlg", builtin_errordlg);
  return true;
}();

}  // namespace

std::string catalogue_text(const std::string& identifier) {
  static const std::unordered_map<std::string, std::string> catalogue = {
      {"MATLAB:interp1:NaNinX", "NaN is not an allowed value in the breakpoints X."},
      {"Coder:toolbox:interp1_nonMonotonicX", "The breakpoints X must be strictly monotonic."},
  };
  auto it = catalogue.find(identifier);
  return it == catalogue.end() ? identifier : it->second;
}

}  // namespace host::mex
