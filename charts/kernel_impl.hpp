// The interpolation kernel of Chart<Col>: table checks, optional reversal of a
// descending table, binary search and linear interpolation, with every element
// access whose index is not a constant preceded by the host's integer and bounds
// checks.
#pragma once

#include <cstdint>
#include <cstring>

#include "charts/chart.hpp"
#include "charts/model_state.hpp"
#include "platform/mathutil.h"
#include "platform/mx.h"
#include "platform/sf_runtime.h"
#include "platform/truncate.h"

namespace charts {

namespace detail {

// The double that the integer check answered, truncated toward zero into 32 bits.
// A value without a 32-bit integer part (NaN, out of range) becomes 0, which the
// bounds check then reports as outside the table.
inline int32_t truncate_index(double v) {
  int32_t index = 0;
  truncate_to_int32(v, &index);
  return index;
}

inline constexpr char kNaNinX[] = "MATLAB:interp1:NaNinX";
inline constexpr char kNonMonotonicX[] = "Coder:toolbox:interp1_nonMonotonicX";
inline constexpr int kNaNinXLength = sizeof kNaNinX - 1;
inline constexpr int kNonMonotonicXLength = sizeof kNonMonotonicX - 1;
inline constexpr int kMaxIdentifierLength = kNonMonotonicXLength;

}  // namespace detail

template <class Col>
inline int32_t Chart<Col>::checked_index(ChartInstance* instance, int32_t k) {
  const charts::ModelState& m = charts::model_state<Model>();
  const double v =
      sf_debug_integer_check(m.debug_instance, m.machine_number, instance->chart_number,
                             instance->instance_number, "", static_cast<double>(k));
  int32_t index = sf_debug_eml_data_array_bounds_error_check(
      m.debug_instance, m.machine_number, instance->chart_number, instance->instance_number, "",
      detail::truncate_index(v), 1, N, 1, 0);
  // The host reports an index outside the table; should its report return, the
  // access stays inside the table rather than reading foreign memory.
  if (index < 1) index = 1;
  if (index > N) index = N;
  return index;
}

template <class Col>
void Chart<Col>::reverse_table(ChartInstance* instance, double* T) {
  for (int32_t j = 1; j <= N / 2; ++j) {
    const double t = T[checked_index(instance, j) - 1];
    const int32_t destination = checked_index(instance, j);
    T[destination - 1] = T[checked_index(instance, N + 1 - j) - 1];
    T[checked_index(instance, N + 1 - j) - 1] = t;
  }
}

template <class Col>
void Chart<Col>::raise_interp_error(ChartInstance* instance, const char* identifier, int length) {
  (void)instance;
  const charts::ModelState& m = charts::model_state<Model>();
  if (length < 0) length = 0;
  if (length > detail::kMaxIdentifierLength) length = detail::kMaxIdentifierLength;
  char buffer[detail::kMaxIdentifierLength];
  std::memcpy(buffer, identifier, static_cast<std::size_t>(length));
  const mxArray* holder = nullptr;
  sf_mex_assign(&holder, sf_mex_create("y", buffer, SF_MEX_CHAR_BUFFER, 0, 1, 0, 2, 1, length, 0),
                false);
  const mxArray* msg =
      sf_mex_call_debug(m.debug_instance, "message", 1, 1, SF_MEX_ARG_HOLDER, holder);
  sf_mex_call_debug(m.debug_instance, "error", 0, 1, SF_MEX_ARG_HOLDER, msg);
}

template <class Col>
double Chart<Col>::table_interpolate(ChartInstance* instance, double* Y, double u, double* X) {
  constexpr bool extrapolate = Model::outside == Outside::Extrapolate;
  double result = extrapolate ? 0.0 : mxGetNaN();

  for (int32_t k = 1; k <= N; ++k) {
    if (muDoubleScalarIsNaN(X[checked_index(instance, k) - 1])) {
      raise_interp_error(instance, detail::kNaNinX, detail::kNaNinXLength);
      return result;
    }
  }

  if (X[1] < X[0]) {
    reverse_table(instance, X);
    reverse_table(instance, Y);
  }

  for (int32_t k = 2; k <= N; ++k) {
    const double xk = X[checked_index(instance, k) - 1];
    const double xprev = X[checked_index(instance, k - 1) - 1];
    if (xk <= xprev)
      raise_interp_error(instance, detail::kNonMonotonicX, detail::kNonMonotonicXLength);
  }

  const double minx = X[0];
  const double penx = X[N - 2];
  const double maxx = X[N - 1];

  if (muDoubleScalarIsNaN(u)) {
    if constexpr (extrapolate) result = mxGetNaN();
    return result;
  }
  if (u > maxx) {
    if constexpr (extrapolate) {
      const double r = (u - maxx) / (maxx - penx);
      result = (Y[N - 1] - Y[N - 2]) * r + Y[N - 1];
    }
    return result;
  }
  if (u < minx) {
    if constexpr (extrapolate) {
      const double r = (u - minx) / (X[1] - minx);
      result = (Y[1] - Y[0]) * r + Y[0];
    }
    return result;
  }

  int32_t low = 1;
  int32_t high = N;
  while (high > low + 1) {
    const int32_t mid = (low + high) >> 1;
    if (u >= X[checked_index(instance, mid) - 1]) {
      low = mid;
    } else {
      high = mid;
    }
  }

  const double a = X[checked_index(instance, low) - 1];
  const double b = X[checked_index(instance, low + 1) - 1];
  const double r = (u - a) / (b - a);
  const double w = 1.0 - r;
  const double ya = Y[checked_index(instance, low) - 1];
  const double yb = Y[checked_index(instance, low + 1) - 1];
  if (yb == ya) return ya;
  const double left = ya * w;
  const double right = yb * r;
  return left + right;
}

}  // namespace charts
