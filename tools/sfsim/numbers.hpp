// Numbers as sfsim writes and reads them: %.17g (reads back bit for bit), with the
// spellings NaN, Inf and -Inf for the IEEE specials; and texts from the user's input
// made safe to show on a terminal.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sfsim {

std::string format_number(double v);

// How a text reads as a number.
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
// "is out of the range of a double".
std::string number_fault(std::string_view text);

std::string_view trim(std::string_view text);

// The text with every control character shown escaped (\n, \t, \r, \xNN), and cut
// to at most `max` bytes of the original with "..." after it; max 0 keeps it whole.
std::string printable(std::string_view text, std::size_t max = 0);

// printable(text, 60) in single quotes: how a message quotes the user's text.
std::string quoted(std::string_view text);

}  // namespace sfsim
