// The input of a run in time: z as a signal, from a CSV file with the header
// time,z or from a MAT-file with the vectors time and z.
#pragma once

#include <string>

#include "tools/driver/driver.hpp"

namespace sfsim {

// A CSV file: the header time,z, then one point per row, times finite and strictly
// increasing, at least one point. UserError naming the file, the line and the fault.
tools::driver::Signal read_signal(const std::string& path);

}  // namespace sfsim
