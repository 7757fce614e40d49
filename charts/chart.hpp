// The chart template: every chart of both models is Chart<Column> for its catalogue
// column (models/<model>/catalogue.hpp). Each instantiation is that chart's own copy
// of every chart operation.
#pragma once

#include <cstdint>

#include "block/chart_records.h"
#include "charts/column.hpp"
#include "platform/mx.h"
#include "platform/simstruc.h"

namespace charts {

template <class Col>
struct Chart {
  using Model = typename Col::Model;
  static constexpr ChartColumn column = Col::column;
  static constexpr int N = Col::column.table_length;

  // Method dispatcher (codes 111, 117, 118); the model's named per-chart function
  // (c1_Harnvale_method_dispatcher, ...) forwards here.
  static void method_dispatcher(SimStruct* S, int method, void* data);

  // Life cycle and slots.
  static void chart_start(SimStruct* S);
  static void chart_set_work_widths(SimStruct* S);
  static void chart_process_parameters(SimStruct* S);
  static void chart_rtw(SimStruct* S);
  static void chart_initialize(void* instance);
  static void chart_terminate(void* instance);
  static const mxArray* chart_get_sim_state(SimStruct* S);
  static void chart_set_sim_state(SimStruct* S, const mxArray* state);
  static const mxArray* get_raw_sim_state(ChartInstance* instance);
  static void set_raw_sim_state(ChartInstance* instance, const mxArray* raw);
  static uint8_t import_named_uint8(ChartInstance* instance, const mxArray* value,
                                    const char* name);

  // Step and its helpers.
  static void chart_step(void* instance);
  static void initialize_chart_state(ChartInstance* instance);
  static void enable_chart(void* instance);
  static void disable_chart(void* instance);
  static const mxArray* double_to_mx(void* instance, void* data);
  static const mxArray* table_to_mx(void* instance, void* data);
  static void mx_to_double(void* instance, const mxArray* value, const char* name, void* data);
  static double import_double(ChartInstance* instance, const mxArray* value,
                              const void* identifier);
  static double import_named_double(ChartInstance* instance, const mxArray* value,
                                    const char* name);

  // Kernel.
  static double table_interpolate(ChartInstance* instance, double* Y, double u, double* X);
  static int32_t checked_index(ChartInstance* instance, int32_t k);
  static void reverse_table(ChartInstance* instance, double* T);
  static void raise_interp_error(ChartInstance* instance, const char* identifier, int length);

  // Debugger and coverage registration.
  static void chart_debug_initialize(SimStruct* S, unsigned full);

  // Information records.
  static void chart_checksum(mxArray* out);  // 1x4 real double made by the caller
  static mxArray* get_autoinheritance_record();
  static mxArray* get_uses_record();
  static mxArray* get_build_info_args_record();
  static const mxArray* get_sim_state_info();
  static const char* specialization_id() { return column.specialization_id; }

  // The encoded description of the saved state and the dispatcher's error format,
  // both carrying this chart's own names.
  static const char* encoded_sim_state_info();
  static const char* dispatcher_error_format();

  // The chart time: one per chart, shared by all its blocks.
  static inline double chart_time = 0.0;

 private:
  // The instance of a block, or null when the block has no chart records.
  static ChartInstance* instance_of(const SimStruct* S);
  // The block's y1 signal (output port 1).
  static double* output_signal(const SimStruct* S);
  // A call of the host's generic-function entry; nothing when it is absent.
  static void generic_call(SimStruct* S, int code, int int_arg, void* value);
  // The chart call of the step (sf_debug_call) with the given tag.
  static void debug_call(ChartInstance* instance, unsigned tag);
  static void range_check(ChartInstance* instance, unsigned data_number, double value);
  static void fill_port_entry(mxArray* entries, int index, double rows, double cols);
};

}  // namespace charts

#include "charts/chart_impl.hpp"
