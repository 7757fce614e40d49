// The floor of each chart's output step: the step's host calls and copies made
// into the null host (bench/floor_step.hpp). Same charts, inputs and labels as
// step_bench, so that the two can be set side by side (bench_table).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/floor_step.hpp"
#include "bench/inputs.hpp"

namespace {

void BM_Floor(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const bench::ChartCase& c = bench::kCharts[index];
  const auto x = bench::table_x(c.N);
  const auto y = bench::table_y(c.N);
  double z = 0.0;
  double y1 = 0.0;
  bench::floor::Rig rig(c.chart, x.data(), y.data(), &z, &y1);
  const bench::floor::StepFn step = bench::floor::kSteps[index];
  int64_t k = 0;
  for (auto _ : state) {
    z = bench::query(c.N, k++);
    step(rig.call(), 0.0);
    benchmark::DoNotOptimize(y1);
  }
  state.counters["N"] = c.N;
  state.SetLabel(std::string(c.model) + " c" + std::to_string(c.chart));
}

BENCHMARK(BM_Floor)->DenseRange(0, bench::kChartCount - 1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
