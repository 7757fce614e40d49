#include "tools/sfsim/signal.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/sfsim/inputs.hpp"
#include "tools/text/numbers.hpp"

namespace sfsim {

tools::driver::Signal read_signal(const std::string& path) {
  LineReader in(path, kMaxTableBytes);
  const std::string& name = in.name();  // "standard input" for -
  auto at = [&] { return name + ":" + std::to_string(in.line_number()) + ": "; };
  std::vector<double> time, z;
  bool header = false;
  for (std::string_view text; in.next(text);) {
    const std::string_view content = trim(text);
    if (content.empty()) continue;
    const auto comma = content.find(',');
    const std::string_view cells[2] = {
        trim(content.substr(0, comma)),
        comma == std::string_view::npos ? std::string_view() : trim(content.substr(comma + 1))};
    if (!header) {
      if (comma == std::string_view::npos || cells[0] != "time" || cells[1] != "z")
        throw UserError(at() + "expected the header time,z; got " + quoted(content));
      header = true;
      continue;
    }
    const auto columns = std::count(content.begin(), content.end(), ',') + 1;
    if (columns != 2)
      throw UserError(at() + "expected 2 columns (time,z), found " + std::to_string(columns));
    static const char* names[2] = {"time", "z"};
    double v[2];
    for (int c = 0; c < 2; ++c) {
      const auto number = parse_number(cells[c]);
      if (!number)
        throw UserError(at() + "column " + names[c] + ": " + quoted(cells[c]) + " " +
                        number_fault(cells[c]));
      v[c] = *number;
    }
    if (!std::isfinite(v[0]))
      throw UserError(at() + "time " + format_number(v[0]) + " is not a finite number");
    if (!time.empty() && !(v[0] > time.back()))
      throw UserError(at() + "time " + format_number(v[0]) + " is not after the time before it, " +
                      format_number(time.back()) + ": times must increase strictly");
    time.push_back(v[0]);
    z.push_back(v[1]);
  }
  if (time.empty())
    throw UserError(name + ": the file holds no point: expected the header time,z and rows");
  return tools::driver::Signal(std::move(time), std::move(z));
}

}  // namespace sfsim
