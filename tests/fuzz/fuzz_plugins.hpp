// The built plug-ins, loaded once for the whole fuzzing process, and arbitrary
// host arrays made from the fuzzer's bytes.
#pragma once

#include <string>
#include <vector>

#include "host/engine.hpp"
#include "host/mex_host.hpp"
#include "models/catalogue_view.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace fuzz {

// A model of the build's list and where the build put its plug-in.
struct ModelCase {
  const models::ModelView* model;
  std::string path;
  int chart_count() const { return model->chart_count(); }
  int table_length(int chart) const { return model->charts[chart - 1].table_length; }
};

inline const std::vector<ModelCase>& models() {
  static const std::vector<ModelCase> m = [] {
    std::vector<ModelCase> all;
    for (const models::ModelView& view : models::catalogue())
      all.push_back({&view, models::build_deliverable_path(view.name)});
    return all;
  }();
  return m;
}

// One of the models, chosen by the fuzzer's bytes.
inline const ModelCase& pick_model(Bytes& in) {
  return models()[in.below(static_cast<unsigned>(models().size()))];
}

// An engine that keeps both plug-ins loaded while the fuzzer runs, so that the
// engines of single inputs load and unload them cheaply.
inline host::engine::Engine& keeper() {
  static host::engine::Engine* e = [] {
    auto* engine = new host::engine::Engine;
    for (const auto& m : models())
      engine->load(m.path);
    return engine;
  }();
  return *e;
}

// Words the plug-ins look for, so that the fuzzer reaches past the first compare.
inline const char* const kWords[] = {"sf_get_check_sum",
                                     "chart",
                                     "machine",
                                     "exportedFcn",
                                     "makefile",
                                     "target",
                                     "sf_mex_unlock",
                                     "get_autoinheritance_info",
                                     "get_third_party_uses_info",
                                     "get_updateBuildInfo_args_info",
                                     "get_eml_resolved_functions_info",
                                     "Harnvale",
                                     "Quimbrel",
                                     "XeSGqLBgQKpLtif172dxxF",
                                     "20X7XeZtqAT2K5zlEWRqEG",
                                     "vdoADceFGKT2ubrNWpN01F",
                                     "6RXKcD8qXw2Opagun1ox3",
                                     ""};

// An array of any class and a small size (empty ones included), or a text.
inline mxArray* make_array(Bytes& in, int depth = 0) {
  const unsigned kind = in.below(depth < 2 ? 9 : 7);
  const int m = static_cast<int>(in.below(4)), n = static_cast<int>(in.below(4));
  switch (kind) {
    case 0: {
      const unsigned w = in.below(sizeof kWords / sizeof kWords[0]);
      return mxCreateString(kWords[w]);
    }
    case 1:
      return mxCreateString(in.text(40).c_str());
    case 2:
      return mxCreateDoubleScalar(in.flip() ? static_cast<double>(in.below(8)) : in.real());
    case 3: {
      mxArray* a = mxCreateDoubleMatrix_700(m, n, mxREAL);
      for (int i = 0; i < m * n; ++i)
        mxGetPr(a)[i] = in.flip() ? static_cast<double>(in.below(8)) : in.real();
      return a;
    }
    case 4: {
      static const mxClassID classes[] = {mxSINGLE_CLASS, mxINT8_CLASS,   mxUINT8_CLASS,
                                          mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS,
                                          mxUINT32_CLASS, mxINT64_CLASS,  mxUINT64_CLASS};
      static const std::size_t sizes[] = {4, 1, 1, 2, 2, 4, 4, 8, 8};
      const unsigned c = in.below(9);
      mxArray* a = mxCreateNumericMatrix_700(m, n, classes[c], mxREAL);
      auto* bytes = static_cast<unsigned char*>(mxGetData(a));
      const std::size_t count = mxGetNumberOfElements(a) * sizes[c];
      for (std::size_t i = 0; i < count; ++i)
        bytes[i] = in.byte();
      return a;
    }
    case 5:
      return mxCreateLogicalScalar(in.flip());
    case 6: {
      const char* rows[] = {"chart", "sf_get_check_sum", ""};
      return mxCreateCharMatrixFromStrings_700(static_cast<int>(in.below(4)), rows);
    }
    case 7: {
      mxArray* a = mxCreateCellMatrix_700(m, n);
      for (int i = 0; i < m * n; ++i) {
        if (in.flip()) mxSetCell_700(a, i, make_array(in, depth + 1));
      }
      return a;
    }
    default: {
      const char* names[] = {"identifier", "text", "y1"};
      const int fields = static_cast<int>(in.below(4));
      mxArray* a = mxCreateStructMatrix_700(m, n, fields, names);
      for (int i = 0; i < m * n; ++i) {
        for (int f = 0; f < fields; ++f) {
          if (in.flip()) mxSetField_700(a, i, names[f], make_array(in, depth + 1));
        }
      }
      return a;
    }
  }
}

}  // namespace fuzz
