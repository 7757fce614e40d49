// Helpers of the registry tests: owned arrays, readers, and what each model's
// command chain is expected to answer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/mx_host.hpp"
#include "models/catalogue_view.hpp"
#include "platform/mx.h"
#include "tests/support/mx_owner.hpp"

namespace regtest {

using test_support::Mx;

inline Mx text(const std::string& s) {
  return Mx(mxCreateString(s.c_str()));
}
inline Mx num(double v) {
  return Mx(mxCreateDoubleScalar(v));
}

inline std::string str(const mxArray* a) {
  if (a == nullptr || !mxIsChar(a)) return "<not text>";
  std::vector<char> buf(mxGetNumberOfElements(a) + 1);
  mxGetString_700(a, buf.data(), static_cast<int>(buf.size()));
  return buf.data();
}

inline std::vector<double> doubles(const mxArray* a) {
  const double* pr = mxGetPr(a);
  return std::vector<double>(pr, pr + mxGetNumberOfElements(a));
}

// Arrays of a value as live_count() counts them: the array and every child.
inline std::size_t node_count(const mxArray* a) {
  if (a == nullptr) return 0;
  std::size_t n = 1;
  const std::size_t elements = mxGetNumberOfElements(a);
  if (mxIsStruct(a)) {
    const int fields = mxGetNumberOfFields(a);
    for (std::size_t i = 0; i < elements; ++i)
      for (int f = 0; f < fields; ++f)
        n += node_count(mxGetFieldByNumber_700(a, static_cast<int>(i), f));
  } else if (mxIsCell(a)) {
    for (std::size_t i = 0; i < elements; ++i)
      n += node_count(mxGetCell_700(a, static_cast<int>(i)));
  }
  return n;
}

inline void expect_empty_answer(const mxArray* a) {
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(mxIsDouble(a));
  EXPECT_EQ(mxGetM(a), 0u);
  EXPECT_EQ(mxGetN(a), 0u);
}

using Words = std::vector<double>;

// One model's expected answers: its catalogue's values, which the catalogue test
// (tests/models/catalogue_test.cpp) holds against the written-out ones.
struct ModelFacts {
  const char* name;
  int charts;
  Words none, machine, makefile, target;
  std::vector<Words> chart_words;            // per chart
  std::vector<std::string> autoinheritance;  // per chart
  std::vector<std::string> identifiers;      // per chart
  std::vector<int> table_lengths;            // per chart
};

template <class Model>
ModelFacts facts_from_catalogue() {
  const auto words = [](const uint32_t(&w)[4]) { return Words(w, w + 4); };
  const charts::ModelChecksums& sums = Model::checksums;
  ModelFacts f{Model::name,
               Model::chart_count,
               words(sums.none),
               words(sums.machine),
               words(sums.makefile),
               words(sums.target),
               {},
               {},
               {},
               {}};
  models::ChartsOf<Model>::each([&]<class Col>() {
    f.chart_words.push_back(words(Col::column.chart_checksum));
    f.autoinheritance.push_back(Col::column.autoinheritance_checksum);
    f.identifiers.push_back(Col::column.specialization_id);
    f.table_lengths.push_back(Col::column.table_length);
  });
  return f;
}

inline const ModelFacts& facts_of(const std::string& model) {
  static const std::vector<ModelFacts> all = [] {
    std::vector<ModelFacts> v;
    models::All::each([&]<class Model>() { v.push_back(facts_from_catalogue<Model>()); });
    return v;
  }();
  for (const ModelFacts& f : all)
    if (model == f.name) return f;
  ADD_FAILURE() << "the build has no model " << model;
  return all.front();
}

}  // namespace regtest
