// sfsim as a user runs it: the built program with files and arguments, its exit
// status, its standard output and error, and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

namespace fs = std::filesystem;
using namespace sfsim_test;
using Json = nlohmann::json;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::string num(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

double parse(const std::string& s) {
  if (s == "NaN") return kNaN;
  if (s == "Inf") return kInf;
  if (s == "-Inf") return -kInf;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  EXPECT_EQ(*end, '\0') << "not a number: " << s;
  return v;
}

using test_support::same_bits;

struct Row {
  long step;
  double time, z, y1;
};

std::vector<Row> parse_csv(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,time,z,y1");
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ls(line);
    for (std::string cell; std::getline(ls, cell, ',');)
      f.push_back(cell);
    if (f.size() != 4) {
      ADD_FAILURE() << "bad row: " << line;
      continue;
    }
    rows.push_back({std::stol(f[0]), parse(f[1]), parse(f[2]), parse(f[3])});
  }
  return rows;
}

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

// The table length of chart `chart` of the model of that name.
int table_length(std::string_view model, int chart) {
  const models::ModelView* m = models::find_model(model);
  if (m == nullptr) throw std::invalid_argument("the build has no model " + std::string(model));
  return m->charts.at(static_cast<std::size_t>(chart - 1)).table_length;
}

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
  static Json words(std::vector<double> w) {
    return Json{{"class", "double"}, {"size", {1, 4}}, {"data", w}};
  }
};

TEST_F(Query, ChecksumsAsJson) {
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum"}),
            words({2682923507, 2736407324, 1223089852, 1129152636}));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "num:7"}),
            words({2682923507, 2736407324, 1223089852, 1129152636}));
  EXPECT_EQ(json({"--model", "Quimbrel", "sf_get_check_sum", "str:machine"}),
            words({2793627544, 638236275, 2734170511, 3705990300}));
  EXPECT_EQ(json({"--model", "Quimbrel", "sf_get_check_sum", "makefile"}),
            words({2287025347, 2213824637, 3447881020, 4283747939}));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "exportedFcn"}), words({0, 0, 0, 0}));
  const auto& c2 = harnvale::C2::column.chart_checksum;
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "chart", "2.9"}),
            words({double(c2[0]), double(c2[1]), double(c2[2]), double(c2[3])}));
  EXPECT_EQ(json({"--model", "Harnvale", "sf_get_check_sum", "chart", "4"}), words({0, 0, 0, 0}));
}

