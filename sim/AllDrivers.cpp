#include "sim/AllDrivers.h"

#include "sim/ScriptedBackend.h"
#include "sim/SimDriver.h"

namespace bf {

std::vector<BackendDriver> AllDrivers() {
  std::vector<BackendDriver> drivers = HardwareDrivers();
  drivers.push_back(sim::SimDriver());
  drivers.push_back(sim::ScriptDriver());
  return drivers;
}

}  // namespace bf
