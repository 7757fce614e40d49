#include "tools/sfblock/arguments.hpp"

#include <mex.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/text/numbers.hpp"

namespace sfblock {
namespace {

const mxArray* as_array(const void* a) {
  return static_cast<const mxArray*>(a);
}

std::string size_text(const mxArray* a) {
  const mwSize n = mxGetNumberOfDimensions(a);
  const mwSize* dims = mxGetDimensions(a);
  std::string text;
  for (mwSize i = 0; i < n; ++i) {
    if (i > 0) text += 'x';
    text += std::to_string(static_cast<long long>(dims[i]));
  }
  return text;
}

bool is_matrix(const mxArray* a) {
  return mxGetNumberOfDimensions(a) == 2;
}

// Full, real, and of a numeric class (logical and char are not numbers here).
bool is_plain_number(const mxArray* a) {
  return mxIsNumeric(a) && !mxIsComplex(a) && !mxIsSparse(a);
}

bool is_real_double(const mxArray* a) {
  return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a);
}

}  // namespace

std::string describe(const void* array) {
  const mxArray* a = as_array(array);
  if (a == nullptr) return "nothing";
  std::string kind;
  if (mxIsSparse(a)) kind += "sparse ";
  if (mxIsComplex(a)) kind += "complex ";
  kind += mxGetClassName(a);
  return "a " + size_text(a) + " " + kind + " array";
}

std::size_t element_count(const void* array) {
  return static_cast<std::size_t>(mxGetNumberOfElements(as_array(array)));
}

void raise_error(const std::string& identifier, const std::string& message) {
  mexErrMsgIdAndTxt(identifier.c_str(), "%s", message.c_str());
  std::abort();  // not reached: mexErrMsgIdAndTxt does not return
}

void Argument::refuse(const std::string& expected) const {
  raise_error(identifier_, name_ + " must be " + expected + "; got " + describe(array_));
}

void Argument::refuse_text(const std::string& message) const {
  raise_error(identifier_, message);
}

std::string Argument::text() const {
  const mxArray* a = as_array(array_);
  if (a == nullptr || !mxIsChar(a) || !is_matrix(a) ||
      (mxGetM(a) != 1 && mxGetNumberOfElements(a) != 0)) {
    refuse("a text (a character row)");
  }
  const std::size_t n = element_count(a);
  std::vector<char> buf(n + 1);
  mxGetString(a, buf.data(), static_cast<mwSize>(buf.size()));
  std::string text(buf.data(), n);
  if (text.find('\0') != std::string::npos) {
    refuse_text(name_ + " must be a text without NUL characters; got " + sfsim::quoted(text));
  }
  return text;
}

long long Argument::whole(long long lo, long long hi) const {
  const mxArray* a = as_array(array_);
  const std::string expected =
      "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
  if (a == nullptr || !is_plain_number(a) || mxGetNumberOfElements(a) != 1) refuse(expected);
  const double v = mxGetScalar(a);
  if (!(v >= static_cast<double>(lo) && v <= static_cast<double>(hi)) || std::floor(v) != v) {
    refuse_text(name_ + " must be " + expected + "; got " + sfsim::format_number(v));
  }
  return static_cast<long long>(v);
}

const double* Argument::doubles(std::size_t count) const {
  const mxArray* a = as_array(array_);
  if (a == nullptr || !is_real_double(a) || element_count(a) != count) {
    refuse("a full real double array of " + std::to_string(count) + " elements");
  }
  return mxGetPr(a);
}

const double* Argument::doubles() const {
  const mxArray* a = as_array(array_);
  if (a == nullptr || !is_real_double(a)) refuse("a full real double array");
  return element_count(a) > 0 ? mxGetPr(a) : nullptr;
}

double Argument::scalar() const {
  const mxArray* a = as_array(array_);
  if (a == nullptr || !is_real_double(a) || element_count(a) != 1) refuse("a real double scalar");
  return *mxGetPr(a);
}

const void* Argument::scalar_struct() const {
  const mxArray* a = as_array(array_);
  if (a == nullptr || !mxIsStruct(a) || mxGetNumberOfElements(a) != 1) {
    refuse("a saved state (a 1x1 struct)");
  }
  return a;
}

void* doubles_shaped_like(const void* array) {
  const mxArray* a = as_array(array);
  return mxCreateNumericArray(mxGetNumberOfDimensions(a), mxGetDimensions(a), mxDOUBLE_CLASS,
                              mxREAL);
}

void* doubles_along(const void* like, std::size_t count) {
  const mxArray* a = as_array(like);
  const bool column = mxGetNumberOfDimensions(a) == 2 && mxGetN(a) == 1 && mxGetM(a) > 1;
  const auto n = static_cast<mwSize>(count);
  return column ? mxCreateDoubleMatrix(n, 1, mxREAL) : mxCreateDoubleMatrix(1, n, mxREAL);
}

}  // namespace sfblock
