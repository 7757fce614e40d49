// What the matrix library's tests share (mx_test.cpp, mx_misuse_test.cpp): the
// fixture, and a struct whose fields hold a scalar, a text and a cell.
#pragma once

#include "platform/mx.h"
#include "tests/support/host_guard.hpp"

namespace mx_test {

using MxTest = test_support::HostTest;

inline mxArray* struct_with_children() {
  const char* fields[] = {"a", "b"};
  mxArray* s = mxCreateStructMatrix_700(1, 2, 2, fields);
  mxSetField_700(s, 0, "a", mxCreateDoubleScalar(1));
  mxSetField_700(s, 1, "b", mxCreateString("x"));
  mxArray* c = mxCreateCellMatrix_700(1, 1);
  mxSetCell_700(c, 0, mxCreateDoubleScalar(2));
  mxSetField_700(s, 1, "a", c);
  return s;
}

}  // namespace mx_test
