// Symbol scopes: the stack, finding a symbol by name, the show and edit callbacks,
// the line-call hook, and the scopes a failing method leaves behind.
#include <string>
#include <vector>

#include "host/mex_host.hpp"
#include "tests/host/sf_runtime/runtime_support.hpp"

namespace {

using sf_runtime_test::RuntimeTest;

// Callbacks of the kind a chart hands over: show makes a new double scalar, edit
// reads one and consumes it.
std::vector<std::string> g_edits;
void* g_seen_instance = nullptr;

const mxArray* show_double(void* chart_instance, void* data) {
  g_seen_instance = chart_instance;
  return mxCreateDoubleScalar(*static_cast<double*>(data));
}
void edit_double(void* chart_instance, const mxArray* value, const char* name, void* data) {
  g_seen_instance = chart_instance;
  g_edits.push_back(name);
  *static_cast<double*>(data) = mxGetScalar(value);
  mxDestroyArray(const_cast<mxArray*>(value));
}

const char* kNames[] = {"nargin", "nargout", "x", "y", "z", "y1"};

class ScopesTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    g_edits.clear();
    g_seen_instance = nullptr;
    start_machine();
    register_chart(1, &S_, &chart_, &instance_);
  }

 public:
  // The calls of one chart step around its computation; `compute` runs between the
  // two line calls and returns y1.
  double step(double z, double (*compute)(double)) {
    double nargin = 3.0, nargout = 1.0, x[2] = {1, 2}, y[2] = {3, 4}, zl = z, y1 = -1.0;
    unsigned scratch[6] = {};
    sf_debug_symbol_scope_push(dbg_, 0, 0);
    sf_debug_symbol_scope_push_eml(dbg_, 0, 6, 6, kNames, scratch);
    sf_debug_symbol_scope_add_eml_importable(dbg_, &nargin, 0, show_double, edit_double, 0);
    sf_debug_symbol_scope_add_eml_importable(dbg_, &nargout, 1, show_double, edit_double, 0);
    sf_debug_symbol_scope_add_eml(dbg_, x, 2, show_double);
    sf_debug_symbol_scope_add_eml(dbg_, y, 3, show_double);
    sf_debug_symbol_scope_add_eml(dbg_, &zl, 4, show_double);
    sf_debug_symbol_scope_add_eml_importable(dbg_, &y1, 5, show_double, edit_double, 0);
    eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, 3, 0.5, 0, 0);
    y1 = compute(zl);
    eml_debug_line_call(dbg_, machine_, chart_, instance_, 0, -1, -3, 0.5, 0, 0);
    sf_debug_symbol_scope_pop(dbg_);
    sf_debug_symbol_scope_pop(dbg_);
    return y1;
  }

 protected:
  SimStruct S_{};
  unsigned chart_ = 0, instance_ = 0;
};

double twice(double z) {
  return 2 * z;
}

TEST_F(ScopesTest, PushAddFindShowAndPop) {
  double a = 1.5, b = -2.0;
  unsigned scratch[2];
  const char* names[] = {"a", "b"};
  sf_debug_symbol_scope_push(dbg_, 0, 0);
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 1u);
  sf_debug_symbol_scope_push_eml(dbg_, 0, 2, 2, names, scratch);
  sf_debug_symbol_scope_add_eml(dbg_, &a, 0, show_double);
  sf_debug_symbol_scope_add_eml_importable(dbg_, &b, 1, show_double, edit_double, 0);
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 2u);

  const host::sf_runtime::Symbol* sa = host::sf_runtime::find_symbol(dbg_, "a");
  ASSERT_NE(sa, nullptr);
  EXPECT_EQ(sa->index, 0u);
  EXPECT_EQ(sa->address, &a);
  EXPECT_EQ(sa->from_mx, nullptr);
  EXPECT_EQ(host::sf_runtime::find_symbol(dbg_, "c"), nullptr);

  int chart_instance = 0;
  const mxArray* shown = host::sf_runtime::show_symbol(dbg_, "a", &chart_instance);
  EXPECT_EQ(g_seen_instance, &chart_instance);
  EXPECT_EQ(mxGetScalar(shown), 1.5);
  mxDestroyArray(const_cast<mxArray*>(shown));

  host::sf_runtime::edit_symbol(dbg_, "b", mxCreateDoubleScalar(7.25));
  EXPECT_EQ(b, 7.25);
  EXPECT_EQ(g_edits, std::vector<std::string>{"b"});

  // A view-only symbol is not edited and the value stays the caller's.
  mxArray* value = mxCreateDoubleScalar(1.0);
  EXPECT_HOST_ERROR(host::sf_runtime::edit_symbol(dbg_, "a", value),
                    "Stateflow:Runtime:SymbolNotEditable", "Symbol 'a' is view only.");
  mxDestroyArray(value);
  EXPECT_EQ(a, 1.5);

  sf_debug_symbol_scope_pop(dbg_);
  EXPECT_EQ(host::sf_runtime::find_symbol(dbg_, "a"), nullptr);
  EXPECT_HOST_ERROR(host::sf_runtime::show_symbol(dbg_, "a"), "Stateflow:Runtime:UnknownSymbol",
                    "No open symbol scope has a symbol 'a'.");
  sf_debug_symbol_scope_pop(dbg_);
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 0u);
}

