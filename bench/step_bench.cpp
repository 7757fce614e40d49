// Cost of one output step of each chart, driven through the plug-in's mexFunction
// by the engine as the host would: the table checks, the debugger and range calls
// and the interpolation. Also the step with the call recorder on, which is what a
// trace costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/chart_block.hpp"
#include "bench/inputs.hpp"
#include "host/engine.hpp"
#include "host/trace.hpp"

namespace {

void run_steps(benchmark::State& state, bool recording) {
  const bench::ChartCase& c = bench::kCharts[state.range(0)];
  host::engine::Engine engine;
  host::engine::Block& block = bench::chart_block(engine, c);
  const auto x = bench::table_x(c.N);
  const auto y = bench::table_y(c.N);
  block.set_inputs(x.data(), y.data(), 0.0);
  if (!block.set_work_widths() || !block.start() || !block.initialize()) {
    state.SkipWithError("block did not start");
    return;
  }
  int64_t calls = 0;
  if (recording) host::trace::set_sink([&calls](const host::trace::Call&) { ++calls; });
  int64_t k = 0;
  for (auto _ : state) {
    block.z() = bench::query(c.N, k++);
    if (!block.outputs()) {
      state.SkipWithError("step failed");
      break;
    }
    benchmark::DoNotOptimize(block.y1());
  }
  if (recording) host::trace::clear_sink();
  block.terminate();
  state.counters["N"] = c.N;
  if (recording && k > 0)
    state.counters["host_calls_per_step"] = static_cast<double>(calls) / static_cast<double>(k);
  state.SetLabel(std::string(c.model) + " c" + std::to_string(c.chart));
}

void BM_Step(benchmark::State& state) {
  run_steps(state, false);
}
void BM_StepRecorded(benchmark::State& state) {
  run_steps(state, true);
}

BENCHMARK(BM_Step)->DenseRange(0, bench::kChartCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepRecorded)->DenseRange(0, bench::kChartCount - 1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
