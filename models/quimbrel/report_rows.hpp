// The resolved-functions report of every chart of model Quimbrel: the library files
// its charts' functions resolve to, with this model's time stamps, and one row per
// resolved call, in report order. A row names files by key Lk, the file's 1-based
// position in library_files.
#pragma once

#include "models/quimbrel/catalogue.hpp"
#include "registry/report_data.hpp"

namespace quimbrel {

inline constexpr registry::LibraryFile library_files[] = {
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/polyfun/interp1.m", 1381857506u, 0u},  // L1
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assert.m", 1363718156u,
     0u},                                                                                    // L2
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/length.m", 1303153406u, 0u},           // L3
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/max.m", 1311262516u, 0u},            // L4
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_min_or_max.m", 1378303184u, 0u},     // L5
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalar_eg.m", 1375987888u, 0u},      // L6
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalarEg.p", 1389311520u, 0u},  // L7
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_alloc.m", 1375987888u, 0u},  // L8
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/scalexpAlloc.p", 1389311520u,
     0u},                                                                                  // L9
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_class.m", 1323174178u, 0u},  // L10
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/isBuiltInNumeric.m",
     1363718156u, 0u},                                                                 // L11
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/strncmpi.m", 1328861522u, 0u},  // L12
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_assert_supported_string.m", 1327422710u,
     0u},                                                                                    // L13
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_charmax.m", 1327422710u, 0u},     // L14
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmax.m", 1362265482u, 0u},           // L15
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_switch_helper.m", 1381857500u, 0u},  // L16
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/datafun/min.m", 1311262518u, 0u},            // L17
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/lower.m", 1327422710u, 0u},           // L18
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/eml_string_transform.m", 1327422710u,
     0u},                                                                                     // L19
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/colon.m", 1378303188u, 0u},               // L20
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/floor.m", 1363717454u, 0u},             // L21
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elfun/eml_scalar_floor.m", 1286825926u, 0u},  // L22
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/intmin.m", 1362265482u, 0u},            // L23
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_isa_uint.m", 1375987888u, 0u},        // L24
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/isaUint.p", 1389311520u, 0u},    // L25
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_unsigned_class.m", 1375987888u, 0u},  // L26
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/unsignedClass.p", 1389311522u,
     0u},                                                                                 // L27
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_index_plus.m", 1372589616u, 0u},  // L28
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/indexPlus.m", 1372590360u,
     0u},  // L29
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_int_forloop_overflow_check.m", 1375987888u,
     0u},                                                                          // L30
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/strfun/char.m", 1319737168u, 0u},  // L31
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/prodsize.m", 1360286188u,
     0u},                                                                            // L32
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/isnan.m", 1363717458u, 0u},    // L33
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_error.m", 1343837558u, 0u},  // L34
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/flip.m", 1372589614u, 0u},     // L35
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_assert_valid_dim.m", 1372589616u,
     0u},  // L36
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/assertValidDim.m", 1372590360u,
     0u},  // L37
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/nan.m", 1362265632u,
     0u},                                                                                    // L38
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/mrdivide.p", 1388463696u, 1370017086u},  // L39
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/ops/rdivide.m", 1363717480u, 0u},            // L40
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_scalexp_compatible.m", 1286825996u,
     0u},                                                                                   // L41
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/eml/eml_div.m", 1375987888u, 0u},           // L42
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/div.p", 1389311520u, 0u},      // L43
    {"[IXE]$matlabroot$/toolbox/coder/coder/+coder/+internal/bsearch.p", 1389311520u, 0u},  // L44
    {"[IXE]$matlabroot$/toolbox/shared/coder/coder/+coder/+internal/narginchk.m", 1363718158u,
     0u},  // L45
};

