// The output step: the full order of host calls, the private copies handed to the
// kernel, and a debugger edit of y1 reaching the output.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/charts/chart_fixture.hpp"

namespace chart_test {
namespace {

template <class Chart>
class StepTest : public ChartTest<Chart> {};

using OneChartPerModel = ::testing::Types<charts::Chart<harnvale::C3>, charts::Chart<quimbrel::C2>>;
TYPED_TEST_SUITE(StepTest, OneChartPerModel);
template <class Chart>
class StepAllTest : public ChartTest<Chart> {};
TYPED_TEST_SUITE(StepAllTest, AllCharts);

// The documented order of one step's host calls, the kernel's checks folded into
// one entry: {operation, how many in a row}.
std::vector<std::string> expected_step(int n) {
  const std::pair<const char*, int> order[] = {
      {"sf_debug_symbol_scope_push", 1},
      {"sf_get_time", 1},
      {"sf_debug_call", 1},                        // tag 0
      {"sf_debug_data_range_wrapper", 2 * n + 1},  // x, y, z
      {"sf_debug_call", 1},                        // tag 3
      {"sf_debug_symbol_scope_push_eml", 1},
      {"sf_debug_symbol_scope_add_eml_importable", 2},  // nargin, nargout
      {"sf_debug_symbol_scope_add_eml", 3},             // x, y, z
      {"sf_debug_symbol_scope_add_eml_importable", 1},  // y1
      {"cv_eml_eval", 1},
      {"eml_debug_line_call", 1},  // line 3
      {"kernel", 1},
      {"eml_debug_line_call", 1},  // line -3
      {"sf_debug_symbol_scope_pop", 1},
      {"sf_debug_call", 1},  // tag 999
      {"sf_debug_symbol_scope_pop", 1},
      {"sf_debug_check_for_state_inconsistency", 1},
      {"sf_debug_data_range_wrapper", 1},  // y1
  };
  std::vector<std::string> e;
  for (const auto& [op, count] : order)
    e.insert(e.end(), count, op);
  return e;
}

// The runtime's operations the step makes, the kernel's checks folded together.
std::vector<host::trace::Call> step_calls(const std::vector<host::trace::Call>& calls) {
  std::vector<host::trace::Call> out;
  for (const auto& c : calls) {
    const bool runtime =
        c.op.rfind("sf_", 0) == 0 || c.op.rfind("cv_", 0) == 0 || c.op.rfind("eml_", 0) == 0;
    if (!runtime) continue;
    if (is_check(c)) {
      if (out.empty() || out.back().op != "kernel") out.push_back({"kernel", {}});
      continue;
    }
    out.push_back(c);
  }
  return out;
}

TYPED_TEST(StepTest, HostCallOrderOfOneStep) {
  Block& b = this->started_block();
  b.z = 17.5;
  host::trace::Collector rec;
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(ops(step_calls(rec.calls())), expected_step(TypeParam::N));
  EXPECT_EQ(b.y1, 35.0);
}

// Every argument of every call of one step; the addresses of the step's own
// locals and scratch area are the only ones not known outside the step.
TYPED_TEST(StepTest, HostCallArgumentsOfOneStepInFull) {
  constexpr int N = TypeParam::N;
  using host::trace::arg;
  auto fn = [](auto f) { return arg(reinterpret_cast<const void*>(f)); };
  Block& b = this->started_block();
  this->root_.time = 0.25;
  b.z = 17.5;
  host::trace::Collector rec;
  TypeParam::chart_step(b.instance());
  const auto calls = step_calls(rec.calls());
  std::vector<std::string> got;
  for (const auto& c : calls) {
    std::vector<std::string> a = c.args;
    if (c.op == "sf_debug_symbol_scope_add_eml" ||
        c.op == "sf_debug_symbol_scope_add_eml_importable") {
      ASSERT_GE(a.size(), 2u);
      a[1] = "<local>";
    } else if (c.op == "sf_debug_symbol_scope_push_eml") {
      ASSERT_EQ(a.size(), 6u);
      a[5] = "<scratch>";
    }
    std::string line = c.op;
    for (const auto& s : a)
      line += " " + s;
    got.push_back(line);
  }

  const ChartInstance* inst = b.instance();
  // The host prints its debug instance by a name of its own; read it from the first call.
  ASSERT_FALSE(calls.empty());
  ASSERT_FALSE(calls[0].args.empty());
  const std::string dbg = calls[0].args[0];
  const std::string blk = dbg + " " + std::to_string(this->model().machine_number) + " " +
                          std::to_string(inst->chart_number) + " " +
                          std::to_string(inst->instance_number);
  const std::string obj = std::to_string(TypeParam::column.number - 1);
  const std::string to_double = fn(&TypeParam::double_to_mx);
  const std::string to_table = fn(&TypeParam::table_to_mx);
  const std::string from_double = fn(&TypeParam::mx_to_double);
  auto chart_call = [&](const char* tag) {
    return "sf_debug_call " + blk + " 1 1 " + tag + " " + obj + " -1 0 null 0.25 1 0";
  };
  std::vector<std::string> e = {"sf_debug_symbol_scope_push " + dbg + " 0 0",
                                "sf_get_time " + arg(&b.S), chart_call("0")};
  for (int i = 0; i < N; ++i)
    e.push_back("sf_debug_data_range_wrapper " + blk + " 0 " + arg(b.x[i]));
  for (int i = 0; i < N; ++i)
    e.push_back("sf_debug_data_range_wrapper " + blk + " 1 " + arg(b.y[i]));
  e.push_back("sf_debug_data_range_wrapper " + blk + " 2 17.5");
  e.push_back(chart_call("3"));
  e.push_back("sf_debug_symbol_scope_push_eml " + dbg +
              " 0 6 6 {\"nargin\",\"nargout\",\"x\",\"y\",\"z\",\"y1\"} <scratch>");
  e.push_back("sf_debug_symbol_scope_add_eml_importable " + dbg + " <local> 0 " + to_double + " " +
              from_double + " 0");
  e.push_back("sf_debug_symbol_scope_add_eml_importable " + dbg + " <local> 1 " + to_double + " " +
              from_double + " 0");
  e.push_back("sf_debug_symbol_scope_add_eml " + dbg + " <local> 2 " + to_table);
  e.push_back("sf_debug_symbol_scope_add_eml " + dbg + " <local> 3 " + to_table);
  e.push_back("sf_debug_symbol_scope_add_eml " + dbg + " <local> 4 " + to_double);
  e.push_back("sf_debug_symbol_scope_add_eml_importable " + dbg + " <local> 5 " + to_double + " " +
              from_double + " 0");
  e.push_back("cv_eml_eval " + blk + " 0 0 1 0 0 0");
  e.push_back("eml_debug_line_call " + blk + " 0 -1 3 0.25 0 0");
  e.push_back("kernel");
  e.push_back("eml_debug_line_call " + blk + " 0 -1 -3 0.25 0 0");
  e.push_back("sf_debug_symbol_scope_pop " + dbg);
  e.push_back(chart_call("999"));
  e.push_back("sf_debug_symbol_scope_pop " + dbg);
  e.push_back("sf_debug_check_for_state_inconsistency " + blk);
  e.push_back("sf_debug_data_range_wrapper " + blk + " 3 35");
  EXPECT_EQ(got, e);
}

// The first chart call passes the event left by the previous step or by
// initialisation; a fresh instance holds 0 there.
TYPED_TEST(StepTest, EventValueOfTheFirstChartCall) {
  Block& b = this->add_block();
  TypeParam::chart_start(&b.S);
  host::trace::Collector rec;
  TypeParam::chart_step(b.instance());
  const auto calls = only(rec.calls(), {"sf_debug_call"});
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args.at(8), "0");
  EXPECT_EQ(calls[1].args.at(8), "-1");
  EXPECT_EQ(b.instance()->current_event, -1);
}

TYPED_TEST(StepAllTest, DescendingTableReachesTheKernelAsPrivateCopies) {
  constexpr int N = TypeParam::N;
  Block& b = this->started_block();
  for (int i = 0; i < N; ++i) {
    b.x[i] = 10.0 * (N - i);
    b.y[i] = i;
  }
  const std::vector<double> x0 = b.x, y0 = b.y;
  b.z = 10.0 * N - 5.0;  // between the first two breakpoints, given descending
  std::vector<double> seen_x, seen_y;
  host::sf_runtime::set_line_hook([&](const host::sf_runtime::LineCall& line) {
    if (line.line_code != -3) return;
    // The debugger-visible locals after the kernel: still in the block's order.
    for (const char* name : {"x", "y"}) {
      const mxArray* shown = host::sf_runtime::show_symbol(line.debug_instance, name);
      const double* pr = mxGetPr(shown);
      (name[0] == 'x' ? seen_x : seen_y).assign(pr, pr + mxGetNumberOfElements(shown));
      mxDestroyArray(const_cast<mxArray*>(shown));
    }
  });
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(b.x, x0);
  EXPECT_EQ(b.y, y0);
  EXPECT_EQ(seen_x, x0);
  EXPECT_EQ(seen_y, y0);
  EXPECT_EQ(b.y1, 0.5);
}

TYPED_TEST(StepAllTest, EditOfY1BetweenTheLineCallsReachesTheOutput) {
  Block& b = this->started_block();
  b.z = 3.0;
  host::sf_runtime::set_line_hook([&](const host::sf_runtime::LineCall& line) {
    if (line.line_code != -3) return;
    host::sf_runtime::edit_symbol(line.debug_instance, "y1", mxCreateDoubleScalar(-12.5));
  });
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(b.y1, -12.5);
  host::sf_runtime::set_line_hook({});
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(b.y1, 6.0);
}

TYPED_TEST(StepAllTest, KernelErrorLeavesTheOutput) {
  Block& b = this->started_block();
  b.z = 2.0;
  TypeParam::chart_step(b.instance());
  EXPECT_EQ(b.y1, 4.0);
  b.x[5] = std::nan("");
  {
    host::mex::CallContext call(this);
    try {
      TypeParam::chart_step(b.instance());
      ADD_FAILURE() << "no raise";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.identifier, "MATLAB:interp1:NaNinX");
    }
  }
  EXPECT_EQ(b.y1, 4.0);
}

