// sfsim query: one MATLAB-level call of a plug-in, its first output as JSON.
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
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/mxjson.hpp"
#include "tools/sfsim/plugins.hpp"
#include "tools/sfsim/simulate.hpp"
#include "tools/sfsim/svg.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

using host::engine::Engine;
using host::engine::MxPtr;

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
        throw UserError("argument " + quoted(std::string_view(arg)) + ": " +
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

}  // namespace sfsim
