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
//
// An output may write behind: Write takes the chunk and returns before it is written, and a
// failure of that write is returned by the next call; Drain waits for it. Such an output holds
// the chunk until StartWriting (or the next call), so that the copy can send its next request
// before the writing takes the processor.
class CopyOutput {
 public:
  virtual ~CopyOutput() = default;
  virtual uint32_t Open(const std::string& path) = 0;
  virtual uint32_t Write(std::span<const uint8_t> bytes) = 0;
  // Lets the chunk taken by Write go to the file now; nothing for an output that writes at once.
  virtual void StartWriting() {}
  // Waits until every chunk taken by Write is in the file; 0 or the code of a write that failed
  // behind (an output that writes at once has returned its failures from Write already).
  virtual uint32_t Drain() { return 0; }
  // Flushes, closes and puts the file in place under its name. A file whose writes failed is
  // dropped and the old file of that name stays as it was; the result is then the write's code.
  virtual uint32_t Commit() = 0;
  // The end of a copy that did not finish (cancelled, failed, stopped): it must never destroy a
  // file that was there. A new name gets what was written, as with Commit. A file of that name
  // that existed stays as it was, and what was written goes beside it under PartialFileName
  // (replacing an older partial copy); with nothing written nothing is created. keptAs receives
  // the name the bytes are under now, empty when none. Returns 0 or the code of the failure.
  virtual uint32_t CommitUnfinished(std::string& keptAs);
  // The name as the person chose it, for the error texts.
  virtual const std::string& Path() const = 0;
  virtual uint64_t BytesWritten() const = 0;
};

// Where the whole chunks of an unfinished copy go when the chosen file existed: "NAME.EXT"
// becomes "NAME.partial.EXT" (a name without an extension gets ".partial"), in the same folder.
std::string PartialFileName(const std::string& path);

using CopyOutputFactory = std::function<std::unique_ptr<CopyOutput>()>;

// A CopyOutput over the shared ReplacingFileWriter.
std::unique_ptr<CopyOutput> MakeReplacingCopyOutput();

}  // namespace bf
