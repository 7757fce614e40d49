// The options of a run in time (--input and the settings beside it), checked before
// anything runs: every fault is a UserError that names the option.
#pragma once

#include <string>

#include "host/engine.hpp"
#include "tools/driver/driver.hpp"

namespace sfsim {

struct TimeArgs {
  std::string input;                                   // the input signal's file; empty: query mode
  std::string start, stop, step, solver, sample_time;  // as given; empty: not given
};

struct TimeRun {
  tools::driver::TimePlan plan;
  tools::driver::Solver solver = tools::driver::Solver::Discrete;
};

// Refuses a time setting given without --input.
void check_query_mode(const TimeArgs& a);

// The plan of a run in time over `signal` (its first and last times are the default
// start and stop) for a block of the given rate.
TimeRun plan_run(const TimeArgs& a, const tools::driver::Signal& signal, host::engine::Rate rate);

}  // namespace sfsim
