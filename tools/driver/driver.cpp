#include "tools/driver/driver.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/mex_host.hpp"
#include "tools/text/numbers.hpp"

namespace tools::driver {
namespace {

using host::engine::Block;
using host::engine::CallResult;
using host::engine::Rate;
using sfsim::format_number;

constexpr std::array<double, 1> kOde2{1.0};
constexpr std::array<double, 2> kOde3{0.5, 0.75};
constexpr std::array<double, 3> kOde4{0.5, 0.5, 1.0};
constexpr std::array<double, 5> kOde5{0.2, 0.3, 0.8, 8.0 / 9.0, 1.0};

std::string host_message(const std::string& identifier, const std::string& text) {
  return identifier.empty() ? text : identifier + ": " + text;
}

std::string block_name(std::size_t index, std::size_t count) {
  return count == 1 ? std::string("the block") : "block " + std::to_string(index + 1);
}

TimeFault fault(Setting setting, std::string text) {
  return TimeFault{setting, std::move(text)};
}

}  // namespace

std::span<const double> minor_stages(Solver solver) {
  switch (solver) {
    case Solver::Ode2:
      return kOde2;
    case Solver::Ode3:
      return kOde3;
    case Solver::Ode4:
      return kOde4;
    case Solver::Ode5:
      return kOde5;
    case Solver::Discrete:
    case Solver::Ode1:
      break;
  }
  return {};
}

std::optional<Solver> solver_named(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Solver>, 6> kNames{{
      {"discrete", Solver::Discrete},
      {"ode1", Solver::Ode1},
      {"ode2", Solver::Ode2},
      {"ode3", Solver::Ode3},
      {"ode4", Solver::Ode4},
      {"ode5", Solver::Ode5},
  }};
  for (const auto& [text, solver] : kNames)
    if (text == name) return solver;
  return std::nullopt;
}

// --- the input in time -----------------------------------------------------------

Signal::Signal(std::vector<double> time, std::vector<double> z)
    : time_(std::move(time)), z_(std::move(z)) {}

std::optional<std::size_t> Signal::first_bad_time(const std::vector<double>& time) {
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (!std::isfinite(time[i])) return i;
    if (i > 0 && !(time[i] > time[i - 1])) return i;
  }
  return std::nullopt;
}

double Signal::at(double t) const {
  const std::size_t n = time_.size();
  if (n == 0) return 0.0;
  if (!(t > time_.front())) return z_.front();  // before the first point (and NaN)
  if (t >= time_.back()) return z_.back();
  // time_[at_] <= t < time_[at_ + 1]
  std::size_t i = at_ < n - 1 ? at_ : 0;
  while (t < time_[i])
    --i;
  while (t >= time_[i + 1])
    ++i;
  at_ = i;
  const double ta = time_[i], tb = time_[i + 1], za = z_[i], zb = z_[i + 1];
  if (t == ta) return za;
  return za + (zb - za) * ((t - ta) / (tb - ta));
}

// --- the plan of a run in time ----------------------------------------------------

