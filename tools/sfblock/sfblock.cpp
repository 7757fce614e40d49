// sfblock: chart blocks of the plug-ins run from GNU Octave.
//
//   y1 = sfblock(model, chart, x, y, z)
//   [y1, state] = sfblock(model, chart, x, y, z, name, value, ...)
//
// runs one block (or several) of chart `chart` of `model` (a model of the build,
// 'Harnvale' say) on the table (x, y) over the queries z, one major step of 0.01 s
// per query, exactly as sfsim does, and returns y1 in the size and shape of z
// (N-dimensional and empty sizes included). x and y are full real double arrays of
// the chart's table length in any shape, z one of any size. Options, their names
// in any case:
//   'rate'   'inherited' (default), 'continuous' or 'discrete'
//   'blocks' the number of blocks fed the same inputs (they must agree), 1 to
//            tools::kMaxBlocks
//   'state'  a saved state (a struct from an earlier run) restored before the
//            first step
// The second output is block 1's saved state after the last step. Every argument
// is checked by arguments.hpp.
//
// The plug-ins are the .mex files beside sfblock; they run on Octave's matrix
// and MEX functions, so a host error in a step (e.g. a NaN breakpoint) is an
// Octave error with the message's identifier.

#include <bit>
#include <cctype>
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
#include "tools/block_limit.hpp"
#include "tools/sfblock/arguments.hpp"
#include "tools/sfsim/numbers.hpp"

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
  sfblock::raise_error(f.identifier, f.message);
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
  const double *x = nullptr, *y = nullptr, *z = nullptr;
  const mxArray* z_array = nullptr;
  std::size_t steps = 0;
  Rate rate = Rate::Inherited;
  int blocks = 1;
  const mxArray* state = nullptr;
};

std::string lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Option names and the rate's values are matched without regard to case, as
// Octave's own name-value options are.
Request parse(int nrhs, const mxArray* prhs[]) {
  using sfblock::Argument;
  if (nrhs < 5 || nrhs % 2 == 0) {
    raise({"sfblock:usage",
           "usage: y1 = sfblock(model, chart, x, y, z) with options as name-value pairs"});
  }
  Request r;
  const Argument model_arg(prhs[0], "sfblock:model", "the model");
  const std::string model = model_arg.text();
  for (const Model& m : models())
    if (model == m.name) r.model = &m;
  if (r.model == nullptr) model_arg.refuse_text(model_choice() + "; got " + sfsim::quoted(model));
  const int charts = static_cast<int>(r.model->table_length.size());
  r.chart = static_cast<int>(
      Argument(prhs[1], "sfblock:chart", std::string("the chart of ") + r.model->name)
          .whole(1, charts));
  const std::size_t n = static_cast<std::size_t>(r.model->table_length[r.chart - 1]);
  const std::string of_chart = " (chart " + std::to_string(r.chart) + " of " + r.model->name +
                               " reads " + std::to_string(n) + ")";
  r.x = Argument(prhs[2], "sfblock:table", "x" + of_chart).doubles(n);
  r.y = Argument(prhs[3], "sfblock:table", "y" + of_chart).doubles(n);
  r.z = Argument(prhs[4], "sfblock:query", "z").doubles();
  r.z_array = prhs[4];
  r.steps = sfblock::element_count(prhs[4]);
  for (int i = 5; i < nrhs; i += 2) {
    const std::string name =
        Argument(prhs[i], "sfblock:option", "option name " + std::to_string((i - 3) / 2)).text();
    const std::string key = lower(name);
    const Argument value(prhs[i + 1], "sfblock:option", "option '" + key + "'");
    if (key == "rate") {
      const std::string rate = value.text();
      const std::string choice = lower(rate);
      if (choice == "inherited") {
        r.rate = Rate::Inherited;
      } else if (choice == "continuous") {
        r.rate = Rate::Continuous;
      } else if (choice == "discrete") {
        r.rate = Rate::Discrete;
      } else {
        value.refuse_text("option 'rate' must be 'inherited', 'continuous' or 'discrete'; got " +
                          sfsim::quoted(rate));
      }
    } else if (key == "blocks") {
      r.blocks = static_cast<int>(value.whole(1, tools::kMaxBlocks));
    } else if (key == "state") {
      r.state = static_cast<const mxArray*>(value.scalar_struct());
    } else {
      raise({"sfblock:option",
             "unknown option " + sfsim::quoted(name) + " (known: rate, blocks, state)"});
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
    const std::size_t steps = r.steps;
    const double* z = r.z;
    std::vector<Block*> blocks;
    for (int i = 0; i < r.blocks; ++i) {
      Block& b = engine.add_block(plugin, options);
      b.set_inputs(r.x, r.y, steps > 0 ? z[0] : 0.0);
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
  // y1 has the size and shape of z, N-dimensional and empty sizes included.
  mxArray* y1 = static_cast<mxArray*>(sfblock::doubles_shaped_like(r.z_array));
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
