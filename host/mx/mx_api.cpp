// The published operations of the stand-in matrix library (C linkage).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "host/mex_host.hpp"
#include "host/mx/mx_internal.hpp"
#include "host/mx_classes.hpp"

using host::mx::detail::check;
using host::mx::detail::misuse;
namespace detail = host::mx::detail;
using host::mx::describe;

namespace {

std::uint16_t* chars(mxArray* a) {
  return static_cast<std::uint16_t*>(a->data);
}

template <class T>
double first_as_double(const mxArray* a) {
  T v;
  std::memcpy(&v, a->data, sizeof v);
  return static_cast<double>(v);
}

// The element of a struct field, or null when the array is no struct or the
// field or element does not exist.
mxArray** field_slot(const mxArray* a, int index, int field) {
  if (a->class_id != mxSTRUCT_CLASS || index < 0 || field < 0) return nullptr;
  if (static_cast<std::size_t>(field) >= a->fields.size()) return nullptr;
  auto& values = const_cast<mxArray*>(a)->fields[static_cast<std::size_t>(field)];
  if (static_cast<std::size_t>(index) >= values.size()) return nullptr;
  return &values[static_cast<std::size_t>(index)];
}

int field_number(const mxArray* a, const char* name) {
  if (a->class_id != mxSTRUCT_CLASS || name == nullptr) return -1;
  for (std::size_t f = 0; f < a->field_names.size(); ++f) {
    if (a->field_names[f] == name) return static_cast<int>(f);
  }
  return -1;
}

// Puts value in *slot; the value it replaces goes back to the current call scope.
void store_in(const char* op, mxArray* container, mxArray** slot, mxArray* value) {
  mxArray* old = *slot;
  if (old == value) return;
  if (value != nullptr) detail::adopt(op, container, value);
  *slot = value;
  if (old != nullptr) detail::release_child(old);
}

void check_name(const char* op, const char* name) {
  if (name == nullptr) misuse(op, "null field name");
  if (*name == '\0') throw host::HostError("", std::string(op) + ": empty field name");
}

}  // namespace

extern "C" {

mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity) {
  HOST_MX_RECORD("mxCreateDoubleMatrix_700", m, n, static_cast<int>(complexity));
  return detail::create("mxCreateDoubleMatrix_700", mxDOUBLE_CLASS, m, n, complexity == mxCOMPLEX);
}

mxArray* mxCreateDoubleScalar(double value) {
  HOST_MX_RECORD("mxCreateDoubleScalar", value);
  mxArray* a = detail::create("mxCreateDoubleScalar", mxDOUBLE_CLASS, 1, 1);
  *static_cast<double*>(a->data) = value;
  return a;
}

static mxArray* make_string(const char* op, const char* text, std::size_t n) {
  mxArray* a = detail::create(op, mxCHAR_CLASS, n == 0 ? 0 : 1, static_cast<long long>(n));
  for (std::size_t i = 0; i < n; ++i)
    chars(a)[i] = static_cast<unsigned char>(text[i]);
  return a;
}

mxArray* mxCreateString(const char* text) {
  if (text == nullptr) misuse("mxCreateString", "null text");
  HOST_MX_RECORD("mxCreateString", text);
  return make_string("mxCreateString", text, std::strlen(text));
}

mxArray* mxCreateStringFromNChars_700(const char* text, int n) {
  return detail::guarded("mxCreateStringFromNChars_700", [&]() {
    if (n < 0) throw host::HostError("", "mxCreateStringFromNChars_700: negative length");
    if (text == nullptr && n > 0) misuse("mxCreateStringFromNChars_700", "null text");
    HOST_MX_RECORD("mxCreateStringFromNChars_700",
                   std::string(text == nullptr ? "" : text, static_cast<std::size_t>(n)).c_str(),
                   n);
    return make_string("mxCreateStringFromNChars_700", text, static_cast<std::size_t>(n));
  });
}

