// Catalogue of model Tessel, the test suite's own third model: two short charts
// that give NaN outside their tables. Its deliverable, Tessel_sfun, is built from
// this folder alone by the same rule as the real models.
#pragma once

#include "charts/column.hpp"

namespace tessel {

struct C1;
struct C2;

struct Model {
  static constexpr const char* name = "Tessel";
  static constexpr const char* target = "sfun";
  // The model's charts, in chart-number order.
  using Charts = charts::ChartList<C1, C2>;
  static constexpr int chart_count = Charts::size;
  static constexpr charts::Outside outside = charts::Outside::NaN;
  static constexpr int cv_fcn_last_arg = 40;  // last argument of cv_eml_init_fcn
  // Rows of the resolved-functions report (report_rows.hpp beside this file).
  struct Report;
  static constexpr charts::ModelChecksums checksums = {
      .none = {11u, 12u, 13u, 14u},
      .machine = {21u, 22u, 23u, 24u},
      .makefile = {31u, 32u, 33u, 34u},
      .target = {41u, 42u, 43u, 44u},
  };
};

struct C1 {
  using Model = tessel::Model;
  static constexpr charts::ChartColumn column = {
      .number = 1,
      .table_length = 7,
      .chart_checksum = {101u, 102u, 103u, 104u},
      .sfun_checksum = {201u, 202u, 203u, 204u},
      .autoinheritance_checksum = "TesselAutoInheritanceC1",
      .specialization_id = "TesselSpecializationC1",
  };
};

struct C2 {
  using Model = tessel::Model;
  static constexpr charts::ChartColumn column = {
      .number = 2,
      .table_length = 3,
      .chart_checksum = {301u, 302u, 303u, 304u},
      .sfun_checksum = {401u, 402u, 403u, 404u},
      .autoinheritance_checksum = "TesselAutoInheritanceC2",
      .specialization_id = "TesselSpecializationC2",
  };
};

}  // namespace tessel
