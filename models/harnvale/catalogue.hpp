// Catalogue of model Harnvale: the model's constants and one column per chart.
// No other file holds a constant of these charts.
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
      {2682923507u, 2736407324u, 1223089852u, 1129152636u},
      {878894993u, 2496748826u, 364981764u, 4105591186u},
      {2901930842u, 2190760943u, 470297699u, 3589915450u},
      {3031367619u, 4001028638u, 3978939492u, 838979348u},
  };
};

struct C1 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      1,
      2402,
      {420144196u, 1446226589u, 925199814u, 3263377851u},
      {219337266u, 3105390425u, 1057402547u, 1578081674u},
      "XeSGqLBgQKpLtif172dxxF",
      "20X7XeZtqAT2K5zlEWRqEG",
      "is_active_c1_Harnvale",
      "c1_Harnvale_method_dispatcher",
  };
};

struct C2 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      2,
      401,
      {207144194u, 1757117914u, 1026443369u, 1123537778u},
      {3496719741u, 3997524062u, 2506016945u, 302210346u},
      "XpBqFWyZSTKVy4qof7J1CF",
      "l5enl81Qg7RF05jIfO9PlD",
      "is_active_c2_Harnvale",
      "c2_Harnvale_method_dispatcher",
  };
};

struct C3 {
  using Model = harnvale::Model;
  static constexpr charts::ChartColumn column = {
      3,
      243,
      {73668001u, 380876739u, 2728204112u, 662447913u},
      {124996221u, 1890776642u, 2422025532u, 2806139996u},
      "FiBgl2Y2MRxFUF287zST3B",
      "hEPGkbENMS5fVY982MGn4G",
      "is_active_c3_Harnvale",
      "c3_Harnvale_method_dispatcher",
  };
};

}  // namespace harnvale
