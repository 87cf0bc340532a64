#pragma once
#include <memory>
#include <string>

#include "link/D2xxBackend.h"

namespace bf {

// The vendor's D2XX library, loaded at run time ("libftd2xx.so"; "FTD2XX.dll" by ordinal on
// Windows), so the program builds and runs without it. When the library or one of its
// functions cannot be loaded, the backend still exists: Open fails with status 2 ("device not
// found", which is what the operator experiences) and LastError() names the missing library.
// Other calls then report an invalid handle. One thread at a time, like every backend.
class D2xxLibraryBackend final : public D2xxBackend {
 public:
  // libraryPath empty: the platform's usual library name, found on the loader's search path.
  explicit D2xxLibraryBackend(const std::string& libraryPath = {});
  ~D2xxLibraryBackend() override;
  D2xxLibraryBackend(const D2xxLibraryBackend&) = delete;
  D2xxLibraryBackend& operator=(const D2xxLibraryBackend&) = delete;

  bool Loaded() const;

  FtStatus Open(uint32_t deviceIndex, FtHandle* handle) override;
  FtStatus Close(FtHandle handle) override;
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FtStatus ResetDevice(FtHandle handle) override;
  FtStatus Purge(FtHandle handle, uint32_t mask) override;
  FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override;
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) override;
  FtStatus GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                     uint32_t* eventStatus) override;
  std::string LastError() const override { return lastError_; }

  static const char* DefaultLibraryName();

 private:
  struct Library;
  std::unique_ptr<Library> library_;
  std::string lastError_;
};

}  // namespace bf
