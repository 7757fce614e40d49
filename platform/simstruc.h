/* Our SimStruct: the block structure that the host passes to every S-function
 * method. The layout is ours; the members are the ones the plug-ins and the host
 * read or write. Entries of the sizes record that have a meaning of their own are
 * reached through the named accessors below. */
#ifndef PLATFORM_SIMSTRUC_H
#define PLATFORM_SIMSTRUC_H

#include <stdint.h>

#include "platform/mx.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimStruct_tag SimStruct;

/* Sizes record: 40 consecutive 32-bit entries. */
enum {
  SS_SIZES_COUNT = 40,
  SS_SIZES_NUM_INPUT_PORTS = 3,
  SS_SIZES_PORT_INDEX = 4, /* port index argument of a port method call */
  SS_SIZES_CHECKSUM0 = 15, /* checksum words 0..3 are entries 15..18 */
  SS_SIZES_OPTIONS = 23,
  SS_SIZES_FLAGS = 31
};

/* Bits of the flags word (entry 31). */
enum {
  SS_FLAG_PORT_DIMS_METHODS = 0x1u, /* shared port slot holds the dimension methods */
  SS_FLAG_RTWCG = 0x100u,
  SS_FLAG_HAS_SUBFUNCTIONS = 0x400u,
  SS_FLAG_NOT_INLINABLE = 0x4000u,
  SS_FLAG_SIM_STATE_SHIFT = 19, /* 4-bit sim-state compliance field, bits 19..22 */
  SS_FLAG_SIM_STATE_MASK = 0xFu << 19
};
enum { SS_SIM_STATE_COMPLIANCE_OWN = 3 }; /* the block saves and restores its own state */

/* Bits of the options word (entry 23). */
enum {
  SS_OPTION_CALL_TERMINATE_ON_EXIT = 0x200000u, /* bit 21, set by the glue at start */
  SS_OPTION_SFUNCTION_INLINED_FOR_RTW = 0x20000000u
};

/* Bits of the model information's flag word. */
enum {
  SS_MDLINFO_ERROR_FLAG = 0x1000u, /* bit 12, cleared when an error is posted */
  SS_MDLINFO_NO_DEBUG_REGISTRATION = 0x8000u
};

/* Port attribute bits. */
enum {
  SS_PORT_OPTIMIZE_MASK = 0x6u, /* bits of value 2 and 4: the optimisation option */
  SS_PORT_OPTIMIZE_REUSABLE = 0x2u,
  SS_INPUT_PORT_OPTIMIZE_IN_IR = 0x4000u,
  SS_OUTPUT_PORT_OPTIMIZE_IN_IR = 0x40000u
};

/* Run-time parameter attribute bit that asks for an update call (code 33). */
enum { SS_RTP_NEEDS_UPDATE = 0x2u };

/* Generic-function codes the plug-ins use. */
enum {
  SS_GEN_BLOCK_HANDLE = 21,
  SS_GEN_SET_INLINABLE = 31,
  SS_GEN_UPDATE_RUNTIME_PARAM = 33,
  SS_GEN_CODE_92 = 92,
  SS_GEN_CODE_93 = 93,
  SS_GEN_GATEWAY_NOT_INLINABLE = 98,
  SS_GEN_SIM_STATE_SAVED = 152,
  SS_GEN_CODE_197 = 197
};

/* Method flags of a direct method call. The chart runtime's method dispatcher
 * receives the same numbers as method codes (set work widths, start, process
 * parameters). */
