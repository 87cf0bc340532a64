#include "sim/AllDrivers.h"

#include "sim/SimDriver.h"

namespace bf {

std::vector<BackendDriver> AllDrivers() {
  std::vector<BackendDriver> drivers = HardwareDrivers();
  drivers.push_back(sim::SimDriver());
  return drivers;
}

}  // namespace bf
