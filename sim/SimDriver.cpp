#include "sim/SimDriver.h"

#include "sim/SimCamera.h"
#include "sim/SimOptions.h"

namespace bf::sim {

BackendDriver SimDriver() {
  return {"sim",
          [](const std::string& options, TickSource& ticks,
             std::string* error) -> std::unique_ptr<D2xxBackend> {
            auto parsed = ParseSimOptions(options, SimOptions::Demo(), error);
            if (!parsed) return nullptr;
            return std::make_unique<SimCamera>(*parsed, ticks);
          }};
}

}  // namespace bf::sim
