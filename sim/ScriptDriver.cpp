#include <fstream>
#include <iterator>

#include "sim/ScriptedBackend.h"

namespace bf::sim {

BackendDriver ScriptDriver() {
  return {"script",
          [](const std::string& path, TickSource& ticks,
             std::string* error) -> std::unique_ptr<D2xxBackend> {
            std::ifstream in(path, std::ios::binary);
            if (path.empty() || !in) {
              if (error != nullptr) *error = "cannot read the script \"" + path + "\"";
              return nullptr;
            }
            std::vector<uint8_t> script((std::istreambuf_iterator<char>(in)), {});
            return std::make_unique<ScriptedBackend>(std::move(script), ticks);
          }};
}

}  // namespace bf::sim