PlanOrFault plan_time(const TimeSettings& s) {
  const double h = s.step;
  if (!std::isfinite(s.start))
    return {{}, fault(Setting::Start, "must be a finite number; got " + format_number(s.start))};
  if (!std::isfinite(s.stop))
    return {{}, fault(Setting::Stop, "must be a finite number; got " + format_number(s.stop))};
  if (!(h > 0) || !std::isfinite(h))
    return {{}, fault(Setting::Step, "must be a positive number; got " + format_number(h))};
  if (s.stop < s.start) {
    return {{},
            fault(Setting::Stop, "must not be before the start time " + format_number(s.start) +
                                     "; got " + format_number(s.stop))};
  }
  TimePlan plan;
  plan.start = s.start;
  plan.step = h;
  // Major steps while t_k <= stop within a billionth of a step.
  const double limit = s.stop + 1e-9 * h;
  const double span = (s.stop - s.start) / h;
  if (!(span < static_cast<double>(kMaxSteps - 1))) {
    return {{},
            fault(Setting::Stop, "gives more than 2^53 steps of " + format_number(h) + " from " +
                                     format_number(s.start) + " to " + format_number(s.stop))};
  }
  std::int64_t n = static_cast<std::int64_t>(std::floor(span + 1e-9)) + 1;
  while (n > 1 && s.start + static_cast<double>(n - 1) * h > limit)
    --n;
  while (s.start + static_cast<double>(n) * h <= limit)
    ++n;
  plan.count = n;

  if (!s.discrete) {
    if (s.period || s.offset)
      return {{}, fault(Setting::SampleTime, "applies to a discrete block only (rate discrete)")};
    return {plan, {}};
  }
  const double p = s.period.value_or(h), offset = s.offset.value_or(0.0);
  const double ratio = p / h;
  const double whole = std::round(ratio);
  // P/H off a whole number by more than its rounding: hits counted in steps would
  // drift from OFFSET + j * P.
  const double slack = 1e-9 + 8 * std::numeric_limits<double>::epsilon() * whole;
  if (!std::isfinite(p) || !(whole >= 1) || whole > 1e15 || std::fabs(ratio - whole) > slack) {
    return {{},
            fault(Setting::SampleTime, "must be a whole multiple of the step size " +
                                           format_number(h) + "; got " + format_number(p))};
  }
  if (!(offset >= 0 && offset < p)) {
    return {{},
            fault(Setting::SampleTime, "offset must be at least 0 and below the period " +
                                           format_number(p) + "; got " + format_number(offset))};
  }
  const double d = std::round((offset - s.start) / h);
  if (!(std::fabs(offset - (s.start + d * h)) <= 1e-9 * h) || std::fabs(d) > 1e15) {
    const std::string steps = format_number(s.start) + " + k * " + format_number(h);
    if (!s.period && !s.offset) {
      return {{},
              fault(Setting::SampleTime,
                    "is the step size with offset 0 when not given, and its "
                    "hits fall between the major steps " +
                        steps + ": give one whose offset is on them")};
    }
    return {{},
            fault(Setting::SampleTime,
                  "offset " + format_number(offset) + " falls between the major steps " + steps)};
  }
  const auto every = static_cast<std::int64_t>(whole);
  const auto first = static_cast<std::int64_t>(d);
  plan.hit_every = every;
  plan.first_hit = first >= 0 ? first : ((first % every) + every) % every;
  plan.period = p;
  return {plan, {}};
}

bool TimeSteps::next(double& t, double& z) {
  if (k_ >= plan_.count) return false;
  t = plan_.start + static_cast<double>(k_) * plan_.step;
  z = signal_.at(t);
  ++k_;
  return true;
}

void apply(const TimePlan& plan, Spec& spec) {
  spec.step = plan.step;
  spec.hit_every = plan.hit_every;
  spec.first_hit = plan.first_hit;
  spec.period = plan.period;
}

// --- the run ----------------------------------------------------------------------

