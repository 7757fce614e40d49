// sfsim as a user runs it: the built program with files and arguments, its exit
// status, its standard output and error, and the files it writes (what it refuses
// is sfsim_input_test.cpp).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "models/catalogue_view.hpp"
#include "tests/support/interpolation.hpp"
#include "tests/support/sfsim_fixture.hpp"
#include "tests/tools/sfsim/sfsim_rows.hpp"

namespace {

namespace fs = std::filesystem;
using namespace sfsim_test;
using Json = nlohmann::json;

using test_support::same_bits;

// --- every chart ----------------------------------------------------------------

struct Chart {
  const char* model;
  int chart;
  int n;
  bool extrapolate;
};

const std::vector<Chart> kCharts = [] {
  std::vector<Chart> all;
  for (const models::ModelView& m : models::catalogue())
    for (const models::ChartView& c : m.charts)
      all.push_back(
          {m.name.c_str(), c.number, c.table_length, c.outside == charts::Outside::Extrapolate});
  return all;
}();

void PrintTo(const Chart& c, std::ostream* os) {
  *os << c.model << " c" << c.chart;
}

struct TestTable {
  std::vector<double> x, y;
};

// Uneven breakpoints, values with runs of equal neighbours, seeded per chart.
TestTable make_table(const Chart& c) {
  std::mt19937_64 rng(1000 * c.chart + c.n);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double steps[] = {0.1, 0.37, 1.5, 1e-3};
  TestTable t;
  t.x.resize(c.n);
  t.y.resize(c.n);
  t.x[0] = -3.25;
  t.y[0] = 1.0 / 3;
  for (int i = 1; i < c.n; ++i) {
    t.x[i] = t.x[i - 1] + steps[rng() % 4] * (1 + unit(rng));
    t.y[i] = (i % 7 == 0) ? t.y[i - 1] : (unit(rng) - 0.5) * 10 * (i % 11 == 0 ? 1e6 : 1);
  }
  return t;
}

std::string table_csv(const TestTable& t, bool header, bool descending) {
  std::string s = header ? "x,y\n" : "";
  for (std::size_t k = 0; k < t.x.size(); ++k) {
    std::size_t i = descending ? t.x.size() - 1 - k : k;
    s += num(t.x[i]) + "," + num(t.y[i]) + "\n";
  }
  return s;
}

std::vector<double> make_queries(const TestTable& t) {
  const std::size_t N = t.x.size();
  std::vector<double> z = {t.x[0],
                           t.x[1],
                           t.x[N / 2],
                           t.x[N - 2],
                           t.x[N - 1],
                           t.x[0] - 1e-9,
                           t.x[N - 1] + 100,
                           t.x[0] - 7.5,
                           kNaN,
                           kInf,
                           -kInf,
                           t.x[7],
                           (t.x[7] + t.x[8]) / 2,
                           t.x[N - 1] + 1e-7,
                           0.0};
  std::mt19937_64 rng(N);
  std::uniform_real_distribution<double> in(t.x[0] - 5, t.x[N - 1] + 5);
  for (int i = 0; i < 25; ++i)
    z.push_back(in(rng));
  for (int i = 0; i < 5; ++i) {
    std::size_t k = rng() % (N - 1);
    z.push_back((t.x[k] + t.x[k + 1]) / 2);
  }
  return z;
}

std::string queries_file(const std::vector<double>& z) {
  std::string s;
  for (double v : z)
    s += num(v) + "\n";
  return s;
}

class ChartRun : public Sfsim, public ::testing::WithParamInterface<Chart> {
 protected:
  std::vector<std::string> run_args() const {
    const Chart& c = GetParam();
    return {"run", "--model", c.model, "--chart", std::to_string(c.chart)};
  }
  std::vector<std::string> with(std::vector<std::string> more) const {
    auto a = run_args();
    a.insert(a.end(), more.begin(), more.end());
    return a;
  }
};

TEST_P(ChartRun, OutputEqualsIndependentInterpolationBitForBit) {
  const Chart& c = GetParam();
  TestTable t = make_table(c);
  std::vector<double> z = make_queries(t);
  std::string zf = file("z.txt", queries_file(z));
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending table, no header" : "ascending table with header");
    std::string tf = file("t.csv", table_csv(t, !descending, descending));
    auto rows = parse_csv(ok(with({"--table", tf, "--z", zf})));
    ASSERT_EQ(rows.size(), z.size());
    for (std::size_t k = 0; k < z.size(); ++k) {
      SCOPED_TRACE("query " + std::to_string(k) + ": z = " + num(z[k]));
      EXPECT_EQ(rows[k].step, static_cast<long>(k));
      EXPECT_TRUE(same_bits(static_cast<double>(k) * 0.01, rows[k].time));
      EXPECT_TRUE(same_bits(z[k], rows[k].z));
      EXPECT_TRUE(same_bits(test_support::interpolate(t.x, t.y, z[k], c.extrapolate), rows[k].y1));
    }
  }
}

