// The stand-in engine: loads plug-ins, lays out one SimStruct per block and drives
// the blocks' S-function methods through the plug-ins' mexFunction.
#include "host/engine.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/os.hpp"
#include "host/sf_runtime_host.hpp"
#include "platform/truncate.h"

namespace host::engine {

namespace {

constexpr int kNumInputPorts = 3;
constexpr int kNumOutputPorts = 2;
// An array owned by the engine across calls: persistent, and in no call's scope.
mxArray* engine_array(mxArray* a) {
  host::mx::make_persistent(a);
  host::mx::release_from_scope(a);
  return a;
}

// "Harnvale_sfun.mexa64" -> "Harnvale".
std::string model_of(const std::string& path) {
  std::string stem = std::filesystem::path(path).filename().string();
  if (auto dot = stem.find('.'); dot != std::string::npos) stem.erase(dot);
  const std::string suffix = "_sfun";
  if (stem.size() > suffix.size() &&
      stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0) {
    stem.erase(stem.size() - suffix.size());
  }
  return stem;
}

double period_of(const BlockOptions& o) {
  switch (o.rate) {
    case Rate::Inherited:
      return -1.0;
    case Rate::Continuous:
      return 0.0;
    case Rate::Discrete:
      return o.discrete_period;
  }
  return -1.0;
}

SsSimMode sim_mode_of(SimMode m) {
  switch (m) {
    case SimMode::Normal:
      return SS_SIM_NORMAL;
    case SimMode::CodeGen:
      return SS_SIM_RTW_GEN;
    case SimMode::External:
      return SS_SIM_EXTERNAL;
  }
  return SS_SIM_NORMAL;
}

}  // namespace

void MxDeleter::operator()(mxArray* a) const {
  if (a) mxDestroyArray(a);
}

// ---------------------------------------------------------------------------------
// Plugin

int Plugin::lock_count() const {
  return host::mex::lock_count(id());
}

std::vector<MxPtr> Plugin::call_matlab(int nlhs, const std::vector<const mxArray*>& args) {
  if (nlhs < 0) {
    throw std::invalid_argument("a MATLAB-level call needs an output count of 0 or more");
  }
  const int slots = nlhs > 1 ? nlhs : 1;
  std::vector<mxArray*> plhs(static_cast<std::size_t>(slots), nullptr);
  std::vector<const mxArray*> prhs(args);
  host::mex::call(id(), entry_, nlhs, plhs.data(), static_cast<int>(prhs.size()),
                  prhs.empty() ? nullptr : prhs.data());
  std::vector<MxPtr> out;
  out.reserve(plhs.size());
  for (mxArray* a : plhs)
    out.emplace_back(a);
  return out;
}

// ---------------------------------------------------------------------------------
// Block

void Block::set_inputs(const double* x, const double* y, double z) {
  std::copy(x, x + opts_.table_length, x_.begin());
  std::copy(y, y + opts_.table_length, y_.begin());
  z_ = z;
}

// The method a flag names, read as the plug-in reads it (cut towards zero); a flag
// outside the int range (-1 here) goes to the plug-in as it is, which refuses it.
static int method_of(double flag) {
  int32_t method = 0;
  return truncate_to_int32(flag, &method) ? method : -1;
}

CallResult Block::call(double flag) {
  Engine& e = *engine_;
  const int method = method_of(flag);
  if (method == SS_METHOD_OUTPUTS && started_ && !widths_ok_) {
    CallResult refused;
    refused.ok = false;
    refused.refused = true;
    refused.error = "outputs of " + path_ + " refused: " +
                    (chart_widths_.empty()
                         ? std::string("its chart recorded no input widths at start")
                         : std::string("its chart's input widths do not match the block's ports"));
    return refused;
  }
  mxGetPr(e.flag_)[0] = flag;
  mxGetPr(e.t_arg_)[0] = e.t_;

  // The method's arguments in the model information. A state that an earlier
  // mdlGetSimState handed back and nobody took is the engine's to destroy; a
  // mdlSetSimState needs a state (set_sim_state gives it).
  if (method == SS_METHOD_SET_SIM_STATE && !e.mdl_info_.ptr_arg) {
    CallResult refused;
    refused.ok = false;
    refused.refused = true;
    refused.error = "mdlSetSimState of " + path_ + " refused: no state given";
    return refused;
  }
  if (method == SS_METHOD_GET_SIM_STATE) {
    if (sim_state_slot_) mxDestroyArray(sim_state_slot_);
    sim_state_slot_ = nullptr;
    e.mdl_info_.ptr_arg = &sim_state_slot_;
  }

  e.root_.error_status = nullptr;
  e.mdl_info_.flags |= SS_MDLINFO_ERROR_FLAG;
  std::vector<host::sf_runtime::Registration> registered;
  if (method == SS_METHOD_START) registered = host::sf_runtime::registrations_of(&S_);

  mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(&S_)};
  const mxArray* prhs[4] = {e.t_arg_, e.x_arg_, e.u_arg_, e.flag_};

