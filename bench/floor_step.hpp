// The floor of a chart step: exactly the host calls and the array copies of one
// output step of a chart with a table of N, made from here rather than through a
// plug-in. The engine's two writes of the call's arguments, the plug-in's reading
// of the flag, the method wrapper and then the step: range checks of every input,
// the debugger and scope calls, the copies into the step's local tables, and the
// kernel (NaN scan, reversal of a descending table, monotonicity, binary search),
// each indexed access behind an integer and a bounds check. Linked against the null
// host, it measures what those calls cost when the host only returns; linked
// against the printing null host, it lists them.
#pragma once

#include <array>
#include <cstdint>

#include "bench/inputs.hpp"
#include "platform/mathutil.h"
#include "platform/mx.h"
#include "platform/sf_runtime.h"
#include "platform/simstruc.h"
#include "platform/truncate.h"

namespace bench::floor {

// What the plug-in keeps between calls: the model's debug instance and machine, the
// block's chart instance numbers and signals, the chart time.
struct Block {
  void* debug_instance;
  unsigned machine_number;
  unsigned chart_number;
  unsigned instance_number;
  unsigned object_number;  // the chart's number less one
  int current_event;
  const double* x;
  const double* y;
  const double* z;
  double* y1;
  double chart_time;
};

// The engine's arguments of a method call.
struct Call {
  mxArray* flag;
  mxArray* time;
  SimStruct* S;
};

inline Block g_block;

template <int N, bool Extrapolate>
struct Step {
  static int32_t checked_index(int32_t k) {
    const Block& b = g_block;
    const double v = sf_debug_integer_check(b.debug_instance, b.machine_number, b.chart_number,
                                            b.instance_number, "", static_cast<double>(k));
    int32_t t = 0;
    truncate_to_int32(v, &t);
    int32_t index = sf_debug_eml_data_array_bounds_error_check(
        b.debug_instance, b.machine_number, b.chart_number, b.instance_number, "", t, 1, N, 1, 0);
    if (index < 1) index = 1;
    if (index > N) index = N;
    return index;
  }

  static void reverse(double* T) {
    for (int32_t j = 1; j <= N / 2; ++j) {
      const double t = T[checked_index(j) - 1];
      const int32_t d = checked_index(j);
      T[d - 1] = T[checked_index(N + 1 - j) - 1];
      T[checked_index(N + 1 - j) - 1] = t;
    }
  }

  static double interpolate(double* Y, double u, double* X) {
    double result = Extrapolate ? 0.0 : mxGetNaN();
    for (int32_t k = 1; k <= N; ++k) {
      if (muDoubleScalarIsNaN(X[checked_index(k) - 1])) return result;
    }
    if (X[1] < X[0]) {
      reverse(X);
      reverse(Y);
    }
    for (int32_t k = 2; k <= N; ++k) {
      const double xk = X[checked_index(k) - 1];
      const double xprev = X[checked_index(k - 1) - 1];
      if (xk <= xprev) return result;
    }
    const double minx = X[0];
    const double penx = X[N - 2];
    const double maxx = X[N - 1];
    if (muDoubleScalarIsNaN(u)) return Extrapolate ? mxGetNaN() : result;
    if (u > maxx) {
      if (!Extrapolate) return result;
      return (Y[N - 1] - Y[N - 2]) * ((u - maxx) / (maxx - penx)) + Y[N - 1];
    }
    if (u < minx) {
      if (!Extrapolate) return result;
      return (Y[1] - Y[0]) * ((u - minx) / (X[1] - minx)) + Y[0];
    }
    int32_t low = 1;
    int32_t high = N;
    while (high > low + 1) {
      const int32_t mid = (low + high) >> 1;
      if (u >= X[checked_index(mid) - 1]) {
        low = mid;
      } else {
        high = mid;
      }
    }
    const double a = X[checked_index(low) - 1];
    const double b = X[checked_index(low + 1) - 1];
    const double r = (u - a) / (b - a);
    const double ya = Y[checked_index(low) - 1];
    const double yb = Y[checked_index(low + 1) - 1];
    if (yb == ya) return ya;
    return ya * (1.0 - r) + yb * r;
  }

  static void range_check(unsigned data_number, double value) {
    const Block& b = g_block;
    sf_debug_data_range_wrapper(b.debug_instance, b.machine_number, b.chart_number,
                                b.instance_number, data_number, value);
  }

  static void debug_call(unsigned tag) {
    Block& b = g_block;
    sf_debug_call(b.debug_instance, b.machine_number, b.chart_number, b.instance_number, 1, 1, tag,
                  b.object_number, b.current_event, 0, nullptr, b.chart_time, 1, 0);
  }