TEST_P(ChartRun, InterpolationErrorsExitOneWithIdentifierAndKeepTheHeader) {
  const Chart& c = GetParam();
  TestTable t = make_table(c);
  struct Fault {
    const char* identifier;
    void (*spoil)(TestTable&);
  } faults[] = {
      {"MATLAB:interp1:NaNinX", [](TestTable& b) { b.x[b.x.size() / 3] = kNaN; }},
      {"Coder:toolbox:interp1_nonMonotonicX", [](TestTable& b) { b.x[5] = b.x[4]; }},
  };
  for (const auto& f : faults) {
    SCOPED_TRACE(f.identifier);
    TestTable bad = t;
    f.spoil(bad);
    std::string tf = file("bad.csv", table_csv(bad, true, false));
    Result r = sfsim(with({"--table", tf, "--z-range", "0:1:4"}));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "step,time,z,y1\n");
    EXPECT_NE(r.err.find(std::string("step 0 (time 0, z 0): ") + f.identifier + ": "),
              std::string::npos)
        << r.err;
  }
}

TEST_P(ChartRun, SaveThenRestoreContinuesExactly) {
  const Chart& c = GetParam();
  std::vector<std::string> z = {"-1", "0.5", "2", "3.25", "NaN", "4", "5.5", "7", "9.75", "11"};
  auto zfile = [&](std::size_t from, std::size_t to) {
    std::string s;
    for (std::size_t i = from; i < to; ++i)
      s += z[i] + "\n";
    return s;
  };
  auto whole = parse_csv(
      ok(with({"--z", file("all.txt", zfile(0, 10)), "--save-state", path("whole.json")})));
  ok(with({"--z", file("first.txt", zfile(0, 5)), "--save-state", path("half.json")}));
  auto second = parse_csv(ok(with({"--z", file("second.txt", zfile(5, 10)), "--restore-state",
                                   path("half.json"), "--save-state", path("end.json")})));
  ASSERT_EQ(whole.size(), 10u);
  ASSERT_EQ(second.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k)
    EXPECT_TRUE(same_bits(whole[k + 5].y1, second[k].y1));
  EXPECT_EQ(read_file(path("end.json")), read_file(path("whole.json")));

  // The saved state: the host's struct with y1 and the chart's active flag.
  Json state = Json::parse(read_file(path("whole.json")));
  const std::string flag = "is_active_c" + std::to_string(c.chart) + "_" + std::string(c.model);
  EXPECT_EQ(state["class"], "struct");
  EXPECT_EQ(state["size"], Json::array({1, 1}));
  Json& element = state["elements"][0];
  EXPECT_EQ(element["y1"]["class"], "double");
  const Json& saved = element["y1"]["data"][0];  // "NaN" where the run ends outside a table
  EXPECT_TRUE(same_bits(whole.back().y1,
                        saved.is_string() ? parse(saved.get<std::string>()) : saved.get<double>()));
  ASSERT_EQ(element[flag]["class"], "uint8");
  EXPECT_EQ(element[flag]["data"][0], 0);

  // A restored flag survives the steps that follow, so the restore reached the chart.
  element[flag]["data"][0] = 1;
  ok(with({"--z", path("second.txt"), "--restore-state", file("active.json", state.dump()),
           "--save-state", path("after.json")}));
  Json after = Json::parse(read_file(path("after.json")));
  EXPECT_EQ(after, state);
}

