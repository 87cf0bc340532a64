#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// Shared between an export running on a worker thread and whoever watches it (the window's
// progress dialog polls it on the GUI thread). Only atomics cross the threads.
struct ExportProgress {
  std::atomic<uint32_t> done{0};    // frames handled so far, written or skipped
  std::atomic<uint32_t> total{0};   // frames in the range
  std::atomic<bool> cancel{false};  // set by the watcher; the export stops before its next frame
  // Called on the export's thread after each frame with the new `done`; may set `cancel`.
  std::function<void(uint32_t done)> afterFrame;

  void FrameDone() {
    const uint32_t now = done.fetch_add(1) + 1;
    if (afterFrame) afterFrame(now);
  }
  bool Cancelled() const { return cancel.load(); }
};

// How an export ended. A cancelled or failed export leaves no file of its own behind.
struct ExportOutcome {
  enum class Status { Done, Cancelled, Failed };
  Status status = Status::Failed;
  uint32_t written = 0;  // frames in the output
  uint32_t skipped = 0;  // frames that could not be rebuilt or decoded
  // Of those, the frames whose rebuilt picture does not decode (a header table that does not
  // fit the recording, a damaged picture), by number, in order.
  std::vector<uint32_t> undecodable;
  std::string error;  // Failed: the operator's text (file error texts name the file)
};

// Frames first..last of a recording, both included; the last defaults to the recording's end.
struct ExportRange {
  uint32_t first = 0;
  std::optional<uint32_t> last;
};

// Clips the range to a recording of `count` frames: the number of frames in it, or an error
// text when it holds none ("--from 7 is past the last frame 4").
struct ResolvedRange {
  uint32_t first = 0;
  uint32_t count = 0;
  std::string error;
};
ResolvedRange ResolveRange(const ExportRange& range, std::size_t frameCount);

}  // namespace bf
