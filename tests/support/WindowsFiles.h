#pragma once
// Windows-only test helpers: another program holding a file open, and telling Wine from
// Windows where the two differ.
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace bf::test {

// True when the tests run under Wine, whose ntdll exports wine_get_version.
inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A file held open as another program would hold it, with the sharing it grants to others,
// for the lifetime of the object.
class HeldOpenFile {
 public:
  HeldOpenFile(const std::string& path, DWORD access, DWORD share)
      : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
        error_(handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}
  ~HeldOpenFile() {
    if (IsOpen()) CloseHandle(handle_);
  }
  HeldOpenFile(const HeldOpenFile&) = delete;
  HeldOpenFile& operator=(const HeldOpenFile&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  DWORD Error() const { return error_; }

 private:
  HANDLE handle_;
  DWORD error_;
};

}  // namespace bf::test

#endif  // _WIN32
