#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bf {

// An existing file opened for reading, read at explicit offsets. The recording is never read
// into memory as a whole and never mapped: frames are read from here when they are shown or
// exported. A read over bytes that another program cut off meanwhile simply comes back short
// (a mapping would raise SIGBUS on them instead).
//
// Threads: ReadAt keeps no file position and may be called from any thread at once; Open and
// Close must not overlap anything else (the owner serialises them).
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile() { Close(); }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

  // Opens an existing regular file, sharing read access. On failure returns false, holds
  // nothing, and SystemError() gives the system's error code (errno here, GetLastError on
  // Windows). A zero-length file holds nothing to read and fails with EINVAL.
  bool Open(const std::string& path);
  void Close();

  bool IsOpen() const;
  // The size when the file was opened.
  uint64_t Size() const { return size_; }
  uint32_t SystemError() const { return error_; }

  // Reads up to out.size() bytes from `offset`; returns how many arrived. Fewer than asked means
  // the end of the file (as it is now) or a read error.
  std::size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  uint64_t size_ = 0;
  uint32_t error_ = 0;
};

}  // namespace bf
