// The tests' owner of host arrays: destroys the array when it goes (null allowed).
// It holds a const array, as the runtime hands its values out; the matrix library
// destroys any array it made.
#pragma once

#include <memory>

#include "platform/mx.h"

namespace test_support {

struct MxDestroy {
  void operator()(const mxArray* a) const {
    if (a != nullptr) mxDestroyArray(const_cast<mxArray*>(a));
  }
};
using Mx = std::unique_ptr<const mxArray, MxDestroy>;

}  // namespace test_support
