// mxArray values as JSON and back:
//   {"class":"double","size":[r,c],"data":[...]}   column-major; also the other numeric
//                                                   classes and logical; NaN, Inf, -Inf
//                                                   as the strings "NaN", "Inf", "-Inf"
//   {"class":"char","size":[r,c],"text":"..."}     column-major characters
//   {"class":"struct","size":[r,c],"fields":[...],"elements":[{...},...]}
//   {"class":"cell","size":[r,c],"elements":[...]}
// An empty struct field or cell element is null. Reading a value back gives an array
// of the same class and size with the same bits.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "host/engine.hpp"

namespace sfsim {

using Json = nlohmann::ordered_json;

// Limits of the reader: how deep values nest (a struct in a cell in a struct is 3),
// the largest dimension of an empty array, and the size of a file.
inline constexpr int kMaxJsonDepth = 32;
inline constexpr std::size_t kMaxEmptyDimension = 65536;
inline constexpr std::size_t kMaxJsonBytes = 64u << 20;

// Throws std::runtime_error for a value it cannot express (a complex array).
Json to_json(const mxArray* array);

// A new array (owned by the caller). Throws UserError naming `source` and the place
// inside the value for anything that is not such a value.
host::engine::MxPtr from_json(const Json& value, const std::string& source);

// The text of a JSON value: two-space indent, doubles in their shortest form that
// reads back to the same bits.
std::string dump(const Json& value);
// The same on one line, without blanks.
std::string dump_line(const Json& value);

// Parses a whole file; UserError names the file, and the line of a syntax error.
Json read_json_file(const std::string& path);

}  // namespace sfsim
