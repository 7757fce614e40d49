// The life cycle of chart blocks on the engine, as sfsim and sfblock both run it:
// K blocks of one chart fed the same table and the same input, set up (work widths,
// start, initial conditions, an optional restore), stepped in major steps with the
// solver's minor steps between them, an optional save, and terminated. The blocks
// must agree on y1 at every call.
//
// The time model: major steps at t_k = start + k * step (computed from k), each an
// outputs call of every block with the major-time-step indicator set, then one
// outputs call per minor stage c of the solver at t_k + c * step with the indicator
// clear. A discrete block is called only in major steps at its sample hits; its
// output holds between them. Inherited and continuous blocks are called at every
// major and minor step, and the glue decides whether the chart steps.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/engine.hpp"

namespace tools::driver {

enum class Solver { Discrete, Ode1, Ode2, Ode3, Ode4, Ode5 };

// The solver's minor stages as fractions of the step (none for discrete and ode1).
std::span<const double> minor_stages(Solver solver);
// "discrete", "ode1" ... "ode5"; nullopt for any other name.
std::optional<Solver> solver_named(std::string_view name);
inline constexpr const char* kSolverNames = "discrete, ode1, ode2, ode3, ode4 or ode5";

// The input z in time: points at strictly increasing times, linear in time between
// two points, the end values held before the first and after the last.
class Signal {
 public:
  Signal() = default;
  Signal(std::vector<double> time, std::vector<double> z);
  // z at time t. Calls at times that mostly increase cost O(1) each.
  double at(double t) const;
  const std::vector<double>& time() const { return time_; }
  // The index of the first time that is not finite or not above the one before it,
  // or nullopt when all are finite and strictly increasing.
  static std::optional<std::size_t> first_bad_time(const std::vector<double>& time);

 private:
  std::vector<double> time_, z_;
  mutable std::size_t at_ = 0;  // the segment of the last call
};

// Where the major steps and their inputs come from.
class Steps {
 public:
  virtual ~Steps() = default;
  // The time and input of the next major step; false when there are no more.
  virtual bool next(double& t, double& z) = 0;
  // The input at the time of a minor step.
  virtual double z_at(double t) = 0;
  // How many major steps there are in all.
  virtual std::int64_t count() const = 0;
};

// The settings of a run in time, as the user gave them.
struct TimeSettings {
  double start = 0, stop = 0, step = host::engine::kStepSize;
  bool discrete = false;                 // a discrete block
  std::optional<double> period, offset;  // its sample time; P = step and 0 by default
};

// Which setting a fault concerns, so that each tool names its own option.
enum class Setting { Start, Stop, Step, SampleTime };

struct TimeFault {
  Setting setting;
  std::string text;  // "must be positive; got -1"
};

// The major steps of a run in time, and a discrete block's sample hits among them.
struct TimePlan {
  double start = 0, step = host::engine::kStepSize;
  std::int64_t count = 0;      // major steps
  std::int64_t hit_every = 1;  // P / step
  std::int64_t first_hit = 0;  // the first major step at a hit
  double period = host::engine::kStepSize;
};

// The most major steps a run may have: step numbers stay exact as doubles.
inline constexpr std::int64_t kMaxSteps = std::int64_t{1} << 53;

// The plan of a run in time, or what is wrong with the settings: a step that is not
// positive and finite, a stop before the start, more than kMaxSteps steps, a sample
// period that is not a whole multiple of the step, an offset outside [0, P) or off
// the major steps.
struct PlanOrFault {
  std::optional<TimePlan> plan;
  std::optional<TimeFault> fault;
};
PlanOrFault plan_time(const TimeSettings& settings);

// Major steps of a plan, the input from a signal.
class TimeSteps : public Steps {
 public:
  TimeSteps(const Signal& signal, const TimePlan& plan) : signal_(signal), plan_(plan) {}
  bool next(double& t, double& z) override;
  double z_at(double t) override { return signal_.at(t); }
  std::int64_t count() const override { return plan_.count; }

 private:
  const Signal& signal_;
  TimePlan plan_;
  std::int64_t k_ = 0;
};

// One major step per query, at k * kStepSize, without minor steps: what a tool
// derives from its queries is the next one and how many there are.
class QuerySteps : public Steps {
 public:
  bool next(double& t, double& z) override {
    if (!next_query(z)) return false;
    t = static_cast<double>(k_++) * host::engine::kStepSize;
    z_ = z;
    return true;
  }
  double z_at(double) override { return z_; }  // no minor steps: the step's own query

 protected:
  virtual bool next_query(double& z) = 0;

 private:
  std::int64_t k_ = 0;
  double z_ = 0;
};

struct Spec {
  int chart = 1;
  int table_length = 0;
  host::engine::Rate rate = host::engine::Rate::Inherited;
  int blocks = 1;
  const double* x = nullptr;  // the table, table_length values each
  const double* y = nullptr;
  Steps* steps = nullptr;
  Solver solver = Solver::Discrete;
  double step = host::engine::kStepSize;  // H, for the minor steps' times
  // A discrete block's sample hits: every hit_every-th major step from first_hit.
  std::int64_t hit_every = 1, first_hit = 0;
  double period = host::engine::kStepSize;  // its sample period, as the block sees it
  const mxArray* restore = nullptr;         // a saved state to restore before the first step
  bool save = false;                        // take block 1's saved state after the last step
};

// Fills the timing fields of a spec from a plan.
void apply(const TimePlan& plan, Spec& spec);

struct Row {
  std::int64_t step;
  double time, z, y1;
};

struct Result {
  bool ok = true;
  std::string error;       // what failed and the host's message, "identifier: text"
  std::string identifier;  // the host message's identifier, when it had one
  std::string message;     // `error` without the identifier (a tool that raises it apart)
  bool refused = false;    // the engine refused the block (its chart's input widths)
  bool differ = false;     // the blocks gave different y1
  bool stopped = false;    // the row hook asked to stop
  std::int64_t steps = 0;  // major steps completed
  // Each block's registration with the chart runtime (Block::registration), where
  // its records of the run are kept.
  std::vector<std::array<unsigned, 2>> registrations;
  host::engine::MxPtr saved_state;
};

struct Hooks {
  // After each completed major step (its minor steps included); false stops the run.
  std::function<bool(const Row&)> row;
  std::function<void(std::int64_t done, std::int64_t total)> progress;  // after each step
  // Before each major step k at time t, its input z already given to every block;
  // false stops the run (a debugger's quit).
  std::function<bool(std::int64_t k, double t, double z)> before_step;
  // Before the outputs calls of major step k (stage 0) or of its minor step `stage`,
  // at time t.
  std::function<void(std::int64_t k, std::size_t stage, double t)> stage;
};

// Runs the method sequence on new blocks of `plugin`. A host error stops the run
// (every block started is still terminated); rows of the steps before it have been
// delivered. Errors other than the host's propagate.
Result run(host::engine::Engine& engine, host::engine::Plugin& plugin, const Spec& spec,
           const Hooks& hooks);

}  // namespace tools::driver
