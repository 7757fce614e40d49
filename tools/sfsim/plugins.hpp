// The two models sfsim knows, their charts, and where their plug-ins are found.
#pragma once

#include <string>
#include <vector>

#include "host/engine.hpp"

namespace sfsim {

struct ModelInfo {
  std::string name;               // "Harnvale"
  std::vector<int> table_length;  // N of chart 1, 2, ...
  int chart_count() const { return static_cast<int>(table_length.size()); }
};

const std::vector<ModelInfo>& models();

// The model of that name; InputError for any other.
const ModelInfo& find_model(const std::string& name);

// Table length of a chart; InputError for a chart the model does not have.
int table_length(const ModelInfo& model, int chart);

// The plug-in file of a model: `given` when not empty, else <Model>_sfun beside the
// sfsim program, in ../lib from it, or in the build tree it was built in.
std::string plugin_path(const ModelInfo& model, const std::string& given);

// Loads the plug-in; InputError when the file is missing or cannot be loaded.
host::engine::Plugin& load_plugin(host::engine::Engine& engine, const std::string& path);

}  // namespace sfsim
