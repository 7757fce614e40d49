// Where this build puts the deliverables (its lib folder), for the tools, tests and
// benchmarks that run them from the build folder: compiled with SF_BUILD_DELIVERABLE_DIR
// rather than written into a header, so that no header names the build folder.
#include "models/catalogue_view.hpp"

#ifndef SF_BUILD_DELIVERABLE_DIR
#error "compile with SF_BUILD_DELIVERABLE_DIR, the build's folder of deliverables"
#endif

namespace models {

const char kBuildDeliverableDir[] = SF_BUILD_DELIVERABLE_DIR;

}  // namespace models
