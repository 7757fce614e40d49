#include "tools/sfsim/formats.hpp"

#include <charconv>

#include "tools/sfsim/mxjson.hpp"
#include "tools/sfsim/signal.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim::formats {

bool is_mat(const std::string& path) {
  return mat::is_mat_path(path);
}

Table read_table(const std::string& path, const Variables& vars, std::size_t rows,
                 const std::string& what) {
  return mat::is_mat_path(path) ? mat::read_table(path, vars.x, vars.y, rows, what)
                                : sfsim::read_table(path, rows, what);
}

std::unique_ptr<Queries> read_queries(const std::string& path, const Variables& vars) {
  return mat::is_mat_path(path) ? mat::read_queries(path, vars.z) : query_file(path);
}

tools::driver::Signal read_signal(const std::string& path) {
  return mat::is_mat_path(path) ? mat::read_signal(path) : sfsim::read_signal(path);
}

host::engine::MxPtr read_state(const std::string& path) {
  return mat::is_mat_path(path) ? mat::read_state(path) : from_json(read_json_file(path), path);
}

void write_state(std::ostream& out, const std::string& path, const mxArray* state) {
  if (mat::is_mat_path(path))
    mat::write_value(out, mat::kStateVariable, state);
  else
    out << dump(to_json(state)) << "\n";
}

void write_row(std::ostream& out, const Row& r) {
  char line[24 + 3 * (kNumberChars + 1)];
  char* end = std::to_chars(line, line + 24, r.step).ptr;
  for (double v : {r.time, r.z, r.y1}) {
    *end++ = ',';
    end += format_number_to(end, v);
  }
  *end++ = '\n';
  out.write(line, end - line);
}

Results::Results(TextOutput& out, const std::string& path, std::int64_t rows) : out_(out) {
  if (mat::is_mat_path(path)) columns_.emplace(path, rows);
}

void Results::add(const Row& r) {
  if (columns_) {
    columns_->add(r.step, r.time, r.z, r.y1);
    return;
  }
  if (!header_) out_.stream() << kCsvHeader;
  header_ = true;
  write_row(out_.stream(), r);
}

bool Results::good() {
  return out_.good() && !(columns_ && columns_->failed());
}

void Results::finish() {
  if (columns_) {
    columns_->write(out_.stream());
  } else if (!header_) {
    out_.stream() << kCsvHeader;
    header_ = true;
  }
}

}  // namespace sfsim::formats
