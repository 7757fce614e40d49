// The stand-in engine: the part of the host that plays Simulink. It loads MEX
// plug-ins, builds a SimStruct per block, and drives the S-function methods of each
// block through the plug-in's mexFunction, exactly as the host would (negative
// output count, SimStruct in plhs[1], flag in the fourth input).
#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/mex.h"
#include "platform/simstruc.h"

namespace host::sf_runtime {
struct Registration;
}

namespace host::engine {

struct MxDeleter {
  void operator()(mxArray* a) const;
};
using MxPtr = std::unique_ptr<mxArray, MxDeleter>;

enum class Rate { Inherited, Continuous, Discrete };
enum class SimMode { Normal, CodeGen, External };

// Fixed step size of the engine's simulation clock, in seconds.
inline constexpr double kStepSize = 0.01;

// The outcome of one method call on a block: the error status the block posted
// (or the host error raised through the call), empty when the call succeeded.
struct CallResult {
  bool ok = true;
  std::string error;       // the message as posted / raised
  std::string identifier;  // message identifier of a host error, when it had one
  // The engine refused: the call was not made, or its outcome (a block whose chart
  // reads inputs of other widths than its ports have) is not one the engine runs.
  bool refused = false;
  explicit operator bool() const { return ok; }
};

class Engine;

class Plugin {
 public:
  const std::string& path() const { return path_; }
  const std::string& model() const { return model_; }  // "Harnvale" for Harnvale_sfun.*
  mexFunction_t entry() const { return entry_; }
  const void* id() const { return this; }
  int lock_count() const;

  // The MATLAB-level call model_sfun(args...): returns max(nlhs, 1) output slots
  // (null where the plug-in wrote none). Raises host::HostError on failure, and
  // std::invalid_argument for a negative nlhs (that would be a direct method call).
  std::vector<MxPtr> call_matlab(int nlhs, const std::vector<const mxArray*>& args);

 private:
  friend class Engine;
  std::string path_, model_;
  void* handle_ = nullptr;
  mexFunction_t entry_ = nullptr;
};

struct BlockOptions {
  int chart = 1;
  int table_length = 0;  // width of input ports 0 and 1; must be set by the caller (> 0)
  Rate rate = Rate::Inherited;
  double discrete_period = 0.1;  // sample period of a discrete block
  SimMode mode = SimMode::Normal;
  int sim_state_compliance = SS_SIM_STATE_COMPLIANCE_OWN;
  // Fill the SimStruct's further host-owned pointer (the block then receives the
  // generic-function code that announces it at set work widths).
  bool host_block_data = false;
};

class Block {
 public:
  SimStruct* simstruct() { return &S_; }
  Plugin& plugin() { return *plugin_; }
  int chart() const { return opts_.chart; }
  int table_length() const { return opts_.table_length; }
  const std::string& path() const { return path_; }
  double handle() const { return handle_; }  // answered for generic-function code 21
  bool started() const { return started_; }  // mdlStart called, terminate not yet
  // The widths of input ports 0, 1, 2 as the chart recorded them when it started
  // (its debugger registration of the data at each port); empty until then, and
  // when the chart recorded none.
  const std::vector<int>& chart_input_widths() const { return chart_widths_; }
  // The chart runtime's numbers of the registration the chart made when it started:
  // chart number and instance number (host::sf_runtime::chart_instance), {0, 0}
  // until then and when it made none.
  std::array<unsigned, 2> registration() const { return registration_; }

  // Input signals (ports 0, 1, 2) and the output signal (port 1).
  double* x() { return x_.data(); }
  double* y() { return y_.data(); }
  double& z() { return z_; }
  double y1() const { return y1_; }
  void set_inputs(const double* x, const double* y, double z);

