#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "recordings/ReadOnlyFile.h"

namespace bf {

// One file, or two files read as one: the second one's bytes follow the first one's, so a
// record cut in two by the end of the first file reads whole. Offsets count from the start of
// the first file.
//
// Threads: as ReadOnlyFile (ReadAt from any thread; Open and Close serialised by the owner).
class JoinedFile {
 public:
  // Opens `first` alone, or with `second` behind it when one is named. On failure holds nothing;
  // SystemError() and FailedPath() tell which file failed and why.
  bool Open(const std::string& first, const std::string& second = {});
  void Close();

  bool IsOpen() const { return first_.IsOpen(); }
  bool IsJoined() const { return second_.IsOpen(); }
  // Both sizes as they were when opened.
  uint64_t Size() const { return first_.Size() + second_.Size(); }
  uint64_t FirstSize() const { return first_.Size(); }
  uint32_t SystemError() const { return error_; }
  const std::string& FailedPath() const { return failedPath_; }

  // Reads up to out.size() bytes from `offset`, across the seam; returns how many arrived.
  // Fewer means the end (a file cut short since it was opened ends the bytes there) or a read
  // error.
  std::size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

 private:
  ReadOnlyFile first_;
  ReadOnlyFile second_;
  uint32_t error_ = 0;
  std::string failedPath_;
};

}  // namespace bf
