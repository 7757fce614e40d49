// A MEX call that makes no arrays costs the host no heap allocation: the engine
// runs every output step inside such a call.
#include <gtest/gtest.h>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "platform/mathutil.h"
#include "platform/mex.h"
#include "tests/support/heap_counter.hpp"

namespace {

const int kPlugin = 0;

void step(int, mxArray*[], int, const mxArray* prhs[]) {
  if (mxGetScalar(prhs[0]) != 104.0) mexErrMsgTxt("wrong flag");
  double* pr = mxGetPr(prhs[0]);
  if (muDoubleScalarIsNaN(pr[0])) mexErrMsgTxt("nan");
  if (!mexIsLocked()) mexLock();
}

TEST(HostHotPath, CallsThatMakeNoArraysAllocateNothing) {
  if (!test_support::counting_heap()) GTEST_SKIP() << "allocations are not counted in this build";
  mxArray* flag = mxCreateDoubleScalar(0);
  host::mx::make_persistent(flag);
  host::mx::release_from_scope(flag);
  const mxArray* prhs[1] = {flag};
  int simstruct = 0;
  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&simstruct)};
  mxGetPr(flag)[0] = 104;
  host::mex::call(&kPlugin, step, -1, plhs, 1, prhs);  // warm-up: scopes, lock entry
  const long before = test_support::heap_allocations();
  for (int i = 0; i < 1000; ++i) {
    mxGetPr(flag)[0] = 104;
    host::mex::call(&kPlugin, step, -1, plhs, 1, prhs);
  }
  EXPECT_EQ(test_support::heap_allocations() - before, 0);
  EXPECT_EQ(host::mex::lock_count(&kPlugin), 1);
  // a call that does make an array still cleans it up
  host::mex::call(
      &kPlugin, [](int, mxArray*[], int, const mxArray*[]) { mxCreateDoubleScalar(1); }, -1, plhs,
      1, prhs);
  EXPECT_EQ(host::mx::live_count(), 1u);
  mxDestroyArray(flag);
  EXPECT_EQ(host::mx::live_count(), 0u);
}

}  // namespace