  CallResult result;
  Block* outer = std::exchange(e.current_, this);
  try {
    host::mex::CallContext context(plugin_->id());
    plugin_->entry()(-1, plhs, 4, prhs);
    // Everything made during the call goes, except a saved state handed back.
    mxArray* keep = method == SS_METHOD_GET_SIM_STATE ? sim_state_slot_ : nullptr;
    context.close(&keep, keep ? 1 : 0);
  } catch (const host::HostError& err) {
    // A host error raised outside the runtime's method wrapper: the block's error.
    result.ok = false;
    result.error = err.what();
    result.identifier = err.identifier;
    if (method == SS_METHOD_GET_SIM_STATE) sim_state_slot_ = nullptr;  // destroyed with the call
  }
  e.current_ = outer;
  if (method == SS_METHOD_GET_SIM_STATE || method == SS_METHOD_SET_SIM_STATE)
    e.mdl_info_.ptr_arg = nullptr;

  if (method == SS_METHOD_START) {
    started_ = true;
    widths_ok_ = false;
    chart_widths_.clear();
  }
  if (method == SS_METHOD_TERMINATE) started_ = false;

  if (result.ok && e.root_.error_status) {
    result.ok = false;
    result.error = e.root_.error_status;
    // The runtime's method wrapper keeps the identifier of the error it posted.
    const auto& caught = host::sf_runtime::last_error();
    if (caught && result.error == caught->message) result.identifier = caught->identifier;
  }
  if (method == SS_METHOD_START && result.ok) result = Engine::check_widths(*this, registered);
  return result;
}

MxPtr Block::get_sim_state(CallResult* result) {
  CallResult r = call(SS_METHOD_GET_SIM_STATE);
  MxPtr state(std::exchange(sim_state_slot_, nullptr));
  if (!r) state.reset();
  if (r && !state) {
    r.ok = false;
    r.error = "mdlGetSimState returned no state";
  }
  if (result) *result = std::move(r);
  return state;
}

CallResult Block::set_sim_state(const mxArray* state) {
  engine_->mdl_info_.ptr_arg = const_cast<mxArray*>(state);
  return call(SS_METHOD_SET_SIM_STATE);
}

// ---------------------------------------------------------------------------------
// Engine

Engine::Engine() {
  t_arg_ = engine_array(mxCreateDoubleScalar(0.0));
  x_arg_ = engine_array(mxCreateDoubleMatrix_700(0, 0, mxREAL));
  u_arg_ = engine_array(mxCreateDoubleMatrix_700(0, 0, mxREAL));
  flag_ = engine_array(mxCreateDoubleScalar(0.0));

  mdl_info_.flags = SS_MDLINFO_ERROR_FLAG;
  mdl_info_.t = &t_;
  mdl_info_.major_time_step = 1;
  mdl_info_.generic_fcn = &Engine::generic_function;
  mdl_info_.rtw_writer_context = this;
  mdl_info_.rtw_writer = &Engine::rtw_writer;

  root_.root = nullptr;
  root_.model_name = "";
  root_.path = "";
  root_.mdl_info = &mdl_info_;
}

