// sfsim: runs the charts of the built plug-ins (the build's list of models) on the
// stand-in host, and makes MATLAB-level calls of them.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <cstdint>
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
#include "tools/block_limit.hpp"
#include "tools/sfsim/builtin.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/sfsim/numbers.hpp"
#include "tools/sfsim/output.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/simulate.hpp"
#include "tools/sfsim/svg.hpp"
#include "tools/sfsim/version.hpp"

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
  void operator()(std::int64_t done, std::int64_t total) {
    if (!tty_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (shown_ && now - last_ < std::chrono::milliseconds(100) && done != total) return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, "\r%s: step %s of %s", label_.c_str(), std::to_string(done).c_str(),
                 std::to_string(total).c_str());
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

// The CSV of a run, written row by row (the header before the first row).
class CsvWriter {
 public:
  explicit CsvWriter(TextOutput& out) : out_(out) {}
  void header() {
    if (!header_) out_.stream() << "step,time,z,y1\n";
    header_ = true;
  }
  void row(const Row& r) {
    header();
    out_.stream() << r.step << ',' << format_number(r.time) << ',' << format_number(r.z) << ','
                  << format_number(r.y1) << '\n';
  }

 private:
  TextOutput& out_;
  bool header_ = false;
};

constexpr std::uint64_t kDefaultTraceLimit = std::uint64_t{1} << 30;

// Streams every host call into a file while alive, up to a size limit: a call that
// would pass it is not written, and the trace is over.
class TraceFile {
 public:
  TraceFile(const std::string& path, std::uint64_t limit) : limit_(limit) {
    if (path.empty()) return;
    file_ = std::make_unique<OutputFile>(path);
  }
  void start() {
    if (!file_) return;
    host::trace::set_sink([this](const host::trace::Call& c) {
      if (over_) return;
      const std::string line = c.line();
      if (written_ + line.size() + 1 > limit_) {
        over_ = true;
        return;
      }
      written_ += line.size() + 1;
      file_->stream() << line << '\n';
    });
    recording_ = true;
  }
  ~TraceFile() { stop(); }
  bool over() const { return over_; }
  // The error of a trace that reached its limit.
  InputError limit_error() const {
    return InputError(file_->path() + ": the trace reached its size limit of " +
                      std::to_string(limit_) + " bytes (--trace-limit); the run was stopped");
  }
  void stop() {
    if (recording_) host::trace::clear_sink();
    recording_ = false;
  }
  void commit() {
    stop();
    if (file_) {
      if (over_) throw limit_error();
      file_->commit();
    }
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

 private:
  std::unique_ptr<OutputFile> file_;
  std::uint64_t limit_, written_ = 0;
  bool over_ = false, recording_ = false;
};

Rate parse_rate(const std::string& r) {
  if (r == "continuous") return Rate::Continuous;
  if (r == "discrete") return Rate::Discrete;
  return Rate::Inherited;
}

std::string chart_label(const ModelInfo& m, int chart) {
  return m.name + " c" + std::to_string(chart);
}

// Out of memory while reading an input is a fault of that input.
template <class F>
auto reading(const std::string& path, F&& read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    throw InputError(path + ": out of memory reading the file");
  }
}

// --- sfsim run --------------------------------------------------------------------

struct RunArgs {
  std::string model, plugin, table, z_file, z_range, rate = "inherited", out, plot, save, restore,
                                                     trace;
  std::string x_var = "x", y_var = "y", z_var = "z";  // variables of MAT-file inputs
  std::uint64_t trace_limit = kDefaultTraceLimit;
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
  spec.table = a.table.empty() ? builtin_table(model, a.chart) : reading(a.table, [&] {
    const auto rows = static_cast<std::size_t>(spec.table_length);
    return mat::is_mat_path(a.table) ? mat::read_table(a.table, a.x_var, a.y_var, rows, what)
                                     : read_table(a.table, rows, what);
  });
  std::unique_ptr<Queries> queries =
      mat::is_mat_path(a.z_file) ? mat::read_queries(a.z_file, a.z_var)
      : !a.z_file.empty()        ? query_file(a.z_file)
      : !a.z_range.empty()       ? range_queries(parse_range_spec(a.z_range))
                                 : range_queries(default_range(spec.table));
  spec.queries = queries.get();
  MxPtr restore;
  if (!a.restore.empty())
    restore = reading(a.restore, [&] {
      return mat::is_mat_path(a.restore) ? mat::read_state(a.restore)
                                         : from_json(read_json_file(a.restore), a.restore);
    });
  spec.restore = restore.get();
  spec.save = !a.save.empty();
  const std::string plugin_file = plugin_path(model, a.plugin);

  // Every output is refused or made ready before anything runs. A state may be saved
  // over the state it was restored from: that file has been read in full by now.
  check_distinct({{"--table", a.table},
                  {"--z", a.z_file},
                  {"--plugin", plugin_file},
                  {"--restore-state", a.restore}},
                 {{"--out", a.out}, {"--plot", a.plot}, {"--trace", a.trace}});
  check_distinct(
      {{"--table", a.table}, {"--z", a.z_file}, {"--plugin", plugin_file}},
      {{"--out", a.out}, {"--plot", a.plot}, {"--trace", a.trace}, {"--save-state", a.save}});
  TextOutput csv_out(a.out);
  std::unique_ptr<OutputFile> plot_out, state_out;
  if (!a.plot.empty()) plot_out = std::make_unique<OutputFile>(a.plot);
  if (spec.save) state_out = std::make_unique<OutputFile>(a.save);
  TraceFile trace(a.trace, a.trace_limit);
  std::optional<mat::ResultColumns> columns;  // a MAT-file output's rows, kept beside it
  if (mat::is_mat_path(a.out)) columns.emplace(a.out, queries->count());

  trace.start();
  std::optional<Engine> engine(std::in_place);
  // Asking the plug-in which model it holds is sfsim's check, not a call of the run:
  // it is left out of the trace.
  trace.stop();
  auto& plugin = load_plugin(*engine, plugin_file, model);
  trace.start();
  CsvWriter csv(csv_out);
  std::optional<PlotPoints> points;
  if (plot_out) points.emplace(a.plot);
  Progress progress(chart_label(model, a.chart));
  RunHooks hooks;
  hooks.row = [&](const Row& r) {
    columns ? columns->add(r.step, r.time, r.z, r.y1) : csv.row(r);
    if (points) points->add(r.z, r.y1);
    return !trace.over() && !(columns && columns->failed());
  };
  hooks.progress = std::ref(progress);
  RunResult result = simulate(*engine, plugin, spec, hooks);
  engine.reset();  // its teardown belongs to the trace too
  progress.finish();
  trace.stop();
  if (result.refused) throw InputError(plugin_file + ": " + result.error);
  if (trace.over()) throw trace.limit_error();
  columns ? columns->write(csv_out.stream()) : csv.header();
  // The files of a run that ended in a host error are complete records of the steps
  // before it; they are kept.
  csv_out.commit();
  trace.commit();
  if (plot_out) {
    Plot table{chart_label(model, a.chart) + ": y1 against z", spec.table.x, spec.table.y, {}, {}};
    points->render(table, plot_out->stream(), plot_out->path());
    plot_out->commit();
  }
  if (!result.ok) {
    std::fprintf(stderr, "sfsim: %s\n", printable(result.error).c_str());
    if (spec.save) std::fprintf(stderr, "sfsim: no state saved to %s\n", printable(a.save).c_str());
    return kExitHostError;
  }
  if (state_out) {
    if (mat::is_mat_path(a.save))
      mat::write_value(state_out->stream(), mat::kStateVariable, result.saved_state.get());
    else
      state_out->stream() << dump(to_json(result.saved_state.get())) << "\n";
    state_out->commit();
  }
  return 0;
}

// --- sfsim (the default run) ---------------------------------------------------------

int default_command(const std::string& out_dir) {
  std::error_code ec;
  if (std::filesystem::exists(out_dir, ec) && !std::filesystem::is_directory(out_dir, ec))
    throw InputError(out_dir + ": is not a folder");
  std::filesystem::create_directories(out_dir, ec);
  if (ec) throw InputError(out_dir + ": cannot make the folder: " + ec.message());

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
    csv << "step,time,z,y1\n";
    PlotPoints points(f.svg->path());
    Summary s;
    s.chart = chart_label(model, f.chart);
    s.n = spec.table_length;
    Progress progress(s.chart);
    RunHooks hooks;
    hooks.row = [&](const Row& r) {
      csv << r.step << ',' << format_number(r.time) << ',' << format_number(r.z) << ','
          << format_number(r.y1) << '\n';
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
    if (result.refused) throw InputError(plugin.path() + ": " + result.error);
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
      if (!v)
        throw InputError("argument " + quoted(std::string_view(arg)) + ": " +
                         quoted(std::string_view(arg).substr(4)) + " " +
                         number_fault(std::string_view(arg).substr(4)));
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
  auto& plugin = load_plugin(engine, plugin_file, model);
  std::vector<MxPtr> outputs;
  try {
    outputs = plugin.call_matlab(1, prhs);
  } catch (const host::HostError& e) {
    std::fprintf(
        stderr, "sfsim: %s_sfun: %s\n", model.name.c_str(),
        printable(e.identifier.empty() ? std::string(e.what()) : e.identifier + ": " + e.what())
            .c_str());
    return kExitHostError;
  }
  TextOutput out("");
  if (!outputs.empty() && outputs[0]) out.stream() << dump(to_json(outputs[0].get())) << '\n';
  out.commit();
  return 0;
}

// Help went to standard output; it too must have been written.
int help(int code) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "sfsim: standard output: write error\n");
    return kExitInputError;
  }
  return code == 0 ? 0 : kExitInputError;
}

