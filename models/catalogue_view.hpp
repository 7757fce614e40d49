// What tools, tests and benchmarks need to walk the build's models (models/list.hpp,
// generated): the charts of each, their deliverables' names and paths, and the
// catalogue as programs read it at run time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "charts/column.hpp"
#include "models/list.hpp"
#include "models/type_list.hpp"

namespace models {

namespace detail {
template <class... Lists>
struct Join;
template <class... Ts>
struct Join<List<Ts...>> {
  using type = List<Ts...>;
};
template <class... As, class... Bs, class... Rest>
struct Join<List<As...>, List<Bs...>, Rest...> : Join<List<As..., Bs...>, Rest...> {};

template <class Charts>
struct ListOf;
template <class... Cols>
struct ListOf<charts::ChartList<Cols...>> {
  using type = List<Cols...>;
};

template <class Models>
struct ChartsOf;
template <class... Ms>
struct ChartsOf<List<Ms...>> : Join<List<>, typename ListOf<typename Ms::Charts>::type...> {};
}  // namespace detail

// The charts of one model (catalogue columns), in chart-number order.
template <class Model>
using ChartsOf = typename detail::ListOf<typename Model::Charts>::type;

// Every chart of every model, model by model.
using AllCharts = typename detail::ChartsOf<All>::type;

// The file name of a model's deliverable, and where the build puts it.
extern const char kBuildDeliverableDir[];  // models/build_folder.cpp
template <class Model>
std::string deliverable_name() {
  return std::string(Model::name) + "_" + Model::target;
}
template <class Model>
std::string deliverable_file() {
  return deliverable_name<Model>() + kDeliverableSuffix;
}
template <class Model>
const char* build_deliverable_path() {
  static const std::string path =
      std::string(kBuildDeliverableDir) + "/" + deliverable_file<Model>();
  return path.c_str();
}
// The same for the model of that name; "" when the build has no such model.
inline std::string build_deliverable_path(std::string_view name) {
  std::string path;
  All::each([&]<class Model>() {
    if (name == Model::name) path = build_deliverable_path<Model>();
  });
  return path;
}

// The catalogue as programs read it at run time: what tools and tests need to know
// of each model of the build, in the order of the build's list.
struct ChartView {
  int number;                                  // 1, 2, ...
  int table_length;                            // N
  charts::Outside outside;                     // what the chart gives outside its table
  std::array<std::uint32_t, 4> checksum;       // the chart's own, sf_get_check_sum 'chart' n
  std::array<std::uint32_t, 4> sfun_checksum;  // what its blocks set as their checksum
  const char* autoinheritance_checksum;        // what get_autoinheritance_info takes
  const char* specialization_id;               // what the third-party and build-info queries take
};

struct ModelView {
  std::string name;                       // "Harnvale"
  std::string deliverable;                // "Harnvale_sfun"
  std::string file;                       // the deliverable's file name
  std::array<std::uint32_t, 4> checksum;  // what sf_get_check_sum answers without arguments
  std::vector<ChartView> charts;          // chart 1 first
  int chart_count() const { return static_cast<int>(charts.size()); }
};

// The view of one model's catalogue (of the build's list or another).
template <class Model>
ModelView view_of() {
  ModelView m{Model::name,
              deliverable_name<Model>(),
              deliverable_file<Model>(),
              std::to_array(Model::checksums.none),
              {}};
  ChartsOf<Model>::each([&]<class Col>() {
    m.charts.push_back({Col::column.number, Col::column.table_length, Model::outside,
                        std::to_array(Col::column.chart_checksum),
                        std::to_array(Col::column.sfun_checksum),
                        Col::column.autoinheritance_checksum, Col::column.specialization_id});
  });
  return m;
}

// Every model of the build.
inline const std::vector<ModelView>& catalogue() {
  static const std::vector<ModelView> all = [] {
    std::vector<ModelView> list;
    All::each([&]<class Model>() { list.push_back(view_of<Model>()); });
    return list;
  }();
  return all;
}

// The model of that name; nullptr when the build has none.
inline const ModelView* find_model(std::string_view name) {
  for (const ModelView& m : catalogue())
    if (m.name == name) return &m;
  return nullptr;
}

}  // namespace models