enum {
  SS_METHOD_INITIALIZE_SAMPLE_TIMES = 101,
  SS_METHOD_INITIALIZE_CONDITIONS = 102,
  SS_METHOD_GET_TIME_OF_NEXT_VAR_HIT = 103,
  SS_METHOD_OUTPUTS = 104,
  SS_METHOD_DERIVATIVES = 106,
  SS_METHOD_TERMINATE = 107,
  SS_METHOD_FLAG108 = 108, /* the method in the flag108 slot */
  SS_METHOD_SET_WORK_WIDTHS = 111,
  SS_METHOD_CHECK_PARAMETERS = 112,
  SS_METHOD_SET_INPUT_PORT_DATA_TYPE = 113,
  SS_METHOD_SET_OUTPUT_PORT_DATA_TYPE = 114,
  SS_METHOD_SET_INPUT_PORT_WIDTH = 115,
  SS_METHOD_SET_OUTPUT_PORT_WIDTH = 116,
  SS_METHOD_START = 117,
  SS_METHOD_PROCESS_PARAMETERS = 118,
  SS_METHOD_RTW = 119,
  SS_METHOD_SET_INPUT_PORT_COMPLEX_SIGNAL = 120,
  SS_METHOD_SET_OUTPUT_PORT_COMPLEX_SIGNAL = 121,
  SS_METHOD_SET_INPUT_PORT_SAMPLE_TIME = 122,
  SS_METHOD_SET_OUTPUT_PORT_SAMPLE_TIME = 123,
  SS_METHOD_SET_INPUT_PORT_DIMENSION_INFO = 126,
  SS_METHOD_SET_OUTPUT_PORT_DIMENSION_INFO = 127,
  SS_METHOD_SET_INPUT_PORT_FRAME_DATA = 128,
  SS_METHOD_SET_DEFAULT_PORT_DIMENSION_INFO = 131,
  SS_METHOD_SET_DEFAULT_PORT_DATA_TYPES = 132,
  SS_METHOD_SET_DEFAULT_PORT_COMPLEX_SIGNALS = 133,
  SS_METHOD_EXT_MODE_EXEC = 134,
  SS_METHOD_ENABLE = 139,
  SS_METHOD_DISABLE = 140,
  SS_METHOD_INITIALIZE_PROPAGATION_PASS = 142,
  SS_METHOD_GET_SIM_STATE = 144,
  SS_METHOD_SET_SIM_STATE = 145
};

/* Simulation modes a block can be in (read by the chart runtime). */
typedef enum { SS_SIM_NORMAL = 0, SS_SIM_RTW_GEN = 1, SS_SIM_EXTERNAL = 2 } SsSimMode;

typedef void (*SsMethodFn)(SimStruct* S);
typedef void (*SsPortIntFn)(SimStruct* S, int port, int arg);
typedef void (*SsPortPtrFn)(SimStruct* S, int port, void* arg);
typedef void (*SsPortTimeFn)(SimStruct* S, int port, double sample_time, double offset);
typedef void (*SsPortFn)(SimStruct* S, int port);
typedef int (*SsGenericFcn)(SimStruct* S, int code, int int_arg, void* value);
typedef int (*SsRtwWriterFn)(void* context, int type, const char* name, const void* value,
                             int data_type, int rows, int cols, int reserved);

/* One slot serves the width method (flags bit 0 clear) or the dimension-information
 * method (bit 0 set) of a port direction. */
typedef union {
  SsPortIntFn width;
  SsPortPtrFn dims;
} SsPortShapeSlot;

typedef struct {
  SsMethodFn set_work_widths;
  SsMethodFn process_parameters;
  SsMethodFn start;
  SsMethodFn initialize_conditions;
  SsMethodFn outputs;
  SsMethodFn derivatives;
  SsMethodFn terminate;
  SsMethodFn rtw;
  SsMethodFn flag108;
  SsMethodFn check_parameters;
  SsPortIntFn set_input_port_data_type;
  SsPortIntFn set_output_port_data_type;
  SsPortShapeSlot input_port_shape;
  SsPortShapeSlot output_port_shape;
  SsPortIntFn set_input_port_complex_signal;
  SsPortIntFn set_output_port_complex_signal;
  SsPortTimeFn set_input_port_sample_time;
  SsPortTimeFn set_output_port_sample_time;
} SsMethods;

/* The host's extended method table. */
typedef struct {
  SsPortIntFn set_input_port_frame_data;
  SsMethodFn set_default_port_dimension_info;
  SsMethodFn set_default_port_data_types;
  SsMethodFn set_default_port_complex_signals;
  SsMethodFn ext_mode_exec;
  SsMethodFn enable;
  SsMethodFn disable;
  SsPortFn initialize_propagation_pass;
} SsExtMethods;

