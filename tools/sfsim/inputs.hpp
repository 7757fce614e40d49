// The user's input files and values: tables, query lists and query ranges. Every
// fault is an InputError whose message names the file, the line and the fault.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace sfsim {

// A usage or input error (exit status 2).
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Table {
  std::vector<double> x, y;
};

// A CSV file of columns x,y, one row per breakpoint and exactly `rows` rows; a first
// row that is not numeric is a header. `what` describes who needs that many rows.
Table read_table(const std::string& path, std::size_t rows, const std::string& what);

// One query per line; blank lines are skipped.
std::vector<double> read_queries(const std::string& path);

// "A:B:K": K queries evenly spaced from A to B (the last one is B exactly).
std::vector<double> parse_range(const std::string& spec);
std::vector<double> spaced(double a, double b, long k);

// The default queries: the table's range widened by a tenth on each side, 201 steps.
std::vector<double> default_queries(const Table& table);

}  // namespace sfsim
