#include "cli/CameraLink.h"

#include <cstdio>

#include "link/BackendRegistry.h"
#include "sim/AllDrivers.h"

namespace bf::cli {

bool TakeCameraOption(std::vector<std::string>& args, std::string* camera, const char* command) {
  *camera = BackendSelectionFromEnvironment();
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--camera") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        std::fprintf(stderr, "bfk %s: --camera needs a backend, e.g. --camera sim\n", command);
        return false;
      }
      *camera = args[++i];
    } else if (a.rfind("--camera=", 0) == 0) {
      *camera = a.substr(9);
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return true;
}

std::optional<CameraLink> OpenCameraLink(const std::string& selection, TickSource& ticks,
                                         const char* command) {
  std::string error;
  std::shared_ptr<D2xxBackend> backend = CreateBackend(selection, AllDrivers(), ticks, &error);
  if (!backend) {
    std::fprintf(stderr, "bfk %s: %s\n", command, error.c_str());
    return std::nullopt;
  }
  CameraLink camera{backend, std::make_unique<FTDClass>(backend, ticks)};
  try {
    camera.link->Open(0);
    camera.link->ResetDevice();
  } catch (const FTDException& e) {
    const std::string detail = backend->LastError();
    std::fprintf(stderr, "bfk %s: camera not available: %s%s%s\n", command, e.GetText(),
                 detail.empty() ? "" : " - ", detail.c_str());
    return std::nullopt;
  }
  return camera;
}

}  // namespace bf::cli
