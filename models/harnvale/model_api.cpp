// What the S-function glue calls of model Harnvale: its life cycle, the routing
// callback and the command-line chain.
#include "registry/model_api.h"

#include "models/harnvale/model.hpp"
#include "registry/commands.hpp"
#include "registry/lifecycle.hpp"
#include "registry/routing.hpp"

void machine_initialize(SimStruct* S) {
  registry::Lifecycle<harnvale::Model>::machine_initialize(S);
}

void machine_terminate() {
  registry::Lifecycle<harnvale::Model>::machine_terminate();
}

unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void* unused, int method, void* data) {
  return registry::Routing<harnvale::Model>::machine_dispatch_callback(
      S, machine_name, chart_number, unused, method, data);
}

void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  registry::Commands<harnvale::Model>::process_command_line_call(nlhs, plhs, nrhs, prhs);
}
