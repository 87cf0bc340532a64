#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "recordings/FrameIndex.h"
#include "recordings/MappedFile.h"

namespace bf {

// An open recording file: the read-only mapping of the whole file and its frame index. The
// entries refer into the mapping, so both live and die together. Shared by the player and the
// command-line tool; owners serialise access (see Player).
class Recording {
 public:
  enum class OpenStatus {
    Opened,        // at least one usable frame
    SystemError,   // the file could not be opened or mapped; see SystemError()
    NotRecording,  // no usable frame (does not start with a frame, or every frame dropped)
  };

  // Maps and indexes the file. Anything but Opened leaves nothing open.
  OpenStatus Open(const std::string& path);
  void Close();

  bool IsOpen() const { return file_.IsOpen(); }
  // The name it was opened by (empty when none is open).
  const std::string& Path() const { return path_; }
  const FrameIndex& Index() const { return index_; }
  std::size_t Count() const { return index_.size(); }
  std::span<const uint8_t> Bytes() const { return file_.Bytes(); }
  uint32_t SystemError() const { return file_.SystemError(); }

  // The payload bytes of entry i present in the file (clipped at its end).
  std::span<const uint8_t> Payload(std::size_t i) const {
    return PayloadPresent(index_[i], file_.Bytes());
  }

 private:
  MappedFile file_;
  std::string path_;
  FrameIndex index_;
};

}  // namespace bf
