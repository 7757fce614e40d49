// Runs STEPS floor steps of one chart into the null host: floor_run INDEX Z STEPS.
// The floor's counterpart of step_run.
#include <cstdio>
#include <cstdlib>

#include "bench/floor_step.hpp"
#include "bench/inputs.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: floor_run INDEX Z STEPS\n");
    return 2;
  }
  const int index = std::atoi(argv[1]);
  double z = std::strtod(argv[2], nullptr);
  const int steps = std::atoi(argv[3]);
  if (index < 0 || index >= bench::kChartCount || steps < 0) {
    std::fprintf(stderr, "floor_run: bad chart index or step count\n");
    return 2;
  }
  const bench::ChartCase& c = bench::kCharts[index];
  const auto x = bench::table_x(c.N);
  const auto y = bench::table_y(c.N);
  double y1 = 0.0;
  bench::floor::Rig rig(c.chart, x.data(), y.data(), &z, &y1);
  for (int k = 0; k < steps; ++k)
    bench::floor::kSteps[index](rig.call(), 0.0);
  std::printf("%.17g\n", y1);
  return 0;
}
