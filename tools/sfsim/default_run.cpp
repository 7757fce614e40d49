// sfsim without a command: every chart of every plug-in on its built-in table, the
// files of each in one folder and a summary.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/engine.hpp"
#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"
#include "tools/output/output.hpp"
#include "tools/sfsim/builtin.hpp"
#include "tools/sfsim/commands.hpp"
#include "tools/sfsim/formats.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/simulate.hpp"
#include "tools/sfsim/svg.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

using host::engine::Engine;

// --- sfsim (the default run) ---------------------------------------------------------

int default_command(const std::string& out_dir) {
  std::error_code ec;
  if (std::filesystem::exists(out_dir, ec) && !std::filesystem::is_directory(out_dir, ec))
    throw UserError(out_dir + ": is not a folder");
  std::filesystem::create_directories(out_dir, ec);
  if (ec) throw UserError(out_dir + ": cannot make the folder: " + ec.message());

  struct Summary {
    std::string chart;
    int n = 0;
    std::int64_t steps = 0;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    std::int64_t nan = 0;
    std::string error;
  };
  struct ChartFiles {
    const ModelInfo* model;
    int chart;
    std::unique_ptr<OutputFile> csv, svg;
  };
  // Every file is made ready before the first chart runs, and all are put in place
  // together at the end: a run that fails part-way leaves none.
  std::vector<ChartFiles> files;
  for (const ModelInfo& model : models()) {
    for (int chart = 1; chart <= model.chart_count(); ++chart) {
      const std::string base =
          (std::filesystem::path(out_dir) / (model.name + "_c" + std::to_string(chart))).string();
      files.push_back({&model, chart, std::make_unique<OutputFile>(base + ".csv"),
                       std::make_unique<OutputFile>(base + ".svg")});
    }
  }
  std::vector<Summary> summary;
  Engine engine;
  for (ChartFiles& f : files) {
    const ModelInfo& model = *f.model;
    auto& plugin = load_plugin(engine, plugin_path(model, ""), model);
    RunSpec spec;
    spec.chart = f.chart;
    spec.table_length = table_length(model, f.chart);
    spec.table = builtin_table(model, f.chart);
    auto queries = range_queries(default_range(spec.table));
    spec.queries = queries.get();
    std::ostream& csv = f.csv->stream();
    csv << formats::kCsvHeader;
    PlotPoints points(f.svg->path());
    Summary s;
    s.chart = chart_label(model, f.chart);
    s.n = spec.table_length;
    Progress progress(s.chart, f.csv->path());
    RunHooks hooks;
    hooks.row = [&](const Row& r) {
      formats::write_row(csv, r);
      points.add(r.z, r.y1);
      if (std::isnan(r.y1)) {
        ++s.nan;
      } else {
        s.lo = std::min(s.lo, r.y1);
        s.hi = std::max(s.hi, r.y1);
      }
      return true;
    };
    hooks.progress = std::ref(progress);
    RunResult result = simulate(engine, plugin, spec, hooks);
    progress.finish();
    if (result.refused) throw UserError(plugin.path() + ": " + result.error);
    Plot table{s.chart + ": y1 against z", spec.table.x, spec.table.y, {}, {}};
    points.render(table, f.svg->stream(), f.svg->path());
    s.steps = result.steps;
    s.error = result.error;
    summary.push_back(s);
  }
  for (ChartFiles& f : files) {
    f.csv->commit();
    f.svg->commit();
  }

  std::printf("%-12s %6s %6s  %-40s %4s  %s\n", "chart", "N", "steps", "y1 range", "NaN", "errors");
  int failed = 0;
  for (const auto& s : summary) {
    std::string range = s.lo <= s.hi ? "[" + format_number(s.lo) + ", " + format_number(s.hi) + "]"
                                     : std::string("(no finite value)");
    std::printf("%-12s %6d %6s  %-40s %4s  %s\n", s.chart.c_str(), s.n,
                std::to_string(s.steps).c_str(), range.c_str(), std::to_string(s.nan).c_str(),
                s.error.empty() ? "0" : "1");
    if (!s.error.empty()) ++failed;
  }
  for (const auto& s : summary)
    if (!s.error.empty())
      std::fprintf(stderr, "sfsim: %s: %s\n", s.chart.c_str(), printable(s.error).c_str());
  std::printf("CSV and SVG files in %s/\n", printable(out_dir).c_str());
  TextOutput("").commit();  // the summary too must have been written
  return failed ? kExitHostError : 0;
}

}  // namespace sfsim
