// What sfsim's MAT-file module does the same with or without matio: telling a
// MAT-file by its name, and collecting the result columns.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tools/sfsim/matfile.hpp"

namespace sfsim::mat {

bool is_mat_path(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".mat";
}

void ResultColumns::add(std::int64_t step, double time, double z, double y1) {
  step_.push_back(static_cast<double>(step));
  time_.push_back(time);
  z_.push_back(z);
  y1_.push_back(y1);
}

}  // namespace sfsim::mat
