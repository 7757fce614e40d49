#include "tools/sfsim/plugins.hpp"

#include <filesystem>
#include <system_error>

#include "host/os.hpp"
#include "models/harnvale/catalogue.hpp"
#include "models/quimbrel/catalogue.hpp"
#include "tools/sfsim/inputs.hpp"

namespace sfsim {
namespace fs = std::filesystem;

const std::vector<ModelInfo>& models() {
  static const std::vector<ModelInfo> all = {
      {harnvale::Model::name,
       {harnvale::C1::column.N, harnvale::C2::column.N, harnvale::C3::column.N}},
      {quimbrel::Model::name, {quimbrel::C1::column.N, quimbrel::C2::column.N}},
  };
  return all;
}

const ModelInfo& find_model(const std::string& name) {
  for (const auto& m : models())
    if (m.name == name) return m;
  throw InputError("unknown model '" + name + "' (known: Harnvale, Quimbrel)");
}

int table_length(const ModelInfo& model, int chart) {
  if (chart < 1 || chart > model.chart_count())
    throw InputError("model " + model.name + " has no chart " + std::to_string(chart) +
                     " (its charts are 1.." + std::to_string(model.chart_count()) + ")");
  return model.table_length[chart - 1];
}

std::string plugin_path(const ModelInfo& model, const std::string& given) {
  if (!given.empty()) return given;
  const std::string file = model.name == "Harnvale" ? SFSIM_HARNVALE_FILE : SFSIM_QUIMBREL_FILE;
  std::error_code ec;
  const fs::path self = host::os::executable_path();
  std::vector<fs::path> candidates;
  if (!self.empty()) {
    candidates.push_back(self.parent_path() / file);
    candidates.push_back(self.parent_path() / ".." / "lib" / file);
  }
  candidates.push_back(fs::path(SFSIM_BUILD_LIB_DIR) / file);
  for (const auto& c : candidates)
    if (fs::is_regular_file(c, ec)) return c.lexically_normal().string();
  std::string tried;
  for (const auto& c : candidates)
    tried += "\n  " + c.lexically_normal().string();
  throw InputError("no plug-in for model " + model.name +
                   " found (give it with --plugin); tried:" + tried);
}

host::engine::Plugin& load_plugin(host::engine::Engine& engine, const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec))
    throw InputError(path + ": cannot open the plug-in (no such file)");
  try {
    return engine.load(path);
  } catch (const std::runtime_error& e) {
    throw InputError(path + ": cannot load the plug-in: " + e.what());
  }
}

}  // namespace sfsim
