#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "frames/FrameHeader.h"

namespace bf {

// A set of stills that appears in its folder as a whole or not at all.
//
// Each still is first written in full under a hidden name of its own beside its target, without
// a flush to disk per file. Commit synchronises the file system once, then moves every still to
// its name; a file it replaces is set aside under a hidden name until all stills are in place.
// A failure or a cancellation at any step, and a batch dropped without a successful Commit, put
// the folder back as it was: the new stills are removed and the set-aside files return to their
// names. A symbolic link as target is followed, as the replacing writer does.
//
// Ctrl-C and the like must reach this as a cancellation (see Commit), not end the process: the
// staged files are too many for the signal-time cleanup of the replacing writer.
// One thread at a time; touches only the file system.
class StillBatch {
 public:
  StillBatch() = default;
  ~StillBatch() { Discard(); }
  StillBatch(const StillBatch&) = delete;
  StillBatch& operator=(const StillBatch&) = delete;

  // Writes one still for `path`. Returns 0 or the system error code; on failure nothing of this
  // still is left and the stills staged before stay staged. A folder of that name is EISDIR, a
  // file the user may not write EACCES (as overwriting it would be).
  uint32_t Stage(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                 std::span<const uint8_t> payload, const std::string& path);

  // Puts every staged still in place. `cancelled` is asked before every move; when it says yes,
  // the moves done are undone and ECANCELED returned. Returns 0 or the system error code, with
  // the name it concerns in `failedPath`; on any failure the folder is as it was.
  uint32_t Commit(const std::function<bool()>& cancelled, std::string& failedPath);

  // Removes the staged stills (nothing is in place yet).
  void Discard();

  std::size_t Size() const { return items_.size(); }

 private:
  struct Item {
    std::string target;
    std::string staged;
    std::string setAside;  // where the replaced file waits; empty when there was none
    bool placed = false;
  };
  void Undo();

  std::vector<Item> items_;
  uint32_t serial_ = 0;
};

}  // namespace bf
