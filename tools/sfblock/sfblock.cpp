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

#include <cctype>
#include <cmath>
#include <cstdint>
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
#include "tools/driver/driver.hpp"
#include "tools/sfblock/arguments.hpp"
#include "tools/sfsim/numbers.hpp"

namespace {

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

// The queries z[k] as major steps at k * kStepSize.
class QuerySteps : public tools::driver::Steps {
 public:
  QuerySteps(const double* z, std::size_t count) : z_(z), count_(count) {}
  bool next(double& t, double& z) override {
    if (k_ >= count_) return false;
    t = static_cast<double>(k_) * host::engine::kStepSize;
    z = z_[k_++];
    return true;
  }
  double z_at(double) override { return k_ > 0 ? z_[k_ - 1] : 0.0; }  // no minor steps
  std::int64_t count() const override { return static_cast<std::int64_t>(count_); }

 private:
  const double* z_;
  std::size_t count_, k_ = 0;
};

// Runs the blocks; on success fills y1 (and the state when asked), else returns
// the failure. Every block started is terminated and the engine released before
// this returns, so that the caller raises with nothing left behind.
std::optional<Failure> run(const Request& r, double* y1, mxArray** state) {
  Engine engine;
  try {
    const std::filesystem::path file = own_folder() / (std::string(r.model->name) + "_sfun.mex");
    host::engine::Plugin& plugin = engine.load(file.string());
    QuerySteps steps(r.z, r.steps);
    tools::driver::Spec spec;
    spec.chart = r.chart;
    spec.table_length = r.model->table_length[r.chart - 1];
    spec.rate = r.rate;
    spec.blocks = r.blocks;
    spec.x = r.x;
    spec.y = r.y;
    spec.steps = &steps;
    spec.restore = r.state;
    spec.save = state != nullptr;
    tools::driver::Hooks hooks;
    hooks.row = [&](const tools::driver::Row& row) {
      y1[row.step] = row.y1;
      return true;
    };
    tools::driver::Result result = tools::driver::run(engine, plugin, spec, hooks);
    if (!result.ok) {
      const std::string identifier = result.differ               ? "sfblock:blocksDiffer"
                                     : result.identifier.empty() ? "sfblock:hostError"
                                                                 : result.identifier;
      return Failure{identifier, result.error};
    }
    if (state != nullptr) *state = result.saved_state.release();
  } catch (const octave::execution_exception& e) {
    // An Octave error raised outside the runtime's method wrapper.
    return Failure{e.identifier().empty() ? "sfblock:hostError" : e.identifier(), e.message()};
  } catch (const std::exception& e) {
    return Failure{"sfblock:engine", e.what()};
  }
  return std::nullopt;
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
