// Inside of the stand-in MEX layer: the state shared by its units.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "host/mex_host.hpp"
#include "host/mx_host.hpp"

namespace host::mex::detail {

struct Frame {
  PluginId plugin;
  host::mx::ScopeId scope;
};

struct State {
  std::vector<Frame> frames;  // innermost last
  std::unordered_map<PluginId, int> locks;
  std::unordered_map<std::string, Function> functions;
  std::vector<Dialog> dialogs;
  bool error_returns = false;
};

State& state();

// Text of a character-array argument of a MATLAB-level function, or a host error
// naming the function and the argument.
std::string text_argument(const char* function, const mxArray* a, int position);

}  // namespace host::mex::detail
