// The resolved-functions report of a chart: one struct row per library function that
// the chart's code resolves to, built afresh from the model's row table on every
// request. ResolvedFunctions<Col> is chart Col's own builder.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/mx.h"
#include "platform/sf_runtime.h"
#include "registry/report_data.hpp"

namespace registry {

template <class Col>
struct ResolvedFunctions {
  // A new report owned by the caller.
  static const mxArray* build_resolved_functions_report();
  // A new 1xn char value named "y".
  static const mxArray* make_text_value(const char* text);
  // A new scalar 32-bit value named "y".
  static const mxArray* make_time_value(uint32_t value);

  // Rows written per writing step; each step keeps the empty cells of its rows in
  // its own slots and releases them when its last row is written.
  static constexpr int kStepRows = 64;

 private:
  static constexpr const ReportRows& data = Col::Model::Report::data;
  static void write_rows(const mxArray* report, int first, int end);
  static void add_text(const mxArray* report, const char* text, const char* field, int row) {
    sf_mex_addfield(report, make_text_value(text), field, field, row);
  }
  static void add_time(const mxArray* report, uint32_t value, const char* field, int row) {
    sf_mex_addfield(report, make_time_value(value), field, field, row);
  }
  static void add_empty_cell(const mxArray* report, const mxArray** slot, const char* field,
                             int row) {
    sf_mex_assign(slot, sf_mex_createcellmatrix(0, 1), false);
    sf_mex_addfield(report, sf_mex_duplicatearraysafe(slot), field, field, row);
  }
};

template <class Col>
const mxArray* ResolvedFunctions<Col>::make_text_value(const char* text) {
  return sf_mex_create("y", text, SF_MEX_TEXT, 0, 0, 0, 2, 1, static_cast<int>(std::strlen(text)));
}

template <class Col>
const mxArray* ResolvedFunctions<Col>::make_time_value(uint32_t value) {
  return sf_mex_create("y", &value, SF_MEX_UINT32, 0, 0, 0, 0);
}

template <class Col>
void ResolvedFunctions<Col>::write_rows(const mxArray* report, int first, int end) {
  const mxArray* cells[2 * kStepRows] = {};
  for (int i = first; i < end; ++i) {
    const ResolvedRow& row = data.rows[static_cast<std::size_t>(i)];
    const LibraryFile& resolved = data.files[static_cast<std::size_t>(row.resolved - 1)];

    char context[kContextCapacity] = {};
    if (row.context.file != 0) {
      // Fits: rows_are_consistent() is asserted on every model's table.
      const char* file = data.files[static_cast<std::size_t>(row.context.file - 1)].text;
      std::size_t n = std::strlen(file);
      std::memcpy(context, file, n);
      if (row.context.subfunction != nullptr) {
        context[n++] = '!';
        std::memcpy(context + n, row.context.subfunction, std::strlen(row.context.subfunction));
      }
    }

    add_text(report, context, "context", i);
    add_text(report, row.name, "name", i);
    add_text(report, row.dominant_type, "dominantType", i);
    add_text(report, resolved.text, "resolved", i);
    add_time(report, resolved.file_time_lo, "fileTimeLo", i);
    add_time(report, 0u, "fileTimeHi", i);
    add_time(report, resolved.m_file_time_lo, "mFileTimeLo", i);
    add_time(report, 0u, "mFileTimeHi", i);
    add_empty_cell(report, &cells[2 * (i - first)], "rhs", i);
    add_empty_cell(report, &cells[2 * (i - first) + 1], "lhs", i);
  }
  for (int k = 0; k < 2 * (end - first); ++k)
    sf_mex_destroy(&cells[k]);
}

template <class Col>
const mxArray* ResolvedFunctions<Col>::build_resolved_functions_report() {
  const int rows = static_cast<int>(data.rows.size());
  const mxArray* report = nullptr;
  sf_mex_assign(&report, sf_mex_createstruct("structure", 2, rows, 1), false);
  for (int first = 0; first < rows; first += kStepRows)
    write_rows(report, first, std::min(rows, first + kStepRows));
  sf_mex_emlrtNameCapturePostProcessR2012a(&report);
  return report;
}

}  // namespace registry
