// sfsim run in time (--input): the rows at the major steps against an independent
// evaluation of the input in time and of the chart, the chart steps of every major
// and minor step counted in the trace, and every bad time setting refused before
// any step.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/interpolation.hpp"
#include "tests/support/mat_bytes.hpp"
#include "tests/support/sfsim_fixture.hpp"

namespace {

using namespace sfsim_test;

// The input in time, written out: z_a + (z_b - z_a) * ((t - t_a) / (t_b - t_a)) between
// two points, a point's value at its time, the end values held outside.
double in_time(const std::vector<double>& tz, const std::vector<double>& zz, double t) {
  if (t <= tz.front()) return zz.front();
  if (t >= tz.back()) return zz.back();
  std::size_t a = 0;
  while (tz[a + 1] <= t)
    ++a;
  if (t == tz[a]) return zz[a];
  return zz[a] + (zz[a + 1] - zz[a]) * ((t - tz[a]) / (tz[a + 1] - tz[a]));
}

std::string g17(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

struct Rows {
  std::vector<std::int64_t> step;
  std::vector<double> time, z, y1;
};

Rows parse_rows(const std::string& csv) {
  Rows rows;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,time,z,y1");
  while (std::getline(in, line)) {
    double v[3];
    long long k = -1;
    EXPECT_EQ(std::sscanf(line.c_str(), "%lld,%lf,%lf,%lf", &k, &v[0], &v[1], &v[2]), 4) << line;
    rows.step.push_back(k);
    rows.time.push_back(v[0]);
    rows.z.push_back(v[1]);
    rows.y1.push_back(v[2]);
  }
  return rows;
}

// The times of the chart steps a trace holds: the debugger's call on entering the
// chart, "sf_debug_call <instance> 1 101 1 1 1 0 ... <time> 1 0".
std::vector<std::string> chart_step_times(const std::string& trace) {
  std::vector<std::string> times;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("sf_debug_call ", 0) != 0) continue;  // most lines: skipped unsplit
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;)
      w.push_back(word);
    if (w.size() == 15 && w[0] == "sf_debug_call" && w[7] == "0") times.push_back(w[12]);
  }
  return times;
}

