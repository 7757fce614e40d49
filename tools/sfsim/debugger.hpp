// sfsim debug: a chart debugger on the run's driver. It stops before a step (the
// driver's hook), at the chart's line calls (the runtime's line hook) and where a
// step raises a host error (the runtime's error hook, before the error unwinds), and
// reads and writes the chart's values only through what the chart registered with
// the runtime: the symbols of its open scopes with their show and edit callbacks,
// and its data items' live addresses with their conversion callbacks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/sf_runtime_host.hpp"
#include "tools/sfsim/simulate.hpp"

namespace sfsim {

inline constexpr const char* kDebugPrompt = "(sfdb) ";

// The commands, as `help` and `sfsim debug --help` show them.
extern const char* const kDebugCommandsHelp;

// Where the commands come from.
class CommandSource {
 public:
  virtual ~CommandSource() = default;
  // The next command line; false at the end of the commands.
  virtual bool read(std::string& line) = 0;
};

// The lines of a file ("-": standard input), each echoed to `echo` after the prompt.
// UserError when the file cannot be opened.
std::unique_ptr<CommandSource> file_commands(const std::string& path, std::FILE* echo);
// The terminal on standard input: a prompt with line editing and history.
std::unique_ptr<CommandSource> terminal_commands();

class Debugger {
 public:
  // `out` takes everything the debugger says.
  Debugger(CommandSource& commands, std::FILE* out, std::string model, int chart);
  ~Debugger();
  Debugger(const Debugger&) = delete;
  Debugger& operator=(const Debugger&) = delete;

  // Hooks the debugger into a run about to start, and reads commands until one lets
  // the run go.
  void attach(RunHooks& hooks);
  // The run is over: unhooks and says how it ended.
  void finish(const RunResult& result);
  // UserError when what the debugger wrote could not be written (the session then
  // ended at once, as a quit does).
  void check_output() const;

 private:
  enum class Mode { Continue, Step, Next, Detached };
  enum class StopKind { Start, Step, Line, Error };
  enum class BreakKind { Step, Line, Error };
  struct Breakpoint {
    int number;
    BreakKind kind;
    std::int64_t step;
    int line;
  };
  struct Stop {
    StopKind kind = StopKind::Start;
    std::string reason;  // "breakpoint 2", "step", "next"
    int line = 0;        // at a line stop
    double time = 0;
    std::string error;  // at an error stop: the identifier and message
  };

  bool before_step(std::int64_t k, double t);
  void line_call(const host::sf_runtime::LineCall& call);
  void error_raised(const host::sf_runtime::ErrorRecord& error);
  const Breakpoint* breakpoint(BreakKind kind, std::int64_t step, int line) const;
  void stop(Stop s);
  // Runs one command line; true when it lets the run go on.
  bool execute(std::string_view line);
  void detach();

  void add_breakpoint(const std::vector<std::string_view>& args);
  void delete_breakpoint(const std::vector<std::string_view>& args);
  void info(const std::vector<std::string_view>& args);
  void print(const std::vector<std::string_view>& args);
  void set(const std::vector<std::string_view>& args);
  void where();
  // The value of a symbol or data item as a new array (null after saying why not).
  host::engine::MxPtr fetch(const std::string& name, const char* command);
  const host::sf_runtime::ChartRecord* chart_record() const;
  const void* debug_instance() const;
  std::string step_text() const;  // "step 4", "minor step 2 of step 4"
  std::string place() const;
  void say(const std::string& text);
  // Flushes what the debugger wrote; false, and the session over, when it failed.
  bool written();

  CommandSource& commands_;
  std::FILE* out_;
  std::string model_;
  int chart_;
  std::vector<Breakpoint> breakpoints_;
  int next_breakpoint_ = 1;
  Mode mode_ = Mode::Continue;
  Stop stop_;
  bool stopped_ = false, quit_ = false, hooked_ = false;
  bool error_seen_ = false;  // this step's error has been stopped at
  bool write_failed_ = false;
  std::int64_t step_ = -1;  // the major step under way
  std::size_t minor_ = 0;   // its minor step under way (0: the major step itself)
  std::int64_t rows_ = 0;   // rows of finished steps written
  double time_ = 0;         // of the step, or of its last line call
  int block_ = 0;           // the block of this step's last line call (0: none yet)
};

}  // namespace sfsim
