// The stand-in MEX layer: call contexts, host errors, locks, MATLAB-level calls.
#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "host/mex/mex_internal.hpp"
#include "host/trace.hpp"

namespace host::mex {
namespace detail {

State& state() {
  static State* s = new State;  // outlives every static destructor
  return *s;
}

}  // namespace detail

using detail::state;

namespace {

std::string vformat(const char* format, std::va_list args) {
  if (format == nullptr) return {};
  std::va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

[[noreturn]] void out_of_memory(const char* op) {
  throw HostError("", std::string(op) + ": out of memory");
}

PluginId calling_plugin(const char* op) {
  const auto& frames = state().frames;
  if (frames.empty()) throw HostError("", std::string(op) + ": called outside of a MEX call");
  return frames.back().plugin;
}

}  // namespace

CallContext::CallContext(PluginId plugin) : plugin_(plugin), scope_(host::mx::open_scope()) {
  try {
    state().frames.push_back({plugin_, scope_});
  } catch (const std::bad_alloc&) {
    host::mx::close_scope(scope_, nullptr, 0);
    out_of_memory("mexFunction");
  }
}

CallContext::~CallContext() {
  if (closed_) return;
  try {
    close(nullptr, 0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "host: closing a MEX call failed: %s\n", e.what());
  }
}

void CallContext::close(mxArray* const* keep, std::size_t keep_count) {
  if (closed_) return;
  closed_ = true;
  auto& frames = state().frames;
  if (!frames.empty() && frames.back().scope == scope_) frames.pop_back();
  host::mx::close_scope(scope_, keep, keep_count);
}

void call(PluginId plugin, mexFunction_t fn, int nlhs, mxArray* plhs[], int nrhs,
          const mxArray* prhs[]) {
  const std::size_t outputs = static_cast<std::size_t>(nlhs > 1 ? nlhs : 1);
  CallContext context(plugin);
  try {
    try {
      const host::mx::CallInputs inputs(prhs, nrhs);
      fn(nlhs, plhs, nrhs, prhs);
    } catch (const std::bad_alloc&) {
      out_of_memory("mexFunction");
    }
  } catch (...) {
    context.close(nullptr, 0);
    // The outputs made by the failed call are gone; leave no dangling slots. With a
    // negative count the slots carry the caller's own data and are left alone.
    if (nlhs >= 0 && plhs != nullptr) {
      for (std::size_t i = 0; i < outputs; ++i)
        plhs[i] = nullptr;
    }
    throw;
  }
  context.close(plhs, plhs != nullptr ? outputs : 0);
}

PluginId current_plugin() {
  const auto& frames = state().frames;
  return frames.empty() ? nullptr : frames.back().plugin;
}

int lock_count(PluginId plugin) {
  const auto& locks = state().locks;
  auto it = locks.find(plugin);
  return it == locks.end() ? 0 : it->second;
}

void register_function(const std::string& name, Function fn) {
  state().functions[name] = std::move(fn);
}

void unregister_function(const std::string& name) {
  state().functions.erase(name);
}

bool has_function(const std::string& name) {
  return state().functions.contains(name);
}

void set_error_returns(bool returns) {
  state().error_returns = returns;
}

bool error_returns() {
  return state().error_returns;
}

const std::vector<Dialog>& dialogs() {
  return state().dialogs;
}

void clear_dialogs() {
  state().dialogs.clear();
}

}  // namespace host::mex

using host::HostError;
using host::mex::detail::state;

extern "C" {

void mexErrMsgTxt(const char* message) {
  host::trace::record("mexErrMsgTxt", message);
  throw HostError("", message != nullptr ? message : "");
}

void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = host::mex::vformat(format, args);
  va_end(args);
  host::trace::record("mexErrMsgIdAndTxt", identifier, text.c_str());
  throw HostError(identifier != nullptr ? identifier : "", text);
}

static int call_matlab(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name) {
  static const char* const op = "mexCallMATLAB";
  if (nlhs < 0 || nrhs < 0) throw HostError("", "mexCallMATLAB: negative argument count");
  if (name == nullptr) throw HostError("", "mexCallMATLAB: no function name");
  if (nlhs > 0 && plhs == nullptr) throw HostError("", "mexCallMATLAB: no output slots");
  if (nrhs > 0 && prhs == nullptr) throw HostError("", "mexCallMATLAB: no inputs");
  for (int i = 0; i < nrhs; ++i)
    host::mx::check_array(prhs[i], op);
  if (host::trace::enabled()) {
    host::trace::Call call{
        op, {host::trace::arg(nlhs), host::trace::arg(nrhs), host::trace::arg(name)}};
    for (int i = 0; i < nrhs; ++i)
      call.args.push_back(host::mx::describe(prhs[i]));
    host::trace::emit(std::move(call));
  }
  auto& functions = state().functions;
  auto it = functions.find(name);
  if (it == functions.end()) {
    throw HostError("MATLAB:UndefinedFunction", std::string("Undefined function '") + name + "'.");
  }
  // Copy: the function may (un)register functions while it runs.
  const host::mex::Function fn = it->second;
  // The function's own temporaries end with it; its outputs go to the caller.
  std::vector<mxArray*> out(static_cast<std::size_t>(nlhs > 1 ? nlhs : 1), nullptr);
  const host::mx::ScopeId scope = host::mx::open_scope();
  try {
    const host::mx::CallInputs inputs(prhs, nrhs);
    fn(nlhs, out.data(), nrhs, prhs);
    for (int i = 0; i < nlhs; ++i) {
      if (out[static_cast<std::size_t>(i)] == nullptr) {
        throw HostError("MATLAB:unassignedOutputs",
                        std::string("One or more output arguments not assigned during call to '") +
                            name + "'.");
      }
    }
  } catch (...) {
    host::mx::close_scope(scope, nullptr, 0);
    throw;
  }
  host::mx::close_scope(scope, out.data(), static_cast<std::size_t>(nlhs));
  for (int i = 0; i < nlhs; ++i)
    plhs[i] = out[static_cast<std::size_t>(i)];
  return 0;
}

int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* name) {
  try {
    return call_matlab(nlhs, plhs, nrhs, prhs, name);
  } catch (const std::bad_alloc&) {
    host::mex::out_of_memory("mexCallMATLAB");
  }
}

