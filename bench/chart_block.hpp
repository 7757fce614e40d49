// A block of one of the benchmarked charts in the engine, from its built plug-in
// (HARNVALE_PLUGIN, QUIMBREL_PLUGIN of the program's build).
#pragma once

#include <string_view>

#include "bench/inputs.hpp"
#include "host/engine.hpp"

namespace bench {

inline host::engine::Block& chart_block(host::engine::Engine& engine, const ChartCase& c) {
  const bool harnvale = std::string_view(c.model) == harnvale::Model::name;
  host::engine::Plugin& plugin = engine.load(harnvale ? HARNVALE_PLUGIN : QUIMBREL_PLUGIN);
  host::engine::BlockOptions options;
  options.chart = c.chart;
  options.table_length = c.N;
  return engine.add_block(plugin, options);
}

}  // namespace bench
