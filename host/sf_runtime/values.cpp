// The runtime's value operations: creating, holding, duplicating, importing and
// assembling mxArrays for the charts and the model's reports.
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/sf_runtime/runtime.hpp"
#include "host/sf_runtime/values.hpp"
#include "host/trace.hpp"
#include "platform/mex.h"
#include "platform/sf_runtime.h"

namespace host::sf_runtime::detail::values {

std::string vformat(const char* fmt, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  char small[256];
  const int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return fmt;
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string format(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  return s;
}

void raise(const char* identifier, const std::string& message) {
  host::sf_runtime::detail::error_raised(identifier, message);
  mexErrMsgIdAndTxt(identifier, "%s", message.c_str());
  // mexErrMsgIdAndTxt does not return; should a host ever let it, still raise.
  throw host::HostError(identifier, message);
}

std::string describe(const mxArray* array) {
  if (array == nullptr) return "nothing";
  std::string s = mxIsComplex(array) ? "complex " : "";
  const char* cls = mxGetClassName(array);
  s += cls != nullptr ? cls : "unknown";
  s += format("[%zux%zu]", mxGetM(array), mxGetN(array));
  return s;
}

ArrayGuard::~ArrayGuard() {
  if (array_ != nullptr) mxDestroyArray(array_);
}

mxArray* text_row(const char* text, std::size_t n) {
  if (n == 0) {
    const char* empty[1] = {""};
    return mxCreateCharMatrixFromStrings_700(1, empty);
  }
  return mxCreateStringFromNChars_700(text, static_cast<int>(n));
}

bool is_real_scalar(const mxArray* array, mxClassID class_id) {
  return array != nullptr && mxGetClassID(array) == class_id && !mxIsComplex(array) &&
         mxGetM(array) == 1 && mxGetN(array) == 1;
}

namespace {

// Dimensions of a created value: count 0 is a scalar, 1 an N-by-1 vector, 2 a matrix.
struct Dims {
  int m = 1, n = 1;
};

// Recorder argument: the dimensions as "MxN", formatted only when recording is on.
std::string arg(Dims d) {
  return format("%dx%d", d.m, d.n);
}

Dims read_dims(const char* op, int num_dims, std::va_list args) {
  Dims d;
  if (num_dims == 0) return d;
  if (num_dims == 1) {
    d.m = va_arg(args, int);
    d.n = 1;
  } else if (num_dims == 2) {
    d.m = va_arg(args, int);
    d.n = va_arg(args, int);
  } else {
    raise(kIdBadValue,
          format("%s: %d dimensions given; values have at most 2 dimensions.", op, num_dims));
  }
  if (d.m < 0 || d.n < 0) {
    raise(kIdBadValue, format("%s: negative dimension %dx%d.", op, d.m, d.n));
  }
  return d;
}

const char* kind_name(int kind) {
  switch (kind) {
    case SF_MEX_DOUBLE:
      return "double";
    case SF_MEX_UINT8:
      return "uint8";
    case SF_MEX_UINT32:
      return "uint32";
    case SF_MEX_CHAR_BUFFER:
    case SF_MEX_TEXT:
      return "char";
    default:
      return nullptr;
  }
}

mxArray* create_numeric(const void* data, mxClassID cls, std::size_t element_size, Dims d) {
  mxArray* a = cls == mxDOUBLE_CLASS ? mxCreateDoubleMatrix_700(d.m, d.n, mxREAL)
                                     : mxCreateNumericMatrix_700(d.m, d.n, cls, mxREAL);
  const std::size_t count = static_cast<std::size_t>(d.m) * static_cast<std::size_t>(d.n);
  if (count > 0) std::memcpy(mxGetData(a), data, count * element_size);
  return a;
}

// A character array of m rows and n columns from m*n characters in column order.
mxArray* create_chars(const char* data, Dims d) {
  if (d.m == 1) return text_row(data, static_cast<std::size_t>(d.n));
  std::vector<std::string> rows(static_cast<std::size_t>(d.m), std::string());
  std::vector<const char*> texts;
  for (int i = 0; i < d.m; ++i) {
    std::string& row = rows[static_cast<std::size_t>(i)];
    for (int j = 0; j < d.n; ++j)
      row.push_back(data[i + static_cast<std::size_t>(j) * d.m]);
    texts.push_back(row.c_str());
  }
  return mxCreateCharMatrixFromStrings_700(d.m, texts.data());
}

// Stores value in a container slot that may hold an older value; the container owns
// the new value and the older one is released.
template <class Get, class Set>
void store_owned(const mxArray* value, Get get, Set set) {
  mxArray* old = get();
  set(const_cast<mxArray*>(value));
  if (old != nullptr && old != value) mxDestroyArray(old);
}

// The variable named by an identifier record, its parents first: "outer.inner".
std::string identifier_path(const SfMsgIdentifier* id) {
  std::string path;
  for (const SfMsgIdentifier* p = id; p != nullptr; p = p->fParent) {
    const std::string name = p->fIdentifier != nullptr ? p->fIdentifier : "";
    path = path.empty() ? name : name + "." + path;
  }
  return path;
}

}  // namespace
}  // namespace host::sf_runtime::detail::values

using namespace host::sf_runtime::detail::values;

extern "C" {

const mxArray* sf_mex_create(const char* name, const void* data, int kind, int complexity, int a0,
                             int a1, int num_dims, ...) {
  std::va_list args;
  va_start(args, num_dims);
  Dims d;
  {
    const VaListEnd end(args);
    d = read_dims("sf_mex_create", num_dims, args);
  }
  trace_call("sf_mex_create", name, kind, complexity, a0, a1, num_dims, d);
  host::trace::Mute mute;
  const char* what = name != nullptr ? name : "";
  if (kind_name(kind) == nullptr) {
    raise(kIdBadValue, format("sf_mex_create: unknown value kind %d for '%s'.", kind, what));
  }
  if (complexity != 0) {
    raise(kIdBadValue, format("sf_mex_create: complex values are not supported ('%s').", what));
  }
  const std::size_t count = static_cast<std::size_t>(d.m) * static_cast<std::size_t>(d.n);
  if (data == nullptr && count > 0) {
    raise(kIdBadValue,
          format("sf_mex_create: no data given for the %dx%d value '%s'.", d.m, d.n, what));
  }
  switch (kind) {
    case SF_MEX_DOUBLE:
      return create_numeric(data, mxDOUBLE_CLASS, sizeof(double), d);
    case SF_MEX_UINT8:
      return create_numeric(data, mxUINT8_CLASS, sizeof(uint8_t), d);
    case SF_MEX_UINT32:
      return create_numeric(data, mxUINT32_CLASS, sizeof(uint32_t), d);
    case SF_MEX_CHAR_BUFFER:
      return create_chars(static_cast<const char*>(data), d);
    default: {  // SF_MEX_TEXT: one row, never read past the terminator
      const char* text = data != nullptr ? static_cast<const char*>(data) : "";
      if (num_dims == 0) return text_row(text, std::strlen(text));
      if (d.m != 1) {
        raise(kIdBadValue, format("sf_mex_create: a text has one row, not %d ('%s').", d.m, what));
      }
      return text_row(text, strnlen(text, static_cast<std::size_t>(d.n)));
    }
  }
}

void sf_mex_assign(const mxArray** slot, const mxArray* value, bool persistent) {
  trace_call("sf_mex_assign", Arr{slot != nullptr ? *slot : nullptr}, Arr{value}, persistent);
  host::trace::Mute mute;
  if (slot == nullptr) raise(kIdBadValue, "sf_mex_assign: no slot given.");
  if (*slot != nullptr && *slot != value) mxDestroyArray(const_cast<mxArray*>(*slot));
  *slot = value;
  if (persistent && value != nullptr) mexMakeArrayPersistent(const_cast<mxArray*>(value));
}

void sf_mex_destroy(const mxArray** slot) {
  trace_call("sf_mex_destroy", Arr{slot != nullptr ? *slot : nullptr});
  host::trace::Mute mute;
  if (slot == nullptr) return;
  if (*slot != nullptr) mxDestroyArray(const_cast<mxArray*>(*slot));
  *slot = nullptr;
}

const mxArray* sf_mex_dup(const mxArray* value) {
  trace_call("sf_mex_dup", Arr{value});
  host::trace::Mute mute;
  return value != nullptr ? mxDuplicateArray(value) : nullptr;
}

void sf_mex_import(const SfMsgIdentifier* id, const mxArray* value, void* out, int a0, int kind,
                   int a1, int a2, int a3, int a4, int a5) {
  const std::string path = identifier_path(id);
  trace_call("sf_mex_import", path.c_str(), Arr{value}, a0, kind, a1, a2, a3, a4, a5);
  host::trace::Mute mute;
  ArrayGuard owned(value);  // the value is consumed whatever happens
  mxClassID cls;
  switch (kind) {
    case SF_MEX_DOUBLE:
      cls = mxDOUBLE_CLASS;
      break;
    case SF_MEX_UINT8:
      cls = mxUINT8_CLASS;
      break;
    case SF_MEX_UINT32:
      cls = mxUINT32_CLASS;
      break;
    default:
      raise(kIdImport,
            format("Cannot import '%s': unsupported value kind %d.", path.c_str(), kind));
  }
  if (!is_real_scalar(value, cls)) {
    raise(kIdImport, format("Expected a real %s scalar for '%s', got %s.", kind_name(kind),
                            path.c_str(), describe(value).c_str()));
  }
  if (out == nullptr) {
    raise(kIdImport, format("Cannot import '%s': no place to store it.", path.c_str()));
  }
  switch (kind) {
    case SF_MEX_DOUBLE:
      *static_cast<double*>(out) = *mxGetPr(value);
      break;
    case SF_MEX_UINT8:
      *static_cast<uint8_t*>(out) = *static_cast<const uint8_t*>(mxGetData(value));
      break;
    default:
      *static_cast<uint32_t*>(out) = *static_cast<const uint32_t*>(mxGetData(value));
      break;
  }
}

const mxArray* sf_mex_createstruct(const char* name, int num_dims, ...) {
  std::va_list args;
  va_start(args, num_dims);
  Dims d;
  {
    const VaListEnd end(args);
    d = read_dims("sf_mex_createstruct", num_dims, args);
  }
  trace_call("sf_mex_createstruct", name, num_dims, d);
  host::trace::Mute mute;
  return mxCreateStructMatrix_700(d.m, d.n, 0, nullptr);
}

void sf_mex_addfield(const mxArray* record, const mxArray* value, const char* field_name,
                     const char* display_name, int index) {
  trace_call("sf_mex_addfield", Arr{record}, Arr{value}, field_name, display_name, index);
  host::trace::Mute mute;
  ArrayGuard owned(value);  // released on success: the struct owns it then
  if (record == nullptr || !mxIsStruct(record)) {
    raise(kIdBadValue, format("sf_mex_addfield: field '%s' added to %s, which is no struct.",
                              field_name != nullptr ? field_name : "", describe(record).c_str()));
  }
  if (field_name == nullptr || field_name[0] == '\0') {
    raise(kIdBadValue, "sf_mex_addfield: no field name given.");
  }
  const std::size_t count = mxGetNumberOfElements(record);
  if (index < 0 || static_cast<std::size_t>(index) >= count) {
    raise(kIdBadValue, format("sf_mex_addfield: element %d of field '%s' is outside %s.", index,
                              field_name, describe(record).c_str()));
  }
  mxArray* rec = const_cast<mxArray*>(record);
  if (mxGetFieldNumber(rec, field_name) < 0) mxAddField(rec, field_name);
  store_owned(
      owned.release(), [&] { return mxGetField_700(rec, index, field_name); },
      [&](mxArray* v) { mxSetField_700(rec, index, field_name, v); });
}

const mxArray* sf_mex_createcellmatrix(int m, int n) {
  trace_call("sf_mex_createcellmatrix", m, n);
  host::trace::Mute mute;
  if (m < 0 || n < 0) {
    raise(kIdBadValue, format("sf_mex_createcellmatrix: negative dimension %dx%d.", m, n));
  }
  return mxCreateCellMatrix_700(m, n);
}

void sf_mex_setcell(const mxArray* cell, int index, const mxArray* value) {
  trace_call("sf_mex_setcell", Arr{cell}, index, Arr{value});
  host::trace::Mute mute;
  ArrayGuard owned(value);  // released on success: the cell owns it then
  if (cell == nullptr || !mxIsCell(cell)) {
    raise(kIdBadValue, format("sf_mex_setcell: %s is no cell array.", describe(cell).c_str()));
  }
  if (index < 0 || static_cast<std::size_t>(index) >= mxGetNumberOfElements(cell)) {
    raise(kIdBadValue,
          format("sf_mex_setcell: element %d is outside %s.", index, describe(cell).c_str()));
  }
  mxArray* c = const_cast<mxArray*>(cell);
  store_owned(
      owned.release(), [&] { return mxGetCell_700(c, index); },
      [&](mxArray* v) { mxSetCell_700(c, index, v); });
}

const mxArray* sf_mex_getcell(const mxArray* cell, int index) {
  trace_call("sf_mex_getcell", Arr{cell}, index);
  host::trace::Mute mute;
  if (cell == nullptr || !mxIsCell(cell)) {
    raise(kIdBadValue, format("sf_mex_getcell: %s is no cell array.", describe(cell).c_str()));
  }
  if (index < 0 || static_cast<std::size_t>(index) >= mxGetNumberOfElements(cell)) {
    raise(kIdBadValue,
          format("sf_mex_getcell: element %d is outside %s.", index, describe(cell).c_str()));
  }
  return mxGetCell_700(cell, index);
}

const mxArray* sf_mex_duplicatearraysafe(const mxArray** slot) {
  const mxArray* value = slot != nullptr ? *slot : nullptr;
  trace_call("sf_mex_duplicatearraysafe", Arr{value});
  host::trace::Mute mute;
  return value != nullptr ? mxDuplicateArray(value) : nullptr;
}

void sf_mex_emlrtNameCapturePostProcessR2012a(const mxArray** slot) {
  const mxArray* report = slot != nullptr ? *slot : nullptr;
  trace_call("sf_mex_emlrtNameCapturePostProcessR2012a", Arr{report});
  host::trace::Mute mute;
  if (report == nullptr || !mxIsStruct(report)) {
    raise(kIdBadValue,
          format("sf_mex_emlrtNameCapturePostProcessR2012a: expected a struct array, got %s.",
                 describe(report).c_str()));
  }
}

}  // extern "C"