void mexLock(void) {
  host::trace::record("mexLock");
  const host::mex::PluginId plugin = host::mex::calling_plugin("mexLock");
  try {
    ++state().locks[plugin];
  } catch (const std::bad_alloc&) {
    host::mex::out_of_memory("mexLock");
  }
}

void mexUnlock(void) {
  host::trace::record("mexUnlock");
  const host::mex::PluginId plugin = host::mex::calling_plugin("mexUnlock");
  auto& locks = state().locks;
  auto it = locks.find(plugin);
  if (it == locks.end() || it->second == 0) {
    throw HostError("", "mexUnlock: the plug-in is not locked");
  }
  if (--it->second == 0) locks.erase(it);
}

bool mexIsLocked(void) {
  host::trace::record("mexIsLocked");
  return host::mex::lock_count(host::mex::calling_plugin("mexIsLocked")) > 0;
}

void mexMakeArrayPersistent(mxArray* array) {
  host::mx::check_array(array, "mexMakeArrayPersistent");
  if (host::trace::enabled())
    host::trace::record("mexMakeArrayPersistent", host::mx::describe(array));
  host::mx::make_persistent(array, "mexMakeArrayPersistent");
}

int mexPrintf(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = host::mex::vformat(format, args);
  va_end(args);
  host::trace::record("mexPrintf", text.c_str());
  std::fwrite(text.data(), 1, text.size(), stdout);
  return static_cast<int>(text.size());
}

}  // extern "C"
