// sfsim: runs the charts of the built plug-ins (the build's list of models) on the
// stand-in host, and makes MATLAB-level calls of them.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"
#include "host/os.hpp"
#include "tools/block_limit.hpp"
#include "tools/coverage/coverage.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/commands.hpp"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/version.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {
namespace {

// A message of the option parser as sfsim shows it: the arguments it echoes escaped
// and cut to 60 bytes (their control characters, which the parser echoes raw, too).
std::string parser_message(std::string text, int argc, char** argv) {
  std::vector<std::string> echoed;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() > 60 || printable(arg) != arg) echoed.push_back(arg);
  }
  std::sort(echoed.begin(), echoed.end(),
            [](const std::string& x, const std::string& y) { return x.size() > y.size(); });
  for (const std::string& arg : echoed) {
    const std::string shown = printable(arg, 60);
    for (auto at = text.find(arg); at != std::string::npos; at = text.find(arg, at + shown.size()))
      text.replace(at, arg.size(), shown);
  }
  return printable(text);
}

// Help went to standard output; it too must have been written.
int help(int code) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "sfsim: standard output: write error\n");
    return kExitUserError;
  }
  return code == 0 ? 0 : kExitUserError;
}

// The version and the plug-ins found; status 2 when a model's plug-in is not usable.
int version_command() {
  TextOutput out("");
  const bool all = print_version(out.stream());
  out.commit();
  return all ? 0 : kExitUserError;
}

