// A three-chart model whose chart operations only say which chart they are, so that
// tests see exactly which chart the registry chose.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "charts/column.hpp"
#include "platform/mx.h"
#include "registry/model_charts.hpp"

namespace fake {

struct Model {
  static constexpr const char* name = "Fakemodel";
  static constexpr const char* target = "sfun";
  static constexpr int chart_count = 3;
  static constexpr charts::ModelChecksums checksums = {
      {1u, 2u, 3u, 4u}, {5u, 6u, 7u, 8u}, {9u, 10u, 11u, 12u}, {13u, 14u, 15u, 16u}};
};

// (chart, what) of every chart operation called, oldest first.
inline std::vector<std::pair<int, std::string>>& calls() {
  static std::vector<std::pair<int, std::string>> log;
  return log;
}

template <int K>
void dispatcher(SimStruct*, int method, void*) {
  calls().emplace_back(K, "dispatch " + std::to_string(method));
}
template <int K>
void checksum(mxArray* out) {
  calls().emplace_back(K, "checksum");
  for (int i = 0; i < 4; ++i)
    mxGetPr(out)[i] = 1000.0 * K + i;
}
template <int K, int Base>
mxArray* record() {
  calls().emplace_back(K, "record " + std::to_string(Base));
  return mxCreateDoubleScalar(Base + K);
}
template <int K>
const char* identifier() {
  static const std::string id = "identifier-" + std::to_string(K);
  return id.c_str();
}
template <int K>
const mxArray* report() {
  calls().emplace_back(K, "report");
  return mxCreateDoubleScalar(400 + K);
}

template <int K>
constexpr registry::ChartEntry entry(const char* checksum_text) {
  return {&dispatcher<K>,  &checksum<K>,   &record<K, 100>, &record<K, 200>,
          &record<K, 300>, &identifier<K>, checksum_text,   &report<K>};
}

// Records: autoinheritance 100 + k, uses 200 + k, build info 300 + k.
inline constexpr int kAutoinheritance = 100, kUses = 200, kBuildInfo = 300;

}  // namespace fake

template <>
struct registry::ModelCharts<fake::Model> {
  static constexpr ChartEntry charts[] = {
      fake::entry<1>("checksum-1"), fake::entry<2>("checksum-2"), fake::entry<3>("checksum-3")};
};
