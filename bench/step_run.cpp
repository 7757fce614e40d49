// Runs STEPS output steps of one chart, as step_bench does, and nothing else:
// step_run INDEX Z STEPS (INDEX into bench::kCharts, Z the query of every step).
// `make bench-count` counts its instructions under callgrind; `step_run --charts`
// lists the charts, one "MODEL cNUMBER N" line per index.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "bench/chart_block.hpp"
#include "bench/inputs.hpp"
#include "host/engine.hpp"

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--charts") {
    for (const bench::ChartCase& c : bench::kCharts)
      std::printf("%s c%d %d\n", c.model, c.chart, c.N);
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: step_run INDEX Z STEPS\n");
    return 2;
  }
  const int index = std::atoi(argv[1]);
  const double z = std::strtod(argv[2], nullptr);
  const int steps = std::atoi(argv[3]);
  if (index < 0 || index >= bench::kChartCount || steps < 0) {
    std::fprintf(stderr, "step_run: bad chart index or step count\n");
    return 2;
  }
  const bench::ChartCase& c = bench::kCharts[index];
  host::engine::Engine engine;
  host::engine::Block& block = bench::chart_block(engine, c);
  const auto x = bench::table_x(c.N);
  const auto y = bench::table_y(c.N);
  block.set_inputs(x.data(), y.data(), z);
  if (!block.set_work_widths() || !block.start() || !block.initialize()) return 1;
  for (int k = 0; k < steps; ++k) {
    if (!block.outputs()) return 1;
  }
  block.terminate();
  std::printf("%.17g\n", block.y1());
  return 0;
}
