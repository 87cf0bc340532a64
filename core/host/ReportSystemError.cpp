#include "host/ReportSystemError.h"

#include <cerrno>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace bf {

namespace {

std::string UnknownError(uint32_t code) {
  return "Unknown error " + std::to_string(code);
}

#ifndef _WIN32
// strerror_r comes in two flavours; overloads pick whichever the C library declares.
[[maybe_unused]] std::string FromStrerror(int result, const char* buffer, uint32_t code) {
  return result == 0 ? std::string(buffer) : UnknownError(code);
}
[[maybe_unused]] std::string FromStrerror(const char* result, const char*, uint32_t code) {
  return result != nullptr ? std::string(result) : UnknownError(code);
}
#endif

}  // namespace

uint32_t LastSystemError() {
#ifdef _WIN32
  return static_cast<uint32_t>(GetLastError());
#else
  return static_cast<uint32_t>(errno);
#endif
}

std::string SystemErrorText(uint32_t code) {
#ifdef _WIN32
  LPSTR text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
      nullptr);
  if (n == 0 || text == nullptr) return UnknownError(code);
  std::string result(text, n);
  LocalFree(text);
  // The system's texts end with a line break, which a message box or a line of bfk's output
  // does not want.
  while (!result.empty() &&
         (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
    result.pop_back();
  }
  return result.empty() ? UnknownError(code) : result;
#else
  if (code > static_cast<uint32_t>(INT32_MAX)) return UnknownError(code);
  char buffer[256] = {};
  std::string text =
      FromStrerror(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer, code);
  return text.empty() ? UnknownError(code) : text;
#endif
}

uint32_t ReportSystemError(UserPrompts& prompts) {
  return ReportSystemError(prompts, LastSystemError());
}

uint32_t ReportSystemError(UserPrompts& prompts, uint32_t code) {
  prompts.ShowMessage(SystemErrorText(code), "Error", MessageIcon::Information, MessageButtons::Ok);
  return code;
}

}  // namespace bf
