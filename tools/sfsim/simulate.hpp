// One simulation of a chart on the engine: K blocks of the chart fed the same table
// and the same queries, one major time step per query.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/engine.hpp"
#include "tools/sfsim/inputs.hpp"

namespace sfsim {

struct RunSpec {
  int chart = 1;
  int table_length = 0;
  host::engine::Rate rate = host::engine::Rate::Inherited;
  int blocks = 1;
  Table table;
  Queries* queries = nullptr;        // one step per query
  const mxArray* restore = nullptr;  // a saved state to restore before the first step
  bool save = false;                 // take block 1's saved state after the last step
};

struct Row {
  std::int64_t step;
  double time, z, y1;
};

struct RunResult {
  bool ok = true;
  std::string error;       // what failed and the host's message, "identifier: text"
  bool refused = false;    // the engine refused the block (its chart's input widths)
  bool stopped = false;    // the row hook asked to stop
  std::int64_t steps = 0;  // steps completed
  host::engine::MxPtr saved_state;
};

struct RunHooks {
  // After each completed step; false stops the run there.
  std::function<bool(const Row&)> row;
  std::function<void(std::int64_t done, std::int64_t total)> progress;  // after each step
};

// Runs the method sequence: set work widths, start and initialize every block, the
// optional restore, then per query: clock at step * kStepSize (a major step), z into
// every block, outputs of every block; then the optional save and terminate of every
// block started. A host error stops the run (blocks are still terminated); rows of
// the steps before it have been delivered.
RunResult simulate(host::engine::Engine& engine, host::engine::Plugin& plugin, const RunSpec& spec,
                   const RunHooks& hooks);

}  // namespace sfsim
