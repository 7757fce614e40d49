// Climbs out of its folder.
#include "../charts/probe.hpp"
