#include "recordings/ReadOnlyFile.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bf {

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept {
  *this = std::move(other);
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
#ifdef _WIN32
    handle_ = std::exchange(other.handle_, nullptr);
#else
    fd_ = std::exchange(other.fd_, -1);
#endif
    size_ = std::exchange(other.size_, 0);
    error_ = other.error_;
  }
  return *this;
}

#ifdef _WIN32

bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    error_ = GetLastError();
    if (error_ == 0) error_ = ERROR_INVALID_FUNCTION;
    CloseHandle(file);
    return false;
  }
  if (size.QuadPart <= 0) {
    CloseHandle(file);
    error_ = ERROR_FILE_INVALID;
    return false;
  }
  handle_ = file;
  size_ = static_cast<uint64_t>(size.QuadPart);
  error_ = 0;
  return true;
}

void ReadOnlyFile::Close() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
  size_ = 0;
}

bool ReadOnlyFile::IsOpen() const {
  return handle_ != nullptr;
}

std::size_t ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    // The offset travels with the call, so concurrent readers never share a file position.
    OVERLAPPED at{};
    const uint64_t from = offset + done;
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle_, out.data() + done, want, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

#else

bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  // Non-blocking, so that naming a FIFO or a device fails below instead of hanging here.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error_ = static_cast<uint32_t>(errno);
    return false;
  }
  struct stat st {};
  uint32_t failure = 0;
  if (::fstat(fd, &st) != 0) {
    failure = static_cast<uint32_t>(errno);
  } else if (!S_ISREG(st.st_mode)) {
    failure = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
  } else if (st.st_size <= 0) {
    failure = EINVAL;
  }
  if (failure != 0) {
    ::close(fd);
    error_ = failure;
    return false;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  error_ = 0;
  return true;
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool ReadOnlyFile::IsOpen() const {
  return fd_ >= 0;
}

std::size_t ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got =
        ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

#endif

}  // namespace bf
