// The library files named by the resolved-functions reports of both models: file
// text, fileTimeLo per model and the one mFileTimeLo. Row tables refer to a file by
// its key Lk, which is its 1-based position here. Stamp column 0 is Harnvale's,
// column 1 Quimbrel's.
#pragma once

#include "registry/report_data.hpp"

namespace models {

inline constexpr int kHarnvaleStamps = 0;
inline constexpr int kQuimbrelStamps = 1;

inline constexpr registry::LibraryFile library_files[] = {
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/polyfun/interp1.m",
     {1381850306u, 1381857506u},
     {0u, 0u}},  // L1
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assert.m",
     {1363714556u, 1363718156u},
     {0u, 0u}},  // L2
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/length.m",
     {1303146206u, 1303153406u},
     {0u, 0u}},  // L3
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/max.m",
     {1311255316u, 1311262516u},
     {0u, 0u}},  // L4
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_min_or_max.m",
     {1378295984u, 1378303184u},
     {0u, 0u}},  // L5
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalar_eg.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L6
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalarEg.p",
     {1389307920u, 1389311520u},
     {0u, 0u}},  // L7
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_alloc.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L8
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalexpAlloc.p",
     {1389307920u, 1389311520u},
     {0u, 0u}},  // L9
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_class.m",
     {1323170578u, 1323174178u},
     {0u, 0u}},  // L10
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/isBuiltInNumeric.m",
     {1363714556u, 1363718156u},
     {0u, 0u}},  // L11
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/strncmpi.m",
     {1328857922u, 1328861522u},
     {0u, 0u}},  // L12
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_assert_supported_string.m",
     {1327419110u, 1327422710u},
     {0u, 0u}},  // L13
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_charmax.m",
     {1327419110u, 1327422710u},
     {0u, 0u}},  // L14
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmax.m",
     {1362261882u, 1362265482u},
     {0u, 0u}},  // L15
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_switch_helper.m",
     {1381850300u, 1381857500u},
     {0u, 0u}},  // L16
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/min.m",
     {1311255318u, 1311262518u},
     {0u, 0u}},  // L17
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/lower.m",
     {1327419110u, 1327422710u},
     {0u, 0u}},  // L18
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_string_transform.m",
     {1327419110u, 1327422710u},
     {0u, 0u}},  // L19
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/colon.m",
     {1378295988u, 1378303188u},
     {0u, 0u}},  // L20
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/floor.m",
     {1363713854u, 1363717454u},
     {0u, 0u}},  // L21
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/eml_scalar_floor.m",
     {1286818726u, 1286825926u},
     {0u, 0u}},  // L22
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmin.m",
     {1362261882u, 1362265482u},
     {0u, 0u}},  // L23
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_isa_uint.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L24
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/isaUint.p",
     {1389307920u, 1389311520u},
     {0u, 0u}},  // L25
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_unsigned_class.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L26
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/unsignedClass.p",
     {1389307922u, 1389311522u},
     {0u, 0u}},  // L27
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_plus.m",
     {1372582416u, 1372589616u},
     {0u, 0u}},  // L28
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/indexPlus.m",
     {1372583160u, 1372590360u},
     {0u, 0u}},  // L29
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_int_forloop_overflow_check.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L30
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/char.m",
     {1319729968u, 1319737168u},
     {0u, 0u}},  // L31
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/prodsize.m",
     {1360282588u, 1360286188u},
     {0u, 0u}},  // L32
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/isnan.m",
     {1363713858u, 1363717458u},
     {0u, 0u}},  // L33
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_error.m",
     {1343830358u, 1343837558u},
     {0u, 0u}},  // L34
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/flip.m",
     {1372582414u, 1372589614u},
     {0u, 0u}},  // L35
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_assert_valid_dim.m",
     {1372582416u, 1372589616u},
     {0u, 0u}},  // L36
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assertValidDim.m",
     {1372583160u, 1372590360u},
     {0u, 0u}},  // L37
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/nan.m",
     {1362262032u, 1362265632u},
     {0u, 0u}},  // L38
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/mrdivide.p",
     {1388460096u, 1388463696u},
     {1370009886u, 1370017086u}},  // L39
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/rdivide.m",
     {1363713880u, 1363717480u},
     {0u, 0u}},  // L40
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_compatible.m",
     {1286818796u, 1286825996u},
     {0u, 0u}},  // L41
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_div.m",
     {1375980688u, 1375987888u},
     {0u, 0u}},  // L42
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/div.p",
     {1389307920u, 1389311520u},
     {0u, 0u}},  // L43
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/bsearch.p",
     {1389307920u, 1389311520u},
     {0u, 0u}},  // L44
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/narginchk.m",
     {1363714558u, 1363718158u},
     {0u, 0u}},  // L45
};

}  // namespace models
