// sfsim run --coverage: a row is one run, its report's figures against what the test
// itself knows of the run (the table and queries it wrote, the reference
// interpolation), the refusals, and the HTML page checked by
// tests/support/check_html.py.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/support/interpolation.hpp"
#include "tests/support/sfsim_expect.hpp"

namespace sfsim_test {
namespace {

using Json = nlohmann::json;
// JSON pointers into the report and the values there; kAbsent: nothing there.
using Fields = std::vector<std::pair<std::string, Json>>;
const Json kAbsent = Json(Json::value_t::discarded);
constexpr int kSome = -1;  // a text of the page seen at least once

struct Report {
  std::string name;
  std::vector<std::string> options;  // after "run --model Harnvale --chart 3 --table table.csv"
  std::map<int, double> x{};         // the breakpoints changed
  std::vector<double> z{};           // the queries of z.txt, written when given
  std::string input{};               // in.csv, written when given
  Expect expect{};
  int rows = kSome;                                 // rows of the CSV on standard output
  Fields json{};                                    // of cov.json
  std::string html{};                               // what check_html.py says of cov.html
  std::vector<std::pair<std::string, int>> page{};  // texts of cov.html and how often
  bool usage = false;  // refused as a usage error: the parser's hint after the message, no file
};

// The figures of a data item with these values, each checked `steps` times.
Json figures(std::vector<double> v, long steps) {
  const auto n = static_cast<long>(v.size());
  std::erase_if(v, [](double d) { return std::isnan(d); });
  Json j{{"checks", n * steps}, {"nan", (n - static_cast<long>(v.size())) * steps}};
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  j["min"] = v.empty() ? Json(nullptr) : Json(*lo);
  j["max"] = v.empty() ? Json(nullptr) : Json(*hi);
  return j;
}

// The fields of each of n blocks, numbered from 1, and no block after them.
Fields each_block(int n, const Fields& fields) {
  Fields all{{"/blocks/" + std::to_string(n), kAbsent}};
  for (int b = 0; b < n; ++b) {
    const std::string at = "/blocks/" + std::to_string(b);
    all.emplace_back(at + "/block", b + 1);
    for (const auto& [pointer, value] : fields)
      all.emplace_back(at + pointer, value);
  }
  return all;
}

class Coverage : public Sfsim {
 protected:
  // What tests/support/check_html.py says of a page.
  std::string check_html(const std::string& page) {
    const std::string check =
        "python3 " + quote(SF_CHECK_HTML) + " " + quote(path(page).string()) + " > check.txt 2>&1";
    const int status = std::system(("cd " + quote(dir_.string()) + " && " + check).c_str());
    return read_file(path("check.txt")) + (status == 0 ? "" : "(exit status not 0)\n");
  }
  // Each run in a folder emptied for it.
  void run(const Report& row) {
    SCOPED_TRACE(row.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file("table.csv", table_csv(table_x(row.x)));
    std::vector<std::string> args{"run", "--model", "Harnvale", "--chart",
                                  "3",   "--table", "table.csv"};
    args.insert(args.end(), row.options.begin(), row.options.end());
    if (!row.z.empty()) {
      std::string zs;
      for (double v : row.z)
        zs += text(v) + "\n";
      file("z.txt", zs);
    }
    if (!row.input.empty()) file("in.csv", row.input);
    Result r = sfsim(args);
    if (row.usage) {
      r.err = without_help_hint(r.err);
      EXPECT_EQ(files_in(dir_), std::vector<std::string>{"table.csv"});
    }
    check(r, row.expect, dir_);
    if (row.rows != kSome) {
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), row.rows + 1);  // and the head
    }
    if (!row.json.empty()) {
      const Json report = Json::parse(read_file(path("cov.json")), nullptr, false);
      ASSERT_FALSE(report.is_discarded()) << "cov.json is not JSON";
      for (const auto& [pointer, value] : row.json) {
        const Json::json_pointer at(pointer);
        if (value.is_discarded()) {
          EXPECT_FALSE(report.contains(at)) << pointer;
        } else {
          EXPECT_TRUE(report.contains(at) && report.at(at) == value) << pointer << " " << value;
        }
      }
    }
    if (row.html.empty()) return;
    EXPECT_EQ(check_html("cov.html"), row.html);
    const std::string page = read_file(path("cov.html"));
    for (const auto& [what, times] : row.page) {
      int n = 0;
      for (auto at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
        ++n;
      EXPECT_EQ(times == kSome ? std::min(n, 1) : n, times == kSome ? 1 : times) << what;
    }
  }
};

// Refused as a usage error before the run.
Report refused(std::vector<std::string> options, std::string message) {
  return {
      .name = message, .options = options, .expect = {.code = 2, .err = message}, .usage = true};
}
// The HTML page of one block: one picture and three tables, texts it shows at least
// once, and a z seen.
Report picture(std::string name, std::map<int, double> x, std::vector<double> z,
               std::vector<std::string> shown, int code = 0, std::string err = "") {
  Report r{.name = name,
           .options = {"--z", "z.txt", "--coverage", "cov.html"},
           .x = x,
           .z = z,
           .expect = {.code = code, .err = err},
           .html = "svg 1\ntable 3\n"};
  for (const std::string& text : shown)
    r.page.emplace_back(text, kSome);
  r.page.emplace_back("no value of z was seen", 0);
  return r;
}
// Time mode: a block called in the solver's minor steps counts each as a step; a
// discrete block steps at its sample hits only (of t = 0, 0.01, ..., 0.04).
Report in_time(std::vector<std::string> rate, long steps) {
  Report r{.name = rate[1],
           .options = {"--input", "in.csv", "--solver", "ode4", "--coverage", "cov.json"},
           .input = "time,z\n0,0\n0.04,4\n",
           .expect = {.err = ""},
           .rows = 5,
           .json = {{"/blocks/0/steps", steps},
                    {"/blocks/0/function/calls", steps},
                    {"/blocks/0/lines", {{"3", steps}, {"-3", steps}}},
                    {"/blocks/0/data/z/checks", steps},
                    {"/blocks/0/data/z/min", 0.0},
                    {"/blocks/0/data/z/max", 4.0}}};
  r.options.insert(r.options.end(), rate.begin(), rate.end());
  return r;
}

TEST_F(Coverage, Reports) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  const std::vector<double> x = table_x(), y = table_y();
  // Queries below, inside and above the table, one NaN; y1 the reference's.
  const std::vector<double> z{3, -1, nan, 25, 7.55};
  std::vector<double> y1;
  std::string csv = "step,time,z,y1\n";
  for (int k = 0; k < 5; ++k) {
    y1.push_back(test_support::interpolate(x, y, z[k], true));
    csv += std::to_string(k) + "," + text(k / 100.0) + "," + text(z[k]) + "," + text(y1[k]) + "\n";
  }
  const Fields five_steps{
      {"/steps", 5},
      {"/function",
       Json::parse(R"({"name": "eML_blk_kernel", "calls": 5, "extent": [0, -1, 62]})")},
      {"/lines", Json::parse(R"({"3": 5, "-3": 5})")},
      {"/errors", Json::object()},
      {"/data",
       {{"x", figures(x, 5)}, {"y", figures(y, 5)}, {"z", figures(z, 1)}, {"y1", figures(y1, 1)}}},
      {"/coverage/0/object", "chart"},
      {"/coverage/1/object", "state"},
      {"/coverage/2/object", "transitions"},
      {"/coverage/3/object", "script"},
      {"/coverage/4/object", "function"},
      {"/coverage/5", kAbsent},
      {"/coverage/0/evaluated", Json::parse(R"({"chart calls": {"0": 5, "3": 5, "999": 5}})")},
      {"/coverage/4/args", Json::parse(R"([0, 0, "eML_blk_kernel", 0, -1, 62])")},
      {"/coverage/3/evaluated/evaluations",
       Json::parse(R"([{"args": [0, 0, 1, 0, 0, 0], "count": 5}])")}};
  auto figures_of = [&](int blocks) {
    Fields f = each_block(blocks, five_steps);
    f.insert(f.end(), {{"/model", "Harnvale"},
                       {"/chart", 3},
                       {"/table/length", kN},
                       {"/table/x", Json::parse("[0, 24.2]")}});
    const std::string n = std::to_string(blocks);
    return Report{.name = n + " blocks",
                  .options = {"--z", "z.txt", "--blocks", n, "--coverage", "cov.json"},
                  .z = z,
                  .expect = {.out = csv, .err = ""},
                  .json = f};
  };
  std::map<int, double> all_nan;
  for (int i = 0; i < kN; ++i)
    all_nan[i] = nan;
  const std::string nan_in_x =
      "MATLAB:interp1:NaNinX: NaN is not an allowed value in the breakpoints X.\n";
  const std::vector<Report> reports = {
      figures_of(1),
      figures_of(2),
      // Block 1 fails in its first step; block 2 is never stepped.
      {.name = "a run that fails at its first step",
       .options = {"--z-range", "0:1:2", "--blocks", "2", "--coverage", "cov.json"},
       .x = {{12, nan}},
       .expect = {.code = 1, .err = "sfsim: step 0 (time 0, z 0), block 1: " + nan_in_x},
       .json = {{"/blocks/2", kAbsent},
                {"/blocks/0/steps", 1},
                {"/blocks/0/errors", {{"MATLAB:interp1:NaNinX", 1}}},
                {"/blocks/0/lines", {{"3", 1}}},
                {"/blocks/0/function/calls", 1},
                {"/blocks/0/data/x", figures(table_x({{12, nan}}), 1)},
                {"/blocks/0/data/z", figures({0.0}, 1)},
                {"/blocks/0/data/y1", figures({}, 1)},
                {"/blocks/1/steps", 0},
                {"/blocks/1/errors", Json::object()},
                {"/blocks/1/lines", Json::object()},
                {"/blocks/1/data/z", figures({}, 1)}}},
      refused({"--coverage", "cov.txt"},
              "sfsim: --coverage: 'cov.txt' does not end in .json or .html: the coverage report is "
              "written as JSON or HTML only\n"),
      refused({"--coverage", "no/such/cov.json"},
              "sfsim: no/such/cov.json: cannot write the file: no folder no/such\n"),
      refused({"--coverage", "table.csv.json", "--out", "table.csv.json"},
              "sfsim: table.csv.json: --coverage and --out name the same file\n"),
      refused({"--coverage", ""}, "sfsim: --coverage: the value is empty\n"),
      // A picture and three tables per block; per block the z seen, [5, 9], and the two
      // ends of the table (x 0 to 24.2) never reached.
      {.name = "an HTML page of two blocks",
       .options = {"--z-range", "5:9:3", "--blocks", "2", "--coverage", "cov.html"},
       .expect = {.err = ""},
       .html = "svg 2\ntable 6\n",
       .page = {{">z 5</text>", 2},
                {">9</text>", 2},
                {"class=\"unreached\"", 4},
                {"class=\"seen\"", 2}}},
      // Tables and queries with infinite or huge ends: plain coordinates, infinite z ends
      // marked off the scale, and a table with nothing finite said so.
      picture("x from -Inf to Inf", {{0, -kInf}, {kN - 1, kInf}}, {3},
              {">x 0.1</text>", ">z 3</text>"}),
      picture("x from -1e308 to 1e308", {{0, -1e308}, {kN - 1, 1e308}}, {3}, {">x -1e+308</text>"}),
      picture("z with infinite ends", {}, {kInf, -kInf, 3, nan},
              {">z -Inf, below the table</text>", ">Inf, above the table</text>"}),
      picture("no finite breakpoint", all_nan, {1}, {"the table's x has no finite breakpoint"}, 1,
              "sfsim: step 0 (time 0, z 1): " + nan_in_x),
      picture("a gap in z", {}, {0, 10}, {"values between them are not recorded"}),
      in_time({"--rate", "continuous"}, 5 * (1 + 3)),  // 5 major steps, ode4's 3 minor ones
      in_time({"--rate", "discrete", "--sample-time", "0.02"}, 3),  // t = 0, 0.02, 0.04
  };
  for (const Report& r : reports)
    run(r);
}

}  // namespace
}  // namespace sfsim_test
