// MAT-files (MATLAB's level 5 format, as `save -v6` and `save -v7` write them)
// for sfsim's tables, queries, results and saved states. They are read with matio
// after their structure has been checked here, and written here. Every fault is an
// UserError naming the file and, where one is at fault, the variable: a missing
// variable, a wrong class or size, a complex or sparse value, data that does not
// fill what its dimensions claim, a truncated or corrupt file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/engine.hpp"
#include "tools/driver/driver.hpp"
#include "tools/output/output.hpp"
#include "tools/sfsim/inputs.hpp"

namespace sfsim::mat {

// The UserError of a MAT-file's fault: "<path>: <what>", and with the variable
// "<path>: variable '<name>': <what>".
[[noreturn]] void fail(const std::string& path, const std::string& what);
[[noreturn]] void fail_variable(const std::string& path, const std::string& name,
                                const std::string& what);

// True for a path whose extension is ".mat" (any case).
bool is_mat_path(const std::string& path);

// A real double vector (1xN or Nx1, N >= 0) of that name.
std::vector<double> read_vector(const std::string& path, const std::string& name);

// The same vector as the queries of a run; it must hold at least one.
std::unique_ptr<Queries> read_queries(const std::string& path, const std::string& name);

// The input of a run in time: the vectors `time` and `z` of one length, at least
// one point, times finite and strictly increasing.
tools::driver::Signal read_signal(const std::string& path);

// The table's breakpoints and values: two real double vectors of exactly `rows`
// elements each. `what` says who needs that many ("chart 2 of Quimbrel").
Table read_table(const std::string& path, const std::string& x_name, const std::string& y_name,
                 std::size_t rows, const std::string& what);

// The most rows a result may have: each column is one variable, whose size the
// format keeps in 32 bits.
inline constexpr std::int64_t kMaxResultRows = (0xffffffffll - 56) / 8;

// The result of a run, one row per completed step, written as the column vectors
// step, time, z and y1 (all double). The rows go to a scratch file beside the
// result's place as they come, so that memory does not grow with them; the file is
// removed on destruction.
class ResultColumns {
 public:
  // UserError when `expected_rows` is more than a MAT-file holds or the scratch
  // file cannot be made.
  ResultColumns(const std::string& path, std::int64_t expected_rows);
  ~ResultColumns();
  ResultColumns(const ResultColumns&) = delete;
  ResultColumns& operator=(const ResultColumns&) = delete;

  // Allocates nothing. A failed write is kept (failed()) and reported by write().
  void add(std::int64_t step, double time, double z, double y1);
  bool failed() const { return failed_; }
  // The MAT-file's bytes into `out` (an output file of sfsim's, which checks its
  // own writes); UserError when the rows could not all be kept.
  void write(std::ostream& out);

 private:
  bool flush_rows();

  std::string path_;
  Scratch scratch_;  // removed with this, and when sfsim is interrupted
  std::FILE* file_ = nullptr;
  std::vector<double> buffer_;  // rows not yet written, four values each
  std::size_t buffered_ = 0;
  std::int64_t rows_ = 0;
  bool failed_ = false;
};

// A saved state: any value of the host (struct, cell, char row, numeric matrix,
// logical scalar) as the MATLAB value of that name.
void write_value(std::ostream& out, const std::string& name, const mxArray* value);
// A new host value (owned by the caller) read from that variable.
host::engine::MxPtr read_value(const std::string& path, const std::string& name);
// A saved state: the variable kStateVariable, which must be a 1x1 struct.
host::engine::MxPtr read_state(const std::string& path);

// The variable name of a saved state in a MAT-file.
inline constexpr const char* kStateVariable = "state";

}  // namespace sfsim::mat
