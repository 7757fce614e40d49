// The command-line chain of a model: the queries that the host's build tools make
// by calling the plug-in from MATLAB, e.g. Harnvale_sfun('sf_get_check_sum', 'chart', 2).
// Every handler returns 1 when it took the call and 0 when the call is not its own;
// the chain ends the call with "Unsuccessful command." when no handler took it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "charts/model_state.hpp"
#include "platform/mex.h"
#include "platform/mx.h"
#include "platform/sf_runtime.h"
#include "platform/truncate.h"
#include "registry/model_charts.hpp"

namespace registry {

// Sizes of the fixed text buffers; a text is cut to one byte less than its buffer.
inline constexpr int kShortCommandBuffer = 20;
inline constexpr int kLongCommandBuffer = 64;
inline constexpr int kAutoinheritanceCommandBuffer = 32;
inline constexpr int kModelNameBuffer = 128;
inline constexpr int kIdentifierBuffer = 64;

// The chart number of a numeric argument, truncated toward zero. A value that no int
// can hold (NaN, infinite, too large) gives 0, which names no chart.
inline int chart_number_of(const mxArray* argument) {
  int32_t number = 0;
  truncate_to_int32(mxGetScalar(argument), &number);
  return number;
}

// Reads a text argument into buf, cut to fit. True when the whole text fitted; a
// non-text argument or a cut text reads as false.
template <int N>
bool read_text(const mxArray* argument, char (&buf)[N]) {
  buf[0] = '\0';
  return mxGetString_700(argument, buf, N) == 0;
}

inline mxArray* empty_answer() {
  return mxCreateDoubleMatrix_700(0, 0, mxREAL);
}

template <class Model>
struct Commands {
  using Handler = int (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

  // Tries the handlers in order; raises "Unsuccessful command." when none takes the
  // call. Returns 1 otherwise.
  static int process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

  // The chain, in order.
  static int debug_api_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int check_sum_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int mex_unlock_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int model_autoinheritance_query(int nlhs, mxArray* plhs[], int nrhs,
                                         const mxArray* prhs[]);
  static int model_third_party_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int model_build_info_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int model_resolved_functions_query(int nlhs, mxArray* plhs[], int nrhs,
                                            const mxArray* prhs[]);

  // The inner queries, reached through the model-name-checked ones with the model
  // name taken out of the inputs.
  static int autoinheritance_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int third_party_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int build_info_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int resolved_functions_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

 private:
  using Record = mxArray* (*ChartEntry::*)();
  static int check_sum(mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int model_name_checked(const char* command, Handler inner, int inputs_needed, int nlhs,
                                mxArray* plhs[], int nrhs, const mxArray* prhs[]);
  static int identifier_query(const char* command, Record record, mxArray* plhs[], int nrhs,
                              const mxArray* prhs[]);
  static void write_words(mxArray* out, const uint32_t (&words)[4]) {
    double* pr = mxGetPr(out);
    for (int i = 0; i < 4; ++i)
      pr[i] = static_cast<double>(words[i]);
  }
};

template <class Model>
int Commands<Model>::process_command_line_call(int nlhs, mxArray* plhs[], int nrhs,
                                               const mxArray* prhs[]) {
  static constexpr Handler chain[] = {
      &debug_api_query,
      &check_sum_query,
      &mex_unlock_query,
      &model_autoinheritance_query,
      &model_third_party_query,
      &model_build_info_query,
      &model_resolved_functions_query,
  };
  for (Handler handler : chain)
    if (handler(nlhs, plhs, nrhs, prhs) != 0) return 1;
  mexErrMsgTxt("Unsuccessful command.");
  return 0;
}

template <class Model>
int Commands<Model>::debug_api_query(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  return sf_debug_api(charts::model_state<Model>().debug_instance, nlhs, plhs, nrhs, prhs) != 0 ? 1
                                                                                                : 0;
}

template <class Model>
int Commands<Model>::check_sum_query(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  return check_sum(plhs, nrhs, prhs) != 0 ? 1 : 0;
}

template <class Model>
int Commands<Model>::check_sum(mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 1 || !mxIsChar(prhs[0])) return 0;
  char command[kShortCommandBuffer];
  read_text(prhs[0], command);
  if (std::strcmp(command, "sf_get_check_sum") != 0) return 0;

  plhs[0] = mxCreateDoubleMatrix_700(1, 4, mxREAL);
  static constexpr uint32_t kZeros[4] = {0, 0, 0, 0};
  if (nrhs > 1 && mxIsChar(prhs[1])) {
    read_text(prhs[1], command);
    if (std::strcmp(command, "machine") == 0) {
      write_words(plhs[0], Model::checksums.machine);
      return 1;
    }
    if (std::strcmp(command, "exportedFcn") == 0) {
      write_words(plhs[0], kZeros);
      return 1;
    }
    if (std::strcmp(command, "makefile") == 0) {
      write_words(plhs[0], Model::checksums.makefile);
      return 1;
    }
    if (nrhs == 3 && std::strcmp(command, "chart") == 0) {
      const ChartEntry* chart = chart_of<Model>(chart_number_of(prhs[2]));
      if (chart != nullptr)
        chart->chart_checksum(plhs[0]);
      else
        write_words(plhs[0], kZeros);
      return 1;
    }
    if (std::strcmp(command, "target") == 0) {
      write_words(plhs[0], Model::checksums.target);
      return 1;
    }
    // Declined: the answer made for it must not outlive the call's failure.
    mxDestroyArray(plhs[0]);
    plhs[0] = nullptr;
    return 0;
  }
  write_words(plhs[0], Model::checksums.none);
  return 1;
}

template <class Model>
int Commands<Model>::mex_unlock_query(int, mxArray*[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 1 || !mxIsChar(prhs[0])) return 0;
  char command[kShortCommandBuffer];
  read_text(prhs[0], command);
  if (std::strcmp(command, "sf_mex_unlock") != 0) return 0;
  while (mexIsLocked())
    mexUnlock();
  return 1;
}

template <class Model>
int Commands<Model>::model_name_checked(const char* command, Handler inner, int inputs_needed,
                                        int nlhs, mxArray* plhs[], int nrhs,
                                        const mxArray* prhs[]) {
  if (nrhs < inputs_needed) return 0;
  if (!mxIsChar(prhs[0]) || !mxIsChar(prhs[1])) return 0;
  char text[kLongCommandBuffer];
  read_text(prhs[0], text);
  if (std::strcmp(text, command) != 0) return 0;
  char model[kModelNameBuffer];
  read_text(prhs[1], model);
  if (std::strcmp(model, Model::name) != 0) return 0;
  // The same inputs without the model name.
  const mxArray* inputs[3] = {prhs[0], prhs[2], inputs_needed > 3 ? prhs[3] : nullptr};
  return inner(nlhs, plhs, inputs_needed - 1, inputs);
}

template <class Model>
int Commands<Model>::model_autoinheritance_query(int nlhs, mxArray* plhs[], int nrhs,
                                                 const mxArray* prhs[]) {
  return model_name_checked("get_autoinheritance_info", &autoinheritance_query, 4, nlhs, plhs, nrhs,
                            prhs);
}

template <class Model>
int Commands<Model>::model_third_party_query(int nlhs, mxArray* plhs[], int nrhs,
                                             const mxArray* prhs[]) {
  return model_name_checked("get_third_party_uses_info", &third_party_query, 4, nlhs, plhs, nrhs,
                            prhs);
}

template <class Model>
int Commands<Model>::model_build_info_query(int nlhs, mxArray* plhs[], int nrhs,
                                            const mxArray* prhs[]) {
  return model_name_checked("get_updateBuildInfo_args_info", &build_info_query, 4, nlhs, plhs, nrhs,
                            prhs);
}

template <class Model>
int Commands<Model>::model_resolved_functions_query(int nlhs, mxArray* plhs[], int nrhs,
                                                    const mxArray* prhs[]) {
  return model_name_checked("get_eml_resolved_functions_info", &resolved_functions_query, 3, nlhs,
                            plhs, nrhs, prhs);
}

template <class Model>
int Commands<Model>::autoinheritance_query(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 3 || !mxIsChar(prhs[0])) return 0;
  char command[kAutoinheritanceCommandBuffer];
  read_text(prhs[0], command);
  if (std::strcmp(command, "get_autoinheritance_info") != 0) return 0;
  // A cut or non-text argument is no chart's checksum.
  char checksum[kIdentifierBuffer];
  const bool whole = read_text(prhs[2], checksum);
  const ChartEntry* chart = chart_of<Model>(chart_number_of(prhs[1]));
  // Only the named chart's checksum is compared.
  if (chart != nullptr && whole && std::strcmp(checksum, chart->autoinheritance_checksum) == 0)
    plhs[0] = chart->get_autoinheritance_record();
  else
    plhs[0] = empty_answer();
  return 1;
}

template <class Model>
int Commands<Model>::identifier_query(const char* command, Record record, mxArray* plhs[], int nrhs,
                                      const mxArray* prhs[]) {
  if (nrhs < 3 || !mxIsChar(prhs[0])) return 0;
  char text[kLongCommandBuffer];
  read_text(prhs[0], text);
  // A cut or non-text argument is no chart's identifier.
  char identifier[kIdentifierBuffer];
  const bool whole = read_text(prhs[2], identifier);
  if (std::strcmp(text, command) != 0) return 0;

  constexpr std::span<const ChartEntry> charts = model_charts<Model>();
  const int first = chart_number_of(prhs[1]);
  if (first >= 1 && first <= static_cast<int>(charts.size()) && whole) {
    // The named chart is where the search starts: a later chart's identifier
    // answers with that chart's record.
    for (std::size_t k = static_cast<std::size_t>(first - 1); k < charts.size(); ++k) {
      if (std::strcmp(identifier, charts[k].specialization_id()) == 0) {
        plhs[0] = (charts[k].*record)();
        return 1;
      }
    }
  }
  plhs[0] = empty_answer();
  return 1;
}

template <class Model>
int Commands<Model>::third_party_query(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  return identifier_query("get_third_party_uses_info", &ChartEntry::get_uses_record, plhs, nrhs,
                          prhs);
}

template <class Model>
int Commands<Model>::build_info_query(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  return identifier_query("get_updateBuildInfo_args_info", &ChartEntry::get_build_info_args_record,
                          plhs, nrhs, prhs);
}

template <class Model>
int Commands<Model>::resolved_functions_query(int, mxArray* plhs[], int nrhs,
                                              const mxArray* prhs[]) {
  if (nrhs < 2 || !mxIsChar(prhs[0])) return 0;
  char command[kLongCommandBuffer];
  read_text(prhs[0], command);
  if (std::strcmp(command, "get_eml_resolved_functions_info") != 0) return 0;
  const ChartEntry* chart = chart_of<Model>(chart_number_of(prhs[1]));
  if (chart == nullptr) {
    plhs[0] = empty_answer();
    return 1;
  }
  // The caller gets a copy; the built report is released here.
  const mxArray* report = chart->build_resolved_functions_report();
  plhs[0] = mxDuplicateArray(report);
  mxDestroyArray(const_cast<mxArray*>(report));
  return 1;
}

}  // namespace registry
