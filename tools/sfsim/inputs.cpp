#include "tools/sfsim/inputs.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <system_error>

#include "tools/text/numbers.hpp"

namespace sfsim {
namespace {

std::string at(const std::string& path, std::size_t line) {
  return path + ":" + std::to_string(line) + ": ";
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    auto comma = line.find(',', start);
    fields.push_back(trim(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

class FileQueries : public Queries {
 public:
  explicit FileQueries(const std::string& path) : path_(input_name(path)) {
    // First pass: every line is a query or blank, and there is at least one. A file
    // that cannot be read twice (a pipe, a device) is read once, within a limit, and
    // its queries kept.
    std::error_code ec;
    const bool regular = path != "-" && std::filesystem::is_regular_file(path, ec);
    LineReader check(path, regular ? std::numeric_limits<std::uint64_t>::max() : kMaxTableBytes);
    std::uint64_t since_query = 0;
    for (std::string_view text; check.next(text);) {
      std::string_view content = trim(text);
      if (content.empty()) {
        since_query += text.size() + 1;
        if (since_query > kMaxBytesWithoutQuery)
          throw UserError(at(path_, check.line_number()) + "more than " +
                          std::to_string(kMaxBytesWithoutQuery) + " bytes without a query");
        continue;
      }
      since_query = 0;
      auto number = parse_number(content);
      if (!number)
        throw UserError(at(path_, check.line_number()) + quoted(content) + " " +
                        number_fault(content));
      if (!regular) kept_.push_back(*number);
      ++count_;
    }
    if (count_ == 0) throw UserError(path_ + ": the file holds no query");
    if (regular) reader_ = std::make_unique<LineReader>(path, check.bytes());
  }
  bool next(double& z) override {
    if (!reader_) {
      if (read_ == count_) return false;
      z = kept_[static_cast<std::size_t>(read_++)];
      return true;
    }
    for (std::string_view text; reader_->next(text);) {
      std::string_view content = trim(text);
      if (content.empty()) continue;
      auto number = parse_number(content);
      if (!number || read_ == count_)
        throw UserError(at(path_, reader_->line_number()) + "the file changed during the run");
      ++read_;
      z = *number;
      return true;
    }
    if (read_ != count_) throw UserError(path_ + ": the file changed during the run");
    return false;
  }
  std::int64_t count() const override { return count_; }

 private:
  std::string path_;
  std::unique_ptr<LineReader> reader_;
  std::vector<double> kept_;
  std::int64_t count_ = 0, read_ = 0;
};

class RangeQueries : public Queries {
 public:
  explicit RangeQueries(const Range& r) : range_(r) {}
  bool next(double& z) override {
    if (i_ >= range_.k) return false;
    z = range_.at(i_++);
    return true;
  }
  std::int64_t count() const override { return range_.k; }

 private:
  Range range_;
  std::int64_t i_ = 0;
};

}  // namespace

std::ifstream open_input(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw UserError(path + ": is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UserError(path + ": cannot open the file (missing or unreadable)");
  return in;
}

std::string input_name(const std::string& path) {
  return path == "-" ? std::string("standard input") : path;
}

LineReader::LineReader(const std::string& path, std::uint64_t max_bytes)
    : path_(input_name(path)),
      file_(path == "-" ? std::ifstream() : open_input(path)),
      in_(path == "-" ? static_cast<std::istream*>(&std::cin) : &file_),
      max_bytes_(max_bytes) {}

bool LineReader::next(std::string_view& line) {
  std::streambuf* buf = in_->rdbuf();
  text_.clear();
  bool any = false;
  for (;;) {
    int c;
    try {
      c = buf->sbumpc();
    } catch (...) {
      throw UserError(path_ + ": read error");
    }
    if (c == std::char_traits<char>::eof()) break;
    any = true;
    if (++bytes_ > max_bytes_)
      throw UserError(path_ + ": the file is larger than " + std::to_string(max_bytes_) + " bytes");
    if (c == '\n') break;
    if (text_.size() == kMaxLine)
      throw UserError(at(path_, line_ + 1) + "the line is longer than " + std::to_string(kMaxLine) +
                      " bytes");
    text_ += static_cast<char>(c);
  }
  if (!any) return false;
  ++line_;
  line = text_;
  if (first_) {
    first_ = false;
    if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  }
  return true;
}

Table read_table(const std::string& path, std::size_t rows, const std::string& what) {
  LineReader in(path, kMaxTableBytes);
  const std::string& name = in.name();
  Table table;
  table.x.reserve(rows);
  table.y.reserve(rows);
  std::size_t last_row_line = 0;
  bool first_content = true;
  for (std::string_view text; in.next(text);) {
    const std::size_t line = in.line_number();
    std::string_view content = trim(text);
    if (content.empty()) continue;
    auto fields = split_fields(content);
    if (first_content) {
      first_content = false;
      if (!parse_number(fields[0])) {
        // A first cell that is a number too large for a double is a fault, not a
        // header.
        if (read_number(fields[0]).kind != NumberText::NotANumber)
          throw UserError(at(name, line) + "column x: " + quoted(fields[0]) + " " +
                          number_fault(fields[0]));
        continue;
      }
    }
    if (fields.size() != 2)
      throw UserError(at(name, line) + "expected 2 columns (x,y), found " +
                      std::to_string(fields.size()));
    static const char* names[2] = {"x", "y"};
    double v[2];
    for (int c = 0; c < 2; ++c) {
      auto number = parse_number(fields[c]);
      if (!number)
        throw UserError(at(name, line) + "column " + names[c] + ": " + quoted(fields[c]) + " " +
                        number_fault(fields[c]));
      v[c] = *number;
    }
    if (table.x.size() == rows)
      throw UserError(at(name, line) + "row " + std::to_string(rows + 1) + " is one too many: " +
                      what + " needs exactly " + std::to_string(rows) + " rows");
    table.x.push_back(v[0]);
    table.y.push_back(v[1]);
    last_row_line = line;
  }
  if (in.line_number() == 0)
    throw UserError(name + ": the file is empty: " + what + " needs exactly " +
                    std::to_string(rows) + " rows");
  if (table.x.size() != rows)
    throw UserError(at(name, std::max(last_row_line, in.line_number())) + "the table has " +
                    std::to_string(table.x.size()) + " rows, but " + what + " needs exactly " +
                    std::to_string(rows) + " rows");
  return table;
}

std::unique_ptr<Queries> query_file(const std::string& path) {
  return std::make_unique<FileQueries>(path);
}

double Range::at(std::int64_t i) const {
  if (i == k - 1 && k > 1) return b;
  const double t = static_cast<double>(i) / static_cast<double>(k - 1 ? k - 1 : 1);
  const double span = b - a;
  // Ends so far apart that their distance is no double: interpolate between them.
  if (!std::isfinite(span)) return a * (1 - t) + b * t;
  return a + span * t;
}

Range parse_range_spec(const std::string& spec) {
  std::string_view s = spec;
  auto c1 = s.find(':');
  auto c2 = c1 == std::string_view::npos ? c1 : s.find(':', c1 + 1);
  const std::string where = "--z-range " + quoted(std::string_view(spec)) + ": ";
  if (c2 == std::string_view::npos || s.find(':', c2 + 1) != std::string_view::npos)
    throw UserError(where + "expected A:B:K");
  auto end = [&](std::string_view text, const char* name) {
    ReadNumber r = read_number(text);
    if (r.kind == NumberText::OutOfRange) throw UserError(where + name + " " + number_fault(text));
    if (r.kind != NumberText::Number || !std::isfinite(r.value))
      throw UserError(where + name + " is not a finite number");
    return r.value;
  };
  Range r;
  r.a = end(s.substr(0, c1), "A");
  r.b = end(s.substr(c1 + 1, c2 - c1 - 1), "B");
  auto kt = trim(s.substr(c2 + 1));
  const bool digits =
      !kt.empty() && std::all_of(kt.begin(), kt.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) throw UserError(where + "K is not a whole number of at least 1");
  std::int64_t k = 0;
  for (char c : kt) {
    if (k > kMaxQueries / 10) {
      k = kMaxQueries + 1;
      break;
    }
    k = 10 * k + (c - '0');
  }
  if (k < 1) throw UserError(where + "K is not a whole number of at least 1");
  if (k > kMaxQueries)
    throw UserError(where + "K is too large (at most " + std::to_string(kMaxQueries) + ")");
  r.k = k;
  return r;
}

std::unique_ptr<Queries> range_queries(const Range& range) {
  return std::make_unique<RangeQueries>(range);
}

std::vector<double> spaced(double a, double b, std::int64_t k) {
  Range r{a, b, k};
  std::vector<double> z(static_cast<std::size_t>(k));
  for (std::int64_t i = 0; i < k; ++i)
    z[static_cast<std::size_t>(i)] = r.at(i);
  return z;
}

std::vector<double> parse_range(const std::string& spec) {
  Range r = parse_range_spec(spec);
  return spaced(r.a, r.b, r.k);
}

Range default_range(const Table& table) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (double v : table.x) {
    if (!std::isfinite(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo > hi) lo = hi = 0;  // no finite breakpoint: the run fails on its first step anyway
  double margin = (hi - lo) / 10;
  if (!std::isfinite(margin)) margin = hi / 10 - lo / 10;
  if (margin == 0) margin = 1;
  constexpr double kMax = std::numeric_limits<double>::max();
  return Range{std::max(lo - margin, -kMax), std::min(hi + margin, kMax), 201};
}

std::vector<double> default_queries(const Table& table) {
  Range r = default_range(table);
  return spaced(r.a, r.b, r.k);
}

}  // namespace sfsim
