// The D2XX entry points of the stand-in library (StandinHook.h). Every call goes to the one
// simulated camera of the process; nothing is thrown across the library's edge.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <type_traits>

#include "host/TickSource.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/d2xx_standin/StandinHook.h"

// The export table (FTD2XX.def) names the functions undecorated, as x64 has one calling
// convention; 32-bit stdcall would decorate them (FT_Open@8) and need its own table.
static_assert(sizeof(void*) == 8, "the stand-in's export table is written for 64-bit Windows");

namespace {

using bf::FtStatus;
using bf::sim::SimCamera;
using bf::sim::SimOptions;
namespace ftstatus = bf::ftstatus;

// The library's status, count, mask and timeout type: 32 bits on Windows.
using Word = unsigned long;
static_assert(sizeof(Word) == 4);

std::mutex gMutex;
std::shared_ptr<SimCamera> gCamera;  // guarded by gMutex; calls run on a copy, outside it
bool gEnvironmentRefused = false;

// The camera of this process: the one a test put in place, else the one the environment names
// (made at the first call). Null when the environment's options are refused; that is said once.
std::shared_ptr<SimCamera> Current() {
  std::lock_guard lock(gMutex);
  if (gCamera || gEnvironmentRefused) return gCamera;
  const char* text = std::getenv(bf::standin::kOptionsVariable);
  std::string error;
  auto options = bf::sim::ParseSimOptions(text != nullptr ? text : "", SimOptions::Demo(), &error);
  if (!options) {
    gEnvironmentRefused = true;
    std::fprintf(stderr, "FTD2XX stand-in: %s refused: %s\n", bf::standin::kOptionsVariable,
                 error.c_str());
    return nullptr;
  }
  gCamera = std::make_shared<SimCamera>(*options, bf::SystemTickSource::Instance());
  return gCamera;
}

// Runs call on the current camera; noCamera when there is none (2 for an open: nothing to find;
// 1 otherwise: no handle can be valid). Exceptions become statuses.
template <class Call>
Word Guarded(FtStatus noCamera, Call call) {
  try {
    std::shared_ptr<SimCamera> camera = Current();
    if (!camera) return noCamera;
    return call(*camera);
  } catch (const std::bad_alloc&) {
    return ftstatus::kInsufficientResources;
  } catch (...) {
    return ftstatus::kOtherError;
  }
}

template <class Call>
Word WithHandle(Call call) {
  return Guarded(ftstatus::kInvalidHandle, call);
}

void CopyError(const std::string& text, char* error, unsigned errorSize) {
  if (error == nullptr || errorSize == 0) return;
  const std::size_t n = std::min<std::size_t>(text.size(), errorSize - 1);
  text.copy(error, n);
  error[n] = '\0';
}

}  // namespace

extern "C" {

Word WINAPI FT_Open(int index, void** handle) {
  if (handle == nullptr) return ftstatus::kInvalidParameter;
  *handle = nullptr;
  if (index < 0) return ftstatus::kDeviceNotFound;
  return Guarded(ftstatus::kDeviceNotFound, [&](SimCamera& camera) {
    return camera.Open(static_cast<uint32_t>(index), handle);
  });
}

Word WINAPI FT_Close(void* handle) {
  return WithHandle([&](SimCamera& camera) { return camera.Close(handle); });
}

Word WINAPI FT_Read(void* handle, void* buffer, Word count, Word* read) {
  if (read != nullptr) *read = 0;
  return WithHandle([&](SimCamera& camera) {
    uint32_t n = 0;
    const FtStatus status = camera.Read(handle, buffer, count, read != nullptr ? &n : nullptr);
    if (read != nullptr) *read = n;
    return status;
  });
}

Word WINAPI FT_Write(void* handle, void* buffer, Word count, Word* written) {
  if (written != nullptr) *written = 0;
  return WithHandle([&](SimCamera& camera) {
    uint32_t n = 0;
    const FtStatus status = camera.Write(handle, buffer, count, written != nullptr ? &n : nullptr);
    if (written != nullptr) *written = n;
    return status;
  });
}

Word WINAPI FT_ResetDevice(void* handle) {
  return WithHandle([&](SimCamera& camera) { return camera.ResetDevice(handle); });
}

Word WINAPI FT_Purge(void* handle, Word mask) {
  return WithHandle([&](SimCamera& camera) { return camera.Purge(handle, mask); });
}

Word WINAPI FT_SetTimeouts(void* handle, Word readMs, Word writeMs) {
  return WithHandle([&](SimCamera& camera) { return camera.SetTimeouts(handle, readMs, writeMs); });
}

Word WINAPI FT_GetQueueStatus(void* handle, Word* rxBytes) {
  if (rxBytes != nullptr) *rxBytes = 0;
  return WithHandle([&](SimCamera& camera) {
    uint32_t n = 0;
    const FtStatus status = camera.GetQueueStatus(handle, rxBytes != nullptr ? &n : nullptr);
    if (rxBytes != nullptr) *rxBytes = n;
    return status;
  });
}

Word WINAPI FT_SetEventNotification(void* handle, Word mask, void* parameter) {
  return WithHandle(
      [&](SimCamera& camera) { return camera.SetEventNotification(handle, mask, parameter); });
}

Word WINAPI FT_GetStatus(void* handle, Word* rxBytes, Word* txBytes, Word* eventStatus) {
  for (Word* out : {rxBytes, txBytes, eventStatus}) {
    if (out != nullptr) *out = 0;
  }
  return WithHandle([&](SimCamera& camera) {
    uint32_t rx = 0;
    uint32_t tx = 0;
    uint32_t event = 0;
    const FtStatus status = camera.GetStatus(handle, rxBytes != nullptr ? &rx : nullptr,
                                             txBytes != nullptr ? &tx : nullptr,
                                             eventStatus != nullptr ? &event : nullptr);
    if (rxBytes != nullptr) *rxBytes = rx;
    if (txBytes != nullptr) *txBytes = tx;
    if (eventStatus != nullptr) *eventStatus = event;
    return status;
  });
}

int BfStandinUseCamera(const char* options, bf::TickSource* ticks, char* error,
                       unsigned errorSize) {
  try {
    if (options == nullptr) {
      std::lock_guard lock(gMutex);
      gCamera.reset();
      gEnvironmentRefused = false;
      return 1;
    }
    if (ticks == nullptr) {
      CopyError("the camera needs a clock", error, errorSize);
      return 0;
    }
    std::string reason;
    auto parsed = bf::sim::ParseSimOptions(options, SimOptions{}, &reason);
    if (!parsed) {
      CopyError(reason, error, errorSize);
      return 0;
    }
    auto camera = std::make_shared<SimCamera>(*parsed, *ticks);
    std::lock_guard lock(gMutex);
    gCamera = std::move(camera);
    return 1;
  } catch (const std::exception& e) {
    CopyError(e.what(), error, errorSize);
    return 0;
  }
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&BfStandinUseCamera), bf::standin::UseCameraFn>);
