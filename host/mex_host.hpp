// Host-side view of the stand-in MEX layer: the host error, MEX call contexts,
// plug-in locks and the MATLAB-level functions callable by name.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/mex.h"

namespace host {

// A host error (mexErrMsgTxt, mexErrMsgIdAndTxt, the function "error", failed
// runtime checks). It unwinds through the plug-in to whoever made the call.
struct HostError : std::runtime_error {
  HostError(std::string identifier, const std::string& message)
      : std::runtime_error(message), identifier(std::move(identifier)) {}
  std::string identifier;  // empty when raised without one
};

}  // namespace host

namespace host::mex {

using PluginId = const void*;

// One MEX call of a plug-in, as a scope: while it is open, mexLock and friends act
// on `plugin` and every array created belongs to the call. close() destroys every
// array made during the call except those in `keep` and the persistent ones; the
// destructor of an unclosed context destroys them all. Contexts nest (a plug-in
// calling MATLAB functions that call back).
class CallContext {
 public:
  explicit CallContext(PluginId plugin);
  ~CallContext();
  CallContext(const CallContext&) = delete;
  CallContext& operator=(const CallContext&) = delete;
  void close(mxArray* const* keep, std::size_t keep_count);

 private:
  PluginId plugin_;
  unsigned long long scope_;
  bool closed_ = false;
};

// A MATLAB-level call: fn runs inside a CallContext; the outputs plhs[0..max(nlhs,1)-1]
// survive, everything else made during the call is destroyed, and a host error is
// rethrown after that cleanup.
void call(PluginId plugin, mexFunction_t fn, int nlhs, mxArray* plhs[], int nrhs,
          const mxArray* prhs[]);

PluginId current_plugin();  // null outside every call
int lock_count(PluginId plugin);

// MATLAB-level functions reachable with mexCallMATLAB.
using Function = std::function<void(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[])>;
void register_function(const std::string& name, Function fn);
void unregister_function(const std::string& name);
bool has_function(const std::string& name);

// Test switch: when set, the function "error" returns instead of raising.
void set_error_returns(bool returns);
bool error_returns();

// Dialogs shown with "errordlg" (message, title, mode), oldest first.
struct Dialog {
  std::string message, title, mode;
};
const std::vector<Dialog>& dialogs();
void clear_dialogs();

// Text of the message catalogue for an identifier ("message" uses it).
std::string catalogue_text(const std::string& identifier);

}  // namespace host::mex
