// MAT-files in a build without matio: the extension is still recognised, and
// every MAT-file named is refused with a clear error rather than read as CSV.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tools/sfsim/matfile.hpp"

namespace sfsim::mat {
namespace {

[[noreturn]] void unavailable(const std::string& path) {
  throw InputError(path + ": this sfsim was built without MAT-file support (matio)");
}

}  // namespace

bool is_mat_path(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".mat";
}

std::vector<double> read_vector(const std::string& path, const std::string&) {
  unavailable(path);
}

std::unique_ptr<Queries> read_queries(const std::string& path, const std::string&) {
  unavailable(path);
}

Table read_table(const std::string& path, const std::string&, const std::string&, std::size_t,
                 const std::string&) {
  unavailable(path);
}

void ResultColumns::add(std::int64_t step, double time, double z, double y1) {
  step_.push_back(static_cast<double>(step));
  time_.push_back(time);
  z_.push_back(z);
  y1_.push_back(y1);
}

void ResultColumns::write(std::ostream&) const {
  unavailable("the result");
}

void write_value(std::ostream&, const std::string& name, const mxArray*) {
  unavailable(name);
}

host::engine::MxPtr read_value(const std::string& path, const std::string&) {
  unavailable(path);
}

}  // namespace sfsim::mat