// The version and the plug-ins found; status 2 when a model's plug-in is not usable.
int version_command() {
  TextOutput out("");
  const bool all = print_version(out.stream());
  out.commit();
  return all ? 0 : kExitInputError;
}

int main_(int argc, char** argv) {
  CLI::App app{
      "sfsim: runs the charts of the " + model_names(" and ", true) +
          " plug-ins on the stand-in "
          "host.\nWithout a command: every chart of every plug-in on its built-in table, with z "
          "sweeping past both ends; writes DIR/<Model>_c<n>.csv and .svg and prints a summary.\n"
          "Exit status: 0 success, 1 a host error, 2 a usage or input error.",
      "sfsim"};
  app.require_subcommand(0, 1);
  // An option's value given empty is an error, never the option's default.
  const CLI::Validator not_empty(
      [](std::string& value) {
        return value.empty() ? std::string("the value is empty") : std::string();
      },
      "", "not empty");
  std::string out_dir = "sfsim-out";
  auto* out_dir_option = app.add_option("--out-dir", out_dir, "folder of the default run's files")
                             ->default_val("sfsim-out")
                             ->check(not_empty);

  bool version = false;
  app.add_flag("--version", version, "print the version and the plug-ins found, then exit");

  RunArgs ra;
  auto* run = app.add_subcommand(
      "run",
      "Simulate K blocks of one chart, one major step per query (time = step * 0.01 s, steps "
      "numbered from 0). With --blocks K every block must give the same y1; the CSV rows and the "
      "saved state are those of block 1, a restored state goes to every block. Every step is a "
      "major step, whatever the rate.");
  run->add_option("--model", ra.model, model_names(" or "))->required()->check(not_empty);
  run->add_option("--chart", ra.chart, "chart number (" + chart_ranges() + ")")
      ->required()
      ->check(not_empty);
  run->add_option("--plugin", ra.plugin,
                  "the plug-in file (default: <Model>_sfun beside sfsim or in ../lib from it)")
      ->check(not_empty);
  run->add_option("--table", ra.table,
                  "CSV of the table: columns x,y, exactly N rows; a first row that is not "
                  "numeric is a header (default: the chart's built-in table)")
      ->check(not_empty);
  auto* zf = run->add_option("--z", ra.z_file, "file of queries, one per line")->check(not_empty);
  run->add_option("--z-range", ra.z_range,
                  "A:B:K: K queries evenly spaced from A to B (default: the table's range "
                  "widened by a tenth on each side, 201 steps)")
      ->excludes(zf)
      ->check(not_empty);
  run->add_option("--rate", ra.rate, "the block's sample time")
      ->check(CLI::IsMember({"inherited", "continuous", "discrete"}))
      ->default_val("inherited");
  run->add_option("--blocks", ra.blocks, "K blocks of the chart, all fed the same inputs")
      ->check(CLI::Range(1, tools::kMaxBlocks))
      ->default_val(1)
      ->check(not_empty);
  run->add_option("--out", ra.out, "CSV with header step,time,z,y1 (default: standard output)")
      ->check(not_empty);
  run->add_option("--plot", ra.plot, "SVG of y1 against z with the table's points")
      ->check(not_empty);
  run->add_option("--save-state", ra.save, "after the last step, block 1's saved state as JSON")
      ->check(not_empty);
  run->add_option("--restore-state", ra.restore,
                  "before the first step, restore a saved state (JSON as --save-state writes)")
      ->check(not_empty);
  run->add_option("--x-var", ra.x_var, "the breakpoints' variable of a .mat table (default x)");
  run->add_option("--y-var", ra.y_var, "the values' variable of a .mat table (default y)");
  run->add_option("--z-var", ra.z_var, "the queries' variable of a .mat --z file (default z)");
  run->add_option("--trace-limit", ra.trace_limit,
                  "the largest trace in bytes; a run whose trace would grow past it stops "
                  "with an error (default 1073741824, 1 GiB; suffixes k, M, G)")
      ->check(not_empty)
      ->transform(CLI::AsSizeValue(false))
      ->check(CLI::Validator(
          [](std::string& value) {
            return value.find_first_not_of("0123456789") != std::string::npos ||
                           value.find_first_not_of('0') == std::string::npos
                       ? std::string("the limit is a whole number of bytes, at least 1")
                       : std::string();
          },
          "BYTES", "positive"));
  run->add_option("--trace", ra.trace,
                  "every host call of the run, one a line: the operation's name, then its "
                  "arguments")
      ->check(not_empty);

  std::string q_model, q_plugin;
  std::vector<std::string> q_args;
  auto* query = app.add_subcommand(
      "query",
      "The MATLAB-level call <Model>_sfun(ARG...); prints output 0 as JSON (nothing when the "
      "call writes none). An ARG that reads as a number is a double scalar, any other is text; "
      "the prefixes str: and num: force either. When an ARG begins with '-' (other than a negative "
      "number), put -- before the first ARG.");
  query->add_option("--model", q_model, model_names(" or "))->required()->check(not_empty);
  query->add_option("--plugin", q_plugin, "the plug-in file")->check(not_empty);
  query->add_option("ARG", q_args, "the command and its arguments")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return help(app.exit(e));
  } catch (const CLI::CallForAllHelp& e) {
    return help(app.exit(e));
  } catch (const CLI::ParseError& e) {
    // The arguments are echoed with their control characters shown escaped.
    std::fprintf(stderr, "%s\nRun with --help for more information.\n",
                 printable(e.what()).c_str());
    return kExitInputError;
  }

  try {
    if (version) return version_command();
    if ((*run || *query) && out_dir_option->count() > 0)
      throw InputError("--out-dir is the folder of the default run (without a command); with " +
                       std::string(*run ? "run, name the files with --out and --plot"
                                        : "query, the output goes to standard output"));
    if (*run) return run_command(ra);
    if (*query) return query_command(q_model, q_plugin, q_args);
    return default_command(out_dir);
  } catch (const InputError& e) {
    std::fprintf(stderr, "sfsim: %s\n", printable(e.what()).c_str());
    return kExitInputError;
  } catch (const host::HostError& e) {
    std::fprintf(
        stderr, "sfsim: %s\n",
        printable(e.identifier.empty() ? std::string(e.what()) : e.identifier + ": " + e.what())
            .c_str());
    return kExitHostError;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "sfsim: out of memory\n");
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
    std::fprintf(stderr, "sfsim: %s\n", sfsim::printable(e.what()).c_str());
  }
  // Every host array made for the run has been destroyed by now; one still alive is
  // a leak in sfsim, the engine or a plug-in.
  if (std::size_t live = host::mx::live_count(); live != 0) {
    std::fprintf(stderr, "sfsim: %zu host arrays were not destroyed\n", live);
    if (status == 0) status = 1;
  }
  return status;
}
