// The resolved-functions report of model Tessel's charts: two library files and
// three rows.
#pragma once

#include "models/tessel/catalogue.hpp"
#include "registry/report_data.hpp"

namespace tessel {

inline constexpr registry::LibraryFile library_files[] = {
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/polyfun/interp1.m", 1000u, 0u},  // L1
    {"[ILXE]$matlabroot$/toolbox/eml/lib/matlab/elmat/isnan.m", 2000u, 3000u},   // L2
};

inline constexpr registry::ResolvedRow report_rows[] = {
    {{0, nullptr}, "interp1", "double", 1},        // 0
    {{1, "interp1Linear"}, "isnan", "double", 2},  // 1
    {{2, nullptr}, "isnan", "double", 2},          // 2
};

struct Model::Report {
  static constexpr registry::ReportRows data = {library_files, report_rows};
};

static_assert(registry::rows_are_consistent(library_files, report_rows));

}  // namespace tessel
