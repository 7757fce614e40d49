// The fake model API the glue links against: each call is noted in the dispatch
// tests' log; mdlStart's dispatch makes the fake chart's records.
#include <string>

#include "tests/glue/dispatch_fixture.hpp"

using dispatch_test::make_chart;
using dispatch_test::note;

void machine_initialize(SimStruct* S) {
  note(std::string("machine_initialize") + (S->user_data == nullptr ? "" : " (user data set)"));
}
void machine_terminate() {
  note("machine_terminate");
}
unsigned int machine_dispatch_callback(SimStruct* S, const char* machine_name, int chart_number,
                                       void*, int method, void*) {
  note("dispatch " + std::string(machine_name) + " " + std::to_string(chart_number) + " " +
       std::to_string(method));
  if (method == SS_METHOD_START) make_chart(S);
  return 1;
}
void process_command_line_call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  note("command " + std::to_string(nlhs) + " " + std::to_string(nrhs) + " " +
       (plhs != nullptr ? "plhs" : "-") + " " + (prhs != nullptr ? "prhs" : "-"));
}
