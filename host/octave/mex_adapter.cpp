// libmex for the plug-ins inside GNU Octave. Every MEX operation that the
// plug-ins import (mexCallMATLAB, mexErrMsgTxt, mexLock, mexUnlock, mexIsLocked,
// mexMakeArrayPersistent) is Octave's own, so this library defines none of
// them: it exists because the plug-ins name it, and it ties them to liboctinterp.
#include <mex.h>

// Lets a test tell this library from the stand-in host's libmex.
extern "C" const char* sf_octave_mex_adapter(void) {
  return "libmex adapter over GNU Octave";
}