TEST_F(Query, AutoinheritanceRecordAndItsEmptyAnswer) {
  Json rec = json({"--model", "Harnvale", "get_autoinheritance_info", "Harnvale", "1",
                   "XeSGqLBgQKpLtif172dxxF"});
  EXPECT_EQ(rec["class"], "struct");
  EXPECT_EQ(rec["size"], Json::array({1, 1}));
  EXPECT_EQ(rec["elements"][0]["checksum"],
            (Json{{"class", "char"}, {"size", {1, 22}}, {"text", "XeSGqLBgQKpLtif172dxxF"}}));
  EXPECT_EQ(json({"--model", "Harnvale", "get_autoinheritance_info", "Harnvale", "1",
                  "XpBqFWyZSTKVy4qof7J1CF"}),
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

TEST_F(Sfsim, InputErrorsExitTwoNamingFileLineAndFault) {
  std::string short_table, long_table;
  for (int i = 0; i < 5; ++i)
    short_table += std::to_string(i) + ",1\n";
  for (int i = 0; i < 402; ++i)
    long_table += std::to_string(i) + ",1\n";
  file("short.csv", "x,y\n" + short_table);
  file("long.csv", long_table);
  file("word.csv", "x,y\n1,2\n3,abc\n");
  file("three.csv", "1,2\n3,4,5\n");
  file("z.txt", "1\n\n1.5x\n");
  file("empty.txt", "\n\n");
  file("empty.csv", "");
  fs::create_directories(path("x,y"));
  file("broken.json", "{\n  \"class\": \"double\",\n  \"size\": [1,\n");
  file("wrong.json", R"({"class":"struct","size":[1,1],"fields":["a"],"elements":[{"b":null}]})");
  const std::string h2[] = {"run", "--model", "Harnvale", "--chart", "2"};
  auto run2 = [&](std::vector<std::string> more) {
    std::vector<std::string> a(std::begin(h2), std::end(h2));
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {run2({"--table", "short.csv"}),
       "sfsim: short.csv:6: the table has 5 rows, but chart 2 of Harnvale needs exactly 401 "
       "rows\n"},
      {run2({"--table", "long.csv"}),
       "sfsim: long.csv:402: row 402 is one too many: chart 2 of Harnvale needs exactly 401 "
       "rows\n"},
      {run2({"--table", "word.csv"}), "sfsim: word.csv:3: column y: 'abc' is not a number\n"},
      {run2({"--table", "three.csv"}), "sfsim: three.csv:2: expected 2 columns (x,y), found 3\n"},
      {run2({"--table", "missing.csv"}),
       "sfsim: missing.csv: cannot open the file (missing or unreadable)\n"},
      {run2({"--table", "empty.csv"}),
       "sfsim: empty.csv: the file is empty: chart 2 of Harnvale needs exactly 401 rows\n"},
      {run2({"--table", "x,y"}), "sfsim: x,y: is a folder, not a file\n"},
      {run2({"--z", "x,y"}), "sfsim: x,y: is a folder, not a file\n"},
      {run2({"--z", "z.txt"}), "sfsim: z.txt:3: '1.5x' is not a number\n"},
      {run2({"--z", "empty.txt"}), "sfsim: empty.txt: the file holds no query\n"},
      {run2({"--z-range", "1:2"}), "sfsim: --z-range '1:2': expected A:B:K\n"},
      {run2({"--z-range", "1:x:3"}), "sfsim: --z-range '1:x:3': B is not a finite number\n"},
      {run2({"--z-range", "1:2:0"}),
       "sfsim: --z-range '1:2:0': K is not a whole number of at least 1\n"},
      {run2({"--plugin", "nowhere.mexa64"}),
       "sfsim: nowhere.mexa64: cannot open the plug-in (no such file)\n"},
      {run2({"--restore-state", "broken.json"}), "sfsim: broken.json: not valid JSON: "},
      {run2({"--restore-state", "wrong.json"}),
       "sfsim: wrong.json: $.elements[0]: \"b\" is not among \"fields\"\n"},
      {{"run", "--model", "Foo", "--chart", "1"},
       "sfsim: unknown model 'Foo' (known: Harnvale, Quimbrel)\n"},
      {{"run", "--model", "Quimbrel", "--chart", "3"},
       "sfsim: model Quimbrel has no chart 3 (its charts are 1..2)\n"},
      {{"query", "--model", "Foo", "sf_get_check_sum"},
       "sfsim: unknown model 'Foo' (known: Harnvale, Quimbrel)\n"},
      {{"query", "--model", "Harnvale", "num:x"}, "sfsim: argument 'num:x': 'x' is not a number\n"},
      {run2({"--z", "z.txt", "--z-range", "1:2:3"}), "--z excludes --z-range"},
      {run2({"--rate", "fast"}), "--rate: fast not in {inherited,continuous,discrete}"},
      {run2({"--blocks", "0"}), "--blocks"},
      {{"run", "--model", "Harnvale"}, "--chart is required"},
      {{"frobnicate"}, "frobnicate"},
  };
  for (const auto& c : cases) {
    std::string cmd;
    for (const auto& a : c.args)
      cmd += a + " ";
    SCOPED_TRACE(cmd);
    Result r = sfsim(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("sfsim: ", 0), 0u) << r.err;  // the parser's messages too
    EXPECT_EQ(r.out, "");  // nothing written before the inputs are known to be sound
    if (c.message.rfind("sfsim: ", 0) == 0 && c.message.back() == '\n')
      EXPECT_EQ(r.err, c.message);
    else
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_NE(sfsim(run2({"--restore-state", "broken.json"})).err.find("line 4"), std::string::npos);
}

TEST_F(Sfsim, HelpOnEveryCommand) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--help"}, {"run", "--help"}, {"query", "--help"}}) {
    std::string out = ok(args);
    EXPECT_NE(out.find("Usage"), std::string::npos) << out;
  }
}

// --- hostile input and failing outputs ------------------------------------------------

// Every fault of the input, the options or the outputs: exit 2, nothing on standard
// output, the message (exact, or a part of it), no control character reaching the
// terminal, and no new file left behind.
TEST_F(Sfsim, HostileInputIsRefusedBeforeTheRunWithoutLeavingFiles) {
  const int N = table_length("Harnvale", 3);
  std::string good;
  for (int i = 0; i < N; ++i)
    good += std::to_string(i) + "," + std::to_string(i % 7) + "\n";
  file("t.csv", good);
  file("bom.csv", "\xEF\xBB\xBF" + good);
  file("esc.csv", "x,y\n1,\x1b[31mred\n");
  file("long-cell.csv", "x,y\n1," + repeat("A", 200) + "\n");
  file("huge-cell.csv", "x,y\n1," + repeat("A", 10 << 20) + "\n");
  file("range.csv", "1e400,1\n");
  file("under.csv", "1e-400,1\n");
  file("x-after.csv", "1,2\nabc,3\n");
  // A line of exactly the cap is read; one byte more is refused.
  file("cap.txt", "1\n" + repeat("0", 4095) + "1\n");
  file("over.txt", "1\n" + repeat("0", 4096) + "1\n");
  file("blank.txt", repeat("\n", (1 << 20) + 10) + "1\n");
  file("deep.json", repeat("[", 100000) + repeat("]", 100000));
  std::string nested = R"({"class":"double","size":[1,1],"data":[1]})";
  for (int i = 0; i < 40; ++i)
    nested = R"({"class":"cell","size":[1,1],"elements":[)" + nested + "]}";
  file("nested.json", nested);
  file("big.json", R"({"class":"char","size":[1073741824,0],"text":""})");
  file("overflow.json", R"({"class":"double","size":[1,1],"data":[1e400]})");
  file("esc.json", R"({"class":"\u001b[2Jx","size":[1,1]})");
  file("one.json", R"({"class":"double","size":[1,1],"data":[1]})");
  fs::create_directories(path("folder"));
  fs::create_directories(path("out/Quimbrel_c2.svg"));
  const std::string quimbrel = models::build_deliverable_path<quimbrel::Model>();
  const std::vector<std::string> c3 = {"run", "--model", "Harnvale", "--chart", "3"};
  auto run3 = [&](std::vector<std::string> more) {
    auto a = c3;
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;  // whole when it begins with "sfsim: " and ends with a newline
  } cases[] = {
      // A plug-in file of the other model, a bare name, a file that is no library.
      {{"run", "--model", "Harnvale", "--chart", "1", "--plugin", quimbrel},
       "sfsim: " + quimbrel + ": holds the plug-in of model Quimbrel, not Harnvale\n"},
      {run3({"--plugin", "libm.so.6"}),
       "sfsim: libm.so.6: cannot open the plug-in (no such file)\n"},
      {run3({"--plugin", "t.csv"}), "sfsim: t.csv: not a plug-in (not a shared library)\n"},
      // Saved states: nesting, sizes without content, numbers, folders, escapes.
      {run3({"--restore-state", "deep.json"}),
       "sfsim: deep.json: values nested more than 32 deep\n"},
      {run3({"--restore-state", "nested.json"}), ": values nested more than 32 deep\n"},
      {run3({"--restore-state", "big.json"}),
       "sfsim: big.json: $: \"size\" of an empty array may not exceed 65536 in either dimension\n"},
      {run3({"--restore-state", "overflow.json"}),
       "sfsim: overflow.json: a number is out of the range of a double: "},
      {run3({"--restore-state", "folder"}), "sfsim: folder: is a folder, not a file\n"},
      {run3({"--restore-state", "esc.json"}), "sfsim: esc.json: $: unknown class \"\\x1b[2Jx\"\n"},
      // Inputs without an end, long cells, control characters.
      {run3({"--table", "/dev/zero"}), "sfsim: /dev/zero:1: the line is longer than 4096 bytes\n"},
      {run3({"--z", "/dev/zero"}), "sfsim: /dev/zero:1: the line is longer than 4096 bytes\n"},
      {run3({"--z", "blank.txt"}),
       "sfsim: blank.txt:1048577: more than 1048576 bytes without a "
       "query\n"},
      {run3({"--table", "huge-cell.csv"}),
       "sfsim: huge-cell.csv:2: the line is longer than 4096 bytes\n"},
      {run3({"--table", "long-cell.csv"}),
       "sfsim: long-cell.csv:2: column y: '" + repeat("A", 60) + "...' is not a number\n"},
      {run3({"--table", "esc.csv"}),
       "sfsim: esc.csv:2: column y: '\\x1b[31mred' is not a number\n"},
      {run3({"--rate", "\x1b[2J"}), "--rate: \\x1b[2J not in {inherited,continuous,discrete}"},
      // What the message says is what is wrong.
      {run3({"--table", "range.csv"}),
       "sfsim: range.csv:1: column x: '1e400' is out of the range of a double\n"},
      {run3({"--z-range", "0:1e400:3"}),
       "sfsim: --z-range '0:1e400:3': B is out of the range of a double\n"},
      {run3({"--table", "under.csv"}),
       "sfsim: under.csv:1: column x: '1e-400' is out of the range of a double (too close to 0: "
       "it would read as 0)\n"},
      {run3({"--z-range", "1e-400:1:3"}),
       "sfsim: --z-range '1e-400:1:3': A is out of the range of a double (too close to 0: it "
       "would read as 0)\n"},
      {run3({"--table", "x-after.csv"}), "sfsim: x-after.csv:2: column x: 'abc' is not a number\n"},
      {run3({"--z", "over.txt"}), "sfsim: over.txt:2: the line is longer than 4096 bytes\n"},
      {run3({"--table", "-", "--z", "-"}),
       "sfsim: --table and --z both name standard input (-); give one of them a file\n"},
      {run3({"--out", "/proc/x.csv"}),
       "sfsim: /proc/x.csv: cannot write the file: cannot make a file beside it: No such file or "
       "directory\n"},
      {run3({"--out", repeat("n", 252) + ".csv"}),
       "sfsim: " + repeat("n", 252) + ".csv: cannot write the file: File name too long\n"},
      // Counts and sizes are whole decimal numbers that fit.
      {run3({"--blocks", "0x10"}), "sfsim: --blocks: '0x10' is not a whole decimal number\n"},
      {{"run", "--model", "Harnvale", "--chart", "0x3"},
       "sfsim: --chart: '0x3' is not a whole decimal number\n"},
      {run3({"--trace-limit", "1T"}),
       "sfsim: --trace-limit: '1T' is not a whole number of bytes of at least 1, with an optional "
       "suffix k, M or G\n"},
      {run3({"--plot", "p.png"}),
       "sfsim: --plot: 'p.png' does not end in .svg: the plot is written as SVG only\n"},
      // The parser's echoes too are escaped and cut to 60 bytes.
      {run3({"--" + repeat("y", 200) + "\x1b"}),
       "sfsim: The following argument was not expected: --" + repeat("y", 58) + "...\n"},
      {run3({"--rate", repeat("r", 100000)}),
       "sfsim: --rate: " + repeat("r", 60) + "... not in {inherited,continuous,discrete}\n"},
      {run3({"--z-range", "0:1:99999999999999999999"}),
       "sfsim: --z-range '0:1:99999999999999999999': K is too large (at most "
       "9007199254740992)\n"},
      {{"run", "--model", "Harnvale", "--chart", ""}, "--chart: the value is empty"},
      {{"--out-dir", "x", "run", "--model", "Harnvale", "--chart", "3"},
       "sfsim: --out-dir is the folder of the default run (without a command); with run, name "
       "the files with --out and --plot\n"},
      // Empty values are errors, not the defaults.
      {run3({"--table", ""}), "--table: the value is empty"},
      {run3({"--z", ""}), "--z: the value is empty"},
      {run3({"--save-state", ""}), "--save-state: the value is empty"},
      {run3({"--restore-state", ""}), "--restore-state: the value is empty"},
      // Outputs that would overwrite an input or each other.
      {run3({"--table", "t.csv", "--out", "t.csv"}),
       "sfsim: t.csv: --out would overwrite the input of --table\n"},
      {run3({"--restore-state", "one.json", "--trace", "one.json"}),
       "sfsim: one.json: --trace would overwrite the input of --restore-state\n"},
      {run3({"--out", "x.svg", "--plot", "./x.svg"}),
       "sfsim: ./x.svg: --plot and --out name the same file\n"},
      {run3({"--trace", "x.txt", "--out", "x.txt"}),
       "sfsim: x.txt: --trace and --out name the same file\n"},
      // Outputs that cannot be written are found before the run.
      {run3({"--out", "o.csv", "--plot", "missing/p.svg"}),
       "sfsim: missing/p.svg: cannot write the file: no folder missing\n"},
      {run3({"--out", "o.csv", "--save-state", "folder"}),
       "sfsim: folder: is a folder, not a file\n"},
      {{"--out-dir", "out"}, "sfsim: out/Quimbrel_c2.svg: is a folder, not a file\n"},
      // A trace that reaches its limit stops the run, and nothing is kept.
      {run3({"--out", "o.csv", "--trace", "trace.txt", "--trace-limit", "100k"}),
       "sfsim: trace.txt: the trace reached its size limit of 102400 bytes (--trace-limit); the "
       "run was stopped\n"},
  };
  const std::vector<std::string> before = files_in(dir_);
  for (const auto& c : cases) {
    std::string cmd;
    for (const auto& a : c.args)
      cmd += a.substr(0, 40) + " ";
    SCOPED_TRACE(cmd);
    Result r = sfsim(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    if (c.message.rfind("sfsim: ", 0) == 0 && c.message.back() == '\n')
      EXPECT_EQ(without_help_hint(r.err), c.message);
    else
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("sfsim: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(files_in(dir_), before);
    EXPECT_EQ(read_file(path("t.csv")), good);
  }
  // A byte order mark before a numeric first row leaves it a row.
  const std::string t_rows = ok(run3({"--table", "t.csv", "--z-range", "0:242:5"}));
  EXPECT_EQ(ok(run3({"--table", "bom.csv", "--z-range", "0:242:5"})), t_rows);
  EXPECT_EQ(ok(run3({"--z", "cap.txt"})), ok(run3({"--z-range", "1:1:2"})));
  // "-" is standard input for --table and --z, standard output for --out.
  Result r = sfsim(run3({"--table", "-", "--z-range", "0:242:5", "--out", "-"}), "stdout.txt",
                   "cat t.csv | ");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, t_rows);
  r = sfsim(run3({"--table", "t.csv", "--z", "-"}), "stdout.txt", "printf '0\\n60.5\\n242' | ");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, ok(run3({"--table", "t.csv", "--z", file("z3.txt", "0\n60.5\n242\n")})));
}

// A write that fails is never success, and a failed run leaves no partial file.
TEST_F(Sfsim, FailedWritesExitTwoNamingTheOutput) {
  const std::vector<std::string> c3 = {"run", "--model",   "Harnvale", "--chart",
                                       "3",   "--z-range", "0:1:3"};
  Result r = sfsim(c3, "/dev/full");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  r = sfsim({"query", "--model", "Harnvale", "sf_get_check_sum"}, "/dev/full");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  r = sfsim({"--out-dir", "default"}, "/dev/full");  // the default run's summary
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: standard output: write error\n");
  fs::remove_all(path("default"));
  auto with_out = c3;
  with_out.insert(with_out.end(), {"--out", "/dev/full"});
  r = sfsim(with_out);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "sfsim: /dev/full: cannot write the file (disk full?)\n");
  // A file that exists keeps its content until a complete new one replaces it.
  file("o.csv", "old\n");
  with_out = c3;
  with_out.insert(with_out.end(),
                  {"--out", "o.csv", "--plot", "p.svg", "--trace", "t.txt", "--trace-limit", "1k"});
  EXPECT_EQ(sfsim(with_out).code, 2);
  EXPECT_EQ(read_file(path("o.csv")), "old\n");
  EXPECT_EQ(files_in(dir_), std::vector<std::string>{"o.csv"});
  with_out.resize(with_out.size() - 2);
  ok(with_out);
  EXPECT_EQ(read_file(path("o.csv")), ok(c3));
  EXPECT_EQ(files_in(dir_), (std::vector<std::string>{"o.csv", "p.svg", "t.txt"}));
}

// Ends so far apart that their distance is no double: the queries lie between them,
// and the plot holds only finite coordinates.
TEST_F(Sfsim, ExtremeRangesGiveFiniteQueriesAndPlots) {
  const double big = 1e308;
  auto rows =
      parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--z-range", "-1e308:1e308:5"}));
  ASSERT_EQ(rows.size(), 5u);
  const double expected[] = {-big, -big * 0.75 + big * 0.25, 0.0, -big * 0.25 + big * 0.75, big};
  for (std::size_t k = 0; k < 5; ++k)
    EXPECT_TRUE(same_bits(expected[k], rows[k].z)) << k;
  // The last query is B itself, also where A + (B - A) is not B.
  ASSERT_NE(0.7 + (0.1 - 0.7), 0.1);
  rows = parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--z-range", "0.7:0.1:3"}));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(same_bits(0.7, rows[0].z));
  EXPECT_TRUE(same_bits(0.7 + (0.1 - 0.7) * 0.5, rows[1].z));
  EXPECT_TRUE(same_bits(0.1, rows[2].z));

  const int N = table_length("Harnvale", 3);
  std::string table;
  for (int i = 0; i < N; ++i)
    table += (i == 0       ? "-1.7e308"
              : i == N - 1 ? "1.7e308"
                           : std::to_string(i)) +
             "," + std::to_string(i) + "\n";
  rows = parse_csv(ok({"run", "--model", "Harnvale", "--chart", "3", "--table",
                       file("wide.csv", table), "--plot", path("p.svg")}));
  ASSERT_EQ(rows.size(), 201u);
  for (const auto& r : rows)
    EXPECT_TRUE(std::isfinite(r.z)) << num(r.z);
  EXPECT_TRUE(same_bits(-std::numeric_limits<double>::max(), rows.front().z));
  EXPECT_TRUE(same_bits(std::numeric_limits<double>::max(), rows.back().z));
  std::string svg = read_file(path("p.svg"));
  for (const char* bad : {"nan", "inf", "NaN", "Inf"})
    EXPECT_EQ(svg.find(bad), std::string::npos) << bad;
  EXPECT_EQ(std::system(("xmllint --noout " + quote(path("p.svg").string())).c_str()), 0);
}

// Queries and rows stream: a billion queries cost no memory up front; the run stops
// at its first step's host error at once.
TEST_F(Sfsim, AHugeQueryCountIsStreamed) {
  const int N = table_length("Harnvale", 3);
  std::string table = "NaN,0\n";
  for (int i = 1; i < N; ++i)
    table += std::to_string(i) + ",0\n";
  file("nan.csv", table);
#ifdef SF_SANITIZE
  const std::string limit;  // the sanitizers reserve more address space than any limit
#else
  const std::string limit = "ulimit -v 1000000 && ";  // 1 GB of address space
#endif
  Result r = sfsim({"run", "--model", "Harnvale", "--chart", "3", "--table", "nan.csv", "--z-range",
                    "0:1:999999999", "--plot", "p.svg"},
                   "stdout.txt", limit);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "step,time,z,y1\n");
  EXPECT_EQ(r.err.rfind("sfsim: step 0 (time 0, z 0): MATLAB:interp1:NaNinX: ", 0), 0u) << r.err;
}

}  // namespace
