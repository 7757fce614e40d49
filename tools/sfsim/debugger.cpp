#include "tools/sfsim/debugger.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "tools/sfsim/inputs.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

namespace hs = host::sf_runtime;

const char* const kDebugCommandsHelp =
    "Commands (one a line; blank lines and lines starting with # are skipped):\n"
    "  break step K      stop before step K (numbered as in the CSV)\n"
    "  break line L      stop at the chart's line call L: 3 before the kernel, -3 after it\n"
    "  break error       stop where a step raises a host error, before the step is\n"
    "                    abandoned (its symbols are still in scope)\n"
    "  delete N          delete breakpoint N\n"
    "  info breakpoints  list the breakpoints\n"
    "  continue          run to the next breakpoint\n"
    "  step              run to the next line call\n"
    "  next              run to the next step\n"
    "  print NAME        NAME = its value as one line of JSON: at a line or error stop\n"
    "                    the symbols of the chart's scope (nargin, nargout, x, y, z, y1),\n"
    "                    at a step stop block 1's data items (x, y, z, y1)\n"
    "  print NAME(I)     element I of NAME, counted from 1\n"
    "  set NAME VALUE    store the number VALUE through the symbol's edit callback\n"
    "                    (nargin, nargout, y1; at a step stop the data item y1)\n"
    "  where             model, chart, block, step, time, why the run stopped, line\n"
    "  help              this list\n"
    "  quit              end the run; the rows of the steps finished are kept\n"
    "The session begins before the first step. At the end of the commands (the end of\n"
    "the file, or Ctrl-D) the run goes on to its end without stopping again.\n";

namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> w;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
      ++i;
    if (i > start) w.push_back(line.substr(start, i - start));
  }
  return w;
}

// A whole decimal number with an optional minus sign, within int64 (leading zeros
// allowed).
bool read_integer(std::string_view text, std::int64_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!is_whole_decimal(negative ? text.substr(1) : text)) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