TEST_F(ScopesTest, InnerScopesHideOuterSymbolsOfTheSameName) {
  double outer = 1.0, inner = 2.0;
  const char* names[] = {"v"};
  sf_debug_symbol_scope_push_eml(dbg_, 0, 1, 1, names, nullptr);
  sf_debug_symbol_scope_add_eml(dbg_, &outer, 0, show_double);
  sf_debug_symbol_scope_push_eml(dbg_, 0, 1, 1, names, nullptr);
  sf_debug_symbol_scope_add_eml(dbg_, &inner, 0, show_double);
  EXPECT_EQ(host::sf_runtime::find_symbol(dbg_, "v")->address, &inner);
  sf_debug_symbol_scope_pop(dbg_);
  EXPECT_EQ(host::sf_runtime::find_symbol(dbg_, "v")->address, &outer);
  // Adding the same index again replaces the symbol.
  sf_debug_symbol_scope_add_eml(dbg_, &inner, 0, show_double);
  EXPECT_EQ(host::sf_runtime::find_symbol(dbg_, "v")->address, &inner);
  sf_debug_symbol_scope_pop(dbg_);
}

TEST_F(ScopesTest, ScopeMisuseRaises) {
  double v = 0;
  EXPECT_HOST_ERROR(sf_debug_symbol_scope_pop(dbg_), "Stateflow:Runtime:SymbolScope",
                    "sf_debug_symbol_scope_pop: no symbol scope is open.");
  EXPECT_HOST_ERROR(sf_debug_symbol_scope_add_eml(dbg_, &v, 0, show_double),
                    "Stateflow:Runtime:SymbolScope",
                    "sf_debug_symbol_scope_add_eml: no symbol scope is open.");
  sf_debug_symbol_scope_push(dbg_, 0, 0);
  EXPECT_HOST_ERROR(
      sf_debug_symbol_scope_add_eml_importable(dbg_, &v, 0, show_double, edit_double, 0),
      "Stateflow:Runtime:SymbolScope",
      "sf_debug_symbol_scope_add_eml_importable: the open symbol scope was not pushed for "
      "symbols.");
  sf_debug_symbol_scope_push_eml(dbg_, 0, 6, 6, kNames, nullptr);
  EXPECT_HOST_ERROR(sf_debug_symbol_scope_add_eml(dbg_, &v, 6, show_double),
                    "Stateflow:Runtime:SymbolScope",
                    "sf_debug_symbol_scope_add_eml: symbol index 6 is beyond the scope's 6 "
                    "symbols.");
  EXPECT_HOST_ERROR(sf_debug_symbol_scope_push_eml(dbg_, 0, 2, 2, nullptr, nullptr),
                    "Stateflow:Runtime:InvalidArgument",
                    "sf_debug_symbol_scope_push_eml: 2 symbols announced but no names given.");
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 2u);
  sf_debug_symbol_scope_pop(dbg_);
  sf_debug_symbol_scope_pop(dbg_);
}

TEST_F(ScopesTest, TheLineHookCanEditY1BetweenTheLineCalls) {
  std::vector<int> lines;
  host::sf_runtime::set_line_hook([&](const host::sf_runtime::LineCall& call) {
    lines.push_back(call.line_code);
    EXPECT_EQ(call.debug_instance, dbg_);
    EXPECT_EQ(call.machine_number, machine_);
    EXPECT_EQ(call.chart_number, chart_);
    EXPECT_EQ(call.instance_number, instance_);
    EXPECT_EQ(call.current_event, -1);
    EXPECT_EQ(call.time, 0.5);
    // After the computation, the debugger overwrites the result.
    if (call.line_code == -3) host::sf_runtime::edit_symbol(dbg_, "y1", mxCreateDoubleScalar(42.0));
  });
  EXPECT_EQ(step(3.0, twice), 42.0);
  EXPECT_EQ(lines, (std::vector<int>{3, -3}));
  EXPECT_EQ(g_edits, std::vector<std::string>{"y1"});
  EXPECT_EQ(host::sf_runtime::chart_instance(chart_, instance_)->line_calls, 2u);

  // Without the hook the computed value stands.
  host::sf_runtime::set_line_hook(nullptr);
  EXPECT_EQ(step(3.0, twice), 6.0);
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 0u);
}

TEST_F(ScopesTest, TheLineHookCanReadTheInputsThroughTheShowCallbacks) {
  std::vector<double> seen;
  host::sf_runtime::set_line_hook([&](const host::sf_runtime::LineCall& call) {
    if (call.line_code != 3) return;
    for (const char* name : {"nargin", "nargout", "z"}) {
      const mxArray* v = host::sf_runtime::show_symbol(dbg_, name);
      seen.push_back(mxGetScalar(v));
      mxDestroyArray(const_cast<mxArray*>(v));
    }
  });
  step(0.25, twice);
  EXPECT_EQ(seen, (std::vector<double>{3.0, 1.0, 0.25}));
}

// A method body whose step fails leaves its scopes open; the method wrapper closes
// the scopes that body opened, and only those.
double fail_compute(double) {
  throw host::HostError("Test:fail", "the computation failed");
}

ScopesTest* g_fixture = nullptr;
void failing_body(SimStruct*) {
  g_fixture->step(1.0, fail_compute);
}

TEST_F(ScopesTest, AFailedMethodLeavesNoScopeOpen) {
  SsModelInfo info{};
  SimStruct root{};
  root.mdl_info = &info;
  sf_debug_symbol_scope_push(dbg_, 0, 0);  // opened outside the method
  g_fixture = this;
  callMdlMethodAndReportError(failing_body, &root);
  ASSERT_TRUE(host::sf_runtime::last_error().has_value());
  EXPECT_EQ(host::sf_runtime::last_error()->message, "the computation failed");
  EXPECT_EQ(host::sf_runtime::scope_depth(dbg_), 1u);
  sf_debug_symbol_scope_pop(dbg_);
}

}  // namespace
