// Inside of the stand-in matrix library: the array record, the registry of known
// arrays (live ones and a bounded quarantine of destroyed ones) and the call scopes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/mx_host.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"

namespace host::mx::detail {

struct Scope;

}  // namespace host::mx::detail

struct mxArray_tag {
  mxClassID class_id = mxUNKNOWN_CLASS;
  std::size_t m = 0, n = 0;
  bool complex = false;
  bool destroyed = false;
  bool persistent = false;
  mxArray* parent = nullptr;                  // the struct or cell that owns it
  host::mx::detail::Scope* scope = nullptr;   // the call scope that owns it
  void* data = nullptr;                       // numeric, char and logical elements
  std::vector<std::string> field_names;       // struct: in creation order
  std::vector<std::vector<mxArray*>> fields;  // struct: fields[field][element]
  std::vector<mxArray*> cells;                // cell: one slot per element
};

namespace host::mx::detail {

struct Scope {
  ScopeId id;
  std::unordered_set<mxArray*> members;  // top-level arrays only
};

// Destroyed arrays kept (unreleased) so that a later use is recognised.
inline constexpr std::size_t kQuarantine = 4096;

struct Store {
  std::unordered_set<const mxArray*> known;  // live and quarantined
  std::deque<mxArray*> quarantine;
  // Scopes are reused: scopes[0..open) are open, innermost last; the rest wait for
  // the next open_scope, so that a call making no arrays allocates nothing.
  std::vector<std::unique_ptr<Scope>> scopes;
  std::size_t open = 0;
  const mxArray* last_checked = nullptr;  // one-entry cache of check()
  std::size_t live = 0;
  std::size_t persistent = 0;
  ScopeId next_scope = 1;
  MisuseMode mode = MisuseMode::Abort;
  std::size_t misuses = 0;  // every misuse detected, thrown or not
};

Store& store();

// Reports misuse in the current mode ("op: what").
[[noreturn]] void misuse(const char* op, const std::string& what);

// The array behind a pointer argument, or misuse: null, not an array, destroyed.
inline mxArray* check(const mxArray* a, const char* op) {
  Store& s = store();
  if (a == s.last_checked && a != nullptr) return const_cast<mxArray*>(a);
  if (a == nullptr) misuse(op, "null array");
  if (!s.known.contains(a)) misuse(op, "pointer is not an array");
  if (a->destroyed) {
    misuse(op, std::string(op) == "mxDestroyArray" ? "array already destroyed"
                                                   : "array used after it was destroyed");
  }
  s.last_checked = a;
  return const_cast<mxArray*>(a);
}

// Raises the host error "<op>: out of memory".
[[noreturn]] void out_of_memory(const char* op);

// Runs f; a std::bad_alloc inside it (or a std::length_error: a size no container
// can hold) becomes the host error of out_of_memory, so that the plug-ins only ever
// see host errors.
template <class F>
auto guarded(const char* op, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    out_of_memory(op);
  } catch (const std::length_error&) {
    out_of_memory(op);
  }
}

// A new array of the given class and size, in the innermost open scope. Raises a
// host error for negative or too large sizes and when the allocation fails (also
// when the host allocation switch says so, see host/ut_host.hpp).
mxArray* create(const char* op, mxClassID class_id, long long m, long long n, bool complex = false);
std::size_t element_size(mxClassID class_id);
bool has_elements(mxClassID class_id);  // numeric, char or logical
const char* class_name(mxClassID class_id);

// Deep copy, in the innermost open scope.
mxArray* duplicate(const mxArray* a);
// Deep destroy of a top-level array (or of a child whose container goes with it).
void destroy(mxArray* a);

// Ownership moves of values stored in, or replaced in, structs and cells.
void adopt(const char* op, mxArray* container, mxArray* value);
void release_child(mxArray* old);

// Records an operation when recording is on; the arguments are formatted only then.
#define HOST_MX_RECORD(...)                                           \
  do {                                                                \
    if (::host::trace::enabled()) ::host::trace::record(__VA_ARGS__); \
  } while (0)

// Text of a character array (column-major order), narrowed to bytes.
std::string text_of(const mxArray* a);

}  // namespace host::mx::detail
