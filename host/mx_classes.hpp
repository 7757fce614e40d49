// The array classes in one table: each class's name, the type of its elements and
// whether it is numeric. The matrix library and the JSON and MAT-file readers and
// writers take their per-class facts from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "platform/mx.h"

namespace host::mx_classes {

// One row per class, in the order of mxClassID: X(class id, name, element type,
// numeric). The element type is void for classes without an element buffer; a
// logical element is one byte, a character two.
#define HOST_MX_CLASS_TABLE(X)                       \
  X(mxCELL_CLASS, "cell", void, false)               \
  X(mxSTRUCT_CLASS, "struct", void, false)           \
  X(mxLOGICAL_CLASS, "logical", std::uint8_t, false) \
  X(mxCHAR_CLASS, "char", std::uint16_t, false)      \
  X(mxVOID_CLASS, "void", void, false)               \
  X(mxDOUBLE_CLASS, "double", double, true)          \
  X(mxSINGLE_CLASS, "single", float, true)           \
  X(mxINT8_CLASS, "int8", std::int8_t, true)         \
  X(mxUINT8_CLASS, "uint8", std::uint8_t, true)      \
  X(mxINT16_CLASS, "int16", std::int16_t, true)      \
  X(mxUINT16_CLASS, "uint16", std::uint16_t, true)   \
  X(mxINT32_CLASS, "int32", std::int32_t, true)      \
  X(mxUINT32_CLASS, "uint32", std::uint32_t, true)   \
  X(mxINT64_CLASS, "int64", std::int64_t, true)      \
  X(mxUINT64_CLASS, "uint64", std::uint64_t, true)   \
  X(mxFUNCTION_CLASS, "function_handle", void, false)

struct ClassInfo {
  mxClassID id;
  const char* name;
  std::size_t element_size;  // 0: no element buffer
  bool numeric;
};

template <class T>
inline constexpr std::size_t kElementSize = sizeof(T);
template <>
inline constexpr std::size_t kElementSize<void> = 0;

inline constexpr ClassInfo kClasses[] = {
#define HOST_MX_CLASS_ROW(id, name, type, numeric) {id, name, kElementSize<type>, numeric},
    HOST_MX_CLASS_TABLE(HOST_MX_CLASS_ROW)
#undef HOST_MX_CLASS_ROW
};

// The table is indexed by class id - 1.
constexpr bool ordered_by_id() {
  for (std::size_t i = 0; i < std::size(kClasses); ++i)
    if (static_cast<std::size_t>(kClasses[i].id) != i + 1) return false;
  return true;
}
static_assert(ordered_by_id(), "the class table follows the order of mxClassID");

// The row of the class of this name, or null.
constexpr const ClassInfo* find(std::string_view name) {
  for (const ClassInfo& c : kClasses)
    if (name == c.name) return &c;
  return nullptr;
}

// A class's row by index (a pointer compared with null would not be a constant
// expression in GCC's sanitizer builds); mxUNKNOWN_CLASS and ids outside the table
// have none.
constexpr bool in_table(mxClassID id) {
  const auto i = static_cast<std::size_t>(id);
  return i >= 1 && i <= std::size(kClasses);
}
constexpr const char* class_name(mxClassID id) {
  return in_table(id) ? kClasses[static_cast<std::size_t>(id) - 1].name : "unknown";
}
constexpr std::size_t element_size(mxClassID id) {
  return in_table(id) ? kClasses[static_cast<std::size_t>(id) - 1].element_size : 0;
}
constexpr bool is_numeric(mxClassID id) {
  return in_table(id) && kClasses[static_cast<std::size_t>(id) - 1].numeric;
}

// Calls f(std::type_identity<T>{}) with the element type T of the class and
// answers true; answers false for a class without an element buffer.
template <class F>
bool with_element_type(mxClassID id, F&& f) {
  switch (id) {
#define HOST_MX_CLASS_CASE(class_id, name, type, numeric) \
  case class_id:                                          \
    if constexpr (std::is_void_v<type>) {                 \
      return false;                                       \
    } else {                                              \
      f(std::type_identity<type>{});                      \
      return true;                                        \
    }
    HOST_MX_CLASS_TABLE(HOST_MX_CLASS_CASE)
#undef HOST_MX_CLASS_CASE
    default:
      return false;
  }
}

}  // namespace host::mx_classes
