// The method dispatchers of model Harnvale's charts, one named function per chart.
#include "models/harnvale/model.hpp"

#include "charts/chart.hpp"

extern "C" {

void c1_Harnvale_method_dispatcher(SimStruct* S, int method, void* data) {
  charts::Chart<harnvale::C1>::method_dispatcher(S, method, data);
}

void c2_Harnvale_method_dispatcher(SimStruct* S, int method, void* data) {
  charts::Chart<harnvale::C2>::method_dispatcher(S, method, data);
}

void c3_Harnvale_method_dispatcher(SimStruct* S, int method, void* data) {
  charts::Chart<harnvale::C3>::method_dispatcher(S, method, data);
}

}  // extern "C"
