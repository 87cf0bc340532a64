#include "recordings/MappedFile.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace bf {

MappedFile::MappedFile(MappedFile&& other) noexcept {
  *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    error_ = other.error_;
#ifdef _WIN32
    file_ = std::exchange(other.file_, nullptr);
    mapping_ = std::exchange(other.mapping_, nullptr);
#endif
  }
  return *this;
}

#ifdef _WIN32

bool MappedFile::Open(const std::string& path) {
  Close();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  HANDLE mapping = nullptr;
  const void* view = nullptr;
  if (!GetFileSizeEx(file, &size) ||
      static_cast<unsigned long long>(size.QuadPart) > static_cast<unsigned long long>(SIZE_MAX) ||
      (mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) == nullptr ||
      (view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) == nullptr) {
    error_ = GetLastError();
    if (error_ == 0) error_ = ERROR_NOT_ENOUGH_MEMORY;
    if (mapping != nullptr) CloseHandle(mapping);
    CloseHandle(file);
    return false;
  }
  file_ = file;
  mapping_ = mapping;
  data_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<std::size_t>(size.QuadPart);
  error_ = 0;
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (file_ != nullptr) CloseHandle(file_);
  data_ = nullptr;
  mapping_ = nullptr;
  file_ = nullptr;
  size_ = 0;
}

#else

namespace {
// Closes the descriptor on every path; the mapping keeps the file alive on its own.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};
}  // namespace

bool MappedFile::Open(const std::string& path) {
  Close();
  // Non-blocking, so that naming a FIFO or a device fails below instead of hanging here.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) {
    error_ = static_cast<uint32_t>(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) {
    error_ = static_cast<uint32_t>(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    return false;
  }
  // A zero-length file has nothing to map; the mapping call would refuse it anyway.
  if (st.st_size <= 0) {
    error_ = EINVAL;
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > static_cast<unsigned long long>(SIZE_MAX)) {
    error_ = EFBIG;
    return false;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, file.fd, 0);
  if (view == MAP_FAILED) {
    error_ = static_cast<uint32_t>(errno);
    return false;
  }
  data_ = static_cast<const uint8_t*>(view);
  size_ = size;
  error_ = 0;
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

#endif

}  // namespace bf
