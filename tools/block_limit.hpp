// How many blocks of one chart a tool puts into a model: sfsim's --blocks and
// sfblock's 'blocks' take the same range.
#pragma once

namespace tools {

inline constexpr int kMaxBlocks = 1000;

}  // namespace tools
