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

// Throws std::runtime_error for a value it cannot express (a complex array).
Json to_json(const mxArray* array);

// A new array (owned by the caller). Throws InputError naming `source` and the place
// inside the value for anything that is not such a value.
host::engine::MxPtr from_json(const Json& value, const std::string& source);

// The text of a JSON value: two-space indent, doubles in their shortest form that
// reads back to the same bits.
std::string dump(const Json& value);

// Parses a whole file; InputError names the file, and the line of a syntax error.
Json read_json_file(const std::string& path);

}  // namespace sfsim
