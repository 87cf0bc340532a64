#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bf {

// A whole file mapped read-only. The recording is never read into memory: frames are rebuilt
// straight from this view, so the mapping lives as long as the open recording.
// Not thread-aware itself; the owner (the player) serialises opening, closing and reading.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;

  // Opens an existing file for reading and maps all of it. On failure returns false, holds
  // nothing, and SystemError() gives the system's error code (errno here, GetLastError on
  // Windows). A zero-length file cannot be mapped and fails with EINVAL.
  bool Open(const std::string& path);
  void Close();

  bool IsOpen() const { return data_ != nullptr; }
  std::span<const uint8_t> Bytes() const { return {data_, size_}; }
  uint64_t Size() const { return size_; }
  uint32_t SystemError() const { return error_; }

 private:
  const uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  uint32_t error_ = 0;
#ifdef _WIN32
  void* file_ = nullptr;
  void* mapping_ = nullptr;
#endif
};

}  // namespace bf