  static void body(SimStruct* S) {
    Block& b = g_block;
    double nargin = 3.0;
    double nargout = 1.0;
    sf_debug_symbol_scope_push(b.debug_instance, 0, 0);
    b.chart_time = sf_get_time(S);
    debug_call(0);
    for (int i = 0; i < N; ++i)
      range_check(0, b.x[i]);
    for (int i = 0; i < N; ++i)
      range_check(1, b.y[i]);
    range_check(2, *b.z);
    b.current_event = -1;
    debug_call(3);

    double x[N];
    double y[N];
    for (int i = 0; i < N; ++i)
      x[i] = b.x[i];
    for (int i = 0; i < N; ++i)
      y[i] = b.y[i];
    double z = *b.z;
    double y1 = 0.0;

    const char* names[6] = {"nargin", "nargout", "x", "y", "z", "y1"};
    int32_t scratch[6];
    sf_debug_symbol_scope_push_eml(b.debug_instance, 0, 6, 6, names, scratch);
    sf_debug_symbol_scope_add_eml_importable(b.debug_instance, &nargin, 0, nullptr, nullptr, 0);
    sf_debug_symbol_scope_add_eml_importable(b.debug_instance, &nargout, 1, nullptr, nullptr, 0);
    sf_debug_symbol_scope_add_eml(b.debug_instance, x, 2, nullptr);
    sf_debug_symbol_scope_add_eml(b.debug_instance, y, 3, nullptr);
    sf_debug_symbol_scope_add_eml(b.debug_instance, &z, 4, nullptr);
    sf_debug_symbol_scope_add_eml_importable(b.debug_instance, &y1, 5, nullptr, nullptr, 0);
    cv_eml_eval(b.debug_instance, b.machine_number, b.chart_number, b.instance_number, 0, 0, 1, 0,
                0, 0);
    eml_debug_line_call(b.debug_instance, b.machine_number, b.chart_number, b.instance_number, 0,
                        b.current_event, 3, b.chart_time, 0, 0);

    double x_work[N];
    double y_work[N];
    for (int i = 0; i < N; ++i)
      x_work[i] = x[i];
    for (int i = 0; i < N; ++i)
      y_work[i] = y[i];
    y1 = interpolate(y_work, z, x_work);

    eml_debug_line_call(b.debug_instance, b.machine_number, b.chart_number, b.instance_number, 0,
                        b.current_event, -3, b.chart_time, 0, 0);
    sf_debug_symbol_scope_pop(b.debug_instance);
    *b.y1 = y1;
    debug_call(999);
    sf_debug_symbol_scope_pop(b.debug_instance);
    sf_debug_check_for_state_inconsistency(b.debug_instance, b.machine_number, b.chart_number,
                                           b.instance_number);
    range_check(3, *b.y1);
  }

  // One output call: the engine writes the flag and the time, the plug-in reads the
  // flag and runs the step under the method wrapper.
  static void run(const Call& c, double time) {
    mxGetPr(c.flag)[0] = SS_METHOD_OUTPUTS;
    mxGetPr(c.time)[0] = time;
    if (!mxIsDouble(c.flag) || mxIsEmpty(c.flag)) return;
    if (static_cast<int>(mxGetPr(c.flag)[0]) != SS_METHOD_OUTPUTS) return;
    callMdlMethodAndReportError(&body, c.S);
  }
};

// A block of chart `chart` fed with x, y and z, its output at y1, and the engine's
// arguments of its calls. Owns the arrays it makes.
class Rig {
 public:
  Rig(int chart, const double* x, const double* y, const double* z, double* y1) {
    info_.t = &time_;
    S_.mdl_info = &info_;
    call_ = {mxCreateDoubleScalar(0.0), mxCreateDoubleScalar(0.0), &S_};
    g_block = Block{&g_block,
                    1,
                    100u + static_cast<unsigned>(chart),
                    1,
                    static_cast<unsigned>(chart - 1),
                    0,
                    x,
                    y,
                    z,
                    y1,
                    0.0};
  }
  ~Rig() {
    mxDestroyArray(call_.flag);
    mxDestroyArray(call_.time);
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;
  const Call& call() const { return call_; }
  void set_time(double t) { time_ = t; }

 private:
  double time_ = 0.0;
  SsModelInfo info_{};
  SimStruct S_{};
  Call call_{};
};

// The step for chart `index` of bench::kCharts.
using StepFn = void (*)(const Call&, double);
template <class C>
using StepOf = Step<C::column.table_length, C::Model::outside == charts::Outside::Extrapolate>;
template <class... Cs>
constexpr std::array<StepFn, sizeof...(Cs)> steps_of(models::List<Cs...>) {
  return {&StepOf<Cs>::run...};
}
inline constexpr auto kSteps = steps_of(models::AllCharts{});

}  // namespace bench::floor
