#include "tools/sfsim/time_args.hpp"

#include <optional>

#include "tools/sfsim/inputs.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {
namespace {

using tools::driver::Setting;

const char* option_of(Setting setting) {
  switch (setting) {
    case Setting::Start:
      return "--start-time";
    case Setting::Stop:
      return "--stop-time";
    case Setting::Step:
      return "--step-size";
    case Setting::SampleTime:
      break;
  }
  return "--sample-time";
}

// A number of an option; nullopt when it was not given.
std::optional<double> number_of(const char* option, const std::string& text) {
  if (text.empty()) return std::nullopt;
  const auto number = parse_number(text);
  if (!number)
    throw UserError(std::string(option) + ": " + quoted(text) + " " + number_fault(text));
  return number;
}

}  // namespace

void check_query_mode(const TimeArgs& a) {
  const std::pair<const char*, const std::string*> settings[] = {{"--start-time", &a.start},
                                                                 {"--stop-time", &a.stop},
                                                                 {"--step-size", &a.step},
                                                                 {"--solver", &a.solver},
                                                                 {"--sample-time", &a.sample_time}};
  for (const auto& [option, text] : settings)
    if (!text->empty())
      throw UserError(std::string(option) + " needs --input (a run in time); with --z or " +
                      "--z-range each query is one step");
}

TimeRun plan_run(const TimeArgs& a, const tools::driver::Signal& signal, host::engine::Rate rate) {
  tools::driver::TimeSettings s;
  s.start = number_of("--start-time", a.start).value_or(signal.time().front());
  s.stop = number_of("--stop-time", a.stop).value_or(signal.time().back());
  s.step = number_of("--step-size", a.step).value_or(host::engine::kStepSize);
  s.discrete = rate == host::engine::Rate::Discrete;
  TimeRun run;
  if (!a.solver.empty()) {
    const auto solver = tools::driver::solver_named(a.solver);
    if (!solver)
      throw UserError("--solver: " + quoted(a.solver) + " is not one of " +
                      tools::driver::kSolverNames);
    run.solver = *solver;
  }
  if (!a.sample_time.empty()) {
    const auto comma = a.sample_time.find(',');
    s.period = number_of("--sample-time", a.sample_time.substr(0, comma));
    if (comma != std::string::npos) {
      s.offset = number_of("--sample-time", a.sample_time.substr(comma + 1));
      if (!s.offset)
        throw UserError("--sample-time: expected P or P,OFFSET; got " + quoted(a.sample_time));
    }
    if (!s.period)
      throw UserError("--sample-time: expected P or P,OFFSET; got " + quoted(a.sample_time));
  }
  const tools::driver::PlanOrFault planned = tools::driver::plan_time(s);
  if (planned.fault) {
    const tools::driver::Setting at = planned.fault->setting;
    std::string text = std::string(option_of(at)) + " " + planned.fault->text;
    // A time the user did not give is the input's: say so.
    if (at == tools::driver::Setting::Stop && a.stop.empty())
      text += " (not given: the last time of the input)";
    if (at == tools::driver::Setting::Start && a.start.empty())
      text += " (not given: the first time of the input)";
    throw UserError(text);
  }
  run.plan = *planned.plan;
  return run;
}

}  // namespace sfsim
