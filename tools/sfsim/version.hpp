// sfsim --version: the release, then the plug-ins this sfsim finds.
#pragma once

#include <ostream>

namespace sfsim {

// Writes "sfsim X.Y.Z", then one line per model of the build: the plug-in file found
// for it (as a run without --plugin finds it), the model it holds and its checksum,
// or why none could be used. True when every model's plug-in was found and loaded.
bool print_version(std::ostream& out);

}  // namespace sfsim
