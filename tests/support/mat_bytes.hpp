// MAT-files (level 5, little-endian) made byte by byte, for files no writer makes:
// data shorter than its dimensions, sizes past the file, odd names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support::mat {

inline std::string word(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

// A data element: tag, bytes, padding to 8.
inline std::string element(std::uint32_t type, const std::string& bytes) {
  return word(type) + word(static_cast<std::uint32_t>(bytes.size())) + bytes +
         std::string((8 - bytes.size() % 8) % 8, '\0');
}

inline std::string header() {
  return std::string("MATLAB 5.0 MAT-file").append(105, ' ') + std::string("\x00\x01IM", 4);
}

// An array: flags (class), dimensions, name, then `body` (data, or a struct's field
// names and values, or a cell's values).
inline std::string array(std::uint32_t cls, const std::vector<std::int32_t>& dims,
                         const std::string& name, const std::string& body) {
  std::string d;
  for (std::int32_t n : dims)
    d += word(static_cast<std::uint32_t>(n));
  const std::string inner =
      element(6, word(cls) + word(0)) + element(5, d) + element(1, name) + body;
  return word(14) + word(static_cast<std::uint32_t>(inner.size())) + inner;
}

// A double array holding `values`, whatever its dimensions claim.
inline std::string double_array(const std::string& name, const std::vector<std::int32_t>& dims,
                                const std::vector<double>& values) {
  return array(6, dims, name,
               element(9, std::string(reinterpret_cast<const char*>(values.data()),
                                      values.size() * sizeof(double))));
}

// A struct: field names (the length of one a small element), then the values of
// each field of each element, as arrays of empty names.
inline std::string struct_array(const std::string& name, const std::vector<std::int32_t>& dims,
                                const std::vector<std::string>& fields, const std::string& values) {
  std::string names;
  for (const std::string& f : fields)
    names += f + std::string(32 - f.size(), '\0');
  return array(2, dims, name, word(4u << 16 | 5) + word(32) + element(1, names) + values);
}

}  // namespace test_support::mat