TEST_P(ChartRun, BlocksGiveTheSameRowsAsOneBlock) {
  std::string one = ok(with({"--z-range", "-2:12:23"}));
  EXPECT_EQ(ok(with({"--z-range", "-2:12:23", "--blocks", "2"})), one);
  EXPECT_EQ(ok(with({"--z-range", "-2:12:23", "--blocks", "3", "--rate", "discrete"})), one);
  EXPECT_EQ(ok(with({"--z-range", "-2:12:23", "--rate", "continuous"})), one);
}

TEST_P(ChartRun, PlotIsWellFormedWithOnePolylineAndTheTablePoints) {
  const Chart& c = GetParam();
  auto rows = parse_csv(ok(with({"--plot", path("p.svg")})));
  ASSERT_EQ(rows.size(), 201u);
  EXPECT_EQ(std::system(("xmllint --noout " + quote(path("p.svg").string())).c_str()), 0);
  std::string svg = read_file(path("p.svg"));
  auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (auto p = svg.find(what); p != std::string::npos; p = svg.find(what, p + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("<polyline"), 1u);
  EXPECT_EQ(count("<circle"), static_cast<std::size_t>(c.n) + 1);  // and the legend's
  std::size_t finite = 0;
  for (const auto& r : rows)
    finite += std::isfinite(r.y1);
  auto points = svg.substr(svg.find("points=\""));
  points = points.substr(8, points.find('"', 8) - 8);
  EXPECT_EQ(static_cast<std::size_t>(std::count(points.begin(), points.end(), ',')), finite);
  EXPECT_NE(svg.find(">z</text>"), std::string::npos);
  EXPECT_NE(svg.find(">y1</text>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Charts, ChartRun, ::testing::ValuesIn(kCharts), [](const auto& info) {
  return std::string(info.param.model) + "_c" + std::to_string(info.param.chart);
});

// --- the default run ---------------------------------------------------------------

TEST_F(Sfsim, DefaultRunWritesEveryChartAndASummary) {
  std::string out = ok({"--out-dir", "out"});
  for (const auto& c : kCharts) {
    std::string base = std::string(c.model) + "_c" + std::to_string(c.chart);
    SCOPED_TRACE(base);
    auto rows = parse_csv(read_file(path("out") / (base + ".csv")));
    ASSERT_EQ(rows.size(), 201u);
    std::size_t nan = 0;
    for (const auto& r : rows)
      nan += std::isnan(r.y1);
    // z sweeps past both ends: NaN outside the table only where there is no extrapolation.
    EXPECT_EQ(nan > 0, !c.extrapolate);
    std::string line = std::string(c.model) + " c" + std::to_string(c.chart);
    auto at = out.find(line);
    ASSERT_NE(at, std::string::npos) << out;
    std::istringstream summary(out.substr(at + line.size()));
    int n = 0;
    long steps = 0;
    summary >> n >> steps;
    EXPECT_EQ(n, c.n);
    EXPECT_EQ(steps, 201);
    EXPECT_EQ(
        std::system(("xmllint --noout " + quote((path("out") / (base + ".svg")).string())).c_str()),
        0);
    // The default run is `run` on the chart's built-in table and default queries.
    EXPECT_EQ(read_file(path("out") / (base + ".csv")),
              ok({"run", "--model", c.model, "--chart", std::to_string(c.chart)}));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(path("out")), fs::directory_iterator()), 10);
}

// --- the trace of a step ----------------------------------------------------------

std::vector<std::vector<std::string>> trace_lines(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream ls(line);
    std::vector<std::string> words;
    for (std::string w; ls >> w;)
      words.push_back(w);
    lines.push_back(words);
  }
  return lines;
}

