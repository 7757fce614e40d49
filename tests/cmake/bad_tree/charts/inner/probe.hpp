// A layer inside another may not include the folder around it.
#include "charts/probe.hpp"
