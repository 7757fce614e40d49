// sfsim: runs the charts of the Harnvale_sfun and Quimbrel_sfun plug-ins on the
// stand-in host, and makes MATLAB-level calls of them.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "host/engine.hpp"
#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/os.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"
#include "tools/sfsim/builtin.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/sfsim/numbers.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/simulate.hpp"
#include "tools/sfsim/svg.hpp"

namespace sfsim {
namespace {

using host::engine::Engine;
using host::engine::MxPtr;
using host::engine::Rate;

constexpr int kExitHostError = 1;
constexpr int kExitInputError = 2;

// Shows the step count on a terminal once a run has taken more than a second.
class Progress {
 public:
  explicit Progress(std::string label)
      : label_(std::move(label)), tty_(host::os::stderr_is_terminal()) {}
  ~Progress() { finish(); }
  void operator()(long done, long total) {
    if (!tty_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (shown_ && now - last_ < std::chrono::milliseconds(100) && done != total) return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, "\r%s: step %ld of %ld", label_.c_str(), done, total);
    std::fflush(stderr);
  }
  void finish() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
    shown_ = false;
  }

 private:
  std::string label_;
  bool tty_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_;
};

// The CSV of a run, written row by row so that the rows before a failure are kept.
class CsvWriter {
 public:
  explicit CsvWriter(const std::string& path) : path_(path) {
    if (path.empty()) {
      out_ = &std::cout;
    } else {
      file_ = std::make_unique<std::ofstream>(path, std::ios::binary);
      if (!*file_) throw InputError(path + ": cannot write the file");
      out_ = file_.get();
    }
    *out_ << "step,time,z,y1\n";
  }
  void row(const Row& r) {
    *out_ << r.step << ',' << format_number(r.time) << ',' << format_number(r.z) << ','
          << format_number(r.y1) << '\n';
  }
  void close() {
    out_->flush();
    if (!*out_) throw InputError((path_.empty() ? "standard output" : path_) + ": write error");
  }

