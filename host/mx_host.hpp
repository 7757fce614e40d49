// Host-side view of the stand-in matrix library: accounting of live arrays, the
// call scopes that the MEX layer opens, and misuse detection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/mx.h"

namespace host::mx {

// Raised (in Throw mode) or printed before abort() (in Abort mode, the default)
// when an array is destroyed twice, used after destruction, or is not an array.
struct MisuseError : std::logic_error {
  using std::logic_error::logic_error;
};
enum class MisuseMode { Abort, Throw };
void set_misuse_mode(MisuseMode mode);
// Misuses detected so far in the process. A caller that swallows exceptions (a
// destructor) hides a thrown MisuseError; this count still shows it.
std::size_t misuse_count();

// Arrays alive now: every array counts, children of structs and cells included.
std::size_t live_count();
std::size_t persistent_count();  // top-level arrays made persistent and still alive
// Arrays that persistent arrays hold: the persistent ones and everything inside them.
// live_count() - persistent_tree_count() is what nobody keeps on purpose.
std::size_t persistent_tree_count();
bool is_live(const mxArray* array);
bool is_persistent(const mxArray* array);

// Call scopes. Arrays created while a scope is open belong to it (unless stored in
// a struct or cell, which then owns them). close_scope destroys every array of the
// scope that is neither in `keep` nor persistent; kept arrays move to the enclosing
// scope (or to nobody, outside every scope).
using ScopeId = std::uint64_t;
ScopeId open_scope();
void close_scope(ScopeId scope, mxArray* const* keep, std::size_t keep_count);
// `op` names the operation in a misuse message (mexMakeArrayPersistent uses it).
void make_persistent(mxArray* array, const char* op = "make_persistent");
// Take an array out of every scope: the caller destroys it (engine-owned arrays).
void release_from_scope(mxArray* array);

// Validates an array argument of the operation `op` exactly as the matrix library
// does its own (a live array, not null); misuse is reported as above.
void check_array(const mxArray* array, const char* op);

// The open scope that owns a top-level array, 0 when none does (persistent arrays,
// arrays made outside every scope, children of a struct or cell).
ScopeId scope_of(const mxArray* array);

// A readable description for traces and messages, e.g. "double[1x4]".
std::string describe(const mxArray* array);

// The inputs of the MATLAB-level call being run, while an object of this class
// lives (calls nest: the innermost one counts), so that an operation refusing an
// array can say which input of the call it is. The MEX layer sets them for every
// call it makes.
class CallInputs {
 public:
  CallInputs(const mxArray* const* inputs, int count);
  ~CallInputs();
  CallInputs(const CallInputs&) = delete;
  CallInputs& operator=(const CallInputs&) = delete;

 private:
  const mxArray* const* inputs_;
  int count_;
  const CallInputs* outer_;
  friend std::string name_in_call(const mxArray* array);
};

// "input 3 (cell[1x1])" when the array is input 3 of the innermost call, else its
// description alone.
std::string name_in_call(const mxArray* array);

}  // namespace host::mx
