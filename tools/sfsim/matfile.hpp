// MAT-files (MATLAB's level 5 format, as `save -v6` and `save -v7` write them)
// for sfsim's tables, queries, results and saved states, read and written with
// matio. Every fault is an InputError naming the file and, where one is at fault,
// the variable: a missing variable, a wrong class or size, a complex or sparse
// value, a truncated or corrupt file.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/engine.hpp"
#include "tools/sfsim/inputs.hpp"

namespace sfsim::mat {

// True for a path whose extension is ".mat" (any case).
bool is_mat_path(const std::string& path);

// A real double vector (1xN or Nx1, N >= 0) of that name.
std::vector<double> read_vector(const std::string& path, const std::string& name);

// The same vector as the queries of a run.
std::unique_ptr<Queries> read_queries(const std::string& path, const std::string& name);

// The table's breakpoints and values: two real double vectors of exactly `rows`
// elements each. `what` says who needs that many ("chart 2 of Quimbrel").
Table read_table(const std::string& path, const std::string& x_name, const std::string& y_name,
                 std::size_t rows, const std::string& what);

// The result of a run, one row per completed step, written as the column
// vectors step, time, z and y1 (all double).
class ResultColumns {
 public:
  void add(std::int64_t step, double time, double z, double y1);
  std::size_t rows() const { return step_.size(); }
  // The MAT-file's bytes into `out` (an output file of sfsim's).
  void write(std::ostream& out) const;

 private:
  std::vector<double> step_, time_, z_, y1_;
};

// A saved state: any value of the host (struct, cell, char row, numeric matrix,
// logical scalar) as the MATLAB value of that name.
void write_value(std::ostream& out, const std::string& name, const mxArray* value);
// A new host value (owned by the caller) read from that variable.
host::engine::MxPtr read_value(const std::string& path, const std::string& name);

// The variable name of a saved state in a MAT-file.
inline constexpr const char* kStateVariable = "state";

}  // namespace sfsim::mat
