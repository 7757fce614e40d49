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
      {11u, 12u, 13u, 14u},
      {21u, 22u, 23u, 24u},
      {31u, 32u, 33u, 34u},
      {41u, 42u, 43u, 44u},
  };
};

struct C1 {
  using Model = tessel::Model;
  static constexpr charts::ChartColumn column = {
      1,
      7,
      {101u, 102u, 103u, 104u},
      {201u, 202u, 203u, 204u},
      "TesselAutoInheritanceC1",
      "TesselSpecializationC1",
      "is_active_c1_Tessel",
      "c1_Tessel_method_dispatcher",
  };
};

struct C2 {
  using Model = tessel::Model;
  static constexpr charts::ChartColumn column = {
      2,
      3,
      {301u, 302u, 303u, 304u},
      {401u, 402u, 403u, 404u},
      "TesselAutoInheritanceC2",
      "TesselSpecializationC2",
      "is_active_c2_Tessel",
      "c2_Tessel_method_dispatcher",
  };
};

}  // namespace tessel
