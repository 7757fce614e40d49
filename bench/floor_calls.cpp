// Lists the host calls of one floor step, one operation name a line (linked against
// the printing null host): floor_calls INDEX Z [descending], INDEX into
// bench::kCharts, Z the query; "descending" reverses the table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/floor_step.hpp"
#include "bench/inputs.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: floor_calls INDEX Z [descending]\n");
    return 2;
  }
  const int index = std::atoi(argv[1]);
  if (index < 0 || index >= bench::kChartCount) {
    std::fprintf(stderr, "floor_calls: no chart %d\n", index);
    return 2;
  }
  const bench::ChartCase& c = bench::kCharts[index];
  auto x = bench::table_x(c.N);
  auto y = bench::table_y(c.N);
  if (argc > 3 && std::strcmp(argv[3], "descending") == 0) {
    std::reverse(x.begin(), x.end());
    std::reverse(y.begin(), y.end());
  }
  double z = std::strtod(argv[2], nullptr);
  double y1 = 0.0;
  bench::floor::Rig rig(c.chart, x.data(), y.data(), &z, &y1);
  std::fputs("--\n", stdout);  // the step's calls are those between the two marks
  bench::floor::kSteps[index](rig.call(), 0.0);
  std::fputs("--\n", stdout);
  return 0;
}
