// Cost of one output step of each chart, driven through the plug-in's mexFunction
// by the engine as the host would: the table checks, the debugger and range calls
// and the interpolation. Also the step with the call recorder on, which is what a
// trace costs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/engine.hpp"
#include "host/trace.hpp"

namespace {

struct ChartCase {
  const char* plugin;
  int chart;
  int N;
};

const ChartCase kCharts[] = {
    {HARNVALE_PLUGIN, 1, 2402}, {HARNVALE_PLUGIN, 2, 401}, {HARNVALE_PLUGIN, 3, 243},
    {QUIMBREL_PLUGIN, 1, 2722}, {QUIMBREL_PLUGIN, 2, 390},
};

void run_steps(benchmark::State& state, bool recording) {
  const ChartCase& c = kCharts[state.range(0)];
  host::engine::Engine engine;
  host::engine::Plugin& plugin = engine.load(c.plugin);
  host::engine::BlockOptions options;
  options.chart = c.chart;
  options.table_length = c.N;
  host::engine::Block& block = engine.add_block(plugin, options);
  std::vector<double> x(c.N), y(c.N);
  for (int k = 0; k < c.N; ++k) {
    x[k] = 0.5 * k;
    y[k] = std::sin(0.01 * k);
  }
  block.set_inputs(x.data(), y.data(), 0.0);
  if (!block.set_work_widths() || !block.start() || !block.initialize()) {
    state.SkipWithError("block did not start");
    return;
  }
  long calls = 0;
  if (recording) host::trace::set_sink([&calls](const host::trace::Call&) { ++calls; });
  int k = 0;
  for (auto _ : state) {
    block.z() = 0.25 * (k++ % (2 * c.N));
    if (!block.outputs()) {
      state.SkipWithError("step failed");
      break;
    }
    benchmark::DoNotOptimize(block.y1());
  }
  if (recording) host::trace::clear_sink();
  block.terminate();
  state.counters["N"] = c.N;
  if (recording) state.counters["host_calls_per_step"] = static_cast<double>(calls) / k;
  state.SetLabel(plugin.model() + " c" + std::to_string(c.chart));
}

void BM_Step(benchmark::State& state) {
  run_steps(state, false);
}
void BM_StepRecorded(benchmark::State& state) {
  run_steps(state, true);
}

BENCHMARK(BM_Step)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepRecorded)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