class TimeRun : public Sfsim {
 protected:
  void SetUp() override {
    Sfsim::SetUp();
    std::string table = "x,y\n";
    for (int k = 1; k <= 401; ++k) {
      X.push_back(k);
      Y.push_back(std::sin(k / 7.0));
      table += g17(X.back()) + "," + g17(Y.back()) + "\n";
    }
    file("table.csv", table);
    file("in.csv", "time,z\n0,1.5\n0.3,7\n1.1,3\n2,20\n");
    file("on_steps.csv", "time,z\n0,2\n0.25,3.5\n0.5,9\n0.75,4.25\n1,1\n");
    file("in.mat", mat({0, 0.3, 1.1, 2}, {1.5, 7, 3, 20}));
  }
  std::vector<std::string> run(const std::string& input, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"run", "--model", "Harnvale",  "--chart",
                                     "2",   "--table", "table.csv", "--input",
                                     input, "--out",   "out.csv"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  // The host calls traced to tr.txt: a large file, asked for only where it is read.
  static std::vector<std::string> traced(std::vector<std::string> args) {
    args.insert(args.end(), {"--trace", "tr.txt"});
    return args;
  }
  // A MAT-file with the vectors time and z.
  static std::string mat(const std::vector<double>& time, const std::vector<double>& z) {
    namespace m = test_support::mat;
    const auto n = [](const std::vector<double>& v) { return static_cast<std::int32_t>(v.size()); };
    return m::header() + m::double_array("time", {1, n(time)}, time) +
           m::double_array("z", {n(z), 1}, z);
  }
  std::vector<double> X, Y;
};

struct Case {
  const char* input;
  std::vector<std::string> args;
  double start, step;
  std::int64_t rows;
  std::vector<double> stages;         // the minor steps' fractions of a step that step the chart
  std::int64_t every = 0, first = 0;  // a discrete block's hits; 0: every call steps
};

TEST_F(TimeRun, RowsAndChartStepsAgainstAnIndependentEvaluation) {
  const std::vector<double> tz = {0, 0.3, 1.1, 2}, zz = {1.5, 7, 3, 20};
  const std::vector<double> tz_on = {0, 0.25, 0.5, 0.75, 1}, zz_on = {2, 3.5, 9, 4.25, 1};
  const std::vector<Case> cases = {
      {"on_steps.csv", {"--step-size", "0.25"}, 0, 0.25, 5, {}},
      {"in.csv", {}, 0, 0.01, 201, {}},
      {"in.csv", {"--step-size", "0.125", "--stop-time", "4"}, 0, 0.125, 33, {}},
      // 3 * 0.1 is above 0.3 by a rounding: the step at 0.3 still counts.
      {"in.csv", {"--step-size", "0.1", "--stop-time", "0.3"}, 0, 0.1, 4, {}},
      {"in.csv",
       {"--start-time", "-0.5", "--stop-time", "2.5", "--step-size", "0.25"},
       -0.5,
       0.25,
       13,
       {}},
      {"in.csv", {"--step-size", "0.1", "--solver", "ode1"}, 0, 0.1, 21, {}},
      {"in.csv", {"--step-size", "0.1", "--solver", "ode2"}, 0, 0.1, 21, {1}},
      {"in.csv", {"--step-size", "0.1", "--solver", "ode3"}, 0, 0.1, 21, {0.5, 0.75}},
      {"in.mat", {"--step-size", "0.1", "--solver", "ode3"}, 0, 0.1, 21, {0.5, 0.75}},
      {"in.csv",
       {"--step-size", "0.1", "--solver", "ode4", "--rate", "continuous"},
       0,
       0.1,
       21,
       {0.5, 0.5, 1}},
      {"in.csv",
       {"--step-size", "0.1", "--solver", "ode5"},
       0,
       0.1,
       21,
       {0.2, 0.3, 0.8, 8.0 / 9.0, 1}},
      {"in.csv", {"--rate", "discrete", "--solver", "ode5"}, 0, 0.01, 201, {}, 1, 0},
      {"in.csv", {"--rate", "discrete", "--sample-time", "0.05"}, 0, 0.01, 201, {}, 5, 0},
      {"in.csv",
       {"--rate", "discrete", "--sample-time", "0.05,0.02", "--solver", "ode3"},
       0,
       0.01,
       201,
       {},
       5,
       2},
      {"in.csv",
       {"--rate", "discrete", "--sample-time", "0.5,0.25", "--start-time", "0.5"},
       0.5,
       0.01,
       151,
       {},
       50,
       25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " " + ::testing::PrintToString(c.args));
    const bool on_steps = std::string(c.input) == "on_steps.csv";
    const auto& t_in = on_steps ? tz_on : tz;
    const auto& z_in = on_steps ? zz_on : zz;
    EXPECT_EQ(ok(run(c.input, traced(c.args))), "");
    const Rows rows = parse_rows(read_file(path("out.csv")));
    ASSERT_EQ(static_cast<std::int64_t>(rows.time.size()), c.rows);
    std::vector<std::string> steps;  // the chart steps' times expected
    double held = 0;                 // a discrete block's output before its first hit
    for (std::int64_t k = 0; k < c.rows; ++k) {
      const double t = c.start + static_cast<double>(k) * c.step;
      const double z = in_time(t_in, z_in, t);
      const bool hit = c.every == 0 || (k >= c.first && (k - c.first) % c.every == 0);
      if (hit) held = test_support::interpolate(X, Y, z, true);
      EXPECT_EQ(rows.step[k], k);
      EXPECT_TRUE(same(rows.time[k], t)) << k << ": " << rows.time[k];
      EXPECT_TRUE(same(rows.z[k], z)) << k << ": " << rows.z[k] << " for " << z;
      EXPECT_TRUE(same(rows.y1[k], held)) << k << ": " << rows.y1[k] << " for " << held;
      if (hit) steps.push_back(g17(t));
      for (double stage : c.stages)
        steps.push_back(g17(t + stage * c.step));
    }
    EXPECT_EQ(chart_step_times(read_file(path("tr.txt"))), steps);
  }
  // The plot of a run in time: y1 and z against time, two lines and no table.
  EXPECT_EQ(ok(run("in.csv", {"--plot", "p.svg"})), "");
  const std::string svg = read_file(path("p.svg"));
  EXPECT_NE(svg.find("Harnvale c2: y1 and z against time"), std::string::npos);
  EXPECT_NE(svg.find(">time (s)</text>"), std::string::npos);
  std::size_t lines = 0;
  for (auto at = svg.find("<polyline"); at != std::string::npos; at = svg.find("<polyline", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u);
  EXPECT_EQ(svg.find("<circle"), std::string::npos) << "no table points";
}

TEST_F(TimeRun, SavedStateIsTheLastMinorStepsAndIsRestored) {
  const std::vector<double> tz = {0, 0.3, 1.1, 2}, zz = {1.5, 7, 3, 20};
  // With ode2 the run's last call is the minor step at the last major step + H.
  EXPECT_EQ(ok(run("in.csv", {"--step-size", "0.5", "--stop-time", "1", "--solver", "ode2",
                              "--save-state", "s.json", "--blocks", "2"})),
            "");
  const std::string state = read_file(path("s.json"));
  const auto at = state.find("\"y1\": {");
  ASSERT_NE(at, std::string::npos) << state;
  const auto data = state.find("\"data\": [", at);
  ASSERT_NE(data, std::string::npos) << state;
  const double y1 = std::strtod(state.c_str() + data + 9, nullptr);
  EXPECT_TRUE(same(y1, test_support::interpolate(X, Y, in_time(tz, zz, 1.5), true))) << y1;
  EXPECT_EQ(ok(run("in.csv", {"--restore-state", "s.json", "--solver", "ode3"})), "");
}

TEST_F(TimeRun, BadTimeInputIsRefusedBeforeAnyStep) {
  file("repeat.csv", "time,z\n0,1\n0.5,2\n0.5,3\n");
  file("header.csv", "t,z\n0,1\n");
  file("nan.csv", "time,z\n0,1\nNaN,2\n");
  file("columns.csv", "time,z\n0,1,2\n");
  file("text.csv", "time,z\n0,abc\n");
  file("empty.csv", "time,z\n");
  file("short.mat", mat({0, 1, 2}, {1, 2}));
  file("order.mat", mat({0, 2, 1}, {1, 2, 3}));
  file("none.mat", mat({}, {}));
  file("minf.mat", mat({-HUGE_VAL, 0, 1}, {5, 1, 2}));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {run("repeat.csv", {}),
       "repeat.csv:4: time 0.5 is not after the time before it, 0.5: times must increase "
       "strictly"},
      {run("header.csv", {}), "header.csv:1: expected the header time,z; got 't,z'"},
      {run("nan.csv", {}), "nan.csv:3: time NaN is not a finite number"},
      {run("columns.csv", {}), "columns.csv:2: expected 2 columns (time,z), found 3"},
      {run("text.csv", {}), "text.csv:2: column z: 'abc' is not a number"},
      {run("empty.csv", {}), "empty.csv: the file holds no point"},
      {run("missing.csv", {}), "missing.csv: cannot open the file"},
      {run("short.mat", {}), "short.mat: variable 'z': has 2 elements, but 'time' has 3"},
      {run("order.mat", {}),
       "order.mat: variable 'time': element 3 is 1 after 2: times must be finite and increase "
       "strictly"},
      {run("none.mat", {}), "none.mat: variable 'time': the variable holds no point"},
      {run("minf.mat", {"--start-time", "-0.5"}),
       "minf.mat: variable 'time': element 1 is -Inf: times must be finite and increase "
       "strictly"},
      {run("in.csv", {"--start-time", "3"}),
       "--stop-time must not be before the start time 3; got 2 (not given: the last time of the "
       "input)"},
      {run("in.csv", {"--step-size", "0"}), "--step-size must be a positive number; got 0"},
      {run("in.csv", {"--step-size", "-0.5"}), "--step-size must be a positive number; got -0.5"},
      {run("in.csv", {"--step-size", "abc"}), "--step-size: 'abc' is not a number"},
      {run("in.csv", {"--step-size", "Inf"}), "--step-size must be a positive number; got Inf"},
      {run("in.csv", {"--start-time", "NaN"}), "--start-time must be a finite number; got NaN"},
      {run("in.csv", {"--stop-time", "-1"}),
       "--stop-time must not be before the start time 0; got -1"},
      {run("in.csv", {"--stop-time", "1e300"}), "--stop-time gives more than 2^53 steps of"},
      {run("in.csv", {"--solver", "ode9"}),
       "--solver: 'ode9' is not one of discrete, ode1, ode2, ode3, ode4 or ode5"},
      {run("in.csv", {"--rate", "discrete", "--step-size", "0.25", "--sample-time", "0.375"}),
       "--sample-time must be a whole multiple of the step size 0.25; got 0.375"},
      {run("in.csv",
           {"--rate", "discrete", "--step-size", "0.001", "--sample-time", "1000.0000005"}),
       "--sample-time must be a whole multiple of the step size 0.001; got 1000.0000005"},
      {run("in.csv", {"--rate", "discrete", "--start-time", "0.005"}),
       "--sample-time is the step size with offset 0 when not given, and its hits fall between "
       "the major steps 0.005 + k * 0.01: give one whose offset is on them"},
      {run("in.csv", {"--rate", "discrete", "--sample-time", "0.5,0.5"}),
       "--sample-time offset must be at least 0 and below the period 0.5; got 0.5"},
      {run("in.csv", {"--rate", "discrete", "--sample-time", "0.5,-0.25"}),
       "--sample-time offset must be at least 0 and below the period 0.5; got -0.25"},
      {run("in.csv", {"--rate", "discrete", "--step-size", "0.25", "--sample-time", "0.5,0.125"}),
       "--sample-time offset 0.125 falls between the major steps 0 + k * 0.25"},
      {run("in.csv", {"--rate", "discrete", "--sample-time", "0.5,"}),
       "--sample-time: expected P or P,OFFSET; got '0.5,'"},
      {run("in.csv", {"--sample-time", "0.5"}),
       "--sample-time applies to a discrete block only (rate discrete)"},
      {{"run", "--model", "Harnvale", "--chart", "2", "--z-range", "0:1:3", "--solver", "ode2",
        "--out", "out.csv"},
       "--solver needs --input (a run in time)"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result r = sfsim(traced(args));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(path("out.csv")));
    EXPECT_FALSE(fs::exists(path("tr.txt")));
  }
}

}  // namespace