  // A direct method call with this flag (111, 118, 117, 102, 104, ...). A start whose
  // chart reads inputs of other widths than the block's ports fails (refused), and
  // outputs (104) of a started block are refused unless its chart recorded input
  // widths equal to the ports': otherwise the chart could read past its inputs.
  CallResult call(double flag);
  CallResult set_work_widths() { return call(SS_METHOD_SET_WORK_WIDTHS); }
  CallResult process_parameters() { return call(SS_METHOD_PROCESS_PARAMETERS); }
  CallResult start() { return call(SS_METHOD_START); }
  CallResult initialize() { return call(SS_METHOD_INITIALIZE_CONDITIONS); }
  CallResult outputs() { return call(SS_METHOD_OUTPUTS); }
  CallResult enable() { return call(SS_METHOD_ENABLE); }
  CallResult disable() { return call(SS_METHOD_DISABLE); }
  CallResult rtw() { return call(SS_METHOD_RTW); }
  CallResult terminate() { return call(SS_METHOD_TERMINATE); }
  // Flag 144: the saved state (owned by the caller) or null with the error in `result`.
  MxPtr get_sim_state(CallResult* result = nullptr);
  // Flag 145 with the given saved state (not consumed).
  CallResult set_sim_state(const mxArray* state);

  // Name-value pairs written to the code-generation record (type, name, rows, cols).
  struct RtwPair {
    int type;
    std::string name;
    std::string text;  // the value of a text pair
    int data_type, rows, cols;
  };
  const std::vector<RtwPair>& rtw_pairs() const { return rtw_pairs_; }
  // Calls of the generic-function entry (code, integer argument).
  const std::vector<std::pair<int, int>>& generic_calls() const { return generic_calls_; }
  void clear_records() {
    rtw_pairs_.clear();
    generic_calls_.clear();
  }

 private:
  friend class Engine;
  Engine* engine_ = nullptr;
  Plugin* plugin_ = nullptr;
  BlockOptions opts_;
  SimStruct S_{};
  std::string path_;
  std::vector<SsPort> inputs_, outputs_;
  std::vector<double> x_, y_;
  double z_ = 0, y0_ = 0, y1_ = 0;
  double sample_period_ = -1.0;
  double handle_ = 0;
  int host_data_ = 0;  // what the further host-owned pointer addresses, when set
  bool started_ = false;
  bool widths_ok_ = false;  // the chart's recorded input widths match the ports
  std::vector<int> chart_widths_;
  std::array<unsigned, 2> registration_{};
  SsExtMethods ext_{};
  std::vector<RtwPair> rtw_pairs_;
  std::vector<std::pair<int, int>> generic_calls_;
  mxArray* sim_state_slot_ = nullptr;
};

class Engine {
 public:
  Engine();
  ~Engine();  // terminates blocks still started, unloads plug-ins
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // dlopen (local symbols) and look up mexFunction; loading the same file twice
  // returns the same plug-in. The path always names a file (a bare name is a file in
  // the working folder, never one the loader searches for). The model is `model`
  // when given, else the file name's stem before "_sfun". Throws std::runtime_error
  // when it cannot, saying whether the file is no shared library or exports no
  // mexFunction.
  Plugin& load(const std::string& path, const std::string& model = {});
  // Throws std::invalid_argument for a chart number below 1 or a table length below 1.
  Block& add_block(Plugin& plugin, const BlockOptions& options);

  // The simulation clock: time and whether the current step is a major one. A major
  // step also becomes the stored time of the last major step.
  void set_time(double t, bool major);
  double time() const { return t_; }
  bool major() const { return mdl_info_.major_time_step != 0; }

  SimStruct* root() { return &root_; }

 private:
  friend class Block;
  static int generic_function(SimStruct* S, int code, int int_arg, void* value);
  static int rtw_writer(void* context, int type, const char* name, const void* value, int data_type,
                        int rows, int cols, int reserved);
  Block* find_block(const SimStruct* S);
  static CallResult check_widths(Block& b,
                                 const std::vector<host::sf_runtime::Registration>& before);

  SimStruct root_{};
  SsModelInfo mdl_info_{};
  double t_ = 0;
  std::vector<std::unique_ptr<Plugin>> plugins_;
  std::vector<std::unique_ptr<Block>> blocks_;
  Block* current_ = nullptr;  // the block whose method is running
  // Persistent inputs of direct method calls, rewritten per call: time, two empty
  // arrays in the places of states and inputs, and the flag.
  mxArray* t_arg_ = nullptr;
  mxArray* x_arg_ = nullptr;
  mxArray* u_arg_ = nullptr;
  mxArray* flag_ = nullptr;
};

}  // namespace host::engine
