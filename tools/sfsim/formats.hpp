// sfsim's files by what they hold, each read or written in the format its name's
// extension picks, decided here only: a name ending in .mat (any case) is a
// MAT-file, any other name text (CSV for tables, inputs and results, one number a
// line for queries, JSON for saved states).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "host/engine.hpp"
#include "tools/driver/driver.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/matfile.hpp"
#include "tools/sfsim/simulate.hpp"

namespace sfsim::formats {

// The variables of a MAT-file's table and queries.
struct Variables {
  std::string x = "x", y = "y", z = "z";
};

// The file is a MAT-file (its variables are named by Variables).
bool is_mat(const std::string& path);

Table read_table(const std::string& path, const Variables& vars, std::size_t rows,
                 const std::string& what);
std::unique_ptr<Queries> read_queries(const std::string& path, const Variables& vars);
tools::driver::Signal read_signal(const std::string& path);
host::engine::MxPtr read_state(const std::string& path);
void write_state(std::ostream& out, const std::string& path, const mxArray* state);

// One CSV row "step,time,z,y1" (allocates nothing).
void write_row(std::ostream& out, const Row& row);
inline constexpr const char* kCsvHeader = "step,time,z,y1\n";

// The rows of a run into its result file: CSV rows as they come, or a MAT-file's
// columns, kept in a scratch file and written by finish().
class Results {
 public:
  // `rows`: how many the run makes at most (a MAT-file refuses more than it holds).
  Results(TextOutput& out, const std::string& path, std::int64_t rows);
  void add(const Row& row);  // allocates nothing
  // Nothing has failed so far.
  bool good();
  // The header of a CSV without rows, or the MAT-file's bytes.
  void finish();

 private:
  TextOutput& out_;
  std::optional<mat::ResultColumns> columns_;
  bool header_ = false;
};

}  // namespace sfsim::formats
