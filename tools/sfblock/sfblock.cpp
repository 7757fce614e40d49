// sfblock: chart blocks of the plug-ins run from GNU Octave.
//
//   y1 = sfblock(model, chart, x, y, z)
//   [y1, state] = sfblock(model, chart, x, y, z, name, value, ...)
//
// runs one block (or several) of chart `chart` of `model` (a model of the build,
// 'Harnvale' say) on the table (x, y) over the queries z, one major step of 0.01 s
// per query, exactly as sfsim does, and returns y1 in the shape of z. Options:
//   'rate'   'inherited' (default), 'continuous' or 'discrete'
//   'blocks' the number of blocks fed the same inputs (they must agree)
//   'state'  a saved state (a struct from an earlier run) restored before the
//            first step
// The second output is block 1's saved state after the last step.
//
// The plug-ins are the .mex files beside sfblock; they run on Octave's matrix
// and MEX functions, so a host error in a step (e.g. a NaN breakpoint) is an
// Octave error with the message's identifier.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <octave/octave-config.h>
#include <octave/quit.h>

#include "host/engine.hpp"
#include "host/os.hpp"
#include "host/sf_runtime_host.hpp"
#include "models/list.hpp"
#include "platform/mex.h"

namespace {

using host::engine::Block;
using host::engine::CallResult;
using host::engine::Engine;
using host::engine::Rate;

struct Model {
  const char* name;
  std::vector<int> table_length;  // N of chart 1, 2, ...
};

// The build's models, from their catalogues.
const std::vector<Model>& models() {
  static const std::vector<Model> all = [] {
    std::vector<Model> list;
    models::All::each([&]<class M>() { list.push_back({M::name, models::table_lengths<M>()}); });
    return list;
  }();
  return all;
}

// "the model must be 'A' or 'B'", for every model of the build.
std::string model_choice() {
  std::string text = "the model must be ";
  const auto& all = models();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) text += i + 1 == all.size() ? " or " : ", ";
    text += std::string("'") + all[i].name + "'";
  }
  return text;
}

// An error to raise once everything of the run has been released.
struct Failure {
  std::string identifier, message;
};

[[noreturn]] void raise(const Failure& f) {
  mexErrMsgIdAndTxt(f.identifier.c_str(), "%s", f.message.c_str());
  std::abort();  // not reached: mexErrMsgIdAndTxt does not return
}

std::string text_of(const mxArray* a) {
  if (a == nullptr || !mxIsChar(a)) return {};
  std::vector<char> buf(mxGetNumberOfElements(a) + 1);
  mxGetString_700(a, buf.data(), static_cast<int>(buf.size()));
  return buf.data();
}

bool is_real_double(const mxArray* a) {
  return a != nullptr && mxIsDouble(a) && !mxIsComplex(a);
}

bool is_vector(const mxArray* a) {
  return mxGetM(a) == 1 || mxGetN(a) == 1 || mxGetNumberOfElements(a) == 0;
}