TYPED_TEST(StepAllTest, ConversionCallbacksOwnership) {
  constexpr int N = TypeParam::N;
  Block& b = this->started_block();
  double v = 2.75;
  const mxArray* scalar = TypeParam::double_to_mx(b.instance(), &v);
  ASSERT_NE(scalar, nullptr);
  EXPECT_TRUE(mxIsDouble(scalar));
  EXPECT_EQ(mxGetNumberOfElements(scalar), 1u);
  EXPECT_EQ(mxGetScalar(scalar), 2.75);
  const mxArray* table = TypeParam::table_to_mx(b.instance(), b.x.data());
  ASSERT_EQ(mxGetNumberOfElements(table), static_cast<std::size_t>(N));
  EXPECT_EQ(mxGetM(table), static_cast<std::size_t>(N));
  EXPECT_TRUE(std::equal(b.x.begin(), b.x.end(), mxGetPr(table)));
  mxDestroyArray(const_cast<mxArray*>(table));
  // mx_to_double consumes what it is given.
  double out = 0.0;
  const std::size_t live = host::mx::live_count();
  TypeParam::mx_to_double(b.instance(), scalar, "y1", &out);
  EXPECT_EQ(out, 2.75);
  EXPECT_EQ(host::mx::live_count(), live - 1);
  EXPECT_EQ(TypeParam::import_named_double(b.instance(), mxCreateDoubleScalar(-1.0), "y1"), -1.0);
  EXPECT_EQ(host::mx::live_count(), live - 1);
  // A wrong value is the host's import error, naming the variable.
  host::mex::CallContext call(this);
  try {
    TypeParam::import_named_double(b.instance(), mxCreateString("no"), "y1");
    ADD_FAILURE() << "no raise";
  } catch (const host::HostError& e) {
    EXPECT_NE(std::string(e.what()).find("y1"), std::string::npos) << e.what();
  }
}

TYPED_TEST(StepAllTest, ChartTimeFollowsTheHost) {
  Block& b = this->started_block();
  this->root_.time = 1.5;
  TypeParam::enable_chart(b.instance());
  EXPECT_EQ(TypeParam::chart_time, 1.5);
  this->root_.time = 2.5;
  TypeParam::disable_chart(b.instance());
  EXPECT_EQ(TypeParam::chart_time, 2.5);
}

}  // namespace
}  // namespace chart_test
