// sfsim run: K blocks of one chart on a table, one step per query; the CSV, the plot,
// the trace and the saved state.
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
#include "host/sf_runtime_host.hpp"
#include "host/trace.hpp"
#include "platform/mx.h"
#include "tools/coverage/coverage.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/builtin.hpp"
#include "tools/sfsim/commands.hpp"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/formats.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/simulate.hpp"
#include "tools/sfsim/svg.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

using host::engine::Engine;
using host::engine::MxPtr;
using host::engine::Rate;

std::string chart_label(const ModelInfo& m, int chart) {
  return m.name + " c" + std::to_string(chart);
}

namespace {

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
  UserError limit_error() const {
    return UserError(file_->path() + ": the trace reached its size limit of " +
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

// Out of memory while reading an input is a fault of that input.
template <class F>
auto reading(const std::string& path, F&& read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    throw UserError(path + ": out of memory reading the file");
  }
}

// An option that would change nothing in the run asked for is refused, not ignored.
void check_options_apply(const RunArgs& a) {
  const char* table = "a table in a MAT-file only (--table FILE.mat)";
  const std::pair<bool, std::string> refused[] = {
      {a.given.x_var && !formats::is_mat(a.table), std::string("--x-var applies to ") + table},
      {a.given.y_var && !formats::is_mat(a.table), std::string("--y-var applies to ") + table},
      {a.given.z_var && !formats::is_mat(a.z_file),
       "--z-var applies to queries in a MAT-file only (--z FILE.mat); a .mat --input holds the "
       "vectors time and z"},
      {a.given.trace_limit && a.trace.empty(),
       "--trace-limit applies to a trace only (--trace FILE)"},
  };
  for (const auto& [given, message] : refused)
    if (given) throw UserError(message);
}

}  // namespace

int run_command(const RunArgs& a, Debugger* debugger) {
  check_options_apply(a);
  const ModelInfo& model = find_model(a.model);
  if (is_standard_stream(a.table) && is_standard_stream(a.z_file))
    throw UserError("--table and --z both name standard input (-); give one of them a file");
  if (is_standard_stream(a.table) && is_standard_stream(a.time.input))
    throw UserError("--table and --input both name standard input (-); give one of them a file");
  RunSpec spec;
  spec.chart = a.chart;
  spec.table_length = table_length(model, a.chart);
  spec.rate = parse_rate(a.rate);
  spec.blocks = a.blocks;
  const std::string what = "chart " + std::to_string(a.chart) + " of " + model.name;
  const formats::Variables vars{a.x_var, a.y_var, a.z_var};
  spec.table = a.table.empty() ? builtin_table(model, a.chart) : reading(a.table, [&] {
    return formats::read_table(a.table, vars, static_cast<std::size_t>(spec.table_length), what);
  });
  // The input: queries, one step each, or a signal in time.
  std::unique_ptr<Queries> queries;
  std::optional<tools::driver::Signal> signal;
  if (a.time.input.empty()) {
    check_query_mode(a.time);
    queries = !a.z_file.empty()    ? formats::read_queries(a.z_file, vars)
              : !a.z_range.empty() ? range_queries(parse_range_spec(a.z_range))
                                   : range_queries(default_range(spec.table));
    spec.queries = queries.get();
  } else {
    signal = reading(a.time.input, [&] { return formats::read_signal(a.time.input); });
    spec.signal = &*signal;
    spec.time = plan_run(a.time, *signal, spec.rate);
  }
  const std::int64_t steps = signal ? spec.time.plan.count : queries->count();
  MxPtr restore;
  if (!a.restore.empty())
    restore = reading(a.restore, [&] { return formats::read_state(a.restore); });
  spec.restore = restore.get();
  spec.save = !a.save.empty();
  const std::string plugin_file = plugin_path(model, a.plugin);

  // Every output is refused or made ready before anything runs. A state may be saved
  // over the state it was restored from: that file has been read in full by now.
  check_distinct(
      {{"--table", a.table},
       {"--z", a.z_file},
       {"--input", a.time.input},
       {"--plugin", plugin_file},
       {"--restore-state", a.restore}},
      {{"--out", a.out}, {"--plot", a.plot}, {"--trace", a.trace}, {"--coverage", a.coverage}});
  check_distinct({{"--table", a.table},
                  {"--z", a.z_file},
                  {"--input", a.time.input},
                  {"--plugin", plugin_file}},
                 {{"--out", a.out},
                  {"--plot", a.plot},
                  {"--trace", a.trace},
                  {"--save-state", a.save},
                  {"--coverage", a.coverage}});
  TextOutput result_out(a.out);
  std::unique_ptr<OutputFile> plot_out, state_out, coverage_out;
  if (!a.plot.empty()) plot_out = std::make_unique<OutputFile>(a.plot);
  const auto coverage_format = tools::coverage::format_of(a.coverage);
  if (!a.coverage.empty()) {
    if (!coverage_format)
      throw UserError(sfsim::quoted(a.coverage) + " " + tools::coverage::kFormatFault);
    coverage_out = std::make_unique<OutputFile>(a.coverage);
  }
  if (spec.save) state_out = std::make_unique<OutputFile>(a.save);
  TraceFile trace(a.trace, a.trace_limit);
  formats::Results results(result_out, a.out, steps);

  trace.start();
  std::optional<Engine> engine(std::in_place);
  // Asking the plug-in which model it holds is sfsim's check, not a call of the run:
  // it is left out of the trace.
  trace.stop();
  auto& plugin = load_plugin(*engine, plugin_file, model);
  trace.start();
  std::optional<PlotPoints> points;
  if (plot_out) points.emplace(a.plot);
  Progress progress(chart_label(model, a.chart), a.out);
  RunHooks hooks;
  hooks.row = [&](const Row& r) {
    results.add(r);
    if (points) signal ? points->add(r.time, r.y1, r.z) : points->add(r.z, r.y1);
    // A write that failed (a closed pipe, a full disk) ends the run: commit says so.
    return !trace.over() && results.good();
  };
  hooks.progress = std::ref(progress);
  if (debugger) debugger->attach(hooks);
  // The range checks record the values they see only when asked: it costs them
  // their fast path.
  host::sf_runtime::set_coverage_recording(coverage_out != nullptr);
  RunResult result = simulate(*engine, plugin, spec, hooks);
  host::sf_runtime::set_coverage_recording(false);
  if (debugger) debugger->finish(result);
  engine.reset();  // its teardown belongs to the trace too
  progress.finish();
  trace.stop();
  if (result.refused) throw UserError(plugin_file + ": " + result.error);
  // A run that ended at a host error says so after its files, and also when one of
  // them or the debugger's output fails (that write error decides the exit status).
  auto say_host_error = [&] {
    if (result.ok) return;
    std::fprintf(stderr, "sfsim: %s\n", printable(result.error).c_str());
    if (spec.save) std::fprintf(stderr, "sfsim: no state saved to %s\n", printable(a.save).c_str());
  };
  try {
    if (trace.over()) throw trace.limit_error();
    if (!result_out.good()) result_out.commit();  // throws the write error
    results.finish();
    // The files of a run that ended in a host error are complete records of the steps
    // before it; they are kept.
    result_out.commit();
    trace.commit();
    if (plot_out) {
      Plot table{
          chart_label(model, a.chart) + ": y1 against z", spec.table.x, spec.table.y, {}, {}};
      if (signal)
        table = Plot{chart_label(model, a.chart) + ": y1 and z against time", {}, {}, {}, {}, true};
      points->render(table, plot_out->stream(), plot_out->path());
      plot_out->commit();
    }
    if (coverage_out) {
      // The chart runtime keeps the records of the blocks after they have terminated.
      const tools::coverage::Run run{model.name, a.chart, spec.table_length, spec.table.x.data(),
                                     result.registrations};
      tools::coverage::write(coverage_out->stream(), *coverage_format, run);
      coverage_out->commit();
    }
    if (debugger) debugger->check_output();
  } catch (...) {
    say_host_error();
    throw;
  }
  say_host_error();
  if (!result.ok) return kExitHostError;
  if (state_out) {
    formats::write_state(state_out->stream(), a.save, result.saved_state.get());
    state_out->commit();
  }
  return 0;
}

}  // namespace sfsim
