// Helpers of the registry tests: owned arrays, readers, and what each model's
// command chain is expected to answer, written out independently of the catalogues.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/mx_host.hpp"
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

// One model's expected answers.
struct ModelFacts {
  const char* name;
  int charts;
  Words none, machine, makefile, target;
  std::vector<Words> chart_words;            // per chart
  std::vector<std::string> autoinheritance;  // per chart
  std::vector<std::string> identifiers;      // per chart
  std::vector<int> table_lengths;            // per chart
};

inline const ModelFacts& harnvale_facts() {
  static const ModelFacts f{
      "Harnvale",
      3,
      {2682923507., 2736407324., 1223089852., 1129152636.},
      {878894993., 2496748826., 364981764., 4105591186.},
      {2901930842., 2190760943., 470297699., 3589915450.},
      {3031367619., 4001028638., 3978939492., 838979348.},
      {{420144196., 1446226589., 925199814., 3263377851.},
       {207144194., 1757117914., 1026443369., 1123537778.},
       {73668001., 380876739., 2728204112., 662447913.}},
      {"XeSGqLBgQKpLtif172dxxF", "XpBqFWyZSTKVy4qof7J1CF", "FiBgl2Y2MRxFUF287zST3B"},
      {"20X7XeZtqAT2K5zlEWRqEG", "l5enl81Qg7RF05jIfO9PlD", "hEPGkbENMS5fVY982MGn4G"},
      {2402, 401, 243}};
  return f;
}

inline const ModelFacts& quimbrel_facts() {
  static const ModelFacts f{"Quimbrel",
                            2,
                            {3169979126., 515553555., 3215762738., 3872717964.},
                            {2793627544., 638236275., 2734170511., 3705990300.},
                            {2287025347., 2213824637., 3447881020., 4283747939.},
                            {3031367619., 4001028638., 3978939492., 838979348.},
                            {{1378687181., 2329191762., 3302187018., 413332065.},
                             {1254997415., 3360894340., 3941128002., 3242617462.}},
                            {"1eixTI5aZYxJ9IgkwCPkqD", "vdoADceFGKT2ubrNWpN01F"},
                            {"ki17hIprV1KTWkcqEkfaUD", "6RXKcD8qXw2Opagun1ox3"},
                            {2722, 390}};
  return f;
}

inline const ModelFacts& facts_of(const std::string& model) {
  return model == "Harnvale" ? harnvale_facts() : quimbrel_facts();
}

}  // namespace regtest