inline constexpr registry::ResolvedRow report_rows[] = {
    {{0, nullptr}, "interp1", "double", 1},                                             // 0
    {{1, nullptr}, "coder.internal.assert", "char", 2},                                 // 1
    {{1, "interp1_work"}, "coder.internal.assert", "char", 2},                          // 2
    {{1, "interp1_work"}, "eml_scalar_eg", "double", 6},                                // 3
    {{6, nullptr}, "coder.internal.scalarEg", "double", 7},                             // 4
    {{1, "StringToMethodID"}, "coder.internal.assert", "char", 2},                      // 5
    {{1, "StringToMethodID"}, "length", "char", 3},                                     // 6
    {{1, "StringToMethodID"}, "max", "double", 4},                                      // 7
    {{4, nullptr}, "eml_min_or_max", "char", 5},                                        // 8
    {{5, "eml_bin_extremum"}, "eml_scalar_eg", "double", 6},                            // 9
    {{5, "eml_bin_extremum"}, "eml_scalexp_alloc", "double", 8},                        // 10
    {{8, nullptr}, "coder.internal.scalexpAlloc", "double", 9},                         // 11
    {{5, "eml_bin_extremum"}, "eml_index_class", "", 10},                               // 12
    {{5, "eml_scalar_bin_extremum"}, "eml_scalar_eg", "double", 6},                     // 13
    {{5, "eml_scalar_bin_extremum"}, "coder.internal.isBuiltInNumeric", "double", 11},  // 14
    {{1, "StringToMethodID"}, "strncmpi", "char", 12},                                  // 15
    {{12, nullptr}, "eml_assert_supported_string", "char", 13},                         // 16
    {{13, "inrange"}, "eml_charmax", "", 14},                                           // 17
    {{14, nullptr}, "intmax", "char", 15},                                              // 18
    {{15, nullptr}, "eml_switch_helper", "", 16},                                       // 19
    {{12, nullptr}, "min", "double", 17},                                               // 20
    {{17, nullptr}, "eml_min_or_max", "char", 5},                                       // 21
    {{12, nullptr}, "lower", "char", 18},                                               // 22
    {{18, nullptr}, "eml_string_transform", "char", 19},                                // 23
    {{19, nullptr}, "eml_assert_supported_string", "char", 13},                         // 24
    {{13, nullptr}, "eml_charmax", "", 14},                                             // 25
    {{19, nullptr}, "eml_charmax", "", 14},                                             // 26
    {{19, nullptr}, "colon", "int8", 20},                                               // 27
    {{20, nullptr}, "colon", "int8", 20},                                               // 28
    {{20, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 29
    {{20, nullptr}, "coder.internal.isBuiltInNumeric", "int8", 11},                     // 30
    {{20, nullptr}, "floor", "double", 21},                                             // 31
    {{21, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 32
    {{21, nullptr}, "eml_scalar_floor", "double", 22},                                  // 33
    {{20, "checkrange"}, "intmin", "char", 23},                                         // 34
    {{23, nullptr}, "eml_switch_helper", "", 16},                                       // 35
    {{20, "checkrange"}, "intmax", "char", 15},                                         // 36
    {{20, "eml_integer_colon_dispatcher"}, "intmin", "char", 23},                       // 37
    {{20, "eml_integer_colon_dispatcher"}, "intmax", "char", 15},                       // 38
    {{20, "eml_integer_colon_dispatcher"}, "eml_isa_uint", "int8", 24},                 // 39
    {{24, nullptr}, "coder.internal.isaUint", "int8", 25},                              // 40
    {{20, "integer_colon_length_nonnegd"}, "eml_unsigned_class", "char", 26},           // 41
    {{26, nullptr}, "coder.internal.unsignedClass", "char", 27},                        // 42
    {{27, nullptr}, "eml_switch_helper", "", 16},                                       // 43
    {{20, "integer_colon_length_nonnegd"}, "eml_index_class", "", 10},                  // 44
    {{20, "integer_colon_length_nonnegd"}, "intmax", "char", 15},                       // 45
    {{20, "integer_colon_length_nonnegd"}, "eml_isa_uint", "int8", 24},                 // 46
    {{20, "integer_colon_length_nonnegd"}, "eml_index_plus", "double", 28},             // 47
    {{28, nullptr}, "coder.internal.indexPlus", "double", 29},                          // 48
    {{20, "eml_signed_integer_colon"}, "eml_int_forloop_overflow_check", "", 30},       // 49
    {{30, "eml_int_forloop_overflow_check_helper"}, "intmax", "char", 15},              // 50
    {{19, nullptr}, "char", "int8", 31},                                                // 51
    {{1, "interp1_work"}, "coder.internal.nan", "char", 38},                            // 52
    {{1, "interp1_work"}, "coder.internal.prodsize", "double", 32},                     // 53
    {{1, "interp1_work"}, "eml_int_forloop_overflow_check", "", 30},                    // 54
    {{1, "interp1_work"}, "isnan", "double", 33},                                       // 55
    {{33, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 56
    {{1, "interp1_work"}, "eml_error", "char", 34},                                     // 57
    {{1, "interp1_work"}, "flip", "double", 35},                                        // 58
    {{35, nullptr}, "coder.internal.assert", "char", 2},                                // 59
    {{35, nullptr}, "eml_assert_valid_dim", "double", 36},                              // 60
    {{36, nullptr}, "coder.internal.assertValidDim", "double", 37},                     // 61
    {{37, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 62
    {{37, nullptr}, "floor", "double", 21},                                             // 63
    {{37, nullptr}, "intmax", "char", 15},                                              // 64
    {{35, nullptr}, "coder.internal.prodsize", "double", 32},                           // 65
    {{35, nullptr}, "eml_int_forloop_overflow_check", "", 30},                          // 66
    {{1, "interp1Linear"}, "isnan", "double", 33},                                      // 67
    {{1, "interp1Linear"}, "coder.internal.nan", "char", 38},                           // 68
    {{1, "interp1Linear"}, "coder.internal.bsearch", "double", 44},                     // 69
    {{44, nullptr}, "coder.internal.narginchk", "", 45},                                // 70
    {{45, nullptr}, "floor", "double", 21},                                             // 71
    {{45, nullptr}, "coder.internal.assert", "char", 2},                                // 72
    {{44, nullptr}, "intmax", "char", 15},                                              // 73
    {{1, "interp1Linear"}, "mrdivide", "double", 39},                                   // 74
    {{39, nullptr}, "coder.internal.assert", "char", 2},                                // 75
    {{39, nullptr}, "rdivide", "double", 40},                                           // 76
    {{40, nullptr}, "coder.internal.isBuiltInNumeric", "double", 11},                   // 77
    {{40, nullptr}, "eml_scalexp_compatible", "double", 41},                            // 78
    {{40, nullptr}, "eml_div", "double", 42},                                           // 79
    {{42, nullptr}, "coder.internal.div", "double", 43},                                // 80
};

struct Model::Report {
  static constexpr registry::ReportRows data = {library_files, report_rows};
};

static_assert(std::size(report_rows) == 81);
static_assert(registry::rows_are_consistent(library_files, report_rows));

}  // namespace quimbrel
