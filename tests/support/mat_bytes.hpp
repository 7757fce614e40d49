// MAT-files (level 5, little-endian) made byte by byte, for tests that need files
// no writer makes: data shorter than its dimensions, sizes past the file, odd names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support::mat {

inline std::string word(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}

// A data element: tag, bytes, padding to 8.
inline std::string element(std::uint32_t type, const std::string& bytes) {
  return word(type) + word(static_cast<std::uint32_t>(bytes.size())) + bytes +
         std::string((8 - bytes.size() % 8) % 8, '\0');
}

inline std::string doubles(const std::vector<double>& v) {
  return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double));
}

// The 128-byte header of a version 5 file.
inline std::string header() {
  std::string h = "MATLAB 5.0 MAT-file, made by a test";
  h.resize(124, ' ');
  return h + std::string("\x00\x01IM", 4);
}

// An array element: flags (class), dimensions, name, then `body` (its data
// elements or, for a struct or cell, its field names and values).
inline std::string array(std::uint32_t cls, const std::vector<std::int32_t>& dims,
                         const std::string& name, const std::string& body) {
  std::string d;
  for (std::int32_t n : dims)
    d += word(static_cast<std::uint32_t>(n));
  const std::string inner =
      element(6, word(cls) + word(0)) + element(5, d) + element(1, name) + body;
  return word(14) + word(static_cast<std::uint32_t>(inner.size())) + inner;
}

// A double array of the given dimensions holding `values` (as many as given,
// whatever the dimensions claim).
inline std::string double_array(const std::string& name, std::vector<std::int32_t> dims,
                                const std::vector<double>& values) {
  return array(6, dims, name, element(9, doubles(values)));
}

// A struct of one or more elements: field names, then for each element the value
// of each field (arrays with empty names).
inline std::string struct_array(const std::string& name, std::vector<std::int32_t> dims,
                                const std::vector<std::string>& fields, const std::string& values) {
  std::string names;
  for (const std::string& f : fields)
    names += f + std::string(32 - f.size(), '\0');
  // The length of a field name is a small element: type and size in one word.
  return array(2, dims, name, word(4u << 16 | 5) + word(32) + element(1, names) + values);
}

}  // namespace test_support::mat
