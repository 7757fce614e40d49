// sfblock: chart blocks of the plug-ins run from GNU Octave.
//
//   y1 = sfblock(model, chart, x, y, z)
//   [y1, state, t] = sfblock(model, chart, x, y, z, name, value, ...)
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
//   'coverage' a file for the run's coverage report, FILE.json or FILE.html
//            (tools/coverage), written also when a step fails
// and the time mode, in which z is a signal in time and the run steps as sfsim's
// run in time does (tools/driver):
//   'time'       the times of z, strictly increasing, one per element
//   'stoptime'   the last major step's time at most (default: the last time)
//   'stepsize'   the fixed step (default 0.01); major steps from time(1)
//   'solver'     'discrete' (default), 'ode1' ... 'ode5': their minor steps
//   'sampletime' P or [P, OFFSET] of a discrete block (default [stepsize, 0])
// In time mode y1 and t are vectors of the major steps, along z. The second output
// is block 1's saved state after the last step, the third the steps' times. Every
// argument is checked by arguments.hpp.
//
// The plug-ins are the .mex files beside sfblock; they run on Octave's matrix
// and MEX functions, so a host error in a step (e.g. a NaN breakpoint) is an
// Octave error with the message's identifier.

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <octave/octave-config.h>
#include <octave/quit.h>

#include "host/engine.hpp"
#include "host/os.hpp"
#include "host/sf_runtime_host.hpp"
#include "models/catalogue_view.hpp"
#include "platform/mex.h"
#include "tools/block_limit.hpp"
#include "tools/coverage/coverage.hpp"
#include "tools/driver/driver.hpp"
#include "tools/output/output.hpp"
#include "tools/sfblock/arguments.hpp"
#include "tools/text/numbers.hpp"

