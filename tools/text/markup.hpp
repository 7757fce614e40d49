// Text set into XML or HTML (SVG pictures, the coverage page): the characters that
// would end an attribute or open markup replaced by their entities.
#pragma once

#include <string>
#include <string_view>

namespace sfsim {

std::string xml_escape(std::string_view text);

}  // namespace sfsim