// The options of a run, shared by run and debug.
void add_run_options(CLI::App& run, RunArgs& ra, const CLI::Validator& not_empty,
                     const CLI::Validator& decimal) {
  run.add_option("--model", ra.model, model_names(" or "))->required()->check(not_empty);
  run.add_option("--chart", ra.chart, "chart number (" + chart_ranges() + ")")
      ->required()
      ->check(not_empty)
      ->check(decimal);
  run.add_option("--plugin", ra.plugin,
                 "the plug-in file (default: <Model>_sfun beside sfsim or in ../lib from it)")
      ->check(not_empty);
  run.add_option("--table", ra.table,
                 "CSV of the table: columns x,y, exactly N rows; a first row that is not "
                 "numeric is a header (default: the chart's built-in table); - reads standard "
                 "input")
      ->check(not_empty);
  auto* zf =
      run.add_option("--z", ra.z_file, "file of queries, one per line; - reads standard input")
          ->check(not_empty);
  run.add_option("--z-range", ra.z_range,
                 "A:B:K: K queries evenly spaced from A to B (default: the table's range "
                 "widened by a tenth on each side, 201 steps)")
      ->excludes(zf)
      ->check(not_empty);
  run.add_option("--input", ra.time.input,
                 "time mode: the input z in time, a CSV with the header time,z (times strictly "
                 "increasing) or a .mat with the vectors time and z; - reads standard input")
      ->excludes(zf)
      ->excludes("--z-range")
      ->check(not_empty);
  run.add_option("--start-time", ra.time.start,
                 "time mode: the first major step's time T0 (default: the first input time)")
      ->check(not_empty);
  run.add_option("--stop-time", ra.time.stop,
                 "time mode: major steps while t_k <= T1 (default: the last input time)")
      ->check(not_empty);
  run.add_option("--step-size", ra.time.step, "time mode: the fixed step H in s (default 0.01)")
      ->check(not_empty);
  run.add_option("--solver", ra.time.solver,
                 "time mode: discrete (default, no minor steps), ode1, ode2, ode3, ode4 or ode5")
      ->check(not_empty);
  run.add_option("--sample-time", ra.time.sample_time,
                 "time mode, --rate discrete: P or P,OFFSET, the block's sample period and "
                 "offset (default: H,0)")
      ->check(not_empty);
  run.add_option("--rate", ra.rate,
                 "the block's sample time: inherited, continuous or discrete (in time mode a "
                 "discrete block steps at its sample hits only)")
      ->check(CLI::IsMember({"inherited", "continuous", "discrete"}))
      ->default_val("inherited");
  run.add_option("--blocks", ra.blocks, "K blocks of the chart, all fed the same inputs")
      ->check(not_empty)
      ->check(decimal)
      ->check(CLI::Range(1, tools::kMaxBlocks))
      ->default_val(1);
  run.add_option("--out", ra.out, "CSV with header step,time,z,y1 (default, or -: standard output)")
      ->check(not_empty);
  run.add_option("--plot", ra.plot,
                 "SVG of y1 against z with the table's points; in time mode of y1 and z against "
                 "time (FILE.svg)")
      ->check(not_empty)
      ->check(CLI::Validator(
          [](std::string& value) {
            std::string end = value.substr(value.size() < 4 ? 0 : value.size() - 4);
            for (char& c : end)
              c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return end == ".svg" ? std::string()
                                 : sfsim::quoted(std::string_view(value)) +
                                       " does not end in .svg: the plot is written as SVG only";
          },
          "FILE.svg", "svg"));
  run.add_option("--save-state", ra.save, "after the last step, block 1's saved state as JSON")
      ->check(not_empty);
  run.add_option("--restore-state", ra.restore,
                 "before the first step, restore a saved state (JSON as --save-state writes)")
      ->check(not_empty);
  run.add_option("--x-var", ra.x_var, "the breakpoints' variable of a .mat table (default x)")
      ->each([&ra](const std::string&) { ra.given.x_var = true; });
  run.add_option("--y-var", ra.y_var, "the values' variable of a .mat table (default y)")
      ->each([&ra](const std::string&) { ra.given.y_var = true; });
  run.add_option("--z-var", ra.z_var, "the queries' variable of a .mat --z file (default z)")
      ->each([&ra](const std::string&) { ra.given.z_var = true; });
  run.add_option("--trace-limit", ra.trace_limit,
                 "the largest trace in bytes; a run whose trace would grow past it stops "
                 "with an error (default 1073741824, 1 GiB; suffixes k, M, G)")
      ->check(not_empty)
      ->transform(CLI::Validator(
          [](std::string& value) {
            std::uint64_t bytes = 0;
            std::string fault = read_byte_count(value, bytes);
            if (!fault.empty()) return sfsim::quoted(std::string_view(value)) + " " + fault;
            value = std::to_string(bytes);
            return std::string();
          },
          "BYTES", "bytes"))
      ->each([&ra](const std::string&) { ra.given.trace_limit = true; });
  run.add_option("--trace", ra.trace,
                 "every host call of the run, one a line: the operation's name, then its "
                 "arguments")
      ->check(not_empty);
  run.add_option("--coverage", ra.coverage,
                 "the coverage report of the run (FILE.json or FILE.html): per block the steps "
                 "begun (a solver's minor steps count as steps), "
                 "the function's calls, the line calls, the errors, each data item's min, max "
                 "and NaN count, and the chart's coverage objects with what was evaluated")
      ->check(not_empty)
      ->check(CLI::Validator(
          [](std::string& value) {
            return tools::coverage::format_of(value) ? std::string()
                                                     : sfsim::quoted(std::string_view(value)) +
                                                           " " + tools::coverage::kFormatFault;
          },
          "FILE.json|FILE.html", "coverage"));
}