namespace {

using host::engine::Engine;
using host::engine::Rate;

using models::ModelView;

// "the model must be 'A' or 'B'", for every model of the build.
std::string model_choice() {
  std::string text = "the model must be ";
  const auto& all = models::catalogue();
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
  const ModelView* model = nullptr;
  int chart = 0;
  const double *x = nullptr, *y = nullptr, *z = nullptr;
  const mxArray* z_array = nullptr;
  std::size_t steps = 0;
  Rate rate = Rate::Inherited;
  int blocks = 1;
  const mxArray* state = nullptr;
  // The time mode: z at these times, major steps of the plan.
  bool in_time = false;
  tools::driver::Signal signal;
  tools::driver::TimePlan plan;
  tools::driver::Solver solver = tools::driver::Solver::Discrete;
  // The coverage report's file, empty when not asked for.
  std::string coverage;
  tools::coverage::Format coverage_format = tools::coverage::Format::Json;
};

// The option that names each time setting.
const char* option_of(tools::driver::Setting setting) {
  switch (setting) {
    case tools::driver::Setting::Start:
      return "time";
    case tools::driver::Setting::Stop:
      return "stoptime";
    case tools::driver::Setting::Step:
      return "stepsize";
    case tools::driver::Setting::SampleTime:
      break;
  }
  return "sampletime";
}

// The time mode's settings into a plan; every fault is an sfblock:option error
// naming the option.
void plan_time(Request& r, const mxArray* time, tools::driver::TimeSettings settings,
               const std::string& only_with_time) {
  using tools::driver::Signal;
  if (time == nullptr) {
    if (!only_with_time.empty()) {
      raise({"sfblock:option",
             "option '" + only_with_time + "' needs option 'time' (the times of z)"});
    }
    return;
  }
  const std::size_t n = sfblock::element_count(time);
  const double* t = sfblock::Argument(time, "sfblock:option", "option 'time'").doubles();
  if (n == 0 || n != r.steps) {
    raise({"sfblock:option", "option 'time' must hold one time per element of z (" +
                                 std::to_string(r.steps) + ", at least 1); got " +
                                 sfblock::describe(time)});
  }
  std::vector<double> times(t, t + n);
  if (const auto bad = Signal::first_bad_time(times)) {
    const std::size_t i = *bad;
    raise({"sfblock:option", "option 'time' must be finite and strictly increasing; element " +
                                 std::to_string(i + 1) + " is " + sfsim::format_number(times[i]) +
                                 (i > 0 ? " after " + sfsim::format_number(times[i - 1]) : "")});
  }
  settings.start = times.front();
  if (settings.stop != settings.stop) settings.stop = times.back();  // NaN: not given
  settings.discrete = r.rate == Rate::Discrete;
  const tools::driver::PlanOrFault planned = tools::driver::plan_time(settings);
  if (planned.fault) {
    raise({"sfblock:option", std::string("option '") + option_of(planned.fault->setting) + "' " +
                                 planned.fault->text});
  }
  r.in_time = true;
  r.plan = *planned.plan;
  r.signal = Signal(std::move(times), std::vector<double>(r.z, r.z + n));
}

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
  r.model = models::find_model(model);
  if (r.model == nullptr) model_arg.refuse_text(model_choice() + "; got " + sfsim::quoted(model));
  const int charts = r.model->chart_count();
  r.chart = static_cast<int>(
      Argument(prhs[1], "sfblock:chart", std::string("the chart of ") + r.model->name)
          .whole(1, charts));
  const std::size_t n = static_cast<std::size_t>(r.model->charts[r.chart - 1].table_length);
  const std::string of_chart = " (chart " + std::to_string(r.chart) + " of " + r.model->name +
                               " reads " + std::to_string(n) + ")";
  r.x = Argument(prhs[2], "sfblock:table", "x" + of_chart).doubles(n);
  r.y = Argument(prhs[3], "sfblock:table", "y" + of_chart).doubles(n);
  r.z = Argument(prhs[4], "sfblock:query", "z").doubles();
  r.z_array = prhs[4];
  r.steps = sfblock::element_count(prhs[4]);
  const mxArray* time = nullptr;
  tools::driver::TimeSettings settings;
  settings.stop = std::numeric_limits<double>::quiet_NaN();
  std::string only_with_time;  // a time option given, which needs 'time'
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
    } else if (key == "coverage") {
      r.coverage = value.text();
      if (r.coverage.empty()) value.refuse_text("option 'coverage' needs a file name");
      const auto format = tools::coverage::format_of(r.coverage);
      if (!format) {
        value.refuse_text("option 'coverage' " + sfsim::quoted(r.coverage) + " " +
                          tools::coverage::kFormatFault);
      }
      r.coverage_format = *format;
    } else if (key == "time") {
      time = prhs[i + 1];
    } else if (key == "stoptime" || key == "stepsize") {
      const double v = value.scalar();
      (key == "stoptime" ? settings.stop : settings.step) = v;
      if (key == "stoptime" && v != v)
        value.refuse_text("option 'stoptime' must be a number; got NaN");
      only_with_time = key;
    } else if (key == "solver") {
      const std::string solver = value.text();
      const auto named = tools::driver::solver_named(lower(solver));
      if (!named) {
        value.refuse_text(std::string("option 'solver' must be ") + tools::driver::kSolverNames +
                          "; got " + sfsim::quoted(solver));
      }
      r.solver = *named;
      only_with_time = key;
    } else if (key == "sampletime") {
      const std::size_t count = sfblock::element_count(prhs[i + 1]);
      const double* p = value.doubles();
      if (count < 1 || count > 2) value.refuse("a period or [period, offset]");
      settings.period = p[0];
      if (count == 2) settings.offset = p[1];
      only_with_time = key;
    } else {
      raise({"sfblock:option", "unknown option " + sfsim::quoted(name) +
                                   " (known: rate, blocks, state, coverage, time, stoptime, "
                                   "stepsize, solver, sampletime)"});
    }
  }
  plan_time(r, time, settings, only_with_time);
  return r;
}

// The queries z[k] as major steps at k * kStepSize.
class QuerySteps : public tools::driver::QuerySteps {
 public:
  QuerySteps(const double* z, std::size_t count) : z_(z), count_(count) {}
  std::int64_t count() const override { return static_cast<std::int64_t>(count_); }

 private:
  bool next_query(double& z) override {
    if (next_ >= count_) return false;
    z = z_[next_++];
    return true;
  }
  const double* z_;
  std::size_t count_, next_ = 0;
};

