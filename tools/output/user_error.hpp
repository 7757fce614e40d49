// The error of the tools' user-facing faults.
#pragma once

#include <stdexcept>

namespace sfsim {

// A fault in what the user asked for or gave: a usage error, an input that cannot be
// read or is wrong, an output that cannot be written (exit status 2). Host errors are
// host::HostError (exit status 1).
struct UserError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace sfsim
