// sfsim's commands, one file each (run.cpp, debug.cpp, default_run.cpp, query.cpp); main.cpp
// reads the command line and calls them. Each returns the exit status, or throws
// UserError (exit 2) or host::HostError (exit 1).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/time_args.hpp"

namespace sfsim {

inline constexpr int kExitHostError = 1;
inline constexpr int kExitUserError = 2;

inline constexpr std::uint64_t kDefaultTraceLimit = std::uint64_t{1} << 30;

struct RunArgs {
  std::string model, plugin, table, z_file, z_range, rate = "inherited", out, plot, save, restore,
                                                     trace, coverage;
  std::string x_var = "x", y_var = "y", z_var = "z";  // variables of MAT-file inputs
  std::uint64_t trace_limit = kDefaultTraceLimit;
  // Which of the options above with a default were given: one that would change
  // nothing in the run asked for is refused.
  struct Given {
    bool x_var = false, y_var = false, z_var = false, trace_limit = false;
  } given;
  int chart = 0;
  int blocks = 1;
  TimeArgs time;  // a run in time: --input and its settings
};

// "Harnvale c2".
std::string chart_label(const ModelInfo& m, int chart);

class Debugger;
// With a debugger, the run stops where it says and is steered by its commands.
int run_command(const RunArgs& a, Debugger* debugger = nullptr);
// sfsim debug: the run with its debugger, the commands from `commands` (a file, "-"
// for standard input) or, when empty, from the terminal.
int debug_command(const RunArgs& a, const std::string& commands);
int default_command(const std::string& out_dir);
int query_command(const std::string& model_name, const std::string& plugin_given,
                  const std::vector<std::string>& args);

// A run's progress on the terminal once it has taken more than a second: the step,
// the share done, the rate and the time left, on one line that is erased at the
// end. Shown only when standard error is a terminal and the run's CSV (`csv`: a file,
// or standard output when empty or "-") does not go to the same terminal under any
// name, so that it never mixes into the rows.
class Progress {
 public:
  Progress(std::string label, const std::string& csv);
  ~Progress() { finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void operator()(std::int64_t done, std::int64_t total);
  void finish();

 private:
  std::string label_;
  bool shown_ = false, tty_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_;
};

}  // namespace sfsim