Engine::~Engine() {
  for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it) {
    if ((*it)->started_) {
      try {
        (*it)->terminate();
      } catch (...) {
        // Nothing may escape a destructor; the block's records are the plug-in's.
      }
    }
  }
  for (auto& b : blocks_) {
    if (b->sim_state_slot_) mxDestroyArray(std::exchange(b->sim_state_slot_, nullptr));
  }
  blocks_.clear();
  for (mxArray* a : {t_arg_, x_arg_, u_arg_, flag_})
    mxDestroyArray(a);
  for (auto& p : plugins_) {
    if (p->handle_) host::os::close_library(p->handle_);
  }
}

Plugin& Engine::load(const std::string& path, const std::string& model) {
  // A path names one file however it is spelt, and the loader is always given a path
  // with a folder in it, so that it never searches for a bare name.
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) throw std::runtime_error("cannot load plug-in '" + path + "': " + ec.message());
  std::string canonical = absolute.string();
  auto resolved = std::filesystem::weakly_canonical(absolute, ec);
  if (!ec) canonical = resolved.string();
  for (auto& p : plugins_) {
    if (p->path_ == canonical) return *p;
  }
  if (!std::filesystem::is_regular_file(canonical, ec))
    throw std::runtime_error("cannot load plug-in '" + path + "': no such file");
  if (!host::os::is_library_file(canonical))
    throw std::runtime_error("'" + path + "' is not a plug-in: not a shared library");
  std::string why;
  void* handle = host::os::open_library(canonical, &why);
  if (!handle) throw std::runtime_error("cannot load plug-in '" + path + "': " + why);
  void* sym = host::os::find_symbol(handle, "mexFunction");
  if (!sym) {
    host::os::close_library(handle);
    throw std::runtime_error("'" + path + "' is not a plug-in: it does not export mexFunction");
  }
  auto plugin = std::make_unique<Plugin>();
  plugin->path_ = canonical;
  plugin->model_ = model.empty() ? model_of(canonical) : model;
  plugin->handle_ = handle;
  plugin->entry_ = reinterpret_cast<mexFunction_t>(sym);
  plugins_.push_back(std::move(plugin));
  return *plugins_.back();
}

Block& Engine::add_block(Plugin& plugin, const BlockOptions& options) {
  if (options.chart < 1) throw std::invalid_argument("chart number must be 1 or more");
  if (options.table_length < 1) throw std::invalid_argument("table length must be 1 or more");

  auto block = std::make_unique<Block>();
  Block& b = *block;
  b.engine_ = this;
  b.plugin_ = &plugin;
  b.opts_ = options;
  b.x_.assign(static_cast<std::size_t>(options.table_length), 0.0);
  b.y_.assign(static_cast<std::size_t>(options.table_length), 0.0);
  b.sample_period_ = period_of(options);

  int same_chart = 1;
  for (auto& other : blocks_) {
    if (other->plugin_ == &plugin && other->opts_.chart == options.chart) ++same_chart;
  }
  char path_tail[64];
  if (same_chart > 1) {
    std::snprintf(path_tail, sizeof path_tail, "/Chart%d_%d", options.chart, same_chart);
  } else {
    std::snprintf(path_tail, sizeof path_tail, "/Chart%d", options.chart);
  }
  b.path_ = plugin.model();
  b.path_.append(path_tail);
  // Block handles look like the host's: distinct, not whole numbers.
  b.handle_ = 3.0001220703125 + static_cast<double>(blocks_.size());

  b.inputs_ = {{b.x_.data(), options.table_length, 0},
               {b.y_.data(), options.table_length, 0},
               {&b.z_, 1, 0}};
  b.outputs_ = {{&b.y0_, 1, 0}, {&b.y1_, 1, 0}};

  SimStruct& S = b.S_;
  S.root = &root_;
  S.model_name = plugin.model().c_str();
  S.path = b.path_.c_str();
  S.sizes[SS_SIZES_NUM_INPUT_PORTS] = kNumInputPorts;
  ssSetSimStateCompliance(&S, options.sim_state_compliance);
  S.ext_methods = &b.ext_;
  S.sample_periods = &b.sample_period_;
  S.num_sample_times = 1;
  S.input_ports = b.inputs_.data();
  S.num_output_ports = kNumOutputPorts;
  S.output_ports = b.outputs_.data();
  S.mdl_info = &mdl_info_;
  S.host_block_data = options.host_block_data ? &b.host_data_ : nullptr;
  S.sf_machine_name = plugin.model().c_str();
  S.sf_chart_number = options.chart;
  S.sim_mode = sim_mode_of(options.mode);

  b.generic_calls_.reserve(16);
  blocks_.push_back(std::move(block));
  return b;
}

