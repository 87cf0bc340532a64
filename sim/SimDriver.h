#pragma once
#include "link/BackendRegistry.h"

namespace bf::sim {

// The driver "sim": BRINDLEFLASH_CAMERA=sim gives the demo camera (SimOptions::Demo()), and
// "sim:key=value,..." changes any of its options (sim/OPTIONS.md).
BackendDriver SimDriver();

}  // namespace bf::sim
