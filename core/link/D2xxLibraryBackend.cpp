#include "link/D2xxLibraryBackend.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdint>
#include <initializer_list>

namespace bf {

namespace {

#ifdef _WIN32
#define BF_D2XX_CALL WINAPI
#else
#define BF_D2XX_CALL
#endif

// Our own declarations of the library's call contracts. Status, counts, masks and timeouts are
// 32-bit on Windows; on other systems the library's integer types may be 32 or 64 bits wide,
// so scalars go out as unsigned long (correct for a callee reading either width) and every
// out-parameter points at a zeroed unsigned long (a little-endian 32-bit store fills its low
// half). Only the low 32 bits of the returned status are used.
using Word = unsigned long;
using OpenFn = Word(BF_D2XX_CALL*)(int index, void** handle);
using CloseFn = Word(BF_D2XX_CALL*)(void* handle);
using ReadFn = Word(BF_D2XX_CALL*)(void* handle, void* buffer, Word count, Word* read);
using WriteFn = Word(BF_D2XX_CALL*)(void* handle, void* buffer, Word count, Word* written);
using ResetFn = Word(BF_D2XX_CALL*)(void* handle);
using PurgeFn = Word(BF_D2XX_CALL*)(void* handle, Word mask);
using SetTimeoutsFn = Word(BF_D2XX_CALL*)(void* handle, Word readMs, Word writeMs);
using QueueStatusFn = Word(BF_D2XX_CALL*)(void* handle, Word* rxBytes);
using EventNotificationFn = Word(BF_D2XX_CALL*)(void* handle, Word mask, void* parameter);
using GetStatusFn = Word(BF_D2XX_CALL*)(void* handle, Word* rx, Word* tx, Word* event);

FtStatus Low32(Word status) {
  return static_cast<FtStatus>(status & 0xFFFFFFFFu);
}

}  // namespace

struct D2xxLibraryBackend::Library {
#ifdef _WIN32
  HMODULE module = nullptr;
  ~Library() {
    if (module != nullptr) FreeLibrary(module);
  }
#else
  void* module = nullptr;
  ~Library() {
    if (module != nullptr) dlclose(module);
  }
#endif
  OpenFn open = nullptr;
  CloseFn close = nullptr;
  ReadFn read = nullptr;
  WriteFn write = nullptr;
  ResetFn reset = nullptr;
  PurgeFn purge = nullptr;
  SetTimeoutsFn setTimeouts = nullptr;
  QueueStatusFn queueStatus = nullptr;
  EventNotificationFn eventNotification = nullptr;
  GetStatusFn getStatus = nullptr;

  // Looks a function up by name (ordinal on Windows); false with a reason when it is missing.
  template <class Fn>
  bool Bind(Fn& target, const char* name, [[maybe_unused]] int ordinal, std::string& error) {
#ifdef _WIN32
    FARPROC symbol = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
#else
    void* symbol = dlsym(module, name);
#endif
    if (symbol == nullptr) {
      error = std::string("the D2XX library has no ") + name;
      return false;
    }
    target = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(symbol));
    return true;
  }
};

const char* D2xxLibraryBackend::DefaultLibraryName() {
#ifdef _WIN32
  return "FTD2XX.dll";
#else
  return "libftd2xx.so";
#endif
}

D2xxLibraryBackend::D2xxLibraryBackend(const std::string& libraryPath) {
  const std::string path = libraryPath.empty() ? DefaultLibraryName() : libraryPath;
  auto library = std::make_unique<Library>();
#ifdef _WIN32
  library->module = LoadLibraryA(path.c_str());
  if (library->module == nullptr) {
    lastError_ = "the FTDI D2XX library " + path + " could not be loaded (error " +
                 std::to_string(GetLastError()) + ")";
    return;
  }
#else
  library->module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library->module == nullptr) {
    const char* reason = dlerror();
    lastError_ = "the FTDI D2XX library " + path + " could not be loaded" +
                 (reason != nullptr ? std::string(": ") + reason : std::string());
    return;
  }
