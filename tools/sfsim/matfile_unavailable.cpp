// MAT-files in a build without matio: the extension is still recognised, and
// every MAT-file named is refused with a clear error rather than read as CSV.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tools/sfsim/matfile.hpp"

namespace sfsim::mat {
namespace {

[[noreturn]] void unavailable(const std::string& path) {
  throw UserError(path + ": this sfsim was built without MAT-file support (matio)");
}

}  // namespace

std::vector<double> read_vector(const std::string& path, const std::string&) {
  unavailable(path);
}

std::unique_ptr<Queries> read_queries(const std::string& path, const std::string&) {
  unavailable(path);
}

tools::driver::Signal read_signal(const std::string& path) {
  unavailable(path);
}

Table read_table(const std::string& path, const std::string&, const std::string&, std::size_t,
                 const std::string&) {
  unavailable(path);
}

ResultColumns::ResultColumns(const std::string& path, std::int64_t) {
  unavailable(path);
}
ResultColumns::~ResultColumns() = default;
void ResultColumns::add(std::int64_t, double, double, double) {}
void ResultColumns::write(std::ostream&) {
  unavailable(path_);
}

void write_value(std::ostream&, const std::string& name, const mxArray*) {
  unavailable(name);
}

host::engine::MxPtr read_value(const std::string& path, const std::string&) {
  unavailable(path);
}

host::engine::MxPtr read_state(const std::string& path) {
  unavailable(path);
}

}  // namespace sfsim::mat
