// Routing of the runtime's method calls: the machine name, the chart number and the
// dispatcher that is reached.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "host/mex_host.hpp"
#include "models/harnvale/model.hpp"
#include "models/quimbrel/model.hpp"
#include "registry/routing.hpp"
#include "tests/registry/fake_model.hpp"

namespace {

using FakeRouting = registry::Routing<fake::Model>;

struct RouteCase {
  const char* machine;
  int chart;
  unsigned expected;
};

class FakeRoutingTest : public ::testing::TestWithParam<RouteCase> {
 protected:
  void SetUp() override { fake::calls().clear(); }
};

TEST_P(FakeRoutingTest, AnswersAndCallsOnlyTheNamedChart) {
  const RouteCase c = GetParam();
  int token = 0;
  const unsigned got =
      FakeRouting::machine_dispatch_callback(nullptr, c.machine, c.chart, &token, 117, &token);
  EXPECT_EQ(got, c.expected);
  if (c.expected == 1) {
    ASSERT_EQ(fake::calls().size(), 1u);
    EXPECT_EQ(fake::calls()[0], std::make_pair(c.chart, std::string("dispatch 117")));
  } else {
    EXPECT_TRUE(fake::calls().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Routing, FakeRoutingTest,
    ::testing::Values(RouteCase{"Fakemodel", 1, 1}, RouteCase{"Fakemodel", 2, 1},
                      RouteCase{"Fakemodel", 3, 1}, RouteCase{"Fakemodel", 0, 0},
                      RouteCase{"Fakemodel", -1, 0}, RouteCase{"Fakemodel", 4, 0},
                      RouteCase{"Fakemodel", -2147483647 - 1, 0},
                      RouteCase{"Fakemodel", 2147483647, 0}, RouteCase{"fakemodel", 1, 0},
                      RouteCase{"FAKEMODEL", 1, 0}, RouteCase{"Fakemodel ", 1, 0},
                      RouteCase{"Fakemode", 1, 0}, RouteCase{"Harnvale", 1, 0}, RouteCase{"", 1, 0},
                      RouteCase{nullptr, 1, 0}));

TEST(FakeRouting, PassesMethodCodeAndDataUnchecked) {
  fake::calls().clear();
  EXPECT_EQ(FakeRouting::model_route_method(nullptr, 2, nullptr, 999, nullptr), 1u);
  ASSERT_EQ(fake::calls().size(), 1u);
  EXPECT_EQ(fake::calls()[0].second, "dispatch 999");
}

// The real models: a reached dispatcher of an unknown method code raises its own
// text, which names the chart; an unreached one raises nothing.
std::string dispatch_error(unsigned (*callback)(SimStruct*, const char*, int, void*, int, void*),
                           const char* machine, int chart, unsigned* result) {
  try {
    *result = callback(nullptr, machine, chart, nullptr, 4242, nullptr);
  } catch (const host::HostError& e) {
    return e.what();
  }
  return "";
}

std::string cannot_handle(const std::string& dispatcher) {
  return "Stateflow Internal Error:\nError calling " + dispatcher +
         ".\nCan't handle method 4242.\n";
}

class ModelRoutingTest
    : public ::testing::TestWithParam<std::tuple<std::string, std::string, int>> {};

TEST_P(ModelRoutingTest, ReachesOnlyTheOwnChartDispatcher) {
  const auto& [model, machine, chart] = GetParam();
  auto* callback = model == "Harnvale"
                       ? &registry::Routing<harnvale::Model>::machine_dispatch_callback
                       : &registry::Routing<quimbrel::Model>::machine_dispatch_callback;
  const int charts = model == "Harnvale" ? 3 : 2;
  unsigned result = 77;
  const std::string error = dispatch_error(callback, machine.c_str(), chart, &result);
  if (machine == model && chart >= 1 && chart <= charts) {
    EXPECT_EQ(error,
              cannot_handle("c" + std::to_string(chart) + "_" + model + "_method_dispatcher"));
  } else {
    EXPECT_EQ(error, "");
    EXPECT_EQ(result, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Models, ModelRoutingTest,
                         ::testing::Combine(::testing::Values("Harnvale", "Quimbrel"),
                                            ::testing::Values("Harnvale", "Quimbrel", "harnvale",
                                                              "QUIMBREL"),
                                            ::testing::Values(-1, 0, 1, 2, 3, 4)));

TEST(ModelRouting, NamedDispatchersForwardToTheirChart) {
  const std::pair<void (*)(SimStruct*, int, void*), const char*> named[] = {
      {&c1_Harnvale_method_dispatcher, "c1_Harnvale_method_dispatcher"},
      {&c2_Harnvale_method_dispatcher, "c2_Harnvale_method_dispatcher"},
      {&c3_Harnvale_method_dispatcher, "c3_Harnvale_method_dispatcher"},
      {&c1_Quimbrel_method_dispatcher, "c1_Quimbrel_method_dispatcher"},
      {&c2_Quimbrel_method_dispatcher, "c2_Quimbrel_method_dispatcher"},
  };
  for (const auto& [fn, name] : named) {
    try {
      fn(nullptr, 4242, nullptr);
      ADD_FAILURE() << name << " did not raise";
    } catch (const host::HostError& e) {
      EXPECT_EQ(std::string(e.what()), cannot_handle(name));
    }
  }
}

}  // namespace