#endif
  std::string error;
  Library& l = *library;
  const bool complete =
      l.Bind(l.open, "FT_Open", 1, error) && l.Bind(l.close, "FT_Close", 2, error) &&
      l.Bind(l.read, "FT_Read", 3, error) && l.Bind(l.write, "FT_Write", 4, error) &&
      l.Bind(l.reset, "FT_ResetDevice", 6, error) && l.Bind(l.purge, "FT_Purge", 16, error) &&
      l.Bind(l.setTimeouts, "FT_SetTimeouts", 17, error) &&
      l.Bind(l.queueStatus, "FT_GetQueueStatus", 18, error) &&
      l.Bind(l.eventNotification, "FT_SetEventNotification", 19, error) &&
      l.Bind(l.getStatus, "FT_GetStatus", 21, error);
  if (!complete) {
    lastError_ = error + " (" + path + ")";
    return;
  }
  library_ = std::move(library);
}

D2xxLibraryBackend::~D2xxLibraryBackend() = default;

bool D2xxLibraryBackend::Loaded() const {
  return library_ != nullptr;
}

FtStatus D2xxLibraryBackend::Open(uint32_t deviceIndex, FtHandle* handle) {
  if (handle == nullptr) return ftstatus::kInvalidParameter;
  *handle = nullptr;
  if (!library_) return ftstatus::kDeviceNotFound;  // LastError() says which library is missing
  if (deviceIndex > static_cast<uint32_t>(INT32_MAX)) return ftstatus::kDeviceNotFound;
  void* opened = nullptr;
  const FtStatus status = Low32(library_->open(static_cast<int>(deviceIndex), &opened));
  if (status == ftstatus::kOk) *handle = opened;
  return status;
}

FtStatus D2xxLibraryBackend::Close(FtHandle handle) {
  if (!library_) return ftstatus::kInvalidHandle;
  return Low32(library_->close(handle));
}

FtStatus D2xxLibraryBackend::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  if (read != nullptr) *read = 0;  // no count is left over from an earlier call
  if (!library_) return ftstatus::kInvalidHandle;
  Word n = 0;
  const FtStatus status = Low32(library_->read(handle, buffer, count, &n));
  if (read != nullptr) *read = static_cast<uint32_t>(n);
  return status;
}

FtStatus D2xxLibraryBackend::Write(FtHandle handle, const void* buffer, uint32_t count,
                                   uint32_t* written) {
  if (written != nullptr) *written = 0;
  if (!library_) return ftstatus::kInvalidHandle;
  Word n = 0;
  // The library's signature takes a non-const buffer; it does not write to it.
  const FtStatus status = Low32(library_->write(handle, const_cast<void*>(buffer), count, &n));
  if (written != nullptr) *written = static_cast<uint32_t>(n);
  return status;
}

FtStatus D2xxLibraryBackend::ResetDevice(FtHandle handle) {
  if (!library_) return ftstatus::kInvalidHandle;
  return Low32(library_->reset(handle));
}

FtStatus D2xxLibraryBackend::Purge(FtHandle handle, uint32_t mask) {
  if (!library_) return ftstatus::kInvalidHandle;
  return Low32(library_->purge(handle, mask));
}

FtStatus D2xxLibraryBackend::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
  if (!library_) return ftstatus::kInvalidHandle;
  return Low32(library_->setTimeouts(handle, readMs, writeMs));
}

FtStatus D2xxLibraryBackend::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  if (rxBytes != nullptr) *rxBytes = 0;
  if (!library_) return ftstatus::kInvalidHandle;
  Word n = 0;
  const FtStatus status = Low32(library_->queueStatus(handle, &n));
  if (rxBytes != nullptr) *rxBytes = static_cast<uint32_t>(n);
  return status;
}

FtStatus D2xxLibraryBackend::SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) {
  if (!library_) return ftstatus::kInvalidHandle;
  return Low32(library_->eventNotification(handle, mask, parameter));
}

FtStatus D2xxLibraryBackend::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                                       uint32_t* eventStatus) {
  for (uint32_t* out : {rxBytes, txBytes, eventStatus}) {
    if (out != nullptr) *out = 0;
  }
  if (!library_) return ftstatus::kInvalidHandle;
  Word rx = 0;
  Word tx = 0;
  Word event = 0;
  const FtStatus status = Low32(library_->getStatus(handle, &rx, &tx, &event));
  if (rxBytes != nullptr) *rxBytes = static_cast<uint32_t>(rx);
  if (txBytes != nullptr) *txBytes = static_cast<uint32_t>(tx);
  if (eventStatus != nullptr) *eventStatus = static_cast<uint32_t>(event);
  return status;
}

}  // namespace bf
