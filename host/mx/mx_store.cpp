// Accounting of the stand-in matrix library: known arrays, quarantine, scopes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "host/mex_host.hpp"
#include "host/mx/mx_internal.hpp"
#include "host/mx_classes.hpp"
#include "host/ut_host.hpp"

namespace host::mx {
namespace detail {

Store& store() {
  static Store* s = new Store;  // outlives every static destructor
  return *s;
}

void misuse(const char* op, const std::string& what) {
  const std::string message = std::string(op) + ": " + what;
  ++store().misuses;
  if (store().mode == MisuseMode::Throw) throw MisuseError(message);
  std::fprintf(stderr, "host misuse: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

std::size_t element_size(mxClassID c) {
  return mx_classes::element_size(c);
}

bool has_elements(mxClassID c) {
  return element_size(c) != 0;
}

const char* class_name(mxClassID c) {
  return mx_classes::class_name(c);
}

namespace {

void attach_to_innermost(mxArray* a) {
  Store& s = store();
  if (s.open == 0) {
    a->scope = nullptr;
    return;
  }
  Scope* scope = s.scopes[s.open - 1].get();
  scope->members.insert(a);
  a->scope = scope;
}

void detach_from_scope(mxArray* a) {
  if (a->scope != nullptr) {
    a->scope->members.erase(a);
    a->scope = nullptr;
  }
}

void destroy_tree(mxArray* a) {
  Store& s = store();
  for (auto& field : a->fields) {
    for (mxArray* child : field) {
      if (child != nullptr) destroy_tree(child);
    }
  }
  for (mxArray* child : a->cells) {
    if (child != nullptr) destroy_tree(child);
  }
  std::free(a->data);
  a->data = nullptr;
  std::vector<std::string>().swap(a->field_names);
  std::vector<std::vector<mxArray*>>().swap(a->fields);
  std::vector<mxArray*>().swap(a->cells);
  detach_from_scope(a);
  if (a->persistent) {
    a->persistent = false;
    --s.persistent;
  }
  a->parent = nullptr;
  a->destroyed = true;
  --s.live;
  if (s.last_checked == a) s.last_checked = nullptr;
  s.quarantine.push_back(a);
  if (s.quarantine.size() > kQuarantine) {
    mxArray* old = s.quarantine.front();
    s.quarantine.pop_front();
    s.known.erase(old);
    delete old;
  }
}

}  // namespace

void out_of_memory(const char* op) {
  throw host::HostError("", std::string(op) + ": out of memory");
}

mxArray* create(const char* op, mxClassID class_id, long long m, long long n, bool complex) {
  if (m < 0 || n < 0) throw host::HostError("", std::string(op) + ": negative dimension");
  const std::size_t um = static_cast<std::size_t>(m), un = static_cast<std::size_t>(n);
  const std::size_t max = std::numeric_limits<std::size_t>::max();
  const std::size_t size = element_size(class_id) == 0 ? 1 : element_size(class_id);
  if (un != 0 && um > max / un) throw host::HostError("", std::string(op) + ": array too large");
  const std::size_t count = um * un;
  if (count > max / size / 2) throw host::HostError("", std::string(op) + ": array too large");
  if (host::ut::host_allocation_fails()) out_of_memory(op);
  std::unique_ptr<mxArray> a;
  try {
    a = std::make_unique<mxArray>();
    a->class_id = class_id;
    a->m = um;
    a->n = un;
    a->complex = complex;
    if (has_elements(class_id) && count != 0) {
      a->data = std::calloc(count, element_size(class_id));
      if (a->data == nullptr) throw std::bad_alloc();
    } else if (class_id == mxCELL_CLASS) {
      a->cells.assign(count, nullptr);
    }
    Store& s = store();
    s.known.insert(a.get());
    if (s.open != 0) {
      try {
        s.scopes[s.open - 1]->members.insert(a.get());
      } catch (...) {
        s.known.erase(a.get());
        throw;
      }
    }
  } catch (const std::bad_alloc&) {
    if (a) std::free(a->data);
    out_of_memory(op);
  }
  mxArray* raw = a.release();
  ++store().live;
  raw->scope = store().open != 0 ? store().scopes[store().open - 1].get() : nullptr;
  return raw;
}

mxArray* duplicate(const mxArray* a) {
  mxArray* copy = create("mxDuplicateArray", a->class_id, static_cast<long long>(a->m),
                         static_cast<long long>(a->n), a->complex);
  try {
    if (a->data != nullptr)
      std::memcpy(copy->data, a->data, a->m * a->n * element_size(a->class_id));
    copy->field_names = a->field_names;
    copy->fields.resize(a->fields.size());
    for (std::size_t f = 0; f < a->fields.size(); ++f) {
      copy->fields[f].assign(a->fields[f].size(), nullptr);
      for (std::size_t i = 0; i < a->fields[f].size(); ++i) {
        if (a->fields[f][i] == nullptr) continue;
        mxArray* child = duplicate(a->fields[f][i]);
        detach_from_scope(child);
        child->parent = copy;
        copy->fields[f][i] = child;
      }
    }
    for (std::size_t i = 0; i < a->cells.size(); ++i) {
      if (a->cells[i] == nullptr) continue;
      mxArray* child = duplicate(a->cells[i]);
      detach_from_scope(child);
      child->parent = copy;
      copy->cells[i] = child;
    }
  } catch (...) {
    destroy_tree(copy);
    throw;
  }
  return copy;
}

void destroy(mxArray* a) {
  destroy_tree(a);
}

void adopt(const char* op, mxArray* container, mxArray* value) {
  if (value->parent != nullptr) misuse(op, "value already belongs to a struct or cell");
  for (const mxArray* p = container; p != nullptr; p = p->parent) {
    if (p == value) misuse(op, "value would contain itself");
  }
  Store& s = store();
  detach_from_scope(value);
  if (value->persistent) {
    value->persistent = false;
    --s.persistent;
  }
  value->parent = container;
}

void release_child(mxArray* old) {
  old->parent = nullptr;
  attach_to_innermost(old);
}

std::string text_of(const mxArray* a) {
  std::string out;
  if (a->class_id != mxCHAR_CLASS || a->data == nullptr) return out;
  const auto* chars = static_cast<const std::uint16_t*>(a->data);
  const std::size_t count = a->m * a->n;
  out.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    out[i] = static_cast<char>(chars[i] & 0xff);
  return out;
}

}  // namespace detail

using detail::check;
using detail::store;

void set_misuse_mode(MisuseMode mode) {
  store().mode = mode;
}

std::size_t misuse_count() {
  return store().misuses;
}

std::size_t live_count() {
  return store().live;
}

std::size_t persistent_count() {
  return store().persistent;
}

namespace {
std::size_t tree_size(const mxArray* a) {
  std::size_t n = 1;
  for (const auto& field : a->fields) {
    for (const mxArray* child : field) {
      if (child != nullptr) n += tree_size(child);
    }
  }
  for (const mxArray* child : a->cells) {
    if (child != nullptr) n += tree_size(child);
  }
  return n;
}
}  // namespace

std::size_t persistent_tree_count() {
  std::size_t n = 0;
  for (const mxArray* a : store().known) {
    if (!a->destroyed && a->persistent) n += tree_size(a);
  }
  return n;
}

bool is_live(const mxArray* array) {
  if (array == nullptr) return false;
  const detail::Store& s = store();
  return s.known.contains(array) && !array->destroyed;
}

bool is_persistent(const mxArray* array) {
  return is_live(array) && array->persistent;
}

ScopeId open_scope() {
  detail::Store& s = store();
  if (s.open == s.scopes.size()) {
    detail::guarded("open_scope", [&] { s.scopes.push_back(std::make_unique<detail::Scope>()); });
  }
  detail::Scope* scope = s.scopes[s.open++].get();
  scope->id = s.next_scope++;
  return scope->id;
}

void close_scope(ScopeId scope, mxArray* const* keep, std::size_t keep_count) {
  detail::Store& s = store();
  if (s.open == 0 || s.scopes[s.open - 1]->id != scope) {
    detail::misuse("close_scope", "scope is not the innermost open scope");
  }
  detail::Scope* closing = s.scopes[s.open - 1].get();
  detail::Scope* enclosing = s.open > 1 ? s.scopes[s.open - 2].get() : nullptr;
  // Keep entries are compared by address only: an output slot may hold anything.
  for (std::size_t i = 0; i < keep_count; ++i) {
    mxArray* a = keep[i];
    if (a == nullptr) continue;
    auto it = closing->members.find(a);
    if (it == closing->members.end()) continue;
    closing->members.erase(it);
    a->scope = enclosing;
    if (enclosing != nullptr) enclosing->members.insert(a);
  }
  while (!closing->members.empty())
    detail::destroy_tree(*closing->members.begin());
  closing->id = 0;
  --s.open;
}

void make_persistent(mxArray* array, const char* op) {
  mxArray* a = check(array, op);
  if (a->parent != nullptr) detail::misuse(op, "array belongs to a struct or cell");
  detail::detach_from_scope(a);
  if (!a->persistent) {
    a->persistent = true;
    ++store().persistent;
  }
}

void release_from_scope(mxArray* array) {
  mxArray* a = check(array, "release_from_scope");
  if (a->parent != nullptr)
    detail::misuse("release_from_scope", "array belongs to a struct or cell");
  detail::detach_from_scope(a);
}

void check_array(const mxArray* array, const char* op) {
  check(array, op);
}

ScopeId scope_of(const mxArray* array) {
  const mxArray* a = check(array, "scope_of");
  return a->scope != nullptr ? a->scope->id : 0;
}

std::string describe(const mxArray* array) {
  if (array == nullptr) return "null";
  const detail::Store& s = store();
  if (!s.known.contains(array)) return "invalid";
  if (array->destroyed) return "destroyed";
  return std::string(detail::class_name(array->class_id)) + "[" + std::to_string(array->m) + "x" +
         std::to_string(array->n) + "]";
}

namespace {
const CallInputs* innermost_call = nullptr;
}  // namespace

CallInputs::CallInputs(const mxArray* const* inputs, int count)
    : inputs_(inputs), count_(inputs != nullptr && count > 0 ? count : 0), outer_(innermost_call) {
  innermost_call = this;
}

CallInputs::~CallInputs() {
  innermost_call = outer_;
}

std::string name_in_call(const mxArray* array) {
  const CallInputs* call = innermost_call;
  for (int i = 0; call != nullptr && i < call->count_; ++i) {
    if (call->inputs_[i] == array)
      return "input " + std::to_string(i + 1) + " (" + describe(array) + ")";
  }
  return describe(array);
}

}  // namespace host::mx
