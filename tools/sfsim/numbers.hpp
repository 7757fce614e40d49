// Numbers as sfsim writes and reads them: %.17g (reads back bit for bit), with the
// spellings NaN, Inf and -Inf for the IEEE specials.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sfsim {

std::string format_number(double v);

// The whole text (surrounding blanks allowed) as a double; nullopt when it is not
// a number or lies outside the range of a double.
std::optional<double> parse_number(std::string_view text);

std::string_view trim(std::string_view text);

}  // namespace sfsim
