#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "host/TickSource.h"
#include "link/D2xxBackend.h"
#include "link/FTD2xx.h"

namespace bf::cli {

// The device link of a bfk command that talks to the camera.
struct CameraLink {
  std::shared_ptr<D2xxBackend> backend;
  std::unique_ptr<FTDClass> link;
};

// Declares "--camera CAMERA" (the backend selection as BRINDLEFLASH_CAMERA takes it: "ftdi",
// "d2xx", "sim:key=value,..."); `camera` starts as the environment's choice, or "ftdi".
void DeclareCameraOption(CommandLine& line, std::string& camera);
// After parsing: a --camera without a backend fails the command line.
void CheckCameraOption(CommandLine& line, const std::string& camera);

// Opens device 0 of the backend the selection names and resets it, as the window does at start-up;
// no camera settings are sent. Nothing, with the reason on stderr, when that fails.
std::optional<CameraLink> OpenCameraLink(const std::string& selection, TickSource& ticks,
                                         const char* command);

}  // namespace bf::cli
