// Includes a folder above its own.
#include "registry/lifecycle.hpp"
