#include "tools/text/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <system_error>

namespace sfsim {

std::size_t format_number_to(char* out, double v) {
  const char* special = std::isnan(v) ? "NaN" : std::isinf(v) ? (v > 0 ? "Inf" : "-Inf") : nullptr;
  if (special != nullptr) {
    const std::size_t n = std::char_traits<char>::length(special);
    std::char_traits<char>::copy(out, special, n);
    return n;
  }
  // At most 24 characters ("-2.2250738585072014e-308").
  return static_cast<std::size_t>(std::to_chars(out, out + kNumberChars, v).ptr - out);
}

std::string format_number(double v) {
  char b[kNumberChars];
  return std::string(b, format_number_to(b, v));
}

std::string_view trim(std::string_view text) {
  const char* blanks = " \t\r\n";
  auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

ReadNumber read_number(std::string_view text) {
  text = trim(text);
  if (text == "NaN") return {NumberText::Number, std::numeric_limits<double>::quiet_NaN()};
  if (text == "Inf" || text == "+Inf")
    return {NumberText::Number, std::numeric_limits<double>::infinity()};
  if (text == "-Inf") return {NumberText::Number, -std::numeric_limits<double>::infinity()};
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return {};
  // Only decimal notation: from_chars would also take other spellings of the
  // specials, which sfsim never writes.
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
      return {};
  }
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (end != text.data() + text.size()) return {};
  if (ec == std::errc::result_out_of_range) {
    // Too large for a double, or so close to 0 that it would read as 0 (the smallest
    // magnitudes, the subnormal numbers, read as themselves). The value tells which.
    const bool tiny = std::fabs(std::strtod(std::string(text).c_str(), nullptr)) < 1;
    return {NumberText::OutOfRange, tiny ? 0.0 : HUGE_VAL};
  }
  if (ec != std::errc()) return {};
  return {NumberText::Number, v};
}

std::optional<double> parse_number(std::string_view text) {
  ReadNumber r = read_number(text);
  if (r.kind != NumberText::Number) return std::nullopt;
  return r.value;
}

std::string number_fault(std::string_view text) {
  const ReadNumber r = read_number(text);
  if (r.kind != NumberText::OutOfRange) return "is not a number";
  return r.value == 0 ? "is out of the range of a double (too close to 0: it would read as 0)"
                      : "is out of the range of a double";
}

bool is_whole_decimal(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string read_byte_count(std::string_view text, std::uint64_t& bytes) {
  static constexpr std::string_view kFault =
      "is not a whole number of bytes of at least 1, with an optional suffix k, M or G";
  std::uint64_t scale = 1;
  if (!text.empty()) {
    const char last = text.back();
    const int shift = last == 'k' ? 10 : last == 'M' ? 20 : last == 'G' ? 30 : 0;
    if (shift) {
      scale = std::uint64_t{1} << shift;
      text.remove_suffix(1);
    }
  }
  if (!is_whole_decimal(text)) return std::string(kFault);
  std::uint64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec == std::errc::result_out_of_range || end != text.data() + text.size() ||
      n > UINT64_MAX / scale)
    return "is too large (at most " + std::to_string(UINT64_MAX) + " bytes)";
  if (n == 0) return std::string(kFault);
  bytes = n * scale;
  return {};
}

std::string printable(std::string_view text, std::size_t max) {
  const bool cut = max != 0 && text.size() > max;
  if (cut) text = text.substr(0, max);
  std::string out;
  out.reserve(text.size() + 3);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02x", c);
      out += b;
    } else {
      out += ch;
    }
  }
  if (cut) out += "...";
  return out;
}

std::string quoted(std::string_view text) {
  return "'" + printable(text, 60) + "'";
}

}  // namespace sfsim