mxArray* mxCreateCharMatrixFromStrings_700(int m, const char** texts) {
  return detail::guarded("mxCreateCharMatrixFromStrings_700", [&]() {
    static const char* const op = "mxCreateCharMatrixFromStrings_700";
    if (m < 0) throw host::HostError("", std::string(op) + ": negative dimension");
    if (texts == nullptr && m > 0) misuse(op, "null texts");
    std::size_t width = 0;
    for (int i = 0; i < m; ++i) {
      if (texts[i] == nullptr) misuse(op, "null text");
      width = std::max(width, std::strlen(texts[i]));
    }
    if (host::trace::enabled()) {
      host::trace::Call call{op, {host::trace::arg(m)}};
      for (int i = 0; i < m; ++i)
        call.args.push_back(host::trace::arg(texts[i]));
      host::trace::emit(std::move(call));
    }
    mxArray* a = detail::create(op, mxCHAR_CLASS, m, static_cast<long long>(width));
    for (std::size_t i = 0; i < static_cast<std::size_t>(m); ++i) {
      const std::size_t len = std::strlen(texts[i]);
      for (std::size_t j = 0; j < width; ++j) {
        chars(a)[j * static_cast<std::size_t>(m) + i] =
            j < len ? static_cast<unsigned char>(texts[i][j]) : ' ';
      }
    }
    return a;
  });
}

mxArray* mxCreateNumericMatrix_700(int m, int n, mxClassID class_id, mxComplexity complexity) {
  static const char* const op = "mxCreateNumericMatrix_700";
  HOST_MX_RECORD(op, m, n, std::string(detail::class_name(class_id)), static_cast<int>(complexity));
  if (!host::mx_classes::is_numeric(class_id)) {
    throw host::HostError(
        "", std::string(op) + ": class " + detail::class_name(class_id) + " is not numeric");
  }
  return detail::create(op, class_id, m, n, complexity == mxCOMPLEX);
}

mxArray* mxCreateLogicalScalar(bool value) {
  HOST_MX_RECORD("mxCreateLogicalScalar", value);
  mxArray* a = detail::create("mxCreateLogicalScalar", mxLOGICAL_CLASS, 1, 1);
  *static_cast<unsigned char*>(a->data) = value ? 1 : 0;
  return a;
}

mxArray* mxCreateStructMatrix_700(int m, int n, int nfields, const char** field_names) {
  return detail::guarded("mxCreateStructMatrix_700", [&]() {
    static const char* const op = "mxCreateStructMatrix_700";
    if (nfields < 0) throw host::HostError("", std::string(op) + ": negative field count");
    if (field_names == nullptr && nfields > 0) misuse(op, "null field names");
    for (int f = 0; f < nfields; ++f) {
      check_name(op, field_names[f]);
      for (int g = 0; g < f; ++g) {
        if (std::strcmp(field_names[f], field_names[g]) == 0) {
          throw host::HostError(
              "", std::string(op) + ": duplicate field name \"" + field_names[f] + "\"");
        }
      }
    }
    if (host::trace::enabled()) {
      host::trace::Call call{op,
                             {host::trace::arg(m), host::trace::arg(n), host::trace::arg(nfields)}};
      for (int f = 0; f < nfields; ++f)
        call.args.push_back(host::trace::arg(field_names[f]));
      host::trace::emit(std::move(call));
    }
    mxArray* a = detail::create(op, mxSTRUCT_CLASS, m, n);
    try {
      const std::size_t count = a->m * a->n;
      a->field_names.assign(field_names, field_names + nfields);
      // A struct without fields holds nothing per element, whatever its size.
      if (nfields > 0)
        a->fields.assign(static_cast<std::size_t>(nfields), std::vector<mxArray*>(count, nullptr));
    } catch (...) {
      detail::destroy(a);  // no half-made struct left alive when memory runs out
      throw;
    }
    return a;
  });
}

mxArray* mxCreateCellMatrix_700(int m, int n) {
  HOST_MX_RECORD("mxCreateCellMatrix_700", m, n);
  return detail::create("mxCreateCellMatrix_700", mxCELL_CLASS, m, n);
}

mxArray* mxDuplicateArray(const mxArray* array) {
  return detail::guarded("mxDuplicateArray", [&]() {
    const mxArray* a = check(array, "mxDuplicateArray");
    HOST_MX_RECORD("mxDuplicateArray", describe(a));
    return detail::duplicate(a);
  });
}

void mxDestroyArray(mxArray* array) {
  if (array == nullptr) {
    HOST_MX_RECORD("mxDestroyArray", nullptr);
    return;
  }
  mxArray* a = check(array, "mxDestroyArray");
  if (a->parent != nullptr) misuse("mxDestroyArray", "array is owned by a struct or cell");
  HOST_MX_RECORD("mxDestroyArray", describe(a));
  detail::destroy(a);
}

size_t mxGetM(const mxArray* array) {
  const mxArray* a = check(array, "mxGetM");
  HOST_MX_RECORD("mxGetM", describe(a));
  return a->m;
}

