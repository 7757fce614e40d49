// Runs step_bench and floor_bench side by side and prints, per chart, the median
// step, the median floor and their ratio. The two run in separate processes (each
// links a host of the same names), interleaved: every round runs each chart's step
// and floor one after the other, the order swapped from round to round, so that a
// change of the machine's load falls on both. Times are CPU times per step.
//
// Beside them, the whole loop of `sfsim run` per step: sfsim itself on the bench's
// table and queries (a table file and a query file in, the CSV rows out to a file),
// its CPU time for K queries less that for one query (loading and start-up), over
// K - 1; and its ratio to the bare step. The queries are the step benchmark's.
//
//   bench_table [--rounds R] [--repetitions K] [--min-time SECONDS] [--run-steps K]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
  long run_steps = 30000;
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

// The CPU time (s) of the children of this process so far.
double children_cpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// The inputs of sfsim's runs: each chart's bench table as a CSV, and its query files
// of K and of one query (the step benchmark's queries).
class RunFiles {
 public:
  explicit RunFiles(long steps) {
    dir_ = std::filesystem::temp_directory_path() /
           ("bench_table." + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(dir_);
    for (const bench::ChartCase& c : bench::kCharts) {
      std::ofstream table(table_path(c));
      const auto x = bench::table_x(c.N);
      const auto y = bench::table_y(c.N);
      char line[80];
      for (std::size_t k = 0; k < x.size(); ++k) {
        std::snprintf(line, sizeof line, "%.17g,%.17g\n", x[k], y[k]);
        table << line;
      }
      for (const long n : {steps, 1L}) {
        std::ofstream z(queries_path(c, n));
        for (long k = 0; k < n; ++k)
          z << bench::query(c.N, k) << "\n";
      }
    }
  }
  ~RunFiles() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string table_path(const bench::ChartCase& c) const {
    return (dir_ / (std::string(c.model) + std::to_string(c.chart) + ".csv")).string();
  }
  std::string queries_path(const bench::ChartCase& c, long n) const {
    return (dir_ /
            (std::string(c.model) + std::to_string(c.chart) + "_z" + std::to_string(n) + ".txt"))
        .string();
  }
  std::string out_path() const { return (dir_ / "out.csv").string(); }

 private:
  std::filesystem::path dir_;
};

// sfsim's CPU time (s) for one run of the chart over a query file of n queries.
double sfsim_run(const bench::ChartCase& c, const RunFiles& files, long n) {
  const std::string command = std::string("'") + SFSIM + "' run --model " + c.model + " --chart " +
                              std::to_string(c.chart) + " --table '" + files.table_path(c) +
                              "' --z '" + files.queries_path(c, n) + "' --out '" +
                              files.out_path() + "'";
  const double before = children_cpu();
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  return children_cpu() - before;
}

// The loop's CPU time per step (µs): a run of K queries less a run of one.
double sfsim_per_step(const bench::ChartCase& c, const RunFiles& files, long steps) {
  const double whole = sfsim_run(c, files, steps), one = sfsim_run(c, files, 1);
  return 1e6 * (whole - one) / static_cast<double>(steps - 1);
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
    } else if (std::strcmp(argv[i], "--run-steps") == 0 && has_value) {
      o.run_steps = std::atol(argv[++i]);
    } else {
      throw std::runtime_error(std::string("unknown argument '") + argv[i] +
                               "'; usage: bench_table [--rounds R] [--repetitions K] "
                               "[--min-time SECONDS] [--run-steps K]");
    }
  }
  if (o.rounds < 1 || o.repetitions < 1 || !(o.min_time > 0) || o.run_steps < 2)
    throw std::runtime_error(
        "rounds, repetitions and min-time must be positive, and run-steps at least 2");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    const RunFiles files(o.run_steps);
    std::vector<double> step[bench::kChartCount], floor[bench::kChartCount],
        loop[bench::kChartCount];
    for (int r = 0; r < o.rounds; ++r) {
      for (int i = 0; i < bench::kChartCount; ++i) {
        const std::string index = std::to_string(i);
        loop[i].push_back(sfsim_per_step(bench::kCharts[i], files, o.run_steps));
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
    std::printf("chart             N   step (us)  floor (us)  ratio  sfsim run (us)  run/step\n");
    for (int i = 0; i < bench::kChartCount; ++i) {
      const bench::ChartCase& c = bench::kCharts[i];
      const double s = median(step[i]), f = median(floor[i]), l = median(loop[i]);
      std::printf("%s c%d  %6d  %10.2f  %10.2f  %5.2f  %14.2f  %8.2f\n", c.model, c.chart, c.N, s,
                  f, s / f, l, l / s);
    }
    std::printf(
        "medians of %d rounds x %d repetitions, CPU time per step; sfsim run: %ld queries "
        "from a file, rows to a file, less a run of one query\n",
        o.rounds, o.repetitions, o.run_steps);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_table: %s\n", e.what());
    return 1;
  }
}
