#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"

namespace bf::test {

// COUNT bytes from ADDRESS of the flash of the simulated camera that OPTIONS (sim options over
// the demo camera) make: the same camera a bfk run given those options talks to, built in this
// process to compare its output with.
inline std::vector<uint8_t> SimFlashBytes(const std::string& options, uint64_t address,
                                          uint64_t count) {
  std::string error;
  const auto parsed = sim::ParseSimOptions(options, sim::SimOptions::Demo(), &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  if (!parsed) return {};
  VirtualClock clock;
  sim::SimCamera camera(*parsed, clock);
  return camera.FlashBytes(address, count);
}

}  // namespace bf::test
