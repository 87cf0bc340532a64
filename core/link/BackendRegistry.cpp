#include "link/BackendRegistry.h"

#include <cstdio>
#include <cstdlib>

#include "link/D2xxLibraryBackend.h"
#ifndef _WIN32
#include "link/FtdiBackend.h"
#include "link/FtdiSelection.h"
#endif
#include "link/TraceBackend.h"

namespace bf {

std::vector<BackendDriver> HardwareDrivers() {
  std::vector<BackendDriver> drivers;
#ifndef _WIN32
  drivers.push_back({"ftdi", [](const std::string& options, TickSource&, std::string* error) {
                       std::optional<FtdiSelection> selection = ParseFtdiSelection(options, error);
                       if (!selection) return std::unique_ptr<D2xxBackend>();
                       return std::unique_ptr<D2xxBackend>(
                           std::make_unique<FtdiBackend>(std::move(*selection)));
                     }});
#endif
  drivers.push_back({"d2xx", [](const std::string& options, TickSource&, std::string*) {
                       return std::unique_ptr<D2xxBackend>(
                           std::make_unique<D2xxLibraryBackend>(options));
                     }});
  return drivers;
}

std::string BackendSelectionFromEnvironment() {
  const char* value = std::getenv(kBackendEnvironmentVariable);
  if (value == nullptr || *value == '\0') return kDefaultBackendSelection;
  return value;
}

std::unique_ptr<D2xxBackend> CreateBackend(const std::string& selection,
                                           const std::vector<BackendDriver>& drivers,
                                           TickSource& ticks, std::string* error,
                                           std::string* warning) {
  const size_t colon = selection.find(':');
  const std::string name = selection.substr(0, colon);
  const std::string options =
      colon == std::string::npos ? std::string() : selection.substr(colon + 1);
  for (const BackendDriver& driver : drivers) {
    if (driver.name != name) continue;
    std::string reason;
    std::unique_ptr<D2xxBackend> backend = driver.create(options, ticks, &reason);
    if (!backend && error != nullptr) {
      *error = "camera backend \"" + name + "\" could not be created" +
               (reason.empty() ? std::string() : ": " + reason);
    }
    std::string traceWarning;
    backend = WithTrace(std::move(backend), TracePathFromEnvironment(), ticks, &traceWarning);
    if (!traceWarning.empty()) {
      if (warning != nullptr) {
        *warning = traceWarning;
      } else {
        std::fprintf(stderr, "%s\n", traceWarning.c_str());
      }
    }
    return backend;
  }
  if (error != nullptr) {
    std::string known;
    for (const BackendDriver& driver : drivers) known += (known.empty() ? "" : ", ") + driver.name;
    *error = "unknown camera backend \"" + name + "\" (known: " + known + ")";
  }
  return nullptr;
}

namespace {

class FailingBackend final : public D2xxBackend {
 public:
  FailingBackend(FtStatus status, std::string reason)
      : status_(status), reason_(std::move(reason)) {}
  FtStatus Open(uint32_t, FtHandle* handle) override {
    if (handle != nullptr) *handle = nullptr;
    return status_;
  }
  FtStatus Close(FtHandle) override { return ftstatus::kInvalidHandle; }
  FtStatus Read(FtHandle, void*, uint32_t, uint32_t* read) override {
    if (read != nullptr) *read = 0;
    return ftstatus::kInvalidHandle;
  }
  FtStatus Write(FtHandle, const void*, uint32_t, uint32_t* written) override {
    if (written != nullptr) *written = 0;
    return ftstatus::kInvalidHandle;
  }
  FtStatus ResetDevice(FtHandle) override { return ftstatus::kInvalidHandle; }
  FtStatus Purge(FtHandle, uint32_t) override { return ftstatus::kInvalidHandle; }
  FtStatus SetTimeouts(FtHandle, uint32_t, uint32_t) override { return ftstatus::kInvalidHandle; }
  FtStatus GetQueueStatus(FtHandle, uint32_t*) override { return ftstatus::kInvalidHandle; }
  FtStatus SetEventNotification(FtHandle, uint32_t, void*) override {
    return ftstatus::kInvalidHandle;
  }
  FtStatus GetStatus(FtHandle, uint32_t*, uint32_t*, uint32_t*) override {
    return ftstatus::kInvalidHandle;
  }
  std::string LastError() const override { return reason_; }

 private:
  FtStatus status_;
  std::string reason_;
};

}  // namespace

std::unique_ptr<D2xxBackend> MakeFailingBackend(FtStatus status, std::string reason) {
  // A zero status would claim a successful open with a null handle; keep it a failure.
  if (status == ftstatus::kOk) status = ftstatus::kOtherError;
  return std::make_unique<FailingBackend>(status, std::move(reason));
}

}  // namespace bf
