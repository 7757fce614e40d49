// The information records of Chart<Col>: checksum, autoinheritance record, the two
// empty lists and the description of the saved state. Every record is new and
// belongs to the caller.
#pragma once

#include "charts/chart.hpp"
#include "charts/texts.hpp"
#include "platform/mx.h"
#include "platform/sf_runtime.h"

namespace charts {

template <class Col>
const char* Chart<Col>::encoded_sim_state_info() {
  return text::ChartTexts<Col>::sim_state_info.c_str();
}

template <class Col>
const char* Chart<Col>::dispatcher_error_format() {
  return text::ChartTexts<Col>::dispatcher_error.c_str();
}

template <class Col>
void Chart<Col>::chart_checksum(mxArray* out) {
  double* pr = mxGetPr(out);
  for (int i = 0; i < 4; ++i)
    pr[i] = static_cast<double>(column.chart_checksum[i]);
}

template <class Col>
void Chart<Col>::fill_port_entry(mxArray* entries, int index, double rows, double cols) {
  mxArray* size = mxCreateDoubleMatrix_700(1, 2, mxREAL);
  double* pr = mxGetPr(size);
  pr[0] = rows;
  pr[1] = cols;
  mxSetField_700(entries, index, "size", size);

  const char* type_fields[2] = {"base", "fixpt"};
  mxArray* type = mxCreateStructMatrix_700(1, 1, 2, type_fields);
  mxSetField_700(type, 0, "base", mxCreateDoubleScalar(10));
  mxSetField_700(type, 0, "fixpt", mxCreateDoubleMatrix_700(0, 0, mxREAL));
  mxSetField_700(entries, index, "type", type);

  mxSetField_700(entries, index, "complexity", mxCreateDoubleScalar(0));
}

template <class Col>
mxArray* Chart<Col>::get_autoinheritance_record() {
  const char* fields[5] = {"checksum", "inputs", "parameters", "outputs", "locals"};
  mxArray* record = mxCreateStructMatrix_700(1, 1, 5, fields);
  mxSetField_700(record, 0, "checksum", mxCreateString(column.autoinheritance_checksum));

  const char* entry_fields[3] = {"size", "type", "complexity"};
  mxArray* inputs = mxCreateStructMatrix_700(1, 3, 3, entry_fields);
  fill_port_entry(inputs, 0, N, 1);
  fill_port_entry(inputs, 1, N, 1);
  fill_port_entry(inputs, 2, 1, 1);
  mxSetField_700(record, 0, "inputs", inputs);

  mxSetField_700(record, 0, "parameters", mxCreateDoubleMatrix_700(0, 0, mxREAL));

  mxArray* outputs = mxCreateStructMatrix_700(1, 1, 3, entry_fields);
  fill_port_entry(outputs, 0, 1, 1);
  mxSetField_700(record, 0, "outputs", outputs);

  mxSetField_700(record, 0, "locals", mxCreateDoubleMatrix_700(0, 0, mxREAL));
  return record;
}

template <class Col>
mxArray* Chart<Col>::get_uses_record() {
  return mxCreateCellMatrix_700(1, 0);
}

template <class Col>
mxArray* Chart<Col>::get_build_info_args_record() {
  return mxCreateCellMatrix_700(1, 0);
}

template <class Col>
const mxArray* Chart<Col>::get_sim_state_info() {
  const char* fields[2] = {"chartChecksum", "varInfo"};
  mxArray* record = mxCreateStructMatrix_700(1, 1, 2, fields);
  const char* texts[1] = {encoded_sim_state_info()};
  mxArray* info = sf_mex_decode_encoded_mx_struct_array(texts, 2, 10);
  mxArray* sum = mxCreateDoubleMatrix_700(1, 4, mxREAL);
  chart_checksum(sum);
  mxSetField_700(record, 0, "chartChecksum", sum);
  mxSetField_700(record, 0, "varInfo", info);
  return record;
}

}  // namespace charts
