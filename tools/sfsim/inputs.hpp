// The user's input files and values: tables, query lists and query ranges. Every
// fault is a UserError whose message names the file, the line and the fault.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/output/user_error.hpp"

namespace sfsim {

// Limits on what sfsim reads: a line of a table or query file, a whole table file,
// and a run of bytes without a query in a query file.
inline constexpr std::size_t kMaxLine = 4096;
inline constexpr std::uint64_t kMaxTableBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxBytesWithoutQuery = 1ull << 20;

// An input file opened for reading; UserError for a folder or a file that cannot
// be opened.
std::ifstream open_input(const std::string& path);

// How messages name an input: the path, or "standard input" for "-".
std::string input_name(const std::string& path);

// The lines of a text file, one at a time, without their line ends; a UTF-8 byte
// order mark before the first line is skipped; "-" reads standard input. UserError
// for a line longer than kMaxLine, for a file that goes on past `max_bytes`, and for
// a read error.
class LineReader {
 public:
  LineReader(const std::string& path, std::uint64_t max_bytes);
  // The next line; false at the end of the file.
  bool next(std::string_view& line);
  std::size_t line_number() const { return line_; }
  std::uint64_t bytes() const { return bytes_; }
  // The file's name in messages (input_name).
  const std::string& name() const { return path_; }

 private:
  std::string path_;
  std::ifstream file_;
  std::istream* in_;
  std::string text_;
  std::uint64_t max_bytes_, bytes_ = 0;
  std::size_t line_ = 0;
  bool first_ = true;
};

struct Table {
  std::vector<double> x, y;
};

// A CSV file of columns x,y, one row per breakpoint and exactly `rows` rows; a first
// row that is not numeric is a header. `what` describes who needs that many rows.
Table read_table(const std::string& path, std::size_t rows, const std::string& what);

// Where the queries of a run come from, one at a time, so that a run of any length
// holds only the query at hand.
class Queries {
 public:
  virtual ~Queries() = default;
  // The next query; false when there are no more.
  virtual bool next(double& z) = 0;
  // How many queries there are in all.
  virtual std::int64_t count() const = 0;
};

// A file of queries, one per line; blank lines are skipped. The whole file is read
// once when this is made, so that a fault anywhere in it is found before the run.
std::unique_ptr<Queries> query_file(const std::string& path);

// K queries evenly spaced from A to B; the last one is B exactly.
struct Range {
  double a = 0, b = 0;
  std::int64_t k = 1;
  double at(std::int64_t i) const;
};
// The most queries a range may ask for: step numbers stay exact as doubles.
inline constexpr std::int64_t kMaxQueries = std::int64_t{1} << 53;
// "A:B:K"; UserError naming what is wrong.
Range parse_range_spec(const std::string& spec);
std::unique_ptr<Queries> range_queries(const Range& range);

// Every query of a range, in a vector (for short lists).
std::vector<double> parse_range(const std::string& spec);
std::vector<double> spaced(double a, double b, std::int64_t k);

// The default queries: the table's range widened by a tenth on each side, 201 steps.
Range default_range(const Table& table);
std::vector<double> default_queries(const Table& table);

}  // namespace sfsim