Result run(host::engine::Engine& engine, host::engine::Plugin& plugin, const Spec& spec,
           const Hooks& hooks) {
  Result result;
  std::vector<Block*> blocks;
  std::vector<bool> started;
  const std::size_t count = static_cast<std::size_t>(spec.blocks);

  auto fail = [&](const std::string& what, const std::string& identifier, const std::string& text) {
    if (result.ok) {
      result.ok = false;
      result.error = what + ": " + host_message(identifier, text);
      result.identifier = identifier;
      result.message = what + ": " + text;
    }
  };
  // One method call; a host error raised through it is its failure.
  auto invoke = [](auto&& method) {
    CallResult r;
    try {
      r = method();
    } catch (const host::HostError& e) {
      r.ok = false;
      r.error = e.what();
      r.identifier = e.identifier;
    }
    return r;
  };
  // A set-up or tear-down call, with its failure recorded under `what`.
  auto call = [&](const std::string& what, auto&& method) -> bool {
    const CallResult r = invoke(method);
    if (!r) {
      if (r.refused && result.ok) {
        // The engine's own message names the method and the block.
        result.ok = false;
        result.refused = true;
        result.error = r.error;
        result.message = r.error;
      }
      fail(what, r.identifier, r.error);
    }
    return bool(r);
  };

  host::engine::BlockOptions options;
  options.chart = spec.chart;
  options.table_length = spec.table_length;
  options.rate = spec.rate;
  options.discrete_period = spec.period;
  double t = 0.0, z = 0.0;
  bool have_step = spec.steps->next(t, z);
  for (std::size_t i = 0; i < count; ++i) {
    Block& b = engine.add_block(plugin, options);
    b.set_inputs(spec.x, spec.y, have_step ? z : 0.0);
    blocks.push_back(&b);
    started.push_back(false);
  }

  for (std::size_t i = 0; i < count && result.ok; ++i) {
    Block& b = *blocks[i];
    const std::string name = block_name(i, count);
    if (!call("mdlSetWorkWidths of " + name, [&] { return b.set_work_widths(); })) break;
    started[i] = call("mdlStart of " + name, [&] { return b.start(); });
    if (!started[i]) break;
    if (!call("mdlInitializeConditions of " + name, [&] { return b.initialize(); })) break;
  }
  if (result.ok && spec.restore) {
    for (std::size_t i = 0; i < count; ++i)
      if (!call("mdlSetSimState of " + block_name(i, count),
                [&] { return blocks[i]->set_sim_state(spec.restore); }))
        break;
  }

  const std::span<const double> stages = minor_stages(spec.solver);
  const bool discrete = spec.rate == Rate::Discrete;
  const std::int64_t total = spec.steps->count();
  std::int64_t next_hit = spec.first_hit;
  // The outputs call of every block at time tc with input zc; stage 0 is the major
  // step, stage i > 0 its i-th minor step. The description is made only on failure.
  auto outputs = [&](std::int64_t k, std::size_t stage, double tc, double zc) {
    engine.set_time(tc, stage == 0);
    if (hooks.stage) hooks.stage(k, stage, tc);
    auto what = [&] {
      std::string text = "step " + std::to_string(k);
      if (stage > 0) text += ", minor step " + std::to_string(stage);
      return text + " (time " + format_number(tc) + ", z " + format_number(zc) + ")";
    };
    for (std::size_t i = 0; i < count; ++i) {
      blocks[i]->z() = zc;
      const CallResult r = invoke([&] { return blocks[i]->outputs(); });
      if (!r) {
        if (r.refused) result.refused = true;
        fail(count == 1 ? what() : what() + ", block " + std::to_string(i + 1), r.identifier,
             r.error);
        return false;
      }
    }
    const double y1 = blocks[0]->y1();
    for (std::size_t i = 1; i < count; ++i) {
      if (std::bit_cast<std::uint64_t>(blocks[i]->y1()) != std::bit_cast<std::uint64_t>(y1)) {
        fail(what(), {},
             "block " + std::to_string(i + 1) + " gave y1 = " + format_number(blocks[i]->y1()) +
                 ", block 1 gave " + format_number(y1));
        result.differ = true;
        return false;
      }
    }
    return true;
  };

  for (std::int64_t k = 0; have_step && result.ok; ++k) {
    if (hooks.before_step) {
      engine.set_time(t, true);
      for (Block* b : blocks)
        b->z() = z;
      if (!hooks.before_step(k, t, z)) {
        result.stopped = true;
        break;
      }
    }
    if (!discrete) {
      if (!outputs(k, 0, t, z)) break;
      const double y1 = blocks[0]->y1();
      for (std::size_t s = 0; s < stages.size(); ++s) {
        const double tc = t + stages[s] * spec.step;
        if (!outputs(k, s + 1, tc, spec.steps->z_at(tc))) break;
      }
      if (!result.ok) break;
      ++result.steps;
      if (hooks.row && !hooks.row(Row{k, t, z, y1})) {
        result.stopped = true;
        break;
      }
    } else {
      // Only in major steps, at the sample hits; between them y1 holds.
      if (k == next_hit) {
        if (!outputs(k, 0, t, z)) break;
        next_hit += spec.hit_every;
      }
      ++result.steps;
      if (hooks.row && !hooks.row(Row{k, t, z, blocks[0]->y1()})) {
        result.stopped = true;
        break;
      }
    }
    if (hooks.progress) hooks.progress(k + 1, total);
    have_step = spec.steps->next(t, z);
  }

  if (result.ok && spec.save) {
    CallResult r;
    try {
      result.saved_state = blocks[0]->get_sim_state(&r);
      if (!r || !result.saved_state)
        fail("mdlGetSimState of block 1", r ? std::string() : r.identifier,
             r ? std::string("no state returned") : r.error);
    } catch (const host::HostError& e) {
      fail("mdlGetSimState of block 1", e.identifier, e.what());
    }
  }

  for (const Block* b : blocks)
    result.registrations.push_back(b->registration());
  for (std::size_t i = 0; i < count; ++i)
    if (started[i])
      call("mdlTerminate of " + block_name(i, count), [&] { return blocks[i]->terminate(); });
  return result;
}

}  // namespace tools::driver
