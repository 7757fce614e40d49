// libmx for the plug-ins inside GNU Octave: the matrix operations that the
// plug-ins and the chart runtime call under their versioned names (`_700`, with
// int sizes and indices) and Octave does not export. Each forwards to Octave's
// own function after checking the conversion to Octave's 64-bit sizes and
// indices; a negative size or an index outside the array is an Octave error
// naming the operation, instead of a write or read outside the array.
//
// Every operation that Octave exports itself (mxCreateString, mxGetPr,
// mxDestroyArray, ...) is deliberately absent here: the plug-ins bind to
// Octave's.
#include <mex.h>

#include <cstring>

namespace {

constexpr const char* kIdNegative = "mxAdapter:negativeSize";
constexpr const char* kIdIndex = "mxAdapter:indexOutOfRange";
constexpr const char* kIdClass = "mxAdapter:wrongClass";

mwSize size_of(int n, const char* op, const char* what) {
  if (n < 0)
    mexErrMsgIdAndTxt(kIdNegative, "%s: the %s must not be negative, got %d.", op, what, n);
  return static_cast<mwSize>(n);
}

void require(const mxArray* array, bool (*test)(const mxArray*), const char* op, const char* what) {
  if (array == nullptr) mexErrMsgIdAndTxt(kIdClass, "%s: no array given.", op);
  if (!test(array)) {
    mexErrMsgIdAndTxt(kIdClass, "%s: expected %s, got %s.", op, what, mxGetClassName(array));
  }
}

bool is_struct(const mxArray* a) {
  return mxIsStruct(a);
}
bool is_cell(const mxArray* a) {
  return mxIsCell(a);
}

mwIndex index_of(const mxArray* array, int index, const char* op) {
  const mwSize count = mxGetNumberOfElements(array);
  if (index < 0 || static_cast<mwSize>(index) >= count) {
    mexErrMsgIdAndTxt(kIdIndex, "%s: index %d is outside an array of %lld elements.", op, index,
                      static_cast<long long>(count));
  }
  return static_cast<mwIndex>(index);
}

}  // namespace

extern "C" {

mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity) {
  static const char* const op = "mxCreateDoubleMatrix_700";
  return mxCreateDoubleMatrix(size_of(m, op, "row count"), size_of(n, op, "column count"),
                              complexity);
}

mxArray* mxCreateNumericMatrix_700(int m, int n, mxClassID class_id, mxComplexity complexity) {
  static const char* const op = "mxCreateNumericMatrix_700";
  return mxCreateNumericMatrix(size_of(m, op, "row count"), size_of(n, op, "column count"),
                               class_id, complexity);
}

mxArray* mxCreateStringFromNChars_700(const char* text, int n) {
  const mwSize dims[2] = {1, size_of(n, "mxCreateStringFromNChars_700", "character count")};
  mxArray* a = mxCreateCharArray(2, dims);
  if (dims[1] > 0) std::memcpy(mxGetChars(a), text, static_cast<std::size_t>(dims[1]));
  return a;
}

mxArray* mxCreateCharMatrixFromStrings_700(int m, const char** texts) {
  return mxCreateCharMatrixFromStrings(size_of(m, "mxCreateCharMatrixFromStrings_700", "row count"),
                                       texts);
}

mxArray* mxCreateStructMatrix_700(int m, int n, int nfields, const char** field_names) {
  static const char* const op = "mxCreateStructMatrix_700";
  const mwSize rows = size_of(m, op, "row count");
  const mwSize cols = size_of(n, op, "column count");
  size_of(nfields, op, "field count");
  return mxCreateStructMatrix(rows, cols, nfields, field_names);
}

mxArray* mxCreateCellMatrix_700(int m, int n) {
  static const char* const op = "mxCreateCellMatrix_700";
  return mxCreateCellMatrix(size_of(m, op, "row count"), size_of(n, op, "column count"));
}

// The text cut to the buffer and always terminated, as the plug-ins read their
// commands into fixed buffers. (Octave's mxGetString writes nothing at all when
// the text does not fit, which would leave such a buffer unterminated.) Returns
// 0 when the whole text fitted, 1 when it was cut, the array is not text, or
// there is no room.
int mxGetString_700(const mxArray* array, char* buf, int buflen) {
  if (buflen <= 0 || buf == nullptr) return 1;
  buf[0] = '\0';
  if (array == nullptr || !mxIsChar(array)) return 1;
  const std::size_t count = static_cast<std::size_t>(mxGetNumberOfElements(array));
  const std::size_t room = static_cast<std::size_t>(buflen) - 1;
  const std::size_t copied = count < room ? count : room;
  if (copied > 0) std::memcpy(buf, mxGetChars(array), copied);
  buf[copied] = '\0';
  return copied == count ? 0 : 1;
}

mxArray* mxGetField_700(const mxArray* array, int index, const char* name) {
  static const char* const op = "mxGetField_700";
  require(array, is_struct, op, "a struct");
  return mxGetField(array, index_of(array, index, op), name);
}

mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field_number) {
  static const char* const op = "mxGetFieldByNumber_700";
  require(array, is_struct, op, "a struct");
  return mxGetFieldByNumber(array, index_of(array, index, op), field_number);
}

void mxSetField_700(mxArray* array, int index, const char* name, mxArray* value) {
  static const char* const op = "mxSetField_700";
  require(array, is_struct, op, "a struct");
  const mwIndex i = index_of(array, index, op);
  if (name == nullptr || mxGetFieldNumber(array, name) < 0) {
    mexErrMsgIdAndTxt(kIdIndex, "%s: the struct has no field '%s'.", op, name ? name : "");
  }
  mxSetField(array, i, name, value);
}

mxArray* mxGetCell_700(const mxArray* array, int index) {
  static const char* const op = "mxGetCell_700";
  require(array, is_cell, op, "a cell");
  return mxGetCell(array, index_of(array, index, op));
}

void mxSetCell_700(mxArray* array, int index, mxArray* value) {
  static const char* const op = "mxSetCell_700";
  require(array, is_cell, op, "a cell");
  mxSetCell(array, index_of(array, index, op), value);
}

}  // extern "C"
