#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace bf {

// The file a flash copy writes into. The real one is the shared replacing writer: the bytes go
// to a new file beside the chosen one and Commit renames it over the chosen name, so a
// recording that is open in the player is never truncated under its view. Tests put a failing
// writer in its place.
//
// Every call returns 0 or a system error code (errno) for FileErrorText; once a call has failed
// every later call returns the same code. One thread at a time: the copy dialog's GUI thread,
// or the sector reader while it runs (the presenter hands the file over with the link).
class CopyOutput {
 public:
  virtual ~CopyOutput() = default;
  virtual uint32_t Open(const std::string& path) = 0;
  virtual uint32_t Write(std::span<const uint8_t> bytes) = 0;
  // Flushes, closes and puts the file in place under its name. A file whose writes failed is
  // dropped and the old file of that name stays as it was; the result is then the write's code.
  virtual uint32_t Commit() = 0;
  // The name as the person chose it, for the error texts.
  virtual const std::string& Path() const = 0;
  virtual uint64_t BytesWritten() const = 0;
};

using CopyOutputFactory = std::function<std::unique_ptr<CopyOutput>()>;

// A CopyOutput over the shared ReplacingFileWriter.
std::unique_ptr<CopyOutput> MakeReplacingCopyOutput();

}  // namespace bf
