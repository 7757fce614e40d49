/* Matrix library (libmx): the mxArray operations that the plug-ins and the chart
 * runtime call. Published names, C linkage. Errors raised by the host are C++
 * exceptions of the host's own type; nothing here is noexcept. */
#ifndef PLATFORM_MX_H
#define PLATFORM_MX_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Creation. Every new array belongs to the caller (and, inside a MEX call, to the
 * call: it is destroyed when the call ends unless returned or made persistent). */
mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity complexity);
mxArray* mxCreateDoubleScalar(double value);
mxArray* mxCreateString(const char* text);
mxArray* mxCreateStringFromNChars_700(const char* text, int n);
mxArray* mxCreateCharMatrixFromStrings_700(int m, const char** texts);
mxArray* mxCreateNumericMatrix_700(int m, int n, mxClassID class_id, mxComplexity complexity);
mxArray* mxCreateLogicalScalar(bool value);
mxArray* mxCreateStructMatrix_700(int m, int n, int nfields, const char** field_names);
mxArray* mxCreateCellMatrix_700(int m, int n);
mxArray* mxDuplicateArray(const mxArray* array);
void mxDestroyArray(mxArray* array);

/* Shape and class. */
size_t mxGetM(const mxArray* array);
size_t mxGetN(const mxArray* array);
size_t mxGetNumberOfElements(const mxArray* array);
mxClassID mxGetClassID(const mxArray* array);
const char* mxGetClassName(const mxArray* array);
bool mxIsChar(const mxArray* array);
bool mxIsDouble(const mxArray* array);
bool mxIsNumeric(const mxArray* array);
bool mxIsLogical(const mxArray* array);
bool mxIsUint8(const mxArray* array);
bool mxIsUint32(const mxArray* array);
bool mxIsStruct(const mxArray* array);
bool mxIsCell(const mxArray* array);
bool mxIsEmpty(const mxArray* array);
bool mxIsComplex(const mxArray* array);

/* Numeric data (column-major). */
double* mxGetPr(const mxArray* array);
void* mxGetData(const mxArray* array);
double mxGetScalar(const mxArray* array);

/* Text: copies at most buflen-1 characters and always terminates; returns 0 when the
 * whole text fitted, 1 when it was cut or the array is not a character array. */
int mxGetString_700(const mxArray* array, char* buf, int buflen);

/* Structs: fields are kept in the order they were created. */
int mxGetNumberOfFields(const mxArray* array);
const char* mxGetFieldNameByNumber(const mxArray* array, int n);
int mxGetFieldNumber(const mxArray* array, const char* name);
int mxAddField(mxArray* array, const char* name);
mxArray* mxGetField_700(const mxArray* array, int index, const char* name);
mxArray* mxGetFieldByNumber_700(const mxArray* array, int index, int field_number);
/* Stores value (now owned by the struct) in the field; a value it replaces goes back
 * to its creator, as in the host. */
void mxSetField_700(mxArray* array, int index, const char* name, mxArray* value);

/* Cells. */
mxArray* mxGetCell_700(const mxArray* array, int index);
void mxSetCell_700(mxArray* array, int index, mxArray* value);

/* IEEE specials. */
double mxGetNaN(void);
double mxGetInf(void);

#ifdef __cplusplus
}
#endif

#endif
