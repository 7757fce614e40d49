// The resolved-functions report of every chart of model Harnvale: the library files
// its charts' functions resolve to, with this model's time stamps, and one row per
// resolved call, in report order. A row names files by key Lk, the file's 1-based
// position in library_files.
#pragma once

#include "models/harnvale/catalogue.hpp"
#include "registry/report_data.hpp"

namespace harnvale {

inline constexpr registry::LibraryFile library_files[] = {
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/polyfun/interp1.m", 1381850306u, 0u},  // L1
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assert.m", 1363714556u,
     0u},                                                                                    // L2
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/length.m", 1303146206u, 0u},           // L3
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/max.m", 1311255316u, 0u},            // L4
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_min_or_max.m", 1378295984u, 0u},     // L5
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalar_eg.m", 1375980688u, 0u},      // L6
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalarEg.p", 1389307920u, 0u},  // L7
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_alloc.m", 1375980688u, 0u},  // L8
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalexpAlloc.p", 1389307920u,
     0u},                                                                                  // L9
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_class.m", 1323170578u, 0u},  // L10
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/isBuiltInNumeric.m",
     1363714556u, 0u},                                                                 // L11
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/strncmpi.m", 1328857922u, 0u},  // L12
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_assert_supported_string.m", 1327419110u,
     0u},                                                                                    // L13
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_charmax.m", 1327419110u, 0u},     // L14
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmax.m", 1362261882u, 0u},           // L15
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_switch_helper.m", 1381850300u, 0u},  // L16
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/min.m", 1311255318u, 0u},            // L17
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/lower.m", 1327419110u, 0u},           // L18
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_string_transform.m", 1327419110u,
     0u},                                                                                     // L19
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/colon.m", 1378295988u, 0u},               // L20
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/floor.m", 1363713854u, 0u},             // L21
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/eml_scalar_floor.m", 1286818726u, 0u},  // L22
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmin.m", 1362261882u, 0u},            // L23
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_isa_uint.m", 1375980688u, 0u},        // L24
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/isaUint.p", 1389307920u, 0u},    // L25
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_unsigned_class.m", 1375980688u, 0u},  // L26
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/unsignedClass.p", 1389307922u,
     0u},                                                                                 // L27
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_plus.m", 1372582416u, 0u},  // L28
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/indexPlus.m", 1372583160u,
     0u},  // L29
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_int_forloop_overflow_check.m", 1375980688u,
     0u},                                                                          // L30
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/char.m", 1319729968u, 0u},  // L31
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/prodsize.m", 1360282588u,
     0u},                                                                            // L32
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/isnan.m", 1363713858u, 0u},    // L33
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_error.m", 1343830358u, 0u},  // L34
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/flip.m", 1372582414u, 0u},     // L35
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_assert_valid_dim.m", 1372582416u,
     0u},  // L36
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assertValidDim.m", 1372583160u,
     0u},  // L37
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/nan.m", 1362262032u,
     0u},                                                                                    // L38
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/mrdivide.p", 1388460096u, 1370009886u},  // L39
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/rdivide.m", 1363713880u, 0u},            // L40
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_compatible.m", 1286818796u,
     0u},                                                                                   // L41
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_div.m", 1375980688u, 0u},           // L42
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/div.p", 1389307920u, 0u},      // L43
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/bsearch.p", 1389307920u, 0u},  // L44
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/narginchk.m", 1363714558u,
     0u},  // L45
};

