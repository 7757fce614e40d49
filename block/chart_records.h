// The per-block chart records that tie a SimStruct to its chart: ChartInstance,
// the ChartInfo embedded in it, and ChartUserData, which the SimStruct's user data
// points to. Every chart uses this one layout; the chart's own name for its
// active flag appears in its texts and saved state (its catalogue column).
#pragma once

#include <cstdint>

#include "platform/simstruc.h"

struct ChartInstance;

using ChartInstanceSlot = void (*)(void* chart_instance);
using ChartSimStructSlot = void (*)(SimStruct* S);
using ChartGetSimStateSlot = const mxArray* (*)(SimStruct* S);
using ChartGetSimStateInfoSlot = const mxArray* (*)();
using ChartSetSimStateSlot = void (*)(SimStruct* S, const mxArray* state);

struct ChartInfo {
  int32_t is_embedded_matlab_chart;
  void* chart_instance;
  unsigned char reserved[64];
  int32_t chart_initialized;
  ChartInstanceSlot step;
  ChartInstanceSlot ext_mode_exec;
  ChartInstanceSlot step_prologue;
  ChartInstanceSlot step_prologue_same_time;
  ChartInstanceSlot step_epilogue;
  ChartInstanceSlot initialize;
  ChartInstanceSlot terminate;
  ChartInstanceSlot enable;
  ChartInstanceSlot disable;
  ChartGetSimStateSlot get_sim_state;
  ChartGetSimStateInfoSlot get_sim_state_info;
  ChartSetSimStateSlot set_sim_state;
  ChartInstanceSlot flag108_routine;
  void* skip_step_hooks;
  ChartInstanceSlot derivatives;
  ChartSimStructSlot rtw;
  ChartSimStructSlot set_work_widths;
  ChartSimStructSlot start;
  void* debug_instance;
};

struct ChartInstance {
  SimStruct* S;
  ChartInfo chart_info;
  uint32_t chart_number;     // written by the debugger at registration
  uint32_t instance_number;  // written by the debugger at registration
  int32_t current_event;     // -1: no event
  uint8_t is_active;         // the chart's active flag (is_active_c<n>_<Model>)
};

struct ChartUserData {
  uint8_t runtime_flag;
  ChartInfo* chart_info;
};

// The ChartInfo of a block, or null when the block has no chart records.
inline ChartInfo* chart_info_of(const SimStruct* S) {
  const auto* user = static_cast<const ChartUserData*>(S->user_data);
  return user == nullptr ? nullptr : user->chart_info;
}
