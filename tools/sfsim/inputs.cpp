#include "tools/sfsim/inputs.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "tools/sfsim/numbers.hpp"

namespace sfsim {
namespace {

std::ifstream open_input(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw InputError(path + ": is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open the file (missing or unreadable)");
  return in;
}

std::string at(const std::string& path, std::size_t line) {
  return path + ":" + std::to_string(line) + ": ";
}

std::string quoted(std::string_view text) {
  std::string q(1, '\'');
  q.append(text);
  q += '\'';
  return q;
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

}  // namespace

Table read_table(const std::string& path, std::size_t rows, const std::string& what) {
  auto in = open_input(path);
  Table table;
  table.x.reserve(rows);
  table.y.reserve(rows);
  std::string text;
  std::size_t line = 0, last_row_line = 0;
  bool first_content = true;
  while (std::getline(in, text)) {
    ++line;
    std::string_view content = trim(text);
    if (content.empty()) continue;
    auto fields = split_fields(content);
    bool header = false;
    if (first_content) {
      first_content = false;
      header = !parse_number(fields[0]);
      if (header) continue;
    }
    if (fields.size() != 2)
      throw InputError(at(path, line) + "expected 2 columns (x,y), found " +
                       std::to_string(fields.size()));
    static const char* names[2] = {"x", "y"};
    double v[2];
    for (int c = 0; c < 2; ++c) {
      auto number = parse_number(fields[c]);
      if (!number)
        throw InputError(at(path, line) + "column " + names[c] + ": " + quoted(fields[c]) +
                         " is not a number");
      v[c] = *number;
    }
    if (table.x.size() == rows)
      throw InputError(at(path, line) + "row " + std::to_string(rows + 1) + " is one too many: " +
                       what + " needs exactly " + std::to_string(rows) + " rows");
    table.x.push_back(v[0]);
    table.y.push_back(v[1]);
    last_row_line = line;
  }
  if (in.bad()) throw InputError(path + ": read error");
  if (line == 0)
    throw InputError(path + ": the file is empty: " + what + " needs exactly " +
                     std::to_string(rows) + " rows");
  if (table.x.size() != rows)
    throw InputError(at(path, std::max(last_row_line, line)) + "the table has " +
                     std::to_string(table.x.size()) + " rows, but " + what + " needs exactly " +
                     std::to_string(rows) + " rows");
  return table;
}

std::vector<double> read_queries(const std::string& path) {
  auto in = open_input(path);
  std::vector<double> z;
  std::string text;
  std::size_t line = 0;
  while (std::getline(in, text)) {
    ++line;
    std::string_view content = trim(text);
    if (content.empty()) continue;
    auto number = parse_number(content);
    if (!number) throw InputError(at(path, line) + quoted(content) + " is not a number");
    z.push_back(*number);
  }
  if (in.bad()) throw InputError(path + ": read error");
  if (z.empty()) throw InputError(path + ": the file holds no query");
  return z;
}

std::vector<double> spaced(double a, double b, long k) {
  std::vector<double> z(static_cast<std::size_t>(k));
  for (long i = 0; i < k; ++i)
    z[i] = (i == k - 1 && k > 1) ? b : a + (b - a) * (static_cast<double>(i) / (k - 1 ? k - 1 : 1));
  return z;
}

std::vector<double> parse_range(const std::string& spec) {
  std::string_view s = spec;
  auto c1 = s.find(':');
  auto c2 = c1 == std::string_view::npos ? c1 : s.find(':', c1 + 1);
  const std::string where = "--z-range " + quoted(std::string_view(spec)) + ": ";
  if (c2 == std::string_view::npos || s.find(':', c2 + 1) != std::string_view::npos)
    throw InputError(where + "expected A:B:K");
  auto a = parse_number(s.substr(0, c1));
  auto b = parse_number(s.substr(c1 + 1, c2 - c1 - 1));
  if (!a || !std::isfinite(*a)) throw InputError(where + "A is not a finite number");
  if (!b || !std::isfinite(*b)) throw InputError(where + "B is not a finite number");
  auto kt = trim(s.substr(c2 + 1));
  long k = 0;
  bool digits = !kt.empty() && kt.size() <= 9 &&
                std::all_of(kt.begin(), kt.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) k = std::stol(std::string(kt));
  if (!digits || k < 1) throw InputError(where + "K is not a whole number of at least 1");
  return spaced(*a, *b, k);
}

std::vector<double> default_queries(const Table& table) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  for (double v : table.x) {
    if (!std::isfinite(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo > hi) lo = hi = 0;  // no finite breakpoint: the run fails on its first step anyway
  double margin = (hi - lo) / 10;
  if (margin == 0) margin = 1;
  return spaced(lo - margin, hi + margin, 201);
}

}  // namespace sfsim
