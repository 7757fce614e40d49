// What the S-function glue calls of a model (registry/model_api.h): its life cycle,
// the routing callback and the command chain, over the registry's templates. Compiled
// once into each deliverable, for the model named by SF_MODEL (its catalogue's model
// type) whose registry view SF_MODEL_HEADER (its generated "models/<name>/model.hpp")
// declares.
#if !defined(SF_MODEL) || !defined(SF_MODEL_HEADER)
#error "compile with SF_MODEL and SF_MODEL_HEADER naming the deliverable's model"
#endif

// clang-format off
#include SF_MODEL_HEADER
// clang-format on
#include "registry/model_api.h"
#include "registry/commands.hpp"
#include "registry/lifecycle.hpp"
#include "registry/routing.hpp"

void machine_initialize(SimStruct* S) {
  registry::Lifecycle<SF_MODEL>::machine_initialize(S);
}

void machine_terminate() {
  registry::Lifecycle<SF_MODEL>::machine_terminate();
}

unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void* unused, int method, void* data) {
  return registry::Routing<SF_MODEL>::machine_dispatch_callback(S, machine_name, chart_number,
                                                                unused, method, data);
}

void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  registry::Commands<SF_MODEL>::process_command_line_call(nlhs, plhs, nrhs, prhs);
}
