#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace bf {

// The one way this program writes a file the user named.
//
// A regular file (or a new name) is never truncated in place: the bytes go to a new file in
// the target's folder, which Commit() flushes to disk, closes and only then renames over the
// target. So a failure leaves the old target untouched and nothing behind, and a target that
// is memory-mapped right now (the open recording may be chosen) keeps its bytes under the
// mapping. A symbolic link is followed: what it points to is replaced, not the link. The
// replacement keeps the old file's permissions (and its owner where the process may set it);
// a file the process may not write is refused as it would be when overwritten in place.
//
// A target that exists and is not a regular file (a device such as /dev/null or /dev/full, a
// FIFO, a terminal, "-" for standard output) cannot be replaced; it is written directly, and
// its write, flush and close failures are reported all the same. Opening a FIFO waits for its
// reader, as a shell redirection does. A folder is refused (EISDIR).
//
// Errors are system error codes (errno); FileErrorText turns them into the user's text. Once a
// call has failed every later call returns the same code. A writer destroyed without a
// successful Commit() removes its temporary file. One thread at a time; touches only the file
// system.
class ReplacingFileWriter {
 public:
  // Opens the temporary (or the non-regular target). Returns 0 or the code of the failure; on
  // failure nothing has been created.
  uint32_t Open(const std::string& path);

  uint32_t Write(std::span<const uint8_t> bytes);
  // Asks the system to start putting what was written so far on the disk, without waiting for
  // it, so that the flush of a long file at Commit has only its tail left to do. Best effort:
  // nothing where the system has no such call or Commit would not flush (DeferSync).
  void StartWriteback();

  // Moves the write position to `offset` from the start, for formats that patch their headers
  // once the data is known (video containers). Pipes and terminals cannot seek (ESPIPE).
  uint32_t Seek(uint64_t offset);
  // Whether Seek can work on what is open: false for pipes, terminals and sockets.
  bool CanSeek() const;

  // Flushes, closes and renames into place. Returns 0 only when every byte written is on disk
  // under the target's name.
  uint32_t Commit();
  // Commit under another name in the target's folder instead of the target, which then stays
  // as it was (for work that did not finish and must not replace what was there). Writing
  // directly (no temporary), it is Commit().
  uint32_t CommitAs(const std::string& path);

  // Drops what was written: the temporary is removed and the target stays as it was.
  void Abandon();

  // For one file of a batch that is made durable as a whole: Commit then neither flushes the
  // file nor its folder to disk, and the caller ends the batch with one SyncFileSystemOf. (On
  // Windows every file is still flushed on its own.) Call before Open.
  void DeferSync() { deferSync_ = true; }

  bool IsOpen() const;
  // A regular file of the target's name existed when it was opened: Commit replaces it.
  bool ReplacesExisting() const { return replacesExisting_; }
  uint32_t Error() const { return error_; }
  uint64_t BytesWritten() const { return written_; }
  // The name the bytes will have after Commit (the symbolic link resolved).
  const std::string& Target() const { return target_; }
  // The temporary's name; empty when writing directly.
  const std::string& TemporaryPath() const { return temp_; }

  ReplacingFileWriter() = default;
  ~ReplacingFileWriter();
  ReplacingFileWriter(const ReplacingFileWriter&) = delete;
  ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

 private:
  uint32_t Fail(uint32_t code);
  void CloseQuietly();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool ownsFd_ = true;  // false for standard output
  int slot_ = -1;       // where a signal handler finds the temporary's name
  bool committed_ = false;
  bool replacesExisting_ = false;
  bool deferSync_ = false;
  uint32_t error_ = 0;
  uint64_t written_ = 0;
};

// Open, one write, commit. Returns 0 or the code of the step that failed.
uint32_t WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// Puts everything written so far to the file system that holds `path` on disk, in one call:
// the end of a batch of DeferSync writers, or of renames within a folder. Returns 0 or the
// system error code.
uint32_t SyncFileSystemOf(const std::string& path);

// True when both names exist and are the same file (same device and inode, so through links
// and other spellings). An output that is the input must be refused before it is opened.
bool IsSameFile(const std::string& a, const std::string& b);

// Removes every temporary file that writers of this process have open, with async-signal-safe
// calls only: for a SIGINT/SIGTERM handler, before the process ends.
void RemoveTemporaryFilesFromSignalHandler();

}  // namespace bf