 private:
  std::string path_;
  std::unique_ptr<std::ofstream> file_;
  std::ostream* out_ = nullptr;
};

// Streams every host call into a file while alive.
class TraceFile {
 public:
  explicit TraceFile(const std::string& path) : path_(path) {
    if (path.empty()) return;
    file_ = std::make_unique<std::ofstream>(path, std::ios::binary);
    if (!*file_) throw InputError(path + ": cannot write the file");
    std::ofstream* out = file_.get();
    host::trace::set_sink([out](const host::trace::Call& c) { *out << c.line() << '\n'; });
  }
  ~TraceFile() { stop(); }
  // Ends recording; InputError when the file could not be written in full.
  void finish() {
    stop();
    if (file_ && !file_->flush()) throw InputError(path_ + ": cannot write the file");
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

 private:
  void stop() {
    if (file_ && recording_) host::trace::clear_sink();
    recording_ = false;
  }
  std::string path_;
  std::unique_ptr<std::ofstream> file_;
  bool recording_ = true;
};

void write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  if (!out || !(out << text) || !out.flush()) throw InputError(path + ": cannot write the file");
}

Rate parse_rate(const std::string& r) {
  if (r == "continuous") return Rate::Continuous;
  if (r == "discrete") return Rate::Discrete;
  return Rate::Inherited;
}

std::string chart_label(const ModelInfo& m, int chart) {
  return m.name + " c" + std::to_string(chart);
}

// --- sfsim run --------------------------------------------------------------------

struct RunArgs {
  std::string model, plugin, table, z_file, z_range, rate = "inherited", out, plot, save, restore,
                                                     trace;
  int chart = 0;
  int blocks = 1;
};

int run_command(const RunArgs& a) {
  const ModelInfo& model = find_model(a.model);
  RunSpec spec;
  spec.chart = a.chart;
  spec.table_length = table_length(model, a.chart);
  spec.rate = parse_rate(a.rate);
  spec.blocks = a.blocks;
  const std::string what = "chart " + std::to_string(a.chart) + " of " + model.name;
  spec.table = a.table.empty()
                   ? builtin_table(model, a.chart)
                   : read_table(a.table, static_cast<std::size_t>(spec.table_length), what);
  spec.z = !a.z_file.empty()    ? read_queries(a.z_file)
           : !a.z_range.empty() ? parse_range(a.z_range)
                                : default_queries(spec.table);
  MxPtr restore;
  if (!a.restore.empty()) restore = from_json(read_json_file(a.restore), a.restore);
  spec.restore = restore.get();
  spec.save = !a.save.empty();
  const std::string plugin_file = plugin_path(model, a.plugin);

  TraceFile trace(a.trace);
  std::optional<Engine> engine(std::in_place);
  auto& plugin = load_plugin(*engine, plugin_file);
  CsvWriter csv(a.out);
  Plot plot{chart_label(model, a.chart) + ": y1 against z", spec.table.x, spec.table.y, {}, {}};
  Progress progress(chart_label(model, a.chart));
  RunHooks hooks;
  hooks.row = [&](const Row& r) {
    csv.row(r);
    plot.z.push_back(r.z);
    plot.y1.push_back(r.y1);
  };
  hooks.progress = std::ref(progress);
  RunResult result = simulate(*engine, plugin, spec, hooks);
  engine.reset();  // its teardown belongs to the trace too
  progress.finish();
  trace.finish();
  csv.close();
  if (!a.plot.empty()) write_svg(a.plot, plot);
  if (!result.ok) {
    std::fprintf(stderr, "sfsim: %s\n", result.error.c_str());
    if (spec.save) std::fprintf(stderr, "sfsim: no state saved to %s\n", a.save.c_str());
    return kExitHostError;
  }
  if (spec.save) write_text(a.save, dump(to_json(result.saved_state.get())) + "\n");
  return 0;
}

// --- sfsim (the default run) ---------------------------------------------------------

int default_command(const std::string& out_dir) {
  std::error_code ec;
  std::filesystem::create_directories(out_dir, ec);
  if (ec) throw InputError(out_dir + ": cannot make the folder: " + ec.message());

  struct Summary {
    std::string chart;
    int n;
    long steps;
    double lo, hi;
    long nan;
    std::string error;
  };
  std::vector<Summary> summary;
  Engine engine;
  for (const ModelInfo& model : models()) {
    auto& plugin = load_plugin(engine, plugin_path(model, ""));
    for (int chart = 1; chart <= model.chart_count(); ++chart) {
      RunSpec spec;
      spec.chart = chart;
      spec.table_length = table_length(model, chart);
      spec.table = builtin_table(model, chart);
      spec.z = default_queries(spec.table);
      const std::string base =
          (std::filesystem::path(out_dir) / (model.name + "_c" + std::to_string(chart))).string();
      CsvWriter csv(base + ".csv");
      Plot plot{chart_label(model, chart) + ": y1 against z", spec.table.x, spec.table.y, {}, {}};
      Summary s{chart_label(model, chart), spec.table_length, 0, HUGE_VAL, -HUGE_VAL, 0, ""};
      Progress progress(s.chart);
      RunHooks hooks;
      hooks.row = [&](const Row& r) {
        csv.row(r);
        plot.z.push_back(r.z);
        plot.y1.push_back(r.y1);
        if (std::isnan(r.y1)) {
          ++s.nan;
        } else {
          s.lo = std::min(s.lo, r.y1);
          s.hi = std::max(s.hi, r.y1);
        }
      };
      hooks.progress = std::ref(progress);
      RunResult result = simulate(engine, plugin, spec, hooks);
      progress.finish();
      csv.close();
      write_svg(base + ".svg", plot);
      s.steps = result.steps;
      s.error = result.error;
      summary.push_back(s);
    }
  }

  std::printf("%-12s %6s %6s  %-40s %4s  %s\n", "chart", "N", "steps", "y1 range", "NaN", "errors");
  int failed = 0;
  for (const auto& s : summary) {
    std::string range = s.lo <= s.hi ? "[" + format_number(s.lo) + ", " + format_number(s.hi) + "]"
                                     : std::string("(no finite value)");
    std::printf("%-12s %6d %6ld  %-40s %4ld  %s\n", s.chart.c_str(), s.n, s.steps, range.c_str(),
                s.nan, s.error.empty() ? "0" : "1");
    if (!s.error.empty()) ++failed;
  }
  for (const auto& s : summary)
    if (!s.error.empty()) std::fprintf(stderr, "sfsim: %s: %s\n", s.chart.c_str(), s.error.c_str());
  std::printf("CSV and SVG files in %s/\n", out_dir.c_str());
  return failed ? kExitHostError : 0;
}

// --- sfsim query ----------------------------------------------------------------------

int query_command(const std::string& model_name, const std::string& plugin_given,
                  const std::vector<std::string>& args) {
  const ModelInfo& model = find_model(model_name);
  std::vector<MxPtr> inputs;
  for (const auto& arg : args) {
    if (arg.rfind("str:", 0) == 0) {
      inputs.emplace_back(mxCreateString(arg.c_str() + 4));
    } else if (arg.rfind("num:", 0) == 0) {
      auto v = parse_number(arg.substr(4));
      if (!v) throw InputError("argument '" + arg + "': '" + arg.substr(4) + "' is not a number");
      inputs.emplace_back(mxCreateDoubleScalar(*v));
    } else if (auto v = parse_number(arg)) {
      inputs.emplace_back(mxCreateDoubleScalar(*v));
    } else {
      inputs.emplace_back(mxCreateString(arg.c_str()));
    }
  }
  std::vector<const mxArray*> prhs;
  for (auto& p : inputs)
    prhs.push_back(p.get());
  const std::string plugin_file = plugin_path(model, plugin_given);

  Engine engine;
  auto& plugin = load_plugin(engine, plugin_file);
  std::vector<MxPtr> outputs;
  try {
    outputs = plugin.call_matlab(1, prhs);
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "sfsim: %s_sfun: %s%s\n", model.name.c_str(),
                 e.identifier.empty() ? "" : (e.identifier + ": ").c_str(), e.what());
    return kExitHostError;
  }
  if (!outputs.empty() && outputs[0]) std::cout << dump(to_json(outputs[0].get())) << '\n';
  std::cout.flush();
  return 0;
}

