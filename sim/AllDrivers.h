#pragma once
#include <vector>

#include "link/BackendRegistry.h"

namespace bf {

// Every backend the programs can select: the hardware drivers and the simulated camera.
std::vector<BackendDriver> AllDrivers();

}  // namespace bf