TEST_F(Sfsim, TraceHoldsTheHostCallsOfAStepInOrder) {
  const int N = table_length("Harnvale", 3);
  std::string table;
  for (int i = 0; i < N; ++i)
    table += std::to_string(i) + "," + std::to_string(2 * i) + "\n";
  const double u = 100.5;
  ok({"run", "--model", "Harnvale", "--chart", "3", "--table", file("t.csv", table), "--z-range",
      "100.5:100.5:1", "--trace", path("trace.txt")});
  auto lines = trace_lines(read_file(path("trace.txt")));

  std::vector<std::string> expected = {"sf_debug_symbol_scope_push", "sf_get_time",
                                       "sf_debug_call"};
  expected.insert(expected.end(), 2 * N + 1, "sf_debug_data_range_wrapper");
  for (const char* op :
       {"sf_debug_call", "sf_debug_symbol_scope_push_eml",
        "sf_debug_symbol_scope_add_eml_importable", "sf_debug_symbol_scope_add_eml_importable",
        "sf_debug_symbol_scope_add_eml", "sf_debug_symbol_scope_add_eml",
        "sf_debug_symbol_scope_add_eml", "sf_debug_symbol_scope_add_eml_importable", "cv_eml_eval",
        "eml_debug_line_call"})
    expected.push_back(op);
  auto check = [&] {
    expected.push_back("sf_debug_integer_check");
    expected.push_back("sf_debug_eml_data_array_bounds_error_check");
  };
  for (int k = 0; k < N; ++k)
    check(), expected.push_back("muDoubleScalarIsNaN");
  for (int k = 1; k < N; ++k)
    check(), check();
  expected.push_back("muDoubleScalarIsNaN");  // the query
  for (int low = 1, high = N; high > low + 1;) {
    int mid = (low + high) >> 1;
    check();
    (u >= mid - 1 ? low : high) = mid;  // X(mid) = mid - 1
  }
  for (int i = 0; i < 4; ++i)
    check();
  for (const char* op : {"eml_debug_line_call", "sf_debug_symbol_scope_pop", "sf_debug_call",
                         "sf_debug_symbol_scope_pop", "sf_debug_check_for_state_inconsistency",
                         "sf_debug_data_range_wrapper"})
    expected.push_back(op);

  std::size_t start = 0;
  while (start < lines.size() && (lines[start].empty() || lines[start][0] != expected[0]))
    ++start;
  ASSERT_LE(start + expected.size(), lines.size());
  ASSERT_GT(start, 0u);
  EXPECT_EQ(lines[start - 1][0], "callMdlMethodAndReportError");
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_EQ(lines[start + i][0], expected[i]) << "call " << i << " of the step";

  // The chart calls carry the tags 0, 3 and 999; the range checks their data numbers.
  std::vector<std::string> tags;
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (expected[i] == "sf_debug_call") tags.push_back(lines[start + i].at(7));
  EXPECT_EQ(tags, (std::vector<std::string>{"0", "3", "999"}));
  EXPECT_EQ(lines[start + 3].at(5), "0");          // first element of x
  EXPECT_EQ(lines[start + 3 + N].at(5), "1");      // first element of y
  EXPECT_EQ(lines[start + 3 + 2 * N].at(5), "2");  // z
  EXPECT_EQ(lines[start + 3 + 2 * N].at(6), "100.5");
  EXPECT_EQ(lines[start + expected.size() - 1].at(5), "3");  // y1
  EXPECT_EQ(lines[start + expected.size() - 1].at(6), "201");
}

// --- queries -------------------------------------------------------------------------

class Query : public Sfsim {
 protected:
  Json json(std::vector<std::string> args) const {
    args.insert(args.begin(), "query");
    std::string out = ok(args);
    return out.empty() ? Json() : Json::parse(out);
  }
  static Json words(const std::array<std::uint32_t, 4>& w) {
    return Json{
        {"class", "double"}, {"size", {1, 4}}, {"data", std::vector<double>(w.begin(), w.end())}};
  }
};

