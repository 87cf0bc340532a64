#pragma once
#include <vector>

#include "link/BackendRegistry.h"

namespace bf {

// Every backend the programs can select: the hardware drivers, the simulated camera and
// the scripted device ("script:FILE", sim/ScriptedBackend.h).
std::vector<BackendDriver> AllDrivers();

}  // namespace bf
