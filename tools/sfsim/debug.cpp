// sfsim debug: sfsim run with the debugger attached.
#include <cstdio>
#include <memory>
#include <string>

#include "host/os.hpp"
#include "tools/sfsim/commands.hpp"
#include "tools/sfsim/debugger.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/output.hpp"
#include "tools/sfsim/plugins.hpp"

namespace sfsim {

int debug_command(const RunArgs& a, const std::string& commands) {
  // Without a commands file and without a terminal, the commands are read from
  // standard input as from a file.
  const bool interactive = commands.empty() && host::os::stdin_is_terminal();
  const std::string path = commands.empty() ? "-" : commands;
  const bool csv_on_stdout = a.out.empty() || is_standard_stream(a.out);
  if (interactive && csv_on_stdout)
    throw InputError(
        "an interactive session shows the debugger on standard output: give the CSV a file "
        "with --out FILE (or give the commands with --commands FILE)");
  if (!interactive) {
    if (is_standard_stream(path))
      for (const NamedFile& input : {NamedFile{"--table", a.table}, NamedFile{"--z", a.z_file},
                                     NamedFile{"--input", a.time.input}})
        if (is_standard_stream(input.path))
          throw InputError("the commands and " + input.option +
                           " both read standard input (-); give one of them a file");
    check_distinct(
        {{"--commands", path}},
        {{"--out", a.out}, {"--plot", a.plot}, {"--trace", a.trace}, {"--save-state", a.save}});
  }
  // The debugger's own output never mixes with the CSV: it goes to standard error
  // when the CSV is on standard output.
  std::FILE* out = csv_on_stdout ? stderr : stdout;
  std::unique_ptr<CommandSource> source =
      interactive ? terminal_commands() : file_commands(path, out);
  Debugger debugger(*source, out, find_model(a.model).name, a.chart);
  return run_command(a, &debugger);
}

}  // namespace sfsim