int main_(int argc, char** argv) {
  CLI::App app{
      "sfsim: runs the charts of the Harnvale_sfun and Quimbrel_sfun plug-ins on the stand-in "
      "host.\nWithout a command: every chart of both plug-ins on its built-in table, with z "
      "sweeping past both ends; writes DIR/<Model>_c<n>.csv and .svg and prints a summary.\n"
      "Exit status: 0 success, 1 a host error, 2 a usage or input error.",
      "sfsim"};
  app.require_subcommand(0, 1);
  std::string out_dir = "sfsim-out";
  app.add_option("--out-dir", out_dir, "folder of the default run's files")
      ->default_val("sfsim-out");

  RunArgs ra;
  auto* run = app.add_subcommand(
      "run",
      "Simulate K blocks of one chart, one major step per query (time = step * 0.01 s, steps "
      "numbered from 0). With --blocks K every block must give the same y1; the CSV rows and the "
      "saved state are those of block 1, a restored state goes to every block. Every step is a "
      "major step, whatever the rate.");
  run->add_option("--model", ra.model, "Harnvale or Quimbrel")->required();
  run->add_option("--chart", ra.chart, "chart number (Harnvale 1..3, Quimbrel 1..2)")->required();
  run->add_option("--plugin", ra.plugin,
                  "the plug-in file (default: <Model>_sfun beside sfsim or in the build)");
  run->add_option("--table", ra.table,
                  "CSV of the table: columns x,y, exactly N rows; a first row that is not "
                  "numeric is a header (default: the chart's built-in table)");
  auto* zf = run->add_option("--z", ra.z_file, "file of queries, one per line");
  run->add_option("--z-range", ra.z_range,
                  "A:B:K: K queries evenly spaced from A to B (default: the table's range "
                  "widened by a tenth on each side, 201 steps)")
      ->excludes(zf);
  run->add_option("--rate", ra.rate, "the block's sample time")
      ->check(CLI::IsMember({"inherited", "continuous", "discrete"}))
      ->default_val("inherited");
  run->add_option("--blocks", ra.blocks, "K blocks of the chart, all fed the same inputs")
      ->check(CLI::Range(1, 1000))
      ->default_val(1);
  run->add_option("--out", ra.out, "CSV with header step,time,z,y1 (default: standard output)");
  run->add_option("--plot", ra.plot, "SVG of y1 against z with the table's points");
  run->add_option("--save-state", ra.save, "after the last step, block 1's saved state as JSON");
  run->add_option("--restore-state", ra.restore,
                  "before the first step, restore a saved state (JSON as --save-state writes)");
  run->add_option("--trace", ra.trace,
                  "every host call of the run, one a line: the operation's name, then its "
                  "arguments");

  std::string q_model, q_plugin;
  std::vector<std::string> q_args;
  auto* query = app.add_subcommand(
      "query",
      "The MATLAB-level call <Model>_sfun(ARG...); prints output 0 as JSON (nothing when the "
      "call writes none). An ARG that reads as a number is a double scalar, any other is text; "
      "the prefixes str: and num: force either. When an ARG begins with '-' (other than a negative "
      "number), put -- before the first ARG.");
  query->add_option("--model", q_model, "Harnvale or Quimbrel")->required();
  query->add_option("--plugin", q_plugin, "the plug-in file");
  query->add_option("ARG", q_args, "the command and its arguments")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kExitInputError;
  }

  try {
    if (*run) return run_command(ra);
    if (*query) return query_command(q_model, q_plugin, q_args);
    return default_command(out_dir);
  } catch (const InputError& e) {
    std::fprintf(stderr, "sfsim: %s\n", e.what());
    return kExitInputError;
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "sfsim: %s%s\n", e.identifier.empty() ? "" : (e.identifier + ": ").c_str(),
                 e.what());
    return kExitHostError;
  }
}

}  // namespace
}  // namespace sfsim

int main(int argc, char** argv) {
  host::os::use_binary_stdio();
  int status = 1;
  try {
    status = sfsim::main_(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sfsim: %s\n", e.what());
  }
  // Every host array made for the run has been destroyed by now; one still alive is
  // a leak in sfsim, the engine or a plug-in.
  if (std::size_t live = host::mx::live_count(); live != 0) {
    std::fprintf(stderr, "sfsim: %zu host arrays were not destroyed\n", live);
    if (status == 0) status = 1;
  }
  return status;
}
