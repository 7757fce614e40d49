// sfsim run --coverage: the report's figures against what the test itself knows of
// the run (the table and queries it wrote, the rows sfsim printed), the refusals,
// and the HTML page checked by tests/support/check_html.py.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/support/sfsim_fixture.hpp"

namespace {

using sfsim_test::Sfsim;
using Json = nlohmann::json;

constexpr int kRows = 243;  // Harnvale c3

std::string text(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char b[40];
  const auto r = std::to_chars(b, b + sizeof b, v);
  return std::string(b, r.ptr);
}

class Coverage : public Sfsim {
 protected:
  // The table y = x^2 on x = i/10, its breakpoints at the keys of `x` replaced.
  std::string table(const std::map<int, double>& x = {}) {
    std::string t = "x,y\n";
    x_.clear();
    y_.clear();
    for (int i = 0; i < kRows; ++i) {
      x_.push_back(x.contains(i) ? x.at(i) : i / 10.0);
      y_.push_back((i / 10.0) * (i / 10.0));
      t += text(x_.back()) + "," + text(y_.back()) + "\n";
    }
    return file("table.csv", t);
  }
  std::string queries(const std::vector<double>& z) {
    std::string zs;
    for (double v : z)
      zs += text(v) + "\n";
    return file("z.txt", zs);
  }
  // What tests/support/check_html.py says of a page.
  std::string check_html(const std::string& page) {
    const std::string check = "python3 " + sfsim_test::quote(SF_CHECK_HTML) + " " +
                              sfsim_test::quote(path(page).string()) + " > check.txt 2>&1";
    const int status =
        std::system(("cd " + sfsim_test::quote(dir_.string()) + " && " + check).c_str());
    return sfsim_test::read_file(path("check.txt")) + (status == 0 ? "" : "(exit status not 0)\n");
  }
  std::vector<double> x_, y_;
};

// The figures of one data item against its values, checked in each of `steps` steps.
void expect_data(const Json& item, std::vector<double> v, long steps, const std::string& name) {
  SCOPED_TRACE(name);
  const auto n = static_cast<long>(v.size());
  std::erase_if(v, [](double d) { return std::isnan(d); });
  EXPECT_EQ(item.at("checks").get<long>(), n * steps);
  EXPECT_EQ(item.at("nan").get<long>(), (n - static_cast<long>(v.size())) * steps);
  if (v.empty()) {
    EXPECT_TRUE(item.at("min").is_null());
    return;
  }
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  EXPECT_EQ(item.at("min").get<double>(), *lo);
  EXPECT_EQ(item.at("max").get<double>(), *hi);
}

// The y1 column of sfsim's CSV.
std::vector<double> y1_column(const std::string& csv) {
  std::vector<double> y1;
  std::size_t at = csv.find('\n') + 1;
  while (at < csv.size()) {
    const std::size_t end = csv.find('\n', at);
    const std::string line = csv.substr(at, end - at);
    y1.push_back(std::stod(line.substr(line.rfind(',') + 1)));
    at = end + 1;
  }
  return y1;
}

TEST_F(Coverage, FiguresOfARunOfOneAndOfTwoBlocks) {
  const std::string t = table();
  // Queries below, inside and above the table, one NaN.
  const std::vector<double> z{3, -1, std::nan(""), 25, 7.55};
  queries(z);
  for (const int blocks : {1, 2}) {
    SCOPED_TRACE(blocks);
    const std::string out =
        ok({"run", "--model", "Harnvale", "--chart", "3", "--table", t, "--z", "z.txt", "--blocks",
            std::to_string(blocks), "--coverage", "cov.json"});
    const Json report = Json::parse(sfsim_test::read_file(path("cov.json")));
    EXPECT_EQ(report.at("model"), "Harnvale");
    EXPECT_EQ(report.at("chart"), 3);
    EXPECT_EQ(report.at("table").at("length"), kRows);
    EXPECT_EQ(report.at("table").at("x"), Json::parse("[0, 24.2]"));
    ASSERT_EQ(report.at("blocks").size(), static_cast<std::size_t>(blocks));
    const long steps = static_cast<long>(z.size());
    const std::vector<double> y1 = y1_column(out);
    ASSERT_EQ(y1.size(), z.size());
    for (int b = 0; b < blocks; ++b) {
      const Json& block = report.at("blocks").at(b);
      EXPECT_EQ(block.at("block"), b + 1);
      EXPECT_EQ(block.at("steps"), steps);
      EXPECT_EQ(block.at("function"),
                Json::parse(R"({"name": "eML_blk_kernel", "calls": 5, "extent": [0, -1, 62]})"));
      EXPECT_EQ(block.at("lines"), Json::parse(R"({"3": 5, "-3": 5})"));
      EXPECT_EQ(block.at("errors"), Json::object());
      const Json& data = block.at("data");
      EXPECT_EQ(data.size(), 4u);
      expect_data(data.at("x"), x_, steps, "x");
      expect_data(data.at("y"), y_, steps, "y");
      expect_data(data.at("z"), z, 1, "z");
      expect_data(data.at("y1"), y1, 1, "y1");
      std::vector<std::string> objects;
      for (const Json& o : block.at("coverage"))
        objects.push_back(o.at("object"));
      EXPECT_EQ(objects,
                (std::vector<std::string>{"chart", "state", "transitions", "script", "function"}));
      EXPECT_EQ(block.at("coverage").at(0).at("evaluated"),
                Json::parse(R"({"chart calls": {"0": 5, "3": 5, "999": 5}})"));
      EXPECT_EQ(block.at("coverage").at(4).at("args"),
                Json::parse(R"([0, 0, "eML_blk_kernel", 0, -1, 62])"));
      EXPECT_EQ(block.at("coverage").at(3).at("evaluated").at("evaluations"),
                Json::parse(R"([{"args": [0, 0, 1, 0, 0, 0], "count": 5}])"));
    }
  }
}

TEST_F(Coverage, ARunThatFailsAtItsFirstStep) {
  const std::string t = table({{12, std::nan("")}});
  const auto r = sfsim({"run", "--model", "Harnvale", "--chart", "3", "--table", t, "--z-range",
                        "0:1:2", "--blocks", "2", "--coverage", "cov.json"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.err,
            "sfsim: step 0 (time 0, z 0), block 1: MATLAB:interp1:NaNinX: NaN is not an allowed "
            "value in the breakpoints X.\n");
  const Json report = Json::parse(sfsim_test::read_file(path("cov.json")));
  ASSERT_EQ(report.at("blocks").size(), 2u);
  // Block 1 failed in its first step; block 2 was never stepped.
  const Json& first = report.at("blocks").at(0);
  EXPECT_EQ(first.at("steps"), 1);
  EXPECT_EQ(first.at("errors"), Json::parse(R"({"MATLAB:interp1:NaNinX": 1})"));
  EXPECT_EQ(first.at("lines"), Json::parse(R"({"3": 1})"));
  EXPECT_EQ(first.at("function").at("calls"), 1);
  expect_data(first.at("data").at("x"), x_, 1, "x");
  expect_data(first.at("data").at("z"), {0.0}, 1, "z");
  expect_data(first.at("data").at("y1"), {}, 1, "y1");
  const Json& second = report.at("blocks").at(1);
  EXPECT_EQ(second.at("steps"), 0);
  EXPECT_EQ(second.at("errors"), Json::object());
  EXPECT_EQ(second.at("lines"), Json::object());
  expect_data(second.at("data").at("z"), {}, 1, "z");
}

TEST_F(Coverage, RefusedBeforeTheRun) {
  const std::string t = table();
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases{
      {{"--coverage", "cov.txt"},
       "sfsim: --coverage: 'cov.txt' does not end in .json or .html: the coverage report is "
       "written as JSON or HTML only\n"},
      {{"--coverage", "no/such/cov.json"},
       "sfsim: no/such/cov.json: cannot write the file: no folder no/such\n"},
      {{"--coverage", "table.csv.json", "--out", "table.csv.json"},
       "sfsim: table.csv.json: --coverage and --out name the same file\n"},
      {{"--coverage", ""}, "sfsim: --coverage: the value is empty\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"run", "--model", "Harnvale", "--chart", "3", "--table", t};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = sfsim(args);
    EXPECT_EQ(r.code, 2) << c.args[1];
    EXPECT_EQ(sfsim_test::without_help_hint(r.err), c.err);
    EXPECT_EQ(sfsim_test::files_in(dir_), std::vector<std::string>{"table.csv"});
  }
}

TEST_F(Coverage, HtmlPageIsWellFormedAndSelfContained) {
  const std::string t = table();
  ok({"run", "--model", "Harnvale", "--chart", "3", "--table", t, "--z-range", "5:9:3", "--blocks",
      "2", "--coverage", "cov.html"});
  const std::string page = sfsim_test::read_file(path("cov.html"));
  // A picture and three tables per block.
  EXPECT_EQ(check_html("cov.html"), "svg 2\ntable 6\n");
  // Per block: the z seen, [5, 9], and the two ends of the table (x 0 to 24.2) never
  // reached.
  auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (auto at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count(">z 5</text>"), 2u);
  EXPECT_EQ(count(">9</text>"), 2u);
  EXPECT_EQ(count("class=\"unreached\""), 4u);
  EXPECT_EQ(count("class=\"seen\""), 2u);
}

// The picture of tables and queries with infinite or huge ends: plain coordinates,
// infinite z ends marked off the scale, and a table with nothing finite said so.
TEST_F(Coverage, PictureOfHostileTablesAndQueries) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::map<int, double> all_nan;
  for (int i = 0; i < kRows; ++i)
    all_nan[i] = std::nan("");
  struct Case {
    std::string name;
    std::map<int, double> x;
    std::vector<double> z;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases{
      {"x from -Inf to Inf",
       {{0, -kInf}, {kRows - 1, kInf}},
       {3},
       {">x 0.1</text>", ">z 3</text>"}},
      {"x from -1e308 to 1e308", {{0, -1e308}, {kRows - 1, 1e308}}, {3}, {">x -1e+308</text>"}},
      {"z with infinite ends",
       {},
       {kInf, -kInf, 3, std::nan("")},
       {">z -Inf, below the table</text>", ">Inf, above the table</text>"}},
      {"no finite breakpoint", all_nan, {1}, {"the table's x has no finite breakpoint"}},
      {"a gap in z", {}, {0, 10}, {"values between them are not recorded"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string t = table(c.x);
    queries(c.z);
    sfsim({"run", "--model", "Harnvale", "--chart", "3", "--table", t, "--z", "z.txt", "--coverage",
           "cov.html"});
    EXPECT_EQ(check_html("cov.html"), "svg 1\ntable 3\n");
    const std::string page = sfsim_test::read_file(path("cov.html"));
    for (const std::string& shown : c.shown)
      EXPECT_NE(page.find(shown), std::string::npos) << shown;
    EXPECT_EQ(page.find("no value of z was seen"), std::string::npos);
  }
}

// Time mode: a block called in the solver's minor steps counts each as a step; a
// discrete block steps at its sample hits only.
TEST_F(Coverage, StepsInTimeMode) {
  const std::string t = table();
  file("in.csv", "time,z\n0,0\n0.04,4\n");
  constexpr int kMajor = 5, kOde4Minor = 3;  // t = 0, 0.01, ..., 0.04
  for (const bool continuous : {true, false}) {
    SCOPED_TRACE(continuous ? "continuous" : "discrete, period 0.02");
    std::vector<std::string> args{"run",     "--model", "Harnvale", "--chart",    "3",
                                  "--table", t,         "--input",  "in.csv",     "--solver",
                                  "ode4",    "--rate",  "discrete", "--coverage", "cov.json"};
    if (continuous) args[12] = "continuous";
    if (!continuous) args.insert(args.end(), {"--sample-time", "0.02"});
    const std::string out = ok(args);
    long steps = 0;
    for (int k = 0; k < kMajor; ++k)
      steps += continuous ? 1 + kOde4Minor : (k % 2 == 0);
    EXPECT_EQ(y1_column(out).size(), static_cast<std::size_t>(kMajor));
    const Json block = Json::parse(sfsim_test::read_file(path("cov.json"))).at("blocks").at(0);
    EXPECT_EQ(block.at("steps"), steps);
    EXPECT_EQ(block.at("function").at("calls"), steps);
    EXPECT_EQ(block.at("lines"), (Json{{"3", steps}, {"-3", steps}}));
    const Json& z = block.at("data").at("z");
    EXPECT_EQ(z.at("checks"), steps);
    EXPECT_EQ(z.at("min"), 0.0);
    EXPECT_EQ(z.at("max"), 4.0);
  }
}

}  // namespace
