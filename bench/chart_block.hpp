// A block of one of the benchmarked charts in the engine, from its built plug-in.
#pragma once

#include "bench/inputs.hpp"
#include "host/engine.hpp"

namespace bench {

inline host::engine::Block& chart_block(host::engine::Engine& engine, const ChartCase& c) {
  host::engine::Plugin& plugin = engine.load(models::build_deliverable_path(c.model));
  host::engine::BlockOptions options;
  options.chart = c.chart;
  options.table_length = c.N;
  return engine.add_block(plugin, options);
}

}  // namespace bench
