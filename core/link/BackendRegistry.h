#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "link/D2xxBackend.h"

namespace bf {

// One way of reaching a camera. create() gets the text after "name:" (empty without it); on
// failure it returns nullptr and, when error is not null, says why.
struct BackendDriver {
  std::string name;
  std::function<std::unique_ptr<D2xxBackend>(const std::string& options, TickSource& ticks,
                                             std::string* error)>
      create;
};

// The drivers that talk to real hardware: "ftdi" (libftdi) and "d2xx" (the vendor library).
std::vector<BackendDriver> HardwareDrivers();

// The environment variable naming the backend, and the backend used when it is unset or empty.
inline constexpr const char* kBackendEnvironmentVariable = "BRINDLEFLASH_CAMERA";
#ifdef _WIN32
inline constexpr const char* kDefaultBackendSelection = "d2xx";
#else
inline constexpr const char* kDefaultBackendSelection = "ftdi";
#endif

// The value of BRINDLEFLASH_CAMERA, or "ftdi".
std::string BackendSelectionFromEnvironment();

// The selection is "name" or "name:options". An unknown name gives nullptr and an error naming the
// known drivers. When BRINDLEFLASH_TRACE names a file, the backend comes wrapped in the link
// trace (link/TraceBackend.h); a trace file that cannot be opened is explained in *warning (on
// stderr when warning is null) and the backend is returned untraced.
std::unique_ptr<D2xxBackend> CreateBackend(const std::string& selection,
                                           const std::vector<BackendDriver>& drivers,
                                           TickSource& ticks, std::string* error,
                                           std::string* warning = nullptr);

// A backend whose Open always fails with status (and whose other calls report an invalid
// handle). Lets the program start when no real backend could be created: the failure then
// reaches the operator through the normal start-up path. reason becomes LastError().
std::unique_ptr<D2xxBackend> MakeFailingBackend(FtStatus status, std::string reason = {});

}  // namespace bf