std::string plural(std::int64_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

Debugger::Debugger(CommandSource& commands, std::FILE* out, std::string model, int chart)
    : commands_(commands), out_(out), model_(std::move(model)), chart_(chart) {}

Debugger::~Debugger() {
  detach();
}

void Debugger::say(const std::string& text) {
  if (write_failed_) return;
  std::fputs(text.c_str(), out_);
  std::fputc('\n', out_);
  written();
}

bool Debugger::written() {
  if (write_failed_) return false;
  if (std::fflush(out_) == 0 && !std::ferror(out_)) return true;
  // Nobody sees the session any more (a closed pipe, a full disk): it ends as a
  // quit does, keeping the rows of the steps finished.
  write_failed_ = true;
  quit_ = true;
  mode_ = Mode::Detached;
  detach();
  return false;
}

void Debugger::check_output() const {
  if (write_failed_)
    throw UserError(std::string(out_ == stdout ? "standard output" : "standard error") +
                    ": write error; the debugger's session was cut short");
}

void Debugger::attach(RunHooks& hooks) {
  hooks.progress = nullptr;  // the terminal belongs to the session
  hooks.before_step = [this](std::int64_t k, double t, double) { return before_step(k, t); };
  hooks.stage = [this](std::int64_t, std::size_t stage, double) { minor_ = stage; };
  // The row of a step that a quit cut short is not written, and the run ends.
  hooks.row = [this, inner = std::move(hooks.row)](const Row& r) {
    if (quit_) return false;
    if (inner && !inner(r)) return false;
    ++rows_;
    return true;
  };
  hs::set_line_hook([this](const hs::LineCall& c) { line_call(c); });
  hs::set_error_hook([this](const hs::ErrorRecord& e) { error_raised(e); });
  hooked_ = true;
  stop(Stop{StopKind::Start, "start", 0, 0, {}});
}

void Debugger::detach() {
  if (!hooked_) return;
  hooked_ = false;
  hs::set_line_hook({});
  hs::set_error_hook({});
}

void Debugger::finish(const RunResult& result) {
  detach();
  stopped_ = false;
  const std::string steps = plural(rows_, "step") + " finished)";
  if (!result.ok)
    say("(run ended at an error: " + steps);
  else if (quit_)
    say("(run stopped by quit: " + steps);
  else
    say("(run ended: " + steps);
}

const Debugger::Breakpoint* Debugger::breakpoint(BreakKind kind, std::int64_t step,
                                                 int line) const {
  for (const Breakpoint& b : breakpoints_) {
    if (b.kind != kind) continue;
    if (kind == BreakKind::Step && b.step != step) continue;
    if (kind == BreakKind::Line && b.line != line) continue;
    return &b;
  }
  return nullptr;
}

bool Debugger::before_step(std::int64_t k, double t) {
  step_ = k;
  minor_ = 0;
  time_ = t;
  block_ = 0;
  error_seen_ = false;
  if (mode_ == Mode::Detached) return !quit_;
  if (mode_ == Mode::Next) {
    stop(Stop{StopKind::Step, "next", 0, t, {}});
  } else if (const Breakpoint* b = breakpoint(BreakKind::Step, k, 0)) {
    stop(Stop{StopKind::Step, "breakpoint " + std::to_string(b->number), 0, t, {}});
  }
  return !quit_;
}

void Debugger::line_call(const hs::LineCall& c) {
  if (stopped_) return;  // a callback run from a command
  block_ = static_cast<int>(c.instance_number);
  time_ = c.time;
  if (mode_ == Mode::Step) {
    stop(Stop{StopKind::Line, "step", c.line_code, c.time, {}});
  } else if (const Breakpoint* b = breakpoint(BreakKind::Line, 0, c.line_code)) {
    stop(Stop{StopKind::Line, "breakpoint " + std::to_string(b->number), c.line_code, c.time, {}});
  }
}

void Debugger::error_raised(const hs::ErrorRecord& e) {
  if (stopped_ || error_seen_ || mode_ == Mode::Detached) return;
  const Breakpoint* b = breakpoint(BreakKind::Error, 0, 0);
  if (b == nullptr) return;
  error_seen_ = true;
  const std::string text = e.identifier.empty() ? e.message : e.identifier + ": " + e.message;
  stop(Stop{StopKind::Error, "breakpoint " + std::to_string(b->number), 0, time_, text});
}

std::string Debugger::step_text() const {
  if (step_ < 0) return "the set-up";
  const std::string step = "step " + std::to_string(step_);
  return minor_ > 0 && stop_.kind != StopKind::Step
             ? "minor step " + std::to_string(minor_) + " of " + step
             : step;
}

std::string Debugger::place() const {
  const std::string step = step_text();
  const std::string block = block_ > 0 ? ", block " + std::to_string(block_) : "";
  switch (stop_.kind) {
    case StopKind::Start:
      return "before the run";
    case StopKind::Step:
      return "before " + step + " (time " + format_number(stop_.time) + ")";
    case StopKind::Line:
      return "line " + std::to_string(stop_.line) + " of " + step + " (time " +
             format_number(stop_.time) + block + ")";
    case StopKind::Error:
      return "error in " + step + " (time " + format_number(stop_.time) + block +
             "): " + printable(stop_.error);
  }
  return {};
}

void Debugger::stop(Stop s) {
  stop_ = std::move(s);
  stopped_ = true;
  if (stop_.kind != StopKind::Start) {
    std::string reason = stop_.reason;
    reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
    say(reason + ", " + place());
  }
  std::string line;
  while (written()) {
    if (!commands_.read(line)) {
      say("(end of commands: the run goes on to its end)");
      mode_ = Mode::Detached;
      detach();
      break;
    }
    if (execute(line)) break;
  }
  stopped_ = false;
}

bool Debugger::execute(std::string_view line) {
  const std::vector<std::string_view> w = words(line);
  if (w.empty() || w[0][0] == '#') return false;
  const std::string_view c = w[0];
  const std::vector<std::string_view> args(w.begin() + 1, w.end());
  auto no_arguments = [&] {
    if (args.empty()) return true;
    say(std::string(c) + ": takes no arguments");
    return false;
  };
  if (c == "continue" || c == "c") {
    if (!no_arguments()) return false;
    mode_ = Mode::Continue;
    return true;
  }
  if (c == "step" || c == "s") {
    if (!no_arguments()) return false;
    mode_ = Mode::Step;
    return true;
  }
  if (c == "next" || c == "n") {
    if (!no_arguments()) return false;
    mode_ = Mode::Next;
    return true;
  }
  if (c == "quit" || c == "q") {
    if (!no_arguments()) return false;
    quit_ = true;
    mode_ = Mode::Detached;
    detach();
    return true;
  }
  if (c == "break" || c == "b") {
    add_breakpoint(args);
  } else if (c == "delete" || c == "d") {
    delete_breakpoint(args);
  } else if (c == "info" || c == "i") {
    info(args);
  } else if (c == "print" || c == "p") {
    print(args);
  } else if (c == "set") {
    set(args);
  } else if (c == "where") {
    if (no_arguments()) where();
  } else if (c == "help" || c == "h") {
    if (no_arguments()) std::fputs(kDebugCommandsHelp, out_);
  } else {
    say("Unknown command " + sfsim::quoted(c) + "; help lists the commands");
  }
  return false;
}

void Debugger::add_breakpoint(const std::vector<std::string_view>& args) {
  Breakpoint b{next_breakpoint_, BreakKind::Error, 0, 0};
  std::int64_t n = 0;
  if (args.size() == 1 && args[0] == "error") {
    say("Breakpoint " + std::to_string(b.number) + ": error");
  } else if (args.size() == 2 && args[0] == "step") {
    if (!is_whole_decimal(args[1]) || !read_integer(args[1], n)) {
      say("break step: " + sfsim::quoted(args[1]) + " is not a step number (0, 1, 2, ...)");
      return;
    }
    b.kind = BreakKind::Step;
    b.step = n;
    say("Breakpoint " + std::to_string(b.number) + ": before step " + std::to_string(n));
  } else if (args.size() == 2 && args[0] == "line") {
    if (!read_integer(args[1], n) || (n != 3 && n != -3)) {
      say("break line: " + sfsim::quoted(args[1]) +
          " is not a line of the chart: 3 (before the kernel) or -3 (after it)");
      return;
    }
    b.kind = BreakKind::Line;
    b.line = static_cast<int>(n);
    say("Breakpoint " + std::to_string(b.number) + ": line " + std::to_string(n));
  } else {
    say("break: give step K, line 3, line -3 or error");
    return;
  }
  breakpoints_.push_back(b);
  ++next_breakpoint_;
}

void Debugger::delete_breakpoint(const std::vector<std::string_view>& args) {
  std::int64_t n = 0;
  if (args.size() != 1 || !read_integer(args[0], n)) {
    say("delete: give the number of a breakpoint (info breakpoints lists them)");
    return;
  }
  for (auto it = breakpoints_.begin(); it != breakpoints_.end(); ++it) {
    if (it->number == n) {
      breakpoints_.erase(it);
      say("Deleted breakpoint " + std::to_string(n));
      return;
    }
  }
  say("delete: no breakpoint " + std::to_string(n));
}

void Debugger::info(const std::vector<std::string_view>& args) {
  if (args.size() != 1 || args[0] != "breakpoints") {
    say("info: the one subject is breakpoints");
    return;
  }
  if (breakpoints_.empty()) {
    say("No breakpoints");
    return;
  }
  say("Num  Stops");
  for (const Breakpoint& b : breakpoints_) {
    std::string what = b.kind == BreakKind::Step   ? "before step " + std::to_string(b.step)
                       : b.kind == BreakKind::Line ? "at line " + std::to_string(b.line)
                                                   : "at an error";
    std::string num = std::to_string(b.number);
    num.resize(std::max<std::size_t>(num.size() + 1, 5), ' ');
    say(num + what);
  }
}

void Debugger::where() {
  std::string text = "model " + model_ + ", chart " + std::to_string(chart_);
  if (stop_.kind == StopKind::Start) {
    say(text + ": the run has not started");
    return;
  }
  const int block = stop_.kind == StopKind::Step ? 1 : block_;
  text += ", block " + (block > 0 ? std::to_string(block) : std::string("unknown"));
  text += step_ < 0 ? std::string(", before the first step") : ", " + step_text();
  text += ", time " + format_number(stop_.time);
  text += ", stopped by " + stop_.reason;
  if (stop_.kind == StopKind::Line)
    text += ", line " + std::to_string(stop_.line);
  else if (stop_.kind == StopKind::Step)
    text += ", before the step (no line)";
  else
    text += " at " + printable(stop_.error);
  say(text);
}

}  // namespace sfsim