size_t mxGetN(const mxArray* array) {
  const mxArray* a = check(array, "mxGetN");
  HOST_MX_RECORD("mxGetN", describe(a));
  return a->n;
}

size_t mxGetNumberOfElements(const mxArray* array) {
  const mxArray* a = check(array, "mxGetNumberOfElements");
  HOST_MX_RECORD("mxGetNumberOfElements", describe(a));
  return a->m * a->n;
}

mxClassID mxGetClassID(const mxArray* array) {
  const mxArray* a = check(array, "mxGetClassID");
  HOST_MX_RECORD("mxGetClassID", describe(a));
  return a->class_id;
}

const char* mxGetClassName(const mxArray* array) {
  const mxArray* a = check(array, "mxGetClassName");
  HOST_MX_RECORD("mxGetClassName", describe(a));
  return detail::class_name(a->class_id);
}

#define HOST_MX_CLASS_TEST(fn, expr)      \
  bool fn(const mxArray* array) {         \
    const mxArray* a = check(array, #fn); \
    HOST_MX_RECORD(#fn, describe(a));     \
    return (expr);                        \
  }

HOST_MX_CLASS_TEST(mxIsChar, a->class_id == mxCHAR_CLASS)
HOST_MX_CLASS_TEST(mxIsDouble, a->class_id == mxDOUBLE_CLASS)
HOST_MX_CLASS_TEST(mxIsNumeric, host::mx_classes::is_numeric(a->class_id))
HOST_MX_CLASS_TEST(mxIsLogical, a->class_id == mxLOGICAL_CLASS)
HOST_MX_CLASS_TEST(mxIsUint8, a->class_id == mxUINT8_CLASS)
HOST_MX_CLASS_TEST(mxIsUint32, a->class_id == mxUINT32_CLASS)
HOST_MX_CLASS_TEST(mxIsStruct, a->class_id == mxSTRUCT_CLASS)
HOST_MX_CLASS_TEST(mxIsCell, a->class_id == mxCELL_CLASS)
HOST_MX_CLASS_TEST(mxIsEmpty, a->m * a->n == 0)
HOST_MX_CLASS_TEST(mxIsComplex, a->complex)

#undef HOST_MX_CLASS_TEST

double* mxGetPr(const mxArray* array) {
  const mxArray* a = check(array, "mxGetPr");
  HOST_MX_RECORD("mxGetPr", describe(a));
  return a->class_id == mxDOUBLE_CLASS ? static_cast<double*>(a->data) : nullptr;
}

void* mxGetData(const mxArray* array) {
  const mxArray* a = check(array, "mxGetData");
  HOST_MX_RECORD("mxGetData", describe(a));
  return a->data;
}

double mxGetScalar(const mxArray* array) {
  const mxArray* a = check(array, "mxGetScalar");
  HOST_MX_RECORD("mxGetScalar", describe(a));
  // An empty array, a struct or a cell has no first value to give: refused, as
  // GNU Octave's host refuses them, rather than answered with a made-up 0.
  if (a->data == nullptr) {
    throw host::HostError(
        "", "mxGetScalar: " + host::mx::name_in_call(a) + " has no value to read as a number.");
  }
  double value = 0.0;
  host::mx_classes::with_element_type(a->class_id, [&](auto element) {
    value = first_as_double<typename decltype(element)::type>(a);
  });
  return value;
}

int mxGetString_700(const mxArray* array, char* buf, int buflen) {
  static const char* const op = "mxGetString_700";
  const mxArray* a = check(array, op);
  if (buf == nullptr && buflen > 0) misuse(op, "null buffer");
  HOST_MX_RECORD(op, describe(a), static_cast<const void*>(buf), buflen);
  if (buflen <= 0) return 1;
  if (a->class_id != mxCHAR_CLASS) {
    buf[0] = '\0';
    return 1;
  }
  const std::size_t count = a->m * a->n;
  const std::size_t room = static_cast<std::size_t>(buflen) - 1;
  const std::size_t copied = count < room ? count : room;
  const auto* src = static_cast<const std::uint16_t*>(a->data);
  for (std::size_t i = 0; i < copied; ++i)
    buf[i] = static_cast<char>(src[i] & 0xff);
  buf[copied] = '\0';
  return copied == count ? 0 : 1;
}

int mxGetNumberOfFields(const mxArray* array) {
  const mxArray* a = check(array, "mxGetNumberOfFields");
  HOST_MX_RECORD("mxGetNumberOfFields", describe(a));
  return static_cast<int>(a->field_names.size());
}

const char* mxGetFieldNameByNumber(const mxArray* array, int n) {
  const mxArray* a = check(array, "mxGetFieldNameByNumber");
  HOST_MX_RECORD("mxGetFieldNameByNumber", describe(a), n);
  if (n < 0 || static_cast<std::size_t>(n) >= a->field_names.size()) return nullptr;
  return a->field_names[static_cast<std::size_t>(n)].c_str();
}

int mxGetFieldNumber(const mxArray* array, const char* name) {
  const mxArray* a = check(array, "mxGetFieldNumber");
  HOST_MX_RECORD("mxGetFieldNumber", describe(a), name);
  return field_number(a, name);
}

int mxAddField(mxArray* array, const char* name) {
  return detail::guarded("mxAddField", [&]() {
    mxArray* a = check(array, "mxAddField");
    HOST_MX_RECORD("mxAddField", describe(a), name);
    if (a->class_id != mxSTRUCT_CLASS || name == nullptr || *name == '\0') return -1;
    if (field_number(a, name) >= 0) return -1;
    a->field_names.emplace_back(name);
    a->fields.emplace_back(a->m * a->n, nullptr);
    return static_cast<int>(a->field_names.size()) - 1;
  });
}

mxArray* mxGetField_700(const mxArray* array, int index, const char* name) {
  const mxArray* a = check(array, "mxGetField_700");
  HOST_MX_RECORD("mxGetField_700", describe(a), index, name);
  mxArray** slot = field_slot(a, index, field_number(a, name));
  return slot != nullptr ? *slot : nullptr;
}

mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field_number) {
  const mxArray* a = check(array, "mxGetFieldByNumber_700");
  HOST_MX_RECORD("mxGetFieldByNumber_700", describe(a), index, field_number);
  mxArray** slot = field_slot(a, index, field_number);
  return slot != nullptr ? *slot : nullptr;
}

void mxSetField_700(mxArray* array, int index, const char* name, mxArray* value) {
  return detail::guarded("mxSetField_700", [&]() {
    static const char* const op = "mxSetField_700";
    mxArray* a = check(array, op);
    if (value != nullptr) check(value, op);
    HOST_MX_RECORD(op, describe(a), index, name, describe(value));
    if (a->class_id != mxSTRUCT_CLASS) {
      throw host::HostError("", std::string(op) + ": " + describe(a) + " is not a struct");
    }
    const int field = field_number(a, name);
    if (field < 0) {
      throw host::HostError("", std::string(op) + ": no field " + host::trace::arg(name));
    }
    mxArray** slot = field_slot(a, index, field);
    if (slot == nullptr) {
      throw host::HostError(
          "", std::string(op) + ": index " + std::to_string(index) + " is outside " + describe(a));
    }
    store_in(op, a, slot, value);
  });
}

mxArray* mxGetCell_700(const mxArray* array, int index) {
  const mxArray* a = check(array, "mxGetCell_700");
  HOST_MX_RECORD("mxGetCell_700", describe(a), index);
  if (a->class_id != mxCELL_CLASS || index < 0 ||
      static_cast<std::size_t>(index) >= a->cells.size()) {
    return nullptr;
  }
  return a->cells[static_cast<std::size_t>(index)];
}

void mxSetCell_700(mxArray* array, int index, mxArray* value) {
  return detail::guarded("mxSetCell_700", [&]() {
    static const char* const op = "mxSetCell_700";
    mxArray* a = check(array, op);
    if (value != nullptr) check(value, op);
    HOST_MX_RECORD(op, describe(a), index, describe(value));
    if (a->class_id != mxCELL_CLASS) {
      throw host::HostError("", std::string(op) + ": " + describe(a) + " is not a cell");
    }
    if (index < 0 || static_cast<std::size_t>(index) >= a->cells.size()) {
      throw host::HostError(
          "", std::string(op) + ": index " + std::to_string(index) + " is outside " + describe(a));
    }
    store_in(op, a, &a->cells[static_cast<std::size_t>(index)], value);
  });
}

double mxGetNaN(void) {
  HOST_MX_RECORD("mxGetNaN");
  return std::numeric_limits<double>::quiet_NaN();
}

double mxGetInf(void) {
  HOST_MX_RECORD("mxGetInf");
  return std::numeric_limits<double>::infinity();
}

}  // extern "C"
