// Decoding of encoded struct arrays, the text form in which charts describe their
// saved-state layout:
//
//   text    := digits ' ' struct
//   struct  := 'S' rows 'x' cols names '{' [element {',' element}] '}'
//   names   := [ "'" name "'" {',' "'" name "'"} ]
//   element := '{' {value ','} '}'        values in field order; missing ones empty
//   value   := 'M[' number ']' | 'T"' characters '"' | struct
//
// Elements are listed in linear (column) order; fields left out at the end of an
// element are empty 0x0 doubles.
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/sf_runtime/values.hpp"
#include "host/trace.hpp"
#include "platform/sf_runtime.h"

namespace host::sf_runtime::detail::values {
namespace {

constexpr long long kMaxElements = 1000000;

class Decoder {
 public:
  explicit Decoder(std::string_view text) : text_(text) {}

  mxArray* decode() {
    std::size_t digits = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      ++pos_;
      ++digits;
    }
    if (digits == 0) fail("a numeric prefix");
    expect(' ', "one blank after the numeric prefix");
    ArrayGuard result(parse_struct());
    if (pos_ != text_.size()) fail("the end of the text");
    return result.release();
  }

 private:
  [[noreturn]] void fail(const char* expected) const {
    std::string found = pos_ < text_.size() ? format("'%c'", text_[pos_]) : "the end of the text";
    raise(kIdDecode, format("Malformed encoded struct array at offset %zu: expected %s, found %s.",
                            pos_, expected, found.c_str()));
  }

  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

  void expect(char c, const char* expected) {
    if (!at(c)) fail(expected);
    ++pos_;
  }

  int parse_count(const char* expected) {
    const std::size_t start = pos_;
    long long v = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      v = v * 10 + (text_[pos_] - '0');
      if (v > kMaxElements) {
        pos_ = start;
        fail(expected);
      }
      ++pos_;
    }
    if (pos_ == start) fail(expected);
    return static_cast<int>(v);
  }

  mxArray* parse_struct() {
    const std::size_t opening = pos_;
    expect('S', "'S' opening a struct array");
    const int rows = parse_count("the number of rows");
    expect('x', "'x' between the rows and columns");
    const int cols = parse_count("the number of columns");
    if (static_cast<long long>(rows) * cols > kMaxElements) {
      pos_ = opening;
      fail("a struct array of at most 1000000 elements");
    }
    std::vector<std::string> names;
    while (at('\'')) {
      const std::size_t start = pos_;
      ++pos_;
      const std::size_t close = text_.find('\'', pos_);
      if (close == std::string_view::npos) {
        pos_ = text_.size();
        fail("a closing quote after a field name");
      }
      std::string name(text_.substr(pos_, close - pos_));
      if (name.empty()) fail("a field name");
      for (const std::string& n : names) {
        if (n == name) {
          pos_ = start;
          fail("a field name not given before");
        }
      }
      names.push_back(std::move(name));
      pos_ = close + 1;
      if (!at(',')) break;
      ++pos_;
      if (!at('\'')) fail("a field name in single quotes");
    }
    std::vector<const char*> name_ptrs;
    for (const std::string& n : names)
      name_ptrs.push_back(n.c_str());
    ArrayGuard array(mxCreateStructMatrix_700(rows, cols, static_cast<int>(names.size()),
                                              name_ptrs.empty() ? nullptr : name_ptrs.data()));
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    expect('{', "'{' opening the elements");
    for (std::size_t e = 0; e < count; ++e) {
      if (e > 0) expect(',', "',' before the next element");
      parse_element(array.get(), e, names);
    }
    expect('}', count == 0 ? "'}' closing an empty struct array"
                           : "'}' after the last element of the struct array");
    return array.release();
  }

  void parse_element(mxArray* array, std::size_t index, const std::vector<std::string>& names) {
    expect('{', "'{' opening an element");
    std::size_t field = 0;
    while (!at('}')) {
      if (field == names.size()) fail("'}' closing an element that has a value for every field");
      mxArray* value = parse_value();
      mxSetField_700(array, static_cast<int>(index), names[field].c_str(), value);
      ++field;
      expect(',', "',' after a value");
    }
    ++pos_;
    for (; field < names.size(); ++field) {
      mxSetField_700(array, static_cast<int>(index), names[field].c_str(),
                     mxCreateDoubleMatrix_700(0, 0, mxREAL));
    }
  }

  mxArray* parse_value() {
    if (at('M')) {
      ++pos_;
      expect('[', "'[' after M");
      const std::size_t start = pos_;
      if (at('-') || at('+')) ++pos_;
      std::size_t digits = skip_digits();
      if (at('.')) {
        ++pos_;
        digits += skip_digits();
      }
      if (digits == 0) {
        pos_ = start;
        fail("a decimal number");
      }
      if (at('e') || at('E')) {
        ++pos_;
        if (at('-') || at('+')) ++pos_;
        if (skip_digits() == 0) fail("the digits of an exponent");
      }
      const std::string number(text_.substr(start, pos_ - start));
      expect(']', "']' closing a number");
      return mxCreateDoubleScalar(std::strtod(number.c_str(), nullptr));
    }
    if (at('T')) {
      ++pos_;
      expect('"', "'\"' opening a text");
      const std::size_t close = text_.find('"', pos_);
      if (close == std::string_view::npos) {
        pos_ = text_.size();
        fail("'\"' closing a text");
      }
      const std::string_view t = text_.substr(pos_, close - pos_);
      pos_ = close + 1;
      return text_row(t.data(), t.size());
    }
    if (at('S')) return parse_struct();
    fail("a value (M[number], T\"text\" or a struct)");
  }

  std::size_t skip_digits() {
    std::size_t n = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      ++pos_;
      ++n;
    }
    return n;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace
}  // namespace host::sf_runtime::detail::values

extern "C" mxArray* sf_mex_decode_encoded_mx_struct_array(const char** texts, int a0, int a1) {
  const char* text = texts != nullptr ? texts[0] : nullptr;
  host::sf_runtime::detail::values::trace_call("sf_mex_decode_encoded_mx_struct_array", text, a0,
                                               a1);
  host::trace::Mute mute;
  if (text == nullptr) {
    host::sf_runtime::detail::values::raise(host::sf_runtime::detail::values::kIdDecode,
                                            "Malformed encoded struct array: no text given.");
  }
  return host::sf_runtime::detail::values::Decoder(text).decode();
}
