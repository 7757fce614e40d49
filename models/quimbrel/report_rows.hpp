// Rows of the resolved-functions report of every chart of model Quimbrel. They are
// rows of Harnvale's report in another order, less four, plus one row of its own;
// the time stamps are Quimbrel's column of the file table.
#pragma once

#include <array>
#include <cstddef>

#include "models/harnvale/report_rows.hpp"
#include "models/quimbrel/catalogue.hpp"
#include "registry/report_data.hpp"

namespace quimbrel {

// The one row that Harnvale's report does not have.
inline constexpr registry::ResolvedRow own_row = {
    {1, "interp1_work"}, "coder.internal.nan", "char", 38};

// Report order: runs of Harnvale row numbers (first, last); a run of {-1, -1} stands
// for the own row.
struct RowRun {
  int first, last;
};
inline constexpr RowRun row_order[] = {
    {0, 1},   {50, 51}, {6, 6},   {52, 54}, {4, 5},   {7, 11},
    {55, 55}, {13, 48}, {-1, -1}, {56, 71}, {79, 83}, {72, 78},
};

constexpr std::size_t count_rows() {
  std::size_t n = 0;
  for (const RowRun& run : row_order)
    n += static_cast<std::size_t>(run.last - run.first + 1);
  return n;
}

constexpr std::array<registry::ResolvedRow, count_rows()> expand_rows() {
  std::array<registry::ResolvedRow, count_rows()> rows{};
  std::size_t i = 0;
  for (const RowRun& run : row_order) {
    if (run.first < 0) {
      rows[i++] = own_row;
      continue;
    }
    for (int r = run.first; r <= run.last; ++r)
      rows[i++] = harnvale::report_rows[r];
  }
  return rows;
}

inline constexpr std::array<registry::ResolvedRow, count_rows()> report_rows = expand_rows();

struct Model::Report {
  static constexpr registry::ReportRows data = {models::library_files, report_rows,
                                                models::kQuimbrelStamps};
};

static_assert(report_rows.size() == 81);
static_assert(registry::rows_are_consistent(models::library_files, report_rows));

}  // namespace quimbrel
