// Definitions of Chart<Col>; included by chart.hpp. Each part of the chart lives in
// a header of its own.
#pragma once

#include "charts/debug_impl.hpp"
#include "charts/info_impl.hpp"
#include "charts/instance_impl.hpp"
#include "charts/kernel_impl.hpp"
#include "charts/step_impl.hpp"
