// The built-in tables: one smooth, deterministic table per chart (a sine on a ramp
// over slightly uneven breakpoints from 0 to 10), used when no --table is given.
#pragma once

#include "tools/sfsim/inputs.hpp"
#include "tools/sfsim/plugins.hpp"

namespace sfsim {

Table builtin_table(const ModelInfo& model, int chart);

}  // namespace sfsim