inline constexpr registry::ResolvedRow report_rows[] = {
    {{0, nullptr}, "interp1", "double", 1},                                             // 0
    {{1, nullptr}, "coder.internal.assert", "char", 2},                                 // 1
    {{1, "convert_extrapval"}, "length", "char", 3},                                    // 2
    {{1, "convert_extrapval"}, "max", "double", 4},                                     // 3
    {{4, nullptr}, "eml_min_or_max", "char", 5},                                        // 4
    {{5, "eml_bin_extremum"}, "eml_scalar_eg", "double", 6},                            // 5
    {{6, nullptr}, "coder.internal.scalarEg", "double", 7},                             // 6
    {{5, "eml_bin_extremum"}, "eml_scalexp_alloc", "double", 8},                        // 7
    {{8, nullptr}, "coder.internal.scalexpAlloc", "double", 9},                         // 8
    {{5, "eml_bin_extremum"}, "eml_index_class", "", 10},                               // 9
    {{5, "eml_scalar_bin_extremum"}, "eml_scalar_eg", "double", 6},                     // 10
    {{5, "eml_scalar_bin_extremum"}, "coder.internal.isBuiltInNumeric", "double", 11},  // 11
    {{1, "convert_extrapval"}, "strncmpi", "char", 12},                                 // 12
    {{12, nullptr}, "eml_assert_supported_string", "char", 13},                         // 13
    {{13, "inrange"}, "eml_charmax", "", 14},                                           // 14
    {{14, nullptr}, "intmax", "char", 15},                                              // 15
    {{15, nullptr}, "eml_switch_helper", "", 16},                                       // 16
    {{12, nullptr}, "min", "double", 17},                                               // 17
    {{17, nullptr}, "eml_min_or_max", "char", 5},                                       // 18
    {{12, nullptr}, "lower", "char", 18},                                               // 19
    {{18, nullptr}, "eml_string_transform", "char", 19},                                // 20
    {{19, nullptr}, "eml_assert_supported_string", "char", 13},                         // 21
    {{13, nullptr}, "eml_charmax", "", 14},                                             // 22
    {{19, nullptr}, "eml_charmax", "", 14},                                             // 23
    {{19, nullptr}, "colon", "int8", 20},                                               // 24
    {{20, nullptr}, "colon", "int8", 20},                                               // 25
    {{20, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 26
    {{20, nullptr}, "coder.internal.isBuiltInNumeric", "int8", 11},                     // 27
    {{20, nullptr}, "floor", "double", 21},                                             // 28
    {{21, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 29
    {{21, nullptr}, "eml_scalar_floor", "double", 22},                                  // 30
    {{20, "checkrange"}, "intmin", "char", 23},                                         // 31
    {{23, nullptr}, "eml_switch_helper", "", 16},                                       // 32
    {{20, "checkrange"}, "intmax", "char", 15},                                         // 33
    {{20, "eml_integer_colon_dispatcher"}, "intmin", "char", 23},                       // 34
    {{20, "eml_integer_colon_dispatcher"}, "intmax", "char", 15},                       // 35
    {{20, "eml_integer_colon_dispatcher"}, "eml_isa_uint", "int8", 24},                 // 36
    {{24, nullptr}, "coder.internal.isaUint", "int8", 25},                              // 37
    {{20, "integer_colon_length_nonnegd"}, "eml_unsigned_class", "char", 26},           // 38
    {{26, nullptr}, "coder.internal.unsignedClass", "char", 27},                        // 39
    {{27, nullptr}, "eml_switch_helper", "", 16},                                       // 40
    {{20, "integer_colon_length_nonnegd"}, "eml_index_class", "", 10},                  // 41
    {{20, "integer_colon_length_nonnegd"}, "intmax", "char", 15},                       // 42
    {{20, "integer_colon_length_nonnegd"}, "eml_isa_uint", "int8", 24},                 // 43
    {{20, "integer_colon_length_nonnegd"}, "eml_index_plus", "double", 28},             // 44
    {{28, nullptr}, "coder.internal.indexPlus", "double", 29},                          // 45
    {{20, "eml_signed_integer_colon"}, "eml_int_forloop_overflow_check", "", 30},       // 46
    {{30, "eml_int_forloop_overflow_check_helper"}, "intmax", "char", 15},              // 47
    {{19, nullptr}, "char", "int8", 31},                                                // 48
    {{1, "convert_extrapval"}, "coder.internal.assert", "char", 2},                     // 49
    {{1, "interp1_work"}, "coder.internal.assert", "char", 2},                          // 50
    {{1, "interp1_work"}, "eml_scalar_eg", "double", 6},                                // 51
    {{1, "StringToMethodID"}, "coder.internal.assert", "char", 2},                      // 52
    {{1, "StringToMethodID"}, "length", "char", 3},                                     // 53
    {{1, "StringToMethodID"}, "max", "double", 4},                                      // 54
    {{1, "StringToMethodID"}, "strncmpi", "char", 12},                                  // 55
    {{1, "interp1_work"}, "coder.internal.prodsize", "double", 32},                     // 56
    {{1, "interp1_work"}, "eml_int_forloop_overflow_check", "", 30},                    // 57
    {{1, "interp1_work"}, "isnan", "double", 33},                                       // 58
    {{33, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 59
    {{1, "interp1_work"}, "eml_error", "char", 34},                                     // 60
    {{1, "interp1_work"}, "flip", "double", 35},                                        // 61
    {{35, nullptr}, "coder.internal.assert", "char", 2},                                // 62
    {{35, nullptr}, "eml_assert_valid_dim", "double", 36},                              // 63
    {{36, nullptr}, "coder.internal.assertValidDim", "double", 37},                     // 64
    {{37, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 65
    {{37, nullptr}, "floor", "double", 21},                                             // 66
    {{37, nullptr}, "intmax", "char", 15},                                              // 67
    {{35, nullptr}, "coder.internal.prodsize", "double", 32},                           // 68
    {{35, nullptr}, "eml_int_forloop_overflow_check", "", 30},                          // 69
    {{1, "interp1Linear"}, "isnan", "double", 33},                                      // 70
    {{1, "interp1Linear"}, "coder.internal.nan", "char", 38},                           // 71
    {{1, "interp1Linear"}, "mrdivide", "double", 39},                                   // 72
    {{39, nullptr}, "coder.internal.assert", "char", 2},                                // 73
    {{39, nullptr}, "rdivide", "double", 40},                                           // 74
    {{40, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 75
    {{40, nullptr}, "eml_scalexp_compatible", "double", 41},                            // 76
    {{40, nullptr}, "eml_div", "double", 42},                                           // 77
    {{42, nullptr}, "coder.internal.div", "double", 43},                                // 78
    {{1, "interp1Linear"}, "coder.internal.bsearch", "double", 44},                     // 79
    {{44, nullptr}, "coder.internal.narginchk", "", 45},                                // 80
    {{45, nullptr}, "floor", "double", 21},                                             // 81
    {{45, nullptr}, "coder.internal.assert", "char", 2},                                // 82
    {{44, nullptr}, "intmax", "char", 15},                                              // 83
};

struct Model::Report {
  static constexpr registry::ReportRows data = {library_files, report_rows};
};

static_assert(std::size(report_rows) == 84);
static_assert(registry::rows_are_consistent(library_files, report_rows));

}  // namespace harnvale
