// adapter_probe.mex: calls the `_700` adapters inside Octave with the arguments a
// test names, so that their checked size and index conversions can be seen:
//   adapter_probe('create', m, n)   mxCreateDoubleMatrix_700(m, n) -> the array
//   adapter_probe(op, [a b c], 0)   the other creators with the sizes a, b, c:
//     'numeric' mxCreateNumericMatrix_700(a, b, int8), 'chars' mxCreateStringFromNChars_700
//     ("xyz", a), 'strings' mxCreateCharMatrixFromStrings_700(a, {"ab", "cd"}),
//     'newstruct' mxCreateStructMatrix_700(a, b, c, {"f", "g"}), 'newcell'
//     mxCreateCellMatrix_700(a, b)
//   adapter_probe('field', s, i)    mxGetField_700(s, i, 'a') -> the field
//   adapter_probe('cell', c, i)     mxGetCell_700(c, i) -> the element
//   adapter_probe('text', t, n)     mxGetString_700(t, buf, n) -> {result, text}
//   adapter_probe('utlive', [], 0)  blocks of the host heap (utMalloc) not yet freed
#include <string>
#include <vector>

#include "platform/mex.h"

extern "C" std::size_t sf_octave_ut_live_blocks(void);

extern "C" void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 3 || !mxIsChar(prhs[0])) mexErrMsgTxt("usage: adapter_probe(op, array, number)");
  char op[16];
  mxGetString_700(prhs[0], op, sizeof op);
  const int k = static_cast<int>(mxGetScalar(prhs[2]));
  const std::string what = op;
  if (what == "create") {
    plhs[0] = mxCreateDoubleMatrix_700(static_cast<int>(mxGetScalar(prhs[1])), k, mxREAL);
  } else if (what == "numeric" || what == "chars" || what == "strings" || what == "newstruct" ||
             what == "newcell") {
    if (!mxIsDouble(prhs[1]) || mxGetNumberOfElements(prhs[1]) != 3)
      mexErrMsgTxt("adapter_probe: the sizes are three doubles");
    const double* d = mxGetPr(prhs[1]);
    const int a = static_cast<int>(d[0]), b = static_cast<int>(d[1]), c = static_cast<int>(d[2]);
    const char* texts[] = {"ab", "cd"};
    const char* fields[] = {"f", "g"};
    if (what == "numeric") plhs[0] = mxCreateNumericMatrix_700(a, b, mxINT8_CLASS, mxREAL);
    if (what == "chars") plhs[0] = mxCreateStringFromNChars_700("xyz", a);
    if (what == "strings") plhs[0] = mxCreateCharMatrixFromStrings_700(a, texts);
    if (what == "newstruct") plhs[0] = mxCreateStructMatrix_700(a, b, c, fields);
    if (what == "newcell") plhs[0] = mxCreateCellMatrix_700(a, b);
  } else if (what == "field") {
    plhs[0] = mxDuplicateArray(mxGetField_700(prhs[1], k, "a"));
  } else if (what == "cell") {
    plhs[0] = mxDuplicateArray(mxGetCell_700(prhs[1], k));
  } else if (what == "text") {
    std::vector<char> buf(k > 0 ? static_cast<std::size_t>(k) : 1, '\x7f');
    const int result = mxGetString_700(prhs[1], buf.data(), k);
    const char* fields[] = {"result", "text"};
    plhs[0] = mxCreateStructMatrix_700(1, 1, 2, fields);
    mxSetField_700(plhs[0], 0, "result", mxCreateDoubleScalar(result));
    mxSetField_700(plhs[0], 0, "text", mxCreateString(k > 0 ? buf.data() : ""));
  } else if (what == "utlive") {
    plhs[0] = mxCreateDoubleScalar(static_cast<double>(sf_octave_ut_live_blocks()));
  } else {
    mexErrMsgTxt("adapter_probe: unknown operation");
  }
}
