// What the S-function glue calls of model Quimbrel: its life cycle, the routing
// callback and the command-line chain.
#include "registry/model_api.h"

#include "models/quimbrel/model.hpp"
#include "registry/commands.hpp"
#include "registry/lifecycle.hpp"
#include "registry/routing.hpp"

void machine_initialize(SimStruct* S) {
  registry::Lifecycle<quimbrel::Model>::machine_initialize(S);
}

void machine_terminate() {
  registry::Lifecycle<quimbrel::Model>::machine_terminate();
}

unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void* unused, int method, void* data) {
  return registry::Routing<quimbrel::Model>::machine_dispatch_callback(
      S, machine_name, chart_number, unused, method, data);
}

void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  registry::Commands<quimbrel::Model>::process_command_line_call(nlhs, plhs, nrhs, prhs);
}
