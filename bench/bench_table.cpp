// Runs step_bench and floor_bench side by side and prints, per chart, the median
// step, the median floor and their ratio. The two run in separate processes (each
// links a host of the same names), interleaved: every round runs each chart's step
// and floor one after the other, the order swapped from round to round, so that a
// change of the machine's load falls on both. Times are CPU times per step.
//
//   bench_table [--rounds R] [--repetitions K] [--min-time SECONDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/inputs.hpp"

namespace {

struct Options {
  int rounds = 5;
  int repetitions = 3;
  double min_time = 0.05;
};

// The CPU times (µs) of every repetition of one benchmark, run in a child process.
std::vector<double> run(const char* program, const std::string& name, const Options& o) {
  char min_time[32];
  std::snprintf(min_time, sizeof min_time, "%g", o.min_time);
  const std::string command =
      std::string("'") + program + "' --benchmark_filter='^" + name +
      "$' --benchmark_format=json --benchmark_repetitions=" + std::to_string(o.repetitions) +
      " --benchmark_min_time=" + min_time + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
    out.append(buf, n);
  const int status = pclose(pipe);
  if (status != 0) throw std::runtime_error(name + ": " + program + " failed");
  const nlohmann::json doc = nlohmann::json::parse(out);
  std::vector<double> times;
  for (const auto& b : doc.at("benchmarks")) {
    if (b.value("error_occurred", false))
      throw std::runtime_error(name + ": " + b.value("error_message", std::string("error")));
    if (b.value("run_type", std::string()) != "iteration") continue;
    double t = b.at("cpu_time").get<double>();
    const std::string unit = b.value("time_unit", std::string("us"));
    if (unit == "ns") t /= 1e3;
    if (unit == "ms") t *= 1e3;
    times.push_back(t);
  }
  if (times.empty()) throw std::runtime_error(name + ": no result");
  return times;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 != 0 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--rounds") == 0 && has_value) {
      o.rounds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--repetitions") == 0 && has_value) {
      o.repetitions = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--min-time") == 0 && has_value) {
      o.min_time = std::atof(argv[++i]);
    } else {
      throw std::runtime_error(std::string("unknown argument '") + argv[i] +
                               "'; usage: bench_table [--rounds R] [--repetitions K] "
                               "[--min-time SECONDS]");
    }
  }
  if (o.rounds < 1 || o.repetitions < 1 || !(o.min_time > 0))
    throw std::runtime_error("rounds, repetitions and min-time must be positive");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    std::vector<double> step[bench::kChartCount], floor[bench::kChartCount];
    for (int r = 0; r < o.rounds; ++r) {
      for (int i = 0; i < bench::kChartCount; ++i) {
        const std::string index = std::to_string(i);
        for (int half = 0; half < 2; ++half) {
          const bool step_first = r % 2 == 0;
          if ((half == 0) == step_first) {
            const auto t = run(STEP_BENCH, "BM_Step/" + index, o);
            step[i].insert(step[i].end(), t.begin(), t.end());
          } else {
            const auto t = run(FLOOR_BENCH, "BM_Floor/" + index, o);
            floor[i].insert(floor[i].end(), t.begin(), t.end());
          }
        }
      }
    }
    std::printf("chart             N   step (us)  floor (us)  ratio\n");
    for (int i = 0; i < bench::kChartCount; ++i) {
      const bench::ChartCase& c = bench::kCharts[i];
      const double s = median(step[i]), f = median(floor[i]);
      std::printf("%s c%d  %6d  %10.2f  %10.2f  %5.2f\n", c.model, c.chart, c.N, s, f, s / f);
    }
    std::printf("medians of %d rounds x %d repetitions, CPU time per step\n", o.rounds,
                o.repetitions);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_table: %s\n", e.what());
    return 1;
  }
}
