// The few host services that the engine asks of its host, answered by GNU Octave:
// Octave owns every array made during a MEX call (it frees those neither returned
// nor persistent when sfblock returns), so a call context has nothing to track;
// the lock of a plug-in called through sfblock is sfblock's own.
#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "platform/mex.h"

namespace host::mx {

void make_persistent(mxArray* array, const char*) {
  mexMakeArrayPersistent(array);
}

void release_from_scope(mxArray*) {}

}  // namespace host::mx

namespace host::mex {

CallContext::CallContext(PluginId plugin) : plugin_(plugin), scope_(0) {}

CallContext::~CallContext() = default;

void CallContext::close(mxArray* const*, std::size_t) {
  closed_ = true;
}

void call(PluginId, mexFunction_t fn, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  fn(nlhs, plhs, nrhs, prhs);
}

PluginId current_plugin() {
  return nullptr;
}

int lock_count(PluginId) {
  return mexIsLocked() ? 1 : 0;
}

}  // namespace host::mex