void Engine::set_time(double t, bool major) {
  t_ = t;
  mdl_info_.major_time_step = major ? 1 : 0;
  if (major) mdl_info_.stored_time = t;
}

// What the chart of a block just started recorded about its inputs: at start it
// registers each data with the runtime's debugger, with the address it reads it from
// (a port's signal) and its compiled dimensions. Only a registration made by this
// start counts (`before` lists those made earlier). Each input port must be found
// there, with the width the block gave it.
CallResult Engine::check_widths(Block& b,
                                const std::vector<host::sf_runtime::Registration>& before) {
  const host::sf_runtime::ChartInstanceRecord* record = nullptr;
  for (const auto& now : host::sf_runtime::registrations_of(&b.S_)) {
    if (std::find(before.begin(), before.end(), now) == before.end()) {
      record = host::sf_runtime::chart_instance(now.chart_number, now.instance_number);
      b.registration_ = {now.chart_number, now.instance_number};
    }
  }
  CallResult result;
  auto refuse = [&](const std::string& why) {
    result.ok = false;
    result.refused = true;
    result.error = "mdlStart of " + b.path_ + ": " + why;
    return result;
  };
  // No registration (code generation does not register): nothing to compare, and no
  // step is run on widths that are unknown (see Block::call).
  if (!record) return result;
  constexpr std::int64_t kTooWide = std::int64_t{1} << 31;
  for (const SsPort& port : b.inputs_) {
    int width = -1;
    for (std::size_t d = 0; d < record->value_ptrs.size() && d < record->compiled.size(); ++d) {
      if (record->value_ptrs[d] != port.signal || !record->compiled[d].set) continue;
      std::int64_t elements = 1;
      for (unsigned dim : record->compiled[d].dims)
        elements = std::min<std::int64_t>(elements * dim, kTooWide);
      width = static_cast<int>(std::min<std::int64_t>(elements, kTooWide - 1));
    }
    b.chart_widths_.push_back(width);
  }
  for (std::size_t p = 0; p < b.inputs_.size(); ++p) {
    const int width = b.chart_widths_[p];
    if (width < 0)
      return refuse("its chart recorded no data read from input port " + std::to_string(p));
    if (width != b.inputs_[p].width)
      return refuse("its chart reads " + std::to_string(width) + " values from input port " +
                    std::to_string(p) + ", but the port is " + std::to_string(b.inputs_[p].width) +
                    " wide");
  }
  b.widths_ok_ = true;
  return result;
}

Block* Engine::find_block(const SimStruct* S) {
  if (current_ && &current_->S_ == S) return current_;
  for (auto& b : blocks_) {
    if (&b->S_ == S) return b.get();
  }
  return nullptr;
}

int Engine::generic_function(SimStruct* S, int code, int int_arg, void* value) {
  if (!S || !S->mdl_info) return 0;
  auto* engine = static_cast<Engine*>(S->mdl_info->rtw_writer_context);
  Block* b = engine ? engine->find_block(S) : nullptr;
  if (!b) return 0;
  b->generic_calls_.emplace_back(code, int_arg);
  if (code == SS_GEN_BLOCK_HANDLE && value) *static_cast<double*>(value) = b->handle_;
  return 1;
}

int Engine::rtw_writer(void* context, int type, const char* name, const void* value, int data_type,
                       int rows, int cols, int /*reserved*/) {
  auto* engine = static_cast<Engine*>(context);
  if (!engine || !engine->current_) return 0;
  Block::RtwPair pair{type, name ? name : "", "", data_type, rows, cols};
  if ((type == 0 || type == 1) && value) pair.text = static_cast<const char*>(value);
  engine->current_->rtw_pairs_.push_back(std::move(pair));
  return 1;
}

}  // namespace host::engine
