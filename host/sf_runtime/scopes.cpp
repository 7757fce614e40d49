// Symbol scopes of the chart runtime's debugger: the scopes a step pushes and pops,
// the symbols they hold, and the host's view of them (show and edit a symbol).
#include <string>
#include <string_view>

#include "host/sf_runtime/runtime.hpp"

namespace host::sf_runtime::detail {

namespace hs = host::sf_runtime;

namespace {

Scope& top_scope(DebugInstance& inst, const char* op) {
  if (inst.depth == 0) fail(kIdScope, std::string(op) + ": no symbol scope is open.");
  return inst.scopes[inst.depth - 1];
}

Scope& push_scope(DebugInstance& inst) {
  if (inst.depth == inst.scopes.size()) inst.scopes.emplace_back();
  Scope& s = inst.scopes[inst.depth++];
  s.eml = false;
  s.a0 = s.a1 = s.symbol_count = s.capacity = 0;
  s.names = nullptr;
  s.scratch = nullptr;
  s.method_depth = runtime().method_depth;
  s.symbols.clear();  // keeps its storage for the next step
  return s;
}

void add_symbol(void* debug_instance, void* address, unsigned index, SfToMxFn to_mx,
                SfFromMxFn from_mx, const char* op) {
  DebugInstance& inst = checked_instance(debug_instance, op);
  Scope& s = top_scope(inst, op);
  if (!s.eml)
    fail(kIdScope, std::string(op) + ": the open symbol scope was not pushed for symbols.");
  if (index >= s.symbol_count)
    fail(kIdScope, std::string(op) + ": symbol index " + std::to_string(index) +
                       " is beyond the scope's " + std::to_string(s.symbol_count) + " symbols.");
  const hs::Symbol sym{s.names[index], index, address, to_mx, from_mx};
  for (hs::Symbol& existing : s.symbols) {
    if (existing.index == index) {
      existing = sym;
      return;
    }
  }
  s.symbols.push_back(sym);
}

const hs::Symbol* lookup_symbol(const DebugInstance& inst, std::string_view name) {
  for (std::size_t d = inst.depth; d-- > 0;) {
    for (const hs::Symbol& sym : inst.scopes[d].symbols) {
      if (sym.name != nullptr && name == sym.name) return &sym;
    }
  }
  return nullptr;
}

}  // namespace

void abandon_scopes(unsigned depth) {
  for (auto& [handle, inst] : runtime().instances) {
    while (inst->depth > 0 && inst->scopes[inst->depth - 1].method_depth >= depth)
      --inst->depth;
  }
}

}  // namespace host::sf_runtime::detail

using namespace host::sf_runtime::detail;

extern "C" void sf_debug_symbol_scope_push(void* debug_instance, unsigned int a0, unsigned int a1) {
  static const char* const op = "sf_debug_symbol_scope_push";
  record(op, Dbg{debug_instance}, a0, a1);
  Scope& s = push_scope(checked_instance(debug_instance, op));
  s.a0 = a0;
  s.a1 = a1;
}

extern "C" void sf_debug_symbol_scope_push_eml(void* debug_instance, unsigned int a0,
                                               unsigned int symbol_count, unsigned int capacity,
                                               const char** names, void* scratch) {
  static const char* const op = "sf_debug_symbol_scope_push_eml";
  record(op, Dbg{debug_instance}, a0, symbol_count, capacity, Names{symbol_count, names},
         addr(scratch));
  DebugInstance& inst = checked_instance(debug_instance, op);
  if (symbol_count != 0 && names == nullptr)
    fail(kIdBadArgument, std::string(op) + ": " + std::to_string(symbol_count) +
                             " symbols announced but no names given.");
  Scope& s = push_scope(inst);
  s.eml = true;
  s.a0 = a0;
  s.symbol_count = symbol_count;
  s.capacity = capacity;
  s.names = names;
  s.scratch = scratch;
}

extern "C" void sf_debug_symbol_scope_add_eml(void* debug_instance, void* address,
                                              unsigned int index, SfToMxFn to_mx) {
  static const char* const op = "sf_debug_symbol_scope_add_eml";
  record(op, Dbg{debug_instance}, addr(address), index, fn(to_mx));
  add_symbol(debug_instance, address, index, to_mx, nullptr, op);
}

extern "C" void sf_debug_symbol_scope_add_eml_importable(void* debug_instance, void* address,
                                                         unsigned int index, SfToMxFn to_mx,
                                                         SfFromMxFn from_mx, unsigned int a0) {
  static const char* const op = "sf_debug_symbol_scope_add_eml_importable";
  record(op, Dbg{debug_instance}, addr(address), index, fn(to_mx), fn(from_mx), a0);
  add_symbol(debug_instance, address, index, to_mx, from_mx, op);
}

extern "C" void sf_debug_symbol_scope_pop(void* debug_instance) {
  static const char* const op = "sf_debug_symbol_scope_pop";
  record(op, Dbg{debug_instance});
  DebugInstance& inst = checked_instance(debug_instance, op);
  top_scope(inst, op);
  --inst.depth;
}

// --- Host-side view -------------------------------------------------------------

namespace host::sf_runtime {

std::size_t scope_depth(const void* debug_instance) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr ? inst->depth : 0;
}

const Symbol* find_symbol(const void* debug_instance, std::string_view name) {
  const DebugInstance* inst = find_instance(debug_instance);
  return inst != nullptr ? lookup_symbol(*inst, name) : nullptr;
}

namespace {

const Symbol& required_symbol(const void* debug_instance, std::string_view name) {
  const Symbol* sym = find_symbol(debug_instance, name);
  if (sym == nullptr)
    fail(kIdUnknownSymbol, "No open symbol scope has a symbol '" + std::string(name) + "'.");
  return *sym;
}

}  // namespace

const mxArray* show_symbol(const void* debug_instance, std::string_view name,
                           void* chart_instance) {
  const Symbol& sym = required_symbol(debug_instance, name);
  if (sym.to_mx == nullptr)
    fail(kIdUnknownSymbol, "Symbol '" + std::string(name) + "' has no show callback.");
  return sym.to_mx(chart_instance, sym.address);
}

void edit_symbol(const void* debug_instance, std::string_view name, const mxArray* value,
                 void* chart_instance) {
  const Symbol& sym = required_symbol(debug_instance, name);
  if (sym.from_mx == nullptr)
    fail(kIdNotEditable, "Symbol '" + std::string(name) + "' is view only.");
  // Copy first: the callback may push scopes and move the symbol's storage.
  const Symbol s = sym;
  s.from_mx(chart_instance, value, s.name, s.address);
}
}  // namespace host::sf_runtime
