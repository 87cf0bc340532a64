#include "cli/CameraLink.h"

#include <cstdio>

#include "link/BackendRegistry.h"
#include "sim/AllDrivers.h"

namespace bf::cli {

namespace {
constexpr const char* kCameraMissing = "--camera needs a backend, e.g. --camera sim";
}  // namespace

void DeclareCameraOption(CommandLine& line, std::string& camera) {
  camera = BackendSelectionFromEnvironment();
  line.Value("--camera", camera, kCameraMissing);
}

void CheckCameraOption(CommandLine& line, const std::string& camera) {
  if (camera.empty()) line.Fail(kCameraMissing);
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