TEST_F(Query, ChecksumsAsJson) {
  const models::ModelView& h = *models::find_model("Harnvale");
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum"}), words(h.checksum));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "num:7"}), words(h.checksum));
  EXPECT_EQ(json({"--model", "Quimbrel", "sf_get_check_sum", "str:machine"}),
            words({2793627544, 638236275, 2734170511, 3705990300}));
  EXPECT_EQ(json({"--model", "Quimbrel", "sf_get_check_sum", "makefile"}),
            words({2287025347, 2213824637, 3447881020, 4283747939}));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "exportedFcn"}), words({0, 0, 0, 0}));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "chart", "2.9"}),
            words(h.charts[1].checksum));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "chart", "4"}), words({0, 0, 0, 0}));
}

TEST_F(Query, AutoinheritanceRecordAndItsEmptyAnswer) {
  const std::vector<models::ChartView>& charts = models::find_model("Harnvale")->charts;
  const char* own = charts[0].autoinheritance_checksum;
  Json rec = json({"--model", "Harnvale", "get_autoinheritance_info", "Harnvale", "1", own});
  EXPECT_EQ(rec["class"], "struct");
  EXPECT_EQ(rec["size"], Json::array({1, 1}));
  EXPECT_EQ(rec["elements"][0]["checksum"],
            (Json{{"class", "char"}, {"size", {1, 22}}, {"text", own}}));
  EXPECT_EQ(json({"--model", "Harnvale", "get_autoinheritance_info", "Harnvale", "1",
                  charts[1].autoinheritance_checksum}),
            (Json{{"class", "double"}, {"size", {0, 0}}, {"data", Json::array()}}));
}

TEST_F(Query, ResolvedFunctionsReportIsAStruct) {
  Json rep = json({"--model", "Quimbrel", "get_eml_resolved_functions_info", "Quimbrel", "2"});
  EXPECT_EQ(rep["class"], "struct");
  ASSERT_TRUE(rep["fields"].is_array());
  EXPECT_FALSE(rep["fields"].empty());
  EXPECT_EQ(rep["elements"].size(),
            rep["size"][0].get<std::size_t>() * rep["size"][1].get<std::size_t>());
}

TEST_F(Query, NoOutputPrintsNothingAndAFailedCallExitsOne) {
  EXPECT_EQ(ok({"query", "--model", "Harnvale", "sf_mex_unlock"}), "");
  Result r = sfsim({"query", "--model", "Quimbrel", "get_autoinheritance_info", "Harnvale", "1",
                    "XeSGqLBgQKpLtif172dxxF"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "sfsim: Quimbrel_sfun: Unsuccessful command.\n");
}

// Texts that begin with '-' pass after "--" given before the first ARG; negative
// numbers need no mark.
TEST_F(Query, ArgumentsBeginningWithADashAfterTheMark) {
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "chart", "-2"}), words({0, 0, 0, 0}));
  EXPECT_EQ(json({"--model", "Harnvale", "--", "sf_get_check_sum", "chart", "2"}),
            json({"--model", "Harnvale", "sf_get_check_sum", "chart", "2"}));
  Result r = sfsim({"query", "--model", "Harnvale", "--", "sf_get_check_sum", "-x"});
  EXPECT_EQ(r.code, 1);  // the text reached the plug-in, which knows no such checksum
  EXPECT_EQ(r.err, "sfsim: Harnvale_sfun: Unsuccessful command.\n");
  r = sfsim({"query", "--model", "Harnvale", "sf_get_check_sum", "-x"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("-x"), std::string::npos) << r.err;
  EXPECT_NE(ok({"query", "--help"}).find("put -- before the first ARG"), std::string::npos);
}

// --- usage and input errors -----------------------------------------------------------

}  // namespace
