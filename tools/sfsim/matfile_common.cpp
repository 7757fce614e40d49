// What sfsim's MAT-file module does the same with or without matio: telling a
// MAT-file by its name.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tools/sfsim/matfile.hpp"

namespace sfsim::mat {

void fail(const std::string& path, const std::string& what) {
  throw UserError(path + ": " + what);
}

void fail_variable(const std::string& path, const std::string& name, const std::string& what) {
  fail(path, "variable '" + name + "': " + what);
}

bool is_mat_path(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".mat";
}

}  // namespace sfsim::mat
