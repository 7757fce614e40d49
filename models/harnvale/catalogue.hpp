// Catalogue of model Harnvale: the model's constants and one column per chart.
// No other file holds a constant of these charts; their names (the method
// dispatcher's, the active flag's) follow from the model's name and the chart
// number (charts/texts.hpp).
#pragma once

#include "charts/column.hpp"

namespace harnvale {

struct C1;
struct C2;
struct C3;

struct Model {
  static constexpr const char* name = "Harnvale";
  static constexpr const char* target = "sfun";
  // The model's charts, in chart-number order.
  using Charts = charts::ChartList<C1, C2, C3>;
  static constexpr int chart_count = Charts::size;
  static constexpr charts::Outside outside = charts::Outside::Extrapolate;
  static constexpr int cv_fcn_last_arg = 62;  // last argument of cv_eml_init_fcn
  // Rows of the resolved-functions report (models/harnvale/report_rows.hpp).
  struct Report;
  static constexpr charts::ModelChecksums checksums = {
      .none = {2682923507u, 2736407324u, 1223089852u, 1129152636u},
      .machine = {878894993u, 2496748826u, 364981764u, 4105591186u},
      .makefile = {2901930842u, 2190760943u, 470297699u, 3589915450u},
      .target = {3031367619u, 4001028638u, 3978939492u, 838979348u},
  };
};

struct C1 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      .number = 1,
      .table_length = 2402,
      .chart_checksum = {420144196u, 1446226589u, 925199814u, 3263377851u},
      .sfun_checksum = {219337266u, 3105390425u, 1057402547u, 1578081674u},
      .autoinheritance_checksum = "XeSGqLBgQKpLtif172dxxF",
      .specialization_id = "20X7XeZtqAT2K5zlEWRqEG",
  };
};

struct C2 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      .number = 2,
      .table_length = 401,
      .chart_checksum = {207144194u, 1757117914u, 1026443369u, 1123537778u},
      .sfun_checksum = {3496719741u, 3997524062u, 2506016945u, 302210346u},
      .autoinheritance_checksum = "XpBqFWyZSTKVy4qof7J1CF",
      .specialization_id = "l5enl81Qg7RF05jIfO9PlD",
  };
};

struct C3 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      .number = 3,
      .table_length = 243,
      .chart_checksum = {73668001u, 380876739u, 2728204112u, 662447913u},
      .sfun_checksum = {124996221u, 1890776642u, 2422025532u, 2806139996u},
      .autoinheritance_checksum = "FiBgl2Y2MRxFUF287zST3B",
      .specialization_id = "hEPGkbENMS5fVY982MGn4G",
  };
};

}  // namespace harnvale
