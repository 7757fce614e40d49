// Small services on the block's SimStruct: posting an error, the fatal-error dialog,
// the checked read of an input signal, the writer of a code-generation pair and the
// block-handle query.
#include "block/services.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "block/services_internal.hpp"
#include "platform/mex.h"

namespace block::detail {

MessageAllocFn message_alloc = &std::malloc;

}  // namespace block::detail

namespace {

const char kPortOutOfRangeFormat[] =
    "S-function '%s' in block '%s' is attempting to access the signal from input port '%lld' in "
    "one its methods. However, the S-function's mdlInitializeSizes routine has configured the "
    "block to have only %d input port(s). The incorrect access will cause a segmentation "
    "violation. Please verify that all calls to ssGetInputPort[Real]Signal[Ptrs]() are using port "
    "indices in the range [0..%lld].\n";

const char kNoSignalFormat[] =
    "S-function '%s' in block '%s' is attempting to access the signal from input port '%lld' in "
    "one its methods. However, the S-function's mdlInitializeSizes routine did not register the "
    "ssSetInputPortDirectFeedThrough macro or the direct feedthrough flag has been set to zero. "
    "This will cause a segmentation violation. %s";

const char kNoSignalAdvice[] =
    "Please verify that the ssSetInputPortDirectFeedThrough is declared in mdlInitializeSizes and "
    "the direct feedthrough flag is set to one when accessing the input port signals in the "
    "mdlOutputs and/or mdlGetTimeOfNextVarHit method(s).";

const char kInvalidType[] = "Invalid SSWRITE_VALUE_type passed to ssWriteRTWNameValuePair";
const char kInvalidName[] = "Invalid name passed to ssWriteRTWNameValuePair";
const char kInvalidShape[] = "Invalid number of rows or columns passed to ssWriteRTWNameValuePair";
const char kInvalidValue[] = "Invalid value (NULL) passed to ssWriteRTWNameValuePair";

// Bit of the data-type word that marks a value of two parts (real and imaginary).
constexpr int kTwoPartDataType = 0x10000;

struct FreeBuffer {
  void operator()(char* buffer) const { std::free(buffer); }
};

const char* text_or_empty(const char* text) {
  return text == nullptr ? "" : text;
}

// Formats the port report into a buffer from the plug-in's heap, sized for the texts,
// shows it, asks the host to stop and frees the buffer. Nothing is reported when the
// buffer is refused.
void report_bad_port_access(SimStruct* S, int port) {
  const char* model = text_or_empty(S->model_name);
  const char* path = text_or_empty(S->path);
  const int count = ssGetNumInputPorts(S);
  // The port is shown 1-based, the valid range 0-based; both in 64 bits so that the
  // extreme port indices are shown as they are, not wrapped.
  const long long shown_port = static_cast<long long>(port) + 1;
  const long long last_port = static_cast<long long>(count) - 1;
  const bool out_of_range = port < 0 || port >= count;

  auto format = [&](char* buffer, std::size_t size) {
    return out_of_range ? std::snprintf(buffer, size, kPortOutOfRangeFormat, model, path,
                                        shown_port, count, last_port)
                        : std::snprintf(buffer, size, kNoSignalFormat, model, path, shown_port,
                                        kNoSignalAdvice);
  };
  const int length = format(nullptr, 0);
  if (length < 0) return;
  const std::size_t size = static_cast<std::size_t>(length) + 1;
  // Freed on every way out, a host error raised by the dialog included.
  std::unique_ptr<char, FreeBuffer> buffer(static_cast<char*>(block::detail::message_alloc(size)));
  if (buffer == nullptr) return;
  format(buffer.get(), size);

  if (S->mdl_info != nullptr) S->mdl_info->stop_requested = 1;
  show_fatal_error(S, buffer.get());
}

// Rows and columns with which a value type hands its pair to the writer.
struct PairShape {
  int data_type = 0;
  int rows = 1;
  int cols = 1;
  bool two_dimensional = false;
  bool address_record = false;  // the value is a record of two element addresses
};

// Reads the further arguments of `type` from `args`; false for an unknown type.
bool read_pair_shape(int type, va_list args, PairShape& shape) {
  switch (type) {
    case 0:
    case 1:
      return true;
    case 2:
      shape.rows = va_arg(args, int);
      return true;
    case 3:
    case 6:
      shape.data_type = va_arg(args, int);
      return true;
    case 4:
    case 7:
    case 9:
      shape.data_type = va_arg(args, int);
      shape.rows = va_arg(args, int);
      shape.address_record = type == 9;
      return true;
    case 5:
    case 8:
    case 10:
      shape.data_type = va_arg(args, int);
      shape.rows = va_arg(args, int);
      shape.cols = va_arg(args, int);
      shape.two_dimensional = true;
      shape.address_record = type == 10;
      return true;
    default:
      return false;
  }
}

bool value_present(const void* value, const PairShape& shape) {
  if (!shape.address_record) return value != nullptr;
  if (value == nullptr) return false;
  const auto* parts = static_cast<const void* const*>(value);
  if (parts[0] == nullptr) return false;
  return (shape.data_type & kTwoPartDataType) == 0 || parts[1] != nullptr;
}

}  // namespace

void set_error_status(SimStruct* S, const char* message) {
  SimStruct* root = ssGetRootSS(S);
  if (root->mdl_info != nullptr)
    root->mdl_info->flags &= ~static_cast<uint32_t>(SS_MDLINFO_ERROR_FLAG);
  root->error_status = message;
}

void show_fatal_error(SimStruct* /*S*/, const char* message) {
  mxArray* inputs[3] = {mxCreateString(message), mxCreateString("Fatal Error"),
                        mxCreateString("modal")};
  mexCallMATLAB(0, nullptr, 3, inputs, "errordlg");
}

void* safe_input_port_signal(SimStruct* S, int port) {
  if (port >= 0 && port < ssGetNumInputPorts(S)) {
    void* signal = S->input_ports[port].signal;
    if (signal != nullptr) return signal;
  }
  report_bad_port_access(S, port);
  return nullptr;
}

extern "C" int ssWriteRTWNameValuePair(SimStruct* S, int type, const char* name, const void* value,
                                       ...) {
  PairShape shape;
  va_list args;
  va_start(args, value);
  const bool known_type = read_pair_shape(type, args, shape);
  va_end(args);

  if (!known_type) {
    set_error_status(S, kInvalidType);
    return 0;
  }
  if (name == nullptr || name[0] == '\0') {
    set_error_status(S, kInvalidName);
    return 0;
  }
  if (shape.rows < 0 || shape.cols < 0 ||
      (shape.two_dimensional && ((shape.rows == 0) != (shape.cols == 0)))) {
    set_error_status(S, kInvalidShape);
    return 0;
  }
  if (shape.rows != 0 && !value_present(value, shape)) {
    set_error_status(S, kInvalidValue);
    return 0;
  }
  // A block without a writer has no code-generation record to write to.
  SsModelInfo* info = S->mdl_info;
  if (info == nullptr || info->rtw_writer == nullptr) return 0;
  return info->rtw_writer(info->rtw_writer_context, type, name, value, shape.data_type, shape.rows,
                          shape.cols, 0);
}

double query_host_double(SimStruct* S) {
  double value = 0.0;
  if (S->mdl_info != nullptr && S->mdl_info->generic_fcn != nullptr) {
    S->mdl_info->generic_fcn(S, SS_GEN_BLOCK_HANDLE, 0, &value);
  }
  return value;
}
