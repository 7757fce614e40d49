// Numbers as sfsim writes and reads them: the shortest text that reads back to the
// same bits (std::to_chars), with the spellings NaN, Inf and -Inf for the IEEE
// specials; and texts from the user's input made safe to show on a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sfsim {

std::string format_number(double v);

// The same text into `out` (kNumberChars bytes at least), without allocating; returns
// its length.
inline constexpr std::size_t kNumberChars = 32;
std::size_t format_number_to(char* out, double v);

// How a text reads as a number. A number too large for a double, or one that is not
// 0 but so close to 0 that it would read as 0, is OutOfRange (its value HUGE_VAL or
// 0 tells which); the subnormal numbers read as themselves.
enum class NumberText { Number, NotANumber, OutOfRange };
struct ReadNumber {
  NumberText kind = NumberText::NotANumber;
  double value = 0;
};
ReadNumber read_number(std::string_view text);

// The whole text (surrounding blanks allowed) as a double; nullopt when it is not
// a number or lies outside the range of a double.
std::optional<double> parse_number(std::string_view text);

// What is wrong with a text that did not read as a number: "is not a number" or
// "is out of the range of a double" (with why, for one too close to 0).
std::string number_fault(std::string_view text);

// Only the digits 0-9, at least one.
bool is_whole_decimal(std::string_view text);

// A count of bytes: a whole decimal number of at least 1, with an optional suffix k,
// M or G (powers of 1024). Empty when it reads, with `bytes` set; else what is
// wrong with it, to follow the quoted text.
std::string read_byte_count(std::string_view text, std::uint64_t& bytes);

std::string_view trim(std::string_view text);

// The text with every control character shown escaped (\n, \t, \r, \xNN), and cut
// to at most `max` bytes of the original with "..." after it; max 0 keeps it whole.
std::string printable(std::string_view text, std::size_t max = 0);

// printable(text, 60) in single quotes: how a message quotes the user's text.
std::string quoted(std::string_view text);

}  // namespace sfsim