typedef struct {
  void* signal; /* address of the port's signal, or null */
  int width;
  uint32_t attributes;
} SsPort;

typedef struct {
  uint32_t flags; /* flag word on which errors are posted */
  int int_arg;    /* argument fields of port and sim-state method calls */
  double time_arg0;
  double time_arg1;
  void* ptr_arg;
  int major_time_step; /* nonzero in a major time step */
  int stop_requested;  /* set to 1 to ask the host to stop */
  double stored_time;  /* time of the last major step */
  double* t;           /* address of the current simulation time */
  SsGenericFcn generic_fcn;
  void* rtw_writer_context;
  SsRtwWriterFn rtw_writer;
} SsModelInfo;

struct SimStruct_tag {
  SimStruct* root;
  const char* model_name;
  const char* path;
  const char* error_status;
  int32_t sizes[SS_SIZES_COUNT];
  SsMethods methods;
  SsExtMethods* ext_methods;
  void* user_data;
  const double* sample_periods;
  int num_sample_times;
  SsPort* input_ports; /* count: sizes entry 3 */
  int num_output_ports;
  SsPort* output_ports;
  int num_dialog_params;
  const mxArray** dialog_params;
  int num_run_time_params;
  const uint32_t* run_time_param_attributes;
  SsModelInfo* mdl_info;
  void* host_block_data; /* further host-owned pointer; when set, code 197 is sent */
  /* How the chart runtime finds the block's chart. */
  const char* sf_machine_name;
  int sf_chart_number;
  SsSimMode sim_mode;
};

/* Named accessors. */
static inline SimStruct* ssGetRootSS(SimStruct* S) {
  return S->root ? S->root : S;
}
static inline int ssGetNumInputPorts(const SimStruct* S) {
  return S->sizes[SS_SIZES_NUM_INPUT_PORTS];
}
static inline int ssGetPortIndexArg(const SimStruct* S) {
  return S->sizes[SS_SIZES_PORT_INDEX];
}
static inline uint32_t ssGetFlags(const SimStruct* S) {
  return (uint32_t)S->sizes[SS_SIZES_FLAGS];
}
static inline void ssSetFlags(SimStruct* S, uint32_t flags) {
  S->sizes[SS_SIZES_FLAGS] = (int32_t)flags;
}
static inline void ssSetFlagBit(SimStruct* S, uint32_t bit, int on) {
  ssSetFlags(S, on ? (ssGetFlags(S) | bit) : (ssGetFlags(S) & ~bit));
}
static inline uint32_t ssGetOptions(const SimStruct* S) {
  return (uint32_t)S->sizes[SS_SIZES_OPTIONS];
}
static inline void ssSetOptions(SimStruct* S, uint32_t options) {
  S->sizes[SS_SIZES_OPTIONS] = (int32_t)options;
}
static inline uint32_t ssGetChecksum(const SimStruct* S, int i) {
  return (uint32_t)S->sizes[SS_SIZES_CHECKSUM0 + i];
}
static inline void ssSetChecksum(SimStruct* S, int i, uint32_t word) {
  S->sizes[SS_SIZES_CHECKSUM0 + i] = (int32_t)word;
}
static inline int ssGetSimStateCompliance(const SimStruct* S) {
  return (int)((ssGetFlags(S) & SS_FLAG_SIM_STATE_MASK) >> SS_FLAG_SIM_STATE_SHIFT);
}
static inline void ssSetSimStateCompliance(SimStruct* S, int compliance) {
  ssSetFlags(S, (ssGetFlags(S) & ~(uint32_t)SS_FLAG_SIM_STATE_MASK) |
                    (((uint32_t)compliance << SS_FLAG_SIM_STATE_SHIFT) & SS_FLAG_SIM_STATE_MASK));
}
static inline void* ssGetOutputPortSignal(const SimStruct* S, int port) {
  return S->output_ports[port].signal;
}

#ifdef __cplusplus
}
#endif

#endif
