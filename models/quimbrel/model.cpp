// The method dispatchers of model Quimbrel's charts, one named function per chart.
#include "models/quimbrel/model.hpp"

#include "charts/chart.hpp"

extern "C" {

void c1_Quimbrel_method_dispatcher(SimStruct* S, int method, void* data) {
  charts::Chart<quimbrel::C1>::method_dispatcher(S, method, data);
}

void c2_Quimbrel_method_dispatcher(SimStruct* S, int method, void* data) {
  charts::Chart<quimbrel::C2>::method_dispatcher(S, method, data);
}

}  // extern "C"
