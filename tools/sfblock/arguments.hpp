// sfblock's arguments, checked in one place: every argument is taken only when it
// is unambiguous (a text is a character row without NUL, a number a real scalar,
// data a full real double array of any shape) and refused otherwise with an
// Octave error whose identifier is the argument's and whose message names it and
// says what it got. Octave's own matrix functions do the looking (sparse, complex,
// integer, single, logical, cell, struct, empty and N-dimensional arrays alike).
//
// Arrays are passed as `const void*`: this unit sees them through Octave's
// <mex.h>, the rest of sfblock through our platform declarations.
#pragma once

#include <cstddef>
#include <string>

namespace sfblock {

class Argument {
 public:
  // `identifier` is raised for every fault of the argument; `name` is how the
  // message calls it ("x", "the chart", "option 'blocks'").
  Argument(const void* array, std::string identifier, std::string name)
      : array_(array), identifier_(std::move(identifier)), name_(std::move(name)) {}

  // A character row (or ''), with no NUL character in it.
  std::string text() const;
  // A real numeric scalar (not sparse, not logical) with a whole value from lo to hi.
  long long whole(long long lo, long long hi) const;
  // A full real double array of exactly `count` elements, in any shape.
  const double* doubles(std::size_t count) const;
  // A full real double array of any size and shape.
  const double* doubles() const;
  // A full real double scalar.
  double scalar() const;
  // A 1x1 struct.
  const void* scalar_struct() const;

  // Raises: "<name> must be <expected>; got <what the array is>".
  [[noreturn]] void refuse(const std::string& expected) const;
  // Raises the message as it is, under the argument's identifier.
  [[noreturn]] void refuse_text(const std::string& message) const;

 private:
  const void* array_;
  std::string identifier_, name_;
};

// What an array is, for messages: "a 1x3 sparse double array", "a 2x2x2 int8
// array", "a 1x1 cell array", "nothing".
std::string describe(const void* array);

// The number of elements of an array given to sfblock (checked by doubles()).
std::size_t element_count(const void* array);

// A new real double array of the size and shape of `array` (N-dimensional and
// empty sizes included), for the result y1.
void* doubles_shaped_like(const void* array);

// A new real double vector of `count` elements: a column when `like` is a column of
// more than one row, else a row.
void* doubles_along(const void* like, std::size_t count);

// Raises an Octave error with an identifier; the message is taken as it is.
[[noreturn]] void raise_error(const std::string& identifier, const std::string& message);

}  // namespace sfblock
