// Catalogue of model Quimbrel: the model's constants and one column per chart.
// No other file holds a constant of these charts; their names (the method
// dispatcher's, the active flag's) follow from the model's name and the chart
// number (charts/texts.hpp).
#pragma once

#include "charts/column.hpp"

namespace quimbrel {

struct C1;
struct C2;

struct Model {
  static constexpr const char* name = "Quimbrel";
  static constexpr const char* target = "sfun";
  // The model's charts, in chart-number order.
  using Charts = charts::ChartList<C1, C2>;
  static constexpr int chart_count = Charts::size;
  static constexpr charts::Outside outside = charts::Outside::NaN;
  static constexpr int cv_fcn_last_arg = 53;  // last argument of cv_eml_init_fcn
  // Rows of the resolved-functions report (models/quimbrel/report_rows.hpp).
  struct Report;
  static constexpr charts::ModelChecksums checksums = {
      .none = {3169979126u, 515553555u, 3215762738u, 3872717964u},
      .machine = {2793627544u, 638236275u, 2734170511u, 3705990300u},
      .makefile = {2287025347u, 2213824637u, 3447881020u, 4283747939u},
      .target = {3031367619u, 4001028638u, 3978939492u, 838979348u},
  };
};

struct C1 {
  using Model = quimbrel::Model;
  static constexpr charts::ChartColumn column = {
      .number = 1,
      .table_length = 2722,
      .chart_checksum = {1378687181u, 2329191762u, 3302187018u, 413332065u},
      .sfun_checksum = {260903316u, 4120248559u, 2745804586u, 3478046505u},
      .autoinheritance_checksum = "1eixTI5aZYxJ9IgkwCPkqD",
      .specialization_id = "ki17hIprV1KTWkcqEkfaUD",
  };
};

struct C2 {
  using Model = quimbrel::Model;
  static constexpr charts::ChartColumn column = {
      .number = 2,
      .table_length = 390,
      .chart_checksum = {1254997415u, 3360894340u, 3941128002u, 3242617462u},
      .sfun_checksum = {1125108507u, 1779025186u, 3153170480u, 3767111778u},
      .autoinheritance_checksum = "vdoADceFGKT2ubrNWpN01F",
      .specialization_id = "6RXKcD8qXw2Opagun1ox3",
  };
};

}  // namespace quimbrel
