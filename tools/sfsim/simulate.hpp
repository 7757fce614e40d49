// One simulation of a chart on the engine: K blocks of the chart fed the same table
// and the same input, either one major time step per query at step * 0.01 s (query
// mode) or in time, the input a signal (time mode). The blocks' life cycle and the
// time model are the driver's (tools/driver).
#pragma once

#include <cstdint>
#include <string>

#include "host/engine.hpp"
#include "tools/driver/driver.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/time_args.hpp"

namespace sfsim {

struct RunSpec {
  int chart = 1;
  int table_length = 0;
  host::engine::Rate rate = host::engine::Rate::Inherited;
  int blocks = 1;
  Table table;
  Queries* queries = nullptr;                     // one step per query, or
  const tools::driver::Signal* signal = nullptr;  // the input in time, stepped as `time` says
  TimeRun time;
  const mxArray* restore = nullptr;  // a saved state to restore before the first step
  bool save = false;                 // take block 1's saved state after the last step
};

using Row = tools::driver::Row;
using RunResult = tools::driver::Result;
using RunHooks = tools::driver::Hooks;

// The driver's run: with queries one major step per query, at step * kStepSize, and
// no minor steps; with a signal the major and minor steps of the plan.
RunResult simulate(host::engine::Engine& engine, host::engine::Plugin& plugin, const RunSpec& spec,
                   const RunHooks& hooks);

}  // namespace sfsim
