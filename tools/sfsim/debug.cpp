// sfsim debug: sfsim run with the debugger attached.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/os.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/commands.hpp"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/plugins.hpp"

namespace sfsim {
namespace {

// The first of the run's outputs that writes to standard stream `fd` (1 or 2),
// under any name: "-" or no --out for the CSV on standard output, /dev/stdout,
// /proc/self/fd/1, or the file the shell redirected the stream to. Null when none.
const NamedFile* output_on(const std::vector<NamedFile>& outputs, int fd) {
  for (const NamedFile& f : outputs) {
    const bool csv = f.option == "--out";
    if (f.path.empty()               ? csv && fd == 1
        : is_standard_stream(f.path) ? fd == 1
                                     : host::os::standard_stream_of(f.path) == fd)
      return &f;
  }
  return nullptr;
}

}  // namespace

int debug_command(const RunArgs& a, const std::string& commands) {
  // Without a commands file and without a terminal, the commands are read from
  // standard input as from a file.
  const bool interactive = commands.empty() && host::os::stdin_is_terminal();
  const std::string path = commands.empty() ? "-" : commands;
  const std::vector<NamedFile> outputs = {{"--out", a.out},
                                          {"--plot", a.plot},
                                          {"--trace", a.trace},
                                          {"--save-state", a.save},
                                          {"--coverage", a.coverage}};
  const NamedFile* on_stdout = output_on(outputs, 1);
  if (interactive && on_stdout) {
    if (on_stdout->option == "--out")
      throw UserError(
          "an interactive session shows the debugger on standard output: give the CSV a file "
          "with --out FILE (or give the commands with --commands FILE)");
    throw UserError("an interactive session shows the debugger on standard output: give " +
                    on_stdout->option + " a file other than standard output");
  }
  if (!interactive) {
    if (is_standard_stream(path))
      for (const NamedFile& input : {NamedFile{"--table", a.table}, NamedFile{"--z", a.z_file},
                                     NamedFile{"--input", a.time.input}})
        if (is_standard_stream(input.path))
          throw UserError("the commands and " + input.option +
                          " both read standard input (-); give one of them a file");
    check_distinct({{"--commands", path}}, outputs);
    if (on_stdout) {
      if (const NamedFile* on_stderr = output_on(outputs, 2))
        throw UserError(on_stdout->option + " writes to standard output and " + on_stderr->option +
                        " to standard error: the debugger's own output needs one of them");
    }
  }
  // The debugger's own output never mixes with the run's files: it goes to standard
  // error when one of them is on standard output.
  std::FILE* out = on_stdout ? stderr : stdout;
  std::unique_ptr<CommandSource> source =
      interactive ? terminal_commands() : file_commands(path, out);
  Debugger debugger(*source, out, find_model(a.model).name, a.chart);
  return run_command(a, &debugger);
}

}  // namespace sfsim
