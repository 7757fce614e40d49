#include "tools/sfsim/version.hpp"

#include <string>

#include "host/engine.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/plugins.hpp"

#ifndef SF_VERSION
#error "SF_VERSION (the project's version) is set by the build"
#endif

namespace sfsim {

bool print_version(std::ostream& out) {
  out << "sfsim " << SF_VERSION << '\n';
  bool all = true;
  host::engine::Engine engine;
  for (const auto& model : models()) {
    out << model.deliverable << ": ";
    try {
      const std::string path = plugin_path(model, "");
      load_plugin(engine, path, model);
      out << path << ", model " << model.name << ", checksum";
      for (auto word : model.checksum)
        out << ' ' << word;
      out << '\n';
    } catch (const UserError& e) {
      out << "not usable: " << e.what() << '\n';
      all = false;
    }
  }
  return all;
}

}  // namespace sfsim
