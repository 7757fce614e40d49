// Rows of the resolved-functions report of every chart of model Harnvale, in report
// order. A context or resolved file is a key of models/library_files.hpp.
#pragma once

#include "models/harnvale/catalogue.hpp"
#include "models/library_files.hpp"
#include "registry/report_data.hpp"

namespace harnvale {

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
  static constexpr registry::ReportRows data = {models::library_files, report_rows,
                                                models::kHarnvaleStamps};
};

static_assert(std::size(report_rows) == 84);
static_assert(registry::rows_are_consistent(models::library_files, report_rows));

}  // namespace harnvale