// Runs the blocks; on success fills y1 (and the state when asked), else returns
// the failure. Every block started is terminated and the engine released before
// this returns, so that the caller raises with nothing left behind.
std::optional<Failure> run(const Request& r, double* y1, double* t, mxArray** state,
                           std::vector<std::array<unsigned, 2>>& registrations) {
  Engine engine;
  try {
    const std::filesystem::path file = own_folder() / (r.model->deliverable + ".mex");
    host::engine::Plugin& plugin = engine.load(file.string());
    QuerySteps queries(r.z, r.steps);
    tools::driver::TimeSteps in_time(r.signal, r.plan);
    tools::driver::Spec spec;
    spec.chart = r.chart;
    spec.table_length = r.model->charts[r.chart - 1].table_length;
    spec.rate = r.rate;
    spec.blocks = r.blocks;
    spec.x = r.x;
    spec.y = r.y;
    spec.steps = r.in_time ? static_cast<tools::driver::Steps*>(&in_time) : &queries;
    if (r.in_time) {
      spec.solver = r.solver;
      tools::driver::apply(r.plan, spec);
    }
    spec.restore = r.state;
    spec.save = state != nullptr;
    tools::driver::Hooks hooks;
    hooks.row = [&](const tools::driver::Row& row) {
      y1[row.step] = row.y1;
      if (t != nullptr) t[row.step] = row.time;
      return true;
    };
    tools::driver::Result result = tools::driver::run(engine, plugin, spec, hooks);
    registrations = result.registrations;
    if (!result.ok) {
      const std::string identifier = result.differ               ? "sfblock:blocksDiffer"
                                     : result.identifier.empty() ? "sfblock:hostError"
                                                                 : result.identifier;
      return Failure{identifier, result.message};
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

// In time mode y1 (and the times, when asked for) are made whole before the first
// step: a step count whose arrays could not be held in the machine's memory is
// refused before they are made, rather than left to fail in the allocation.
void check_memory(const Request& r, int arrays) {
  const std::uint64_t memory = host::os::physical_memory();
  const auto count = static_cast<std::uint64_t>(r.plan.count);  // at most 2^53
  const std::uint64_t bytes_each = sizeof(double) * static_cast<std::uint64_t>(arrays);
  if (memory == 0 || count <= memory / bytes_each) return;
  raise({"sfblock:option",
         "the time settings ('time', 'stoptime', 'stepsize') give " + std::to_string(count) +
             " major steps: " + (arrays > 1 ? "y1 and t" : "y1") + " would take " +
             std::to_string(count * bytes_each) + " bytes, more than this machine's memory (" +
             std::to_string(memory) + " bytes)"});
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nlhs > 3) {
    raise({"sfblock:usage", "sfblock has at most three outputs: y1, the state and the times"});
  }
  const Request r = parse(nrhs, prhs);
  if (r.in_time) check_memory(r, nlhs > 2 ? 2 : 1);
  // The report's file is made ready (beside its place) before anything runs, so that
  // a place that cannot take it is refused first.
  std::unique_ptr<sfsim::OutputFile> coverage;
  if (!r.coverage.empty()) {
    std::optional<Failure> refused;
    try {
      coverage = std::make_unique<sfsim::OutputFile>(r.coverage);
    } catch (const std::exception& e) {
      refused = Failure{"sfblock:option", std::string("option 'coverage': ") + e.what()};
    }
    if (refused) raise(*refused);
  }
  // In time mode y1 and the times are vectors of the major steps along z; else
  // they have the size and shape of z, N-dimensional and empty sizes included.
  auto make = [&] {
    return static_cast<mxArray*>(
        r.in_time ? sfblock::doubles_along(r.z_array, static_cast<std::size_t>(r.plan.count))
                  : sfblock::doubles_shaped_like(r.z_array));
  };
  mxArray* y1 = make();
  mxArray* t = nlhs > 2 ? make() : nullptr;
  mxArray* state = nullptr;
  std::vector<std::array<unsigned, 2>> registrations;
  host::sf_runtime::set_coverage_recording(coverage != nullptr);
  std::optional<Failure> failure = run(r, mxGetPr(y1), t != nullptr ? mxGetPr(t) : nullptr,
                                       nlhs > 1 ? &state : nullptr, registrations);
  if (coverage) {
    // The report of a run that failed is kept too: it says where.
    try {
      const tools::coverage::Run report{
          r.model->name, r.chart, r.model->charts[r.chart - 1].table_length, r.x, registrations};
      tools::coverage::write(coverage->stream(), r.coverage_format, report);
      coverage->commit();
    } catch (const std::exception& e) {
      if (!failure)
        failure = Failure{"sfblock:option", std::string("option 'coverage': ") + e.what()};
    }
    coverage.reset();
  }
  // Every block of the run has terminated, and no other code in Octave starts
  // blocks: the runtime's records of the run (debug instances, machines, charts)
  // go, or they would pile up over the calls of a session.
  host::sf_runtime::reset();
  if (failure) {
    mxDestroyArray(y1);
    if (t != nullptr) mxDestroyArray(t);
    if (state != nullptr) mxDestroyArray(state);
    raise(*failure);
  }
  plhs[0] = y1;
  if (nlhs > 1) plhs[1] = state;
  if (nlhs > 2) plhs[2] = t;
}
