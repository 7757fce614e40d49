#include "tools/sfsim/plugins.hpp"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "host/mex_host.hpp"
#include "host/os.hpp"
#include "platform/mx.h"
#include "tools/sfsim/inputs.hpp"

namespace sfsim {
namespace fs = std::filesystem;

const std::vector<ModelInfo>& models() {
  return models::catalogue();
}

std::string model_names(const char* last, bool deliverables) {
  std::string text;
  const auto& all = models();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i > 0) text += i + 1 == all.size() ? last : ", ";
    text += deliverables ? all[i].deliverable : all[i].name;
  }
  return text;
}

std::string chart_ranges() {
  std::string text;
  for (const auto& m : models())
    text += (text.empty() ? "" : ", ") + m.name + " 1.." + std::to_string(m.chart_count());
  return text;
}

int chart_index(const ModelInfo& model, int chart) {
  int before = 0;
  for (const auto& m : models()) {
    if (&m == &model) break;
    before += m.chart_count();
  }
  return before + chart;
}

const ModelInfo& find_model(const std::string& name) {
  std::string known;
  for (const auto& m : models()) {
    if (m.name == name) return m;
    known += (known.empty() ? "" : ", ") + m.name;
  }
  throw UserError("unknown model '" + name + "' (known: " + known + ")");
}

int table_length(const ModelInfo& model, int chart) {
  if (chart < 1 || chart > model.chart_count())
    throw UserError("model " + model.name + " has no chart " + std::to_string(chart) +
                    " (its charts are 1.." + std::to_string(model.chart_count()) + ")");
  return model.charts[chart - 1].table_length;
}

std::string plugin_path(const ModelInfo& model, const std::string& given) {
  // The engine loads the file named, never one the loader searches for.
  if (!given.empty()) return given;
  const std::string& file = model.file;
  std::error_code ec;
  const fs::path self = host::os::executable_path();
  std::vector<fs::path> candidates;
  if (!self.empty()) {
    candidates.push_back(self.parent_path() / file);
    candidates.push_back(self.parent_path() / ".." / "lib" / file);
  }
  for (const auto& c : candidates)
    if (fs::is_regular_file(c, ec)) return c.lexically_normal().string();
  std::string tried;
  for (const auto& c : candidates)
    tried += (tried.empty() ? " " : ", ") + c.lexically_normal().string();
  throw UserError("no plug-in for model " + model.name +
                  " found (give it with --plugin); tried:" + tried);
}

host::engine::Plugin& load_plugin(host::engine::Engine& engine, const std::string& path,
                                  const ModelInfo& model) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw UserError(path + ": is a folder, not a plug-in");
  if (!fs::is_regular_file(path, ec))
    throw UserError(path + ": cannot open the plug-in (no such file)");
  if (!host::os::is_library_file(path))
    throw UserError(path + ": not a plug-in (not a shared library)");
  host::engine::Plugin* plugin = nullptr;
  try {
    plugin = &engine.load(path, model.name);
  } catch (const std::runtime_error& e) {
    throw UserError(path + ": cannot load the plug-in: " + e.what());
  }
  // Which model the file holds: its answer to sf_get_check_sum.
  std::array<std::uint32_t, 4> words{};
  bool answered = false;
  try {
    host::engine::MxPtr command(mxCreateString("sf_get_check_sum"));
    auto out = plugin->call_matlab(1, {command.get()});
    const mxArray* sum = out.empty() ? nullptr : out[0].get();
    if (sum && mxIsDouble(sum) && mxGetNumberOfElements(sum) == 4) {
      // Checksum words are whole numbers of 32 bits; any other answer is none.
      answered = true;
      for (int i = 0; i < 4; ++i) {
        const double w = mxGetPr(sum)[i];
        if (!(w >= 0.0 && w < 4294967296.0 && w == std::floor(w))) answered = false;
        if (answered) words[i] = static_cast<std::uint32_t>(w);
      }
    }
  } catch (const host::HostError&) {
  }
  if (answered && words == model.checksum) return *plugin;
  for (const auto& other : models()) {
    if (answered && words == other.checksum)
      throw UserError(path + ": holds the plug-in of model " + other.name + ", not " + model.name);
  }
  throw UserError(path + ": not a plug-in of " + model_names(" or ") +
                  " (it does not answer their checksum)");
}

}  // namespace sfsim
