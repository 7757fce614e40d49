// The resolved-functions reports as the build tools expect them, written out here
// independently of the model code: contexts in "Lk!sub" notation, file keys as text.
#pragma once

#include <cstdint>

namespace expected {

struct File {
  const char* key;
  const char* text;
  uint32_t harnvale_time, quimbrel_time;
};

inline constexpr File files[] = {
    {"L1", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/polyfun/interp1.m", 1381850306u, 1381857506u},
    {"L2", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assert.m", 1363714556u,
     1363718156u},
    {"L3", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/length.m", 1303146206u, 1303153406u},
    {"L4", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/max.m", 1311255316u, 1311262516u},
    {"L5", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_min_or_max.m", 1378295984u,
     1378303184u},
    {"L6", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalar_eg.m", 1375980688u,
     1375987888u},
    {"L7", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalarEg.p", 1389307920u,
     1389311520u},
    {"L8", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_alloc.m", 1375980688u,
     1375987888u},
    {"L9", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalexpAlloc.p", 1389307920u,
     1389311520u},
    {"L10", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_class.m", 1323170578u,
     1323174178u},
    {"L11", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/isBuiltInNumeric.m",
     1363714556u, 1363718156u},
    {"L12", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/strncmpi.m", 1328857922u,
     1328861522u},
    {"L13", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_assert_supported_string.m",
     1327419110u, 1327422710u},
    {"L14", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_charmax.m", 1327419110u,
     1327422710u},
    {"L15", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmax.m", 1362261882u, 1362265482u},
    {"L16", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_switch_helper.m", 1381850300u,
     1381857500u},
    {"L17", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/min.m", 1311255318u, 1311262518u},
    {"L18", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/lower.m", 1327419110u, 1327422710u},
    {"L19", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_string_transform.m", 1327419110u,
     1327422710u},
    {"L20", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/colon.m", 1378295988u, 1378303188u},
    {"L21", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/floor.m", 1363713854u, 1363717454u},
    {"L22", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/eml_scalar_floor.m", 1286818726u,
     1286825926u},
    {"L23", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmin.m", 1362261882u, 1362265482u},
    {"L24", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_isa_uint.m", 1375980688u,
     1375987888u},
    {"L25", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/isaUint.p", 1389307920u,
     1389311520u},
    {"L26", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_unsigned_class.m", 1375980688u,
     1375987888u},
    {"L27", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/unsignedClass.p", 1389307922u,
     1389311522u},
    {"L28", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_plus.m", 1372582416u,
     1372589616u},
    {"L29", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/indexPlus.m",
     1372583160u, 1372590360u},
    {"L30", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_int_forloop_overflow_check.m",
     1375980688u, 1375987888u},
    {"L31", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/char.m", 1319729968u, 1319737168u},
    {"L32", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/prodsize.m", 1360282588u,
     1360286188u},
    {"L33", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/isnan.m", 1363713858u, 1363717458u},
    {"L34", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_error.m", 1343830358u, 1343837558u},
    {"L35", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/flip.m", 1372582414u, 1372589614u},
    {"L36", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_assert_valid_dim.m", 1372582416u,
     1372589616u},
    {"L37", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assertValidDim.m",
     1372583160u, 1372590360u},
    {"L38", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/nan.m", 1362262032u,
     1362265632u},
    {"L39", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/mrdivide.p", 1388460096u, 1388463696u},
    {"L40", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/rdivide.m", 1363713880u, 1363717480u},
    {"L41", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_compatible.m", 1286818796u,
     1286825996u},
    {"L42", "[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_div.m", 1375980688u, 1375987888u},
    {"L43", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/div.p", 1389307920u,
     1389311520u},
    {"L44", "[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/bsearch.p", 1389307920u,
     1389311520u},
    {"L45", "[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/narginchk.m",
     1363714558u, 1363718158u},
};

// The one file with an mFileTimeLo, and its value in each model.
inline constexpr const char* m_time_file = "L39";
inline constexpr uint32_t harnvale_m_time = 1370009886u;
inline constexpr uint32_t quimbrel_m_time = 1370017086u;

struct Row {
  const char* context;  // "", "Lk" or "Lk!sub"
  const char* name;
  const char* dominant_type;
  const char* resolved;  // "Lk"
};

inline constexpr Row harnvale_rows[] = {
    {"", "interp1", "double", "L1"},                                                     // 0
    {"L1", "coder.internal.assert", "char", "L2"},                                       // 1
    {"L1!convert_extrapval", "length", "char", "L3"},                                    // 2
    {"L1!convert_extrapval", "max", "double", "L4"},                                     // 3
    {"L4", "eml_min_or_max", "char", "L5"},                                              // 4
    {"L5!eml_bin_extremum", "eml_scalar_eg", "double", "L6"},                            // 5
    {"L6", "coder.internal.scalarEg", "double", "L7"},                                   // 6
    {"L5!eml_bin_extremum", "eml_scalexp_alloc", "double", "L8"},                        // 7
    {"L8", "coder.internal.scalexpAlloc", "double", "L9"},                               // 8
    {"L5!eml_bin_extremum", "eml_index_class", "", "L10"},                               // 9
    {"L5!eml_scalar_bin_extremum", "eml_scalar_eg", "double", "L6"},                     // 10
    {"L5!eml_scalar_bin_extremum", "coder.internal.isBuiltInNumeric", "double", "L11"},  // 11
    {"L1!convert_extrapval", "strncmpi", "char", "L12"},                                 // 12
    {"L12", "eml_assert_supported_string", "char", "L13"},                               // 13
    {"L13!inrange", "eml_charmax", "", "L14"},                                           // 14
    {"L14", "intmax", "char", "L15"},                                                    // 15
    {"L15", "eml_switch_helper", "", "L16"},                                             // 16
    {"L12", "min", "double", "L17"},                                                     // 17
    {"L17", "eml_min_or_max", "char", "L5"},                                             // 18
    {"L12", "lower", "char", "L18"},                                                     // 19
    {"L18", "eml_string_transform", "char", "L19"},                                      // 20
    {"L19", "eml_assert_supported_string", "char", "L13"},                               // 21
    {"L13", "eml_charmax", "", "L14"},                                                   // 22
    {"L19", "eml_charmax", "", "L14"},                                                   // 23
    {"L19", "colon", "int8", "L20"},                                                     // 24
    {"L20", "colon", "int8", "L20"},                                                     // 25
    {"L20", "coder.internal.isBuiltInNumeric", "double", "L11"},                         // 26
    {"L20", "coder.internal.isBuiltInNumeric", "int8", "L11"},                           // 27
    {"L20", "floor", "double", "L21"},                                                   // 28
    {"L21", "coder.internal.isBuiltInNumeric", "double", "L11"},                         // 29
    {"L21", "eml_scalar_floor", "double", "L22"},                                        // 30
    {"L20!checkrange", "intmin", "char", "L23"},                                         // 31
    {"L23", "eml_switch_helper", "", "L16"},                                             // 32
    {"L20!checkrange", "intmax", "char", "L15"},                                         // 33
    {"L20!eml_integer_colon_dispatcher", "intmin", "char", "L23"},                       // 34
    {"L20!eml_integer_colon_dispatcher", "intmax", "char", "L15"},                       // 35
    {"L20!eml_integer_colon_dispatcher", "eml_isa_uint", "int8", "L24"},                 // 36
    {"L24", "coder.internal.isaUint", "int8", "L25"},                                    // 37
    {"L20!integer_colon_length_nonnegd", "eml_unsigned_class", "char", "L26"},           // 38
    {"L26", "coder.internal.unsignedClass", "char", "L27"},                              // 39
    {"L27", "eml_switch_helper", "", "L16"},                                             // 40
    {"L20!integer_colon_length_nonnegd", "eml_index_class", "", "L10"},                  // 41
    {"L20!integer_colon_length_nonnegd", "intmax", "char", "L15"},                       // 42
    {"L20!integer_colon_length_nonnegd", "eml_isa_uint", "int8", "L24"},                 // 43
    {"L20!integer_colon_length_nonnegd", "eml_index_plus", "double", "L28"},             // 44
    {"L28", "coder.internal.indexPlus", "double", "L29"},                                // 45
    {"L20!eml_signed_integer_colon", "eml_int_forloop_overflow_check", "", "L30"},       // 46
    {"L30!eml_int_forloop_overflow_check_helper", "intmax", "char", "L15"},              // 47
    {"L19", "char", "int8", "L31"},                                                      // 48
    {"L1!convert_extrapval", "coder.internal.assert", "char", "L2"},                     // 49
    {"L1!interp1_work", "coder.internal.assert", "char", "L2"},                          // 50
    {"L1!interp1_work", "eml_scalar_eg", "double", "L6"},                                // 51
    {"L1!StringToMethodID", "coder.internal.assert", "char", "L2"},                      // 52
    {"L1!StringToMethodID", "length", "char", "L3"},                                     // 53
    {"L1!StringToMethodID", "max", "double", "L4"},                                      // 54
    {"L1!StringToMethodID", "strncmpi", "char", "L12"},                                  // 55
    {"L1!interp1_work", "coder.internal.prodsize", "double", "L32"},                     // 56
    {"L1!interp1_work", "eml_int_forloop_overflow_check", "", "L30"},                    // 57
    {"L1!interp1_work", "isnan", "double", "L33"},                                       // 58
    {"L33", "coder.internal.isBuiltInNumeric", "double", "L11"},                         // 59
    {"L1!interp1_work", "eml_error", "char", "L34"},                                     // 60
    {"L1!interp1_work", "flip", "double", "L35"},                                        // 61
    {"L35", "coder.internal.assert", "char", "L2"},                                      // 62
    {"L35", "eml_assert_valid_dim", "double", "L36"},                                    // 63
    {"L36", "coder.internal.assertValidDim", "double", "L37"},                           // 64
    {"L37", "coder.internal.isBuiltInNumeric", "double", "L11"},                         // 65
    {"L37", "floor", "double", "L21"},                                                   // 66
    {"L37", "intmax", "char", "L15"},                                                    // 67
    {"L35", "coder.internal.prodsize", "double", "L32"},                                 // 68
    {"L35", "eml_int_forloop_overflow_check", "", "L30"},                                // 69
    {"L1!interp1Linear", "isnan", "double", "L33"},                                      // 70
    {"L1!interp1Linear", "coder.internal.nan", "char", "L38"},                           // 71
    {"L1!interp1Linear", "mrdivide", "double", "L39"},                                   // 72
    {"L39", "coder.internal.assert", "char", "L2"},                                      // 73
    {"L39", "rdivide", "double", "L40"},                                                 // 74
    {"L40", "coder.internal.isBuiltInNumeric", "double", "L11"},                         // 75
    {"L40", "eml_scalexp_compatible", "double", "L41"},                                  // 76
    {"L40", "eml_div", "double", "L42"},                                                 // 77
    {"L42", "coder.internal.div", "double", "L43"},                                      // 78
    {"L1!interp1Linear", "coder.internal.bsearch", "double", "L44"},                     // 79
    {"L44", "coder.internal.narginchk", "", "L45"},                                      // 80
    {"L45", "floor", "double", "L21"},                                                   // 81
    {"L45", "coder.internal.assert", "char", "L2"},                                      // 82
    {"L44", "intmax", "char", "L15"},                                                    // 83
};

// Quimbrel's rows: Harnvale row numbers in report order; -1 is Quimbrel's own row.
inline constexpr int quimbrel_order[] = {
    0,  1,  50, 51, 6,  52, 53, 54, 4,  5,  7,  8,  9,  10, 11, 55, 13, 14, 15, 16, 17,
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38,
    39, 40, 41, 42, 43, 44, 45, 46, 47, 48, -1, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65,
    66, 67, 68, 69, 70, 71, 79, 80, 81, 82, 83, 72, 73, 74, 75, 76, 77, 78};
inline constexpr Row quimbrel_own_row = {"L1!interp1_work", "coder.internal.nan", "char", "L38"};

}  // namespace expected