// Parses the command line and runs the command it names (the default run without
// one); its usage, input and host errors become messages and the exit status.
int run_command_line(int argc, char** argv) {
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
  // Counts are whole decimal numbers, as in tables (no 0x10, no 1e3, no +2).
  const CLI::Validator decimal(
      [](std::string& value) {
        return is_whole_decimal(value)
                   ? std::string()
                   : sfsim::quoted(std::string_view(value)) + " is not a whole decimal number";
      },
      "", "decimal");
  std::string out_dir = "sfsim-out";
  auto* out_dir_option = app.add_option("--out-dir", out_dir, "folder of the default run's files")
                             ->default_val("sfsim-out")
                             ->check(not_empty);

  bool version = false;
  app.add_flag("--version", version, "print the version and the plug-ins found, then exit");

  RunArgs ra;
  auto* run = app.add_subcommand(
      "run",
      "Simulate K blocks of one chart, in one of two modes.\n"
      "Query mode (--z or --z-range): one major step per query, at time = step * 0.01 s (steps "
      "numbered from 0), no minor steps; the rate changes no result.\n"
      "Time mode (--input FILE, a CSV with the header time,z or a .mat with the vectors time and "
      "z): z is a signal, linear in time between its points and held at its end values outside "
      "them. Major steps at t_k = T0 + k*H (k from 0) while t_k <= T1, T0 and T1 from "
      "--start-time and --stop-time (default: the first and last input times), H from "
      "--step-size (default 0.01). After each major step's outputs call the solver's minor steps "
      "call the outputs at t_k + c*H with the major-time-step indicator 0: discrete and ode1 "
      "none, ode2 c = 1, ode3 1/2, 3/4, ode4 1/2, 1/2, 1, ode5 1/5, 3/10, 4/5, 8/9, 1. A block "
      "of --rate discrete is called only in major steps at its sample hits OFFSET + j*P "
      "(--sample-time P or P,OFFSET; default H, 0; P a whole multiple of H, 0 <= OFFSET < P) and "
      "holds its output between them; inherited and continuous blocks are called at every major "
      "and minor step. One CSV row per major step: z at t_k and y1 after the major step's call. "
      "A bad time setting is refused before any step (exit 2).\n"
      "With --blocks K every block must give the same y1; the CSV rows and the saved state are "
      "those of block 1, a restored state goes to every block.");
  add_run_options(*run, ra, not_empty, decimal);

  std::string commands;
  auto* debug = app.add_subcommand(
      "debug",
      "Run as run does (the same options, both modes) under a chart debugger.\n"
      "--commands FILE reads the debugger's commands from FILE (- standard input), each "
      "echoed after the prompt '" +
          std::string(kDebugPrompt) +
          "'; without it, with a terminal on standard input, the session is interactive, "
          "with line editing and history, and the CSV needs --out FILE. The CSV goes to --out, "
          "or to standard output when there is no --out; the debugger writes to standard output, "
          "or to standard error when the CSV or another file of the run is on standard output "
          "(under any name, such as /dev/stdout). Ctrl-C at the prompt drops the line typed. "
          "When the debugger's output cannot be written, the session ends as quit does and "
          "sfsim exits 2. A run that ends at a host error exits 1 as run does (2 when the "
          "debugger's output failed too; the host error's message is printed either way).\n" +
          kDebugCommandsHelp);
  add_run_options(*debug, ra, not_empty, decimal);
  debug
      ->add_option("--commands", commands, "the debugger's commands, one a line (- standard input)")
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
    std::fprintf(stderr, "sfsim: %s\nRun with --help for more information.\n",
                 parser_message(e.what(), argc, argv).c_str());
    return kExitUserError;
  }

  try {
    if (version) return version_command();
    if ((*run || *debug || *query) && out_dir_option->count() > 0)
      throw UserError("--out-dir is the folder of the default run (without a command); with " +
                      std::string(*run     ? "run, name the files with --out and --plot"
                                  : *debug ? "debug, name the files with --out and --plot"
                                           : "query, the output goes to standard output"));
    if (*run) return run_command(ra);
    if (*debug) return debug_command(ra, commands);
    if (*query) return query_command(q_model, q_plugin, q_args);
    return default_command(out_dir);
  } catch (const UserError& e) {
    std::fprintf(stderr, "sfsim: %s\n", printable(e.what()).c_str());
    return kExitUserError;
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
  // Interrupted, sfsim leaves no scratch file; a closed pipe is a failed write.
  host::os::remove_scratch_on_interrupt();
  int status = 1;
  try {
    status = sfsim::run_command_line(argc, argv);
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
