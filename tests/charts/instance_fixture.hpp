// The fixture of the chart life-cycle tests (instance_test.cpp, work_widths_test.cpp):
// a chart test that can also read the message a host error raised.
#pragma once

#include <string>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {

template <class Chart>
class InstanceTest : public ChartTest<Chart> {
 protected:
  static std::string raised_message(auto&& fn) {
    host::mex::CallContext call(&fn);
    try {
      fn();
    } catch (const host::HostError& e) {
      return e.what();
    }
    return "<no raise>";
  }
};

}  // namespace chart_test
