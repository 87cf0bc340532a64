#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "recordings/FrameIndex.h"
#include "recordings/JoinedFile.h"

namespace bf {

// An open recording file and its frame index. Frames are read from the file when they are
// needed, at the offsets the index keeps; nothing else of the file is held in memory. Shared by
// the player and the command-line tool; owners serialise Open and Close against everything
// else (see Player). ReadPayload may run on any thread.
class Recording {
 public:
  enum class OpenStatus {
    Opened,        // at least one usable frame
    SystemError,   // the file could not be opened; see SystemError()
    NotRecording,  // no usable frame (does not start with a frame, or every frame dropped)
  };

  // Whether a copy that went round the end of the flash is opened as the one recording it is.
  enum class Pairing {
    Alone,       // the named file on its own
    JoinSecond,  // with the other file of its pair, when that one exists beside it
  };

  // Opens and indexes the file. Anything but Opened leaves nothing open. With a frameLimit,
  // indexes only the first frameLimit frames (those are then exactly the first frames of the
  // whole index; fewer means that is all the recording has). Joined with its pair, the
  // recording's offsets run from the start of the first file on into the second one, whichever
  // of the two `path` names.
  OpenStatus Open(const std::string& path, std::size_t frameLimit = kAllFrames,
                  Pairing pairing = Pairing::Alone);
  void Close();

  bool IsOpen() const { return file_.IsOpen(); }
  // The name it was opened by (empty when none is open).
  const std::string& Path() const { return path_; }
  // When joined: the first file of the pair and the second one; both empty otherwise.
  const std::string& FirstPath() const { return firstPath_; }
  const std::string& SecondPath() const { return secondPath_; }
  bool IsJoined() const { return file_.IsJoined(); }
  const FrameIndex& Index() const { return index_; }
  std::size_t Count() const { return index_.size(); }
  // The file's size when it was opened.
  uint64_t Size() const { return size_; }
  uint32_t SystemError() const { return file_.SystemError(); }

  // How many payload bytes of entry i the file held when it was indexed: all of them, except
  // for a last record cut by the end of the file.
  std::size_t PayloadSize(std::size_t i) const {
    return static_cast<std::size_t>(PayloadPresentLength(index_[i], size_));
  }

  // Reads those payload bytes of entry i from the file into `out`. False, with `out` empty,
  // when the file no longer holds the frame as indexed: it was cut short or written over on
  // disk since (the bytes are missing, or the header at the entry's offset is not the indexed
  // one), or the read failed.
  bool ReadPayload(std::size_t i, std::vector<uint8_t>& out) const;

 private:
  JoinedFile file_;
  std::string path_;
  std::string firstPath_;
  std::string secondPath_;
  FrameIndex index_;
  uint64_t size_ = 0;
};

}  // namespace bf