// A positive integer scalar, or nothing.
std::optional<int> count_of(const mxArray* a) {
  if (!is_real_double(a) || mxGetNumberOfElements(a) != 1) return std::nullopt;
  const double v = mxGetScalar(a);
  if (!(v >= 1 && v <= 1e6) || std::floor(v) != v) return std::nullopt;
  return static_cast<int>(v);
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// The folder of this MEX file: the plug-ins are its neighbours.
std::filesystem::path own_folder() {
  const std::string file = host::os::library_path_of(reinterpret_cast<const void*>(&own_folder));
  return file.empty() ? std::filesystem::path() : std::filesystem::path(file).parent_path();
}

struct Request {
  const Model* model = nullptr;
  int chart = 0;
  const mxArray *x = nullptr, *y = nullptr, *z = nullptr;
  Rate rate = Rate::Inherited;
  int blocks = 1;
  const mxArray* state = nullptr;
};

Request parse(int nrhs, const mxArray* prhs[]) {
  auto bad = [](const char* id, const std::string& text) { raise({id, text}); };
  if (nrhs < 5 || nrhs % 2 == 0) {
    bad("sfblock:usage",
        "usage: y1 = sfblock(model, chart, x, y, z) with options as name-value pairs");
  }
  Request r;
  const std::string model = text_of(prhs[0]);
  for (const Model& m : models())
    if (model == m.name) r.model = &m;
  if (r.model == nullptr) bad("sfblock:model", model_choice());
  const int charts = static_cast<int>(r.model->table_length.size());
  const std::optional<int> chart = count_of(prhs[1]);
  if (!chart || *chart > charts) {
    bad("sfblock:chart", std::string(r.model->name) + " has charts 1 to " + std::to_string(charts));
  }
  r.chart = *chart;
  const std::size_t n = static_cast<std::size_t>(r.model->table_length[r.chart - 1]);
  const char* names[] = {"x", "y"};
  for (int i = 0; i < 2; ++i) {
    const mxArray* a = prhs[2 + i];
    if (!is_real_double(a) || !is_vector(a) || mxGetNumberOfElements(a) != n) {
      bad("sfblock:table", std::string(names[i]) + " must be a real double vector of " +
                               std::to_string(n) + " elements for chart " +
                               std::to_string(r.chart) + " of " + r.model->name);
    }
  }
  r.x = prhs[2];
  r.y = prhs[3];
  if (!is_real_double(prhs[4]) || !is_vector(prhs[4]))
    bad("sfblock:query", "z must be a real double vector");
  r.z = prhs[4];
  for (int i = 5; i < nrhs; i += 2) {
    const std::string name = text_of(prhs[i]);
    const mxArray* value = prhs[i + 1];
    if (name == "rate") {
      const std::string rate = text_of(value);
      if (rate == "inherited") {
        r.rate = Rate::Inherited;
      } else if (rate == "continuous") {
        r.rate = Rate::Continuous;
      } else if (rate == "discrete") {
        r.rate = Rate::Discrete;
      } else {
        bad("sfblock:option", "'rate' must be 'inherited', 'continuous' or 'discrete'");
      }
    } else if (name == "blocks") {
      const std::optional<int> k = count_of(value);
      if (!k || *k > 100) bad("sfblock:option", "'blocks' must be an integer from 1 to 100");
      r.blocks = *k;
    } else if (name == "state") {
      if (!mxIsStruct(value)) bad("sfblock:option", "'state' must be a saved state (a struct)");
      r.state = value;
    } else {
      bad("sfblock:option", "unknown option '" + name + "' (known: rate, blocks, state)");
    }
  }
  return r;
}

// Runs the blocks; on success fills y1 (and the state when asked), else returns
// the failure. Every block started is terminated and the engine released before
// this returns, so that the caller raises with nothing left behind.
std::optional<Failure> run(const Request& r, double* y1, mxArray** state) {
  Engine engine;
  std::optional<Failure> failure;
  // One method call; its failure (posted or raised) is kept under `what`.
  auto ok = [&](const std::string& what, const CallResult& res) {
    if (!res && !failure) {
      failure = Failure{res.identifier.empty() ? "sfblock:hostError" : res.identifier,
                        what + ": " + res.error};
    }
    return bool(res);
  };
  try {
    const std::filesystem::path file = own_folder() / (std::string(r.model->name) + "_sfun.mex");
    host::engine::Plugin& plugin = engine.load(file.string());
    host::engine::BlockOptions options;
    options.chart = r.chart;
    options.table_length = r.model->table_length[r.chart - 1];
    options.rate = r.rate;
    const std::size_t steps = mxGetNumberOfElements(r.z);
    const double* z = mxGetPr(r.z);
    std::vector<Block*> blocks;
    for (int i = 0; i < r.blocks; ++i) {
      Block& b = engine.add_block(plugin, options);
      b.set_inputs(mxGetPr(r.x), mxGetPr(r.y), steps > 0 ? z[0] : 0.0);
      blocks.push_back(&b);
    }
    for (Block* b : blocks) {
      if (!ok("mdlSetWorkWidths", b->set_work_widths()) || !ok("mdlStart", b->start()) ||
          !ok("mdlInitializeConditions", b->initialize()))
        return failure;
      if (r.state != nullptr && !ok("mdlSetSimState", b->set_sim_state(r.state))) return failure;
    }
    for (std::size_t k = 0; k < steps; ++k) {
      const double t = static_cast<double>(k) * host::engine::kStepSize;
      engine.set_time(t, true);
      const std::string what =
          "step " + std::to_string(k) + " (time " + number(t) + ", z " + number(z[k]) + ")";
      for (std::size_t i = 0; i < blocks.size(); ++i) {
        blocks[i]->z() = z[k];
        if (!ok(what, blocks[i]->outputs())) return failure;
        const double a = blocks[i]->y1(), b = blocks[0]->y1();
        if (std::bit_cast<std::uint64_t>(a) != std::bit_cast<std::uint64_t>(b)) {
          return Failure{"sfblock:blocksDiffer", what + ": block " + std::to_string(i + 1) +
                                                     " gave y1 = " + number(a) + ", block 1 gave " +
                                                     number(b)};
        }
      }
      y1[k] = blocks[0]->y1();
    }
    if (state != nullptr) {
      CallResult res;
      host::engine::MxPtr saved = blocks[0]->get_sim_state(&res);
      if (!ok("mdlGetSimState", res)) return failure;
      *state = saved.release();
    }
    for (Block* b : blocks) {
      if (!ok("mdlTerminate", b->terminate())) return failure;
    }
  } catch (const octave::execution_exception& e) {
    // An Octave error raised outside the runtime's method wrapper.
    return Failure{e.identifier().empty() ? "sfblock:hostError" : e.identifier(), e.message()};
  } catch (const std::exception& e) {
    return Failure{"sfblock:engine", e.what()};
  }
  return failure;
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nlhs > 2) raise({"sfblock:usage", "sfblock has at most two outputs: y1 and the state"});
  const Request r = parse(nrhs, prhs);
  const int m = static_cast<int>(mxGetM(r.z)), n = static_cast<int>(mxGetN(r.z));
  mxArray* y1 = mxCreateDoubleMatrix_700(m, n, mxREAL);
  mxArray* state = nullptr;
  std::optional<Failure> failure = run(r, mxGetPr(y1), nlhs > 1 ? &state : nullptr);
  // Every block of the run has terminated, and no other code in Octave starts
  // blocks: the runtime's records of the run (debug instances, machines, charts)
  // go, or they would pile up over the calls of a session.
  host::sf_runtime::reset();
  if (failure) {
    mxDestroyArray(y1);
    if (state != nullptr) mxDestroyArray(state);
    raise(*failure);
  }
  plhs[0] = y1;
  if (nlhs > 1) plhs[1] = state;
}
