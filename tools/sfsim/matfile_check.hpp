// The structure of a MAT-file checked before matio reads any of it (matio trusts
// what a file claims: it reads data cut short as far as it goes, allocates what the
// dimensions claim, and recurses as deep as arrays nest).
#pragma once

#include <cstdint>
#include <string>

namespace sfsim::mat::detail {

// How deep arrays may nest (cells and structs in cells and structs; a variable is
// depth 1), and how large one variable may be once inflated.
inline constexpr int kMaxMatDepth = 32;
inline constexpr std::uint64_t kMaxMatVariableBytes = 256ull << 20;

// UserError naming the file, and the variable where one is at fault, unless:
// the file is a MAT-file of version 5; its variables lie within it, the last ending
// where the file ends; every array's sub-elements lie within it; every numeric or
// char array's data holds exactly what its dimensions and class claim; every struct
// and cell holds exactly the values its size claims, each an array; every array is
// numeric, logical, char, sparse, a struct or a cell (no object or function handle);
// no field name is empty and no variable name holds a NUL byte; no array nests more
// than kMaxMatDepth deep.
void check_file(const std::string& path);

}  // namespace sfsim::mat::detail
