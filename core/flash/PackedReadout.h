#pragma once
#include <atomic>
#include <cstdint>
#include <optional>

#include "link/FTD2xx.h"

namespace bf {

class CopyState;

// The copy of a type 1 camera, on the GUI thread with the events pumped after every chunk:
// [0, pointer) when not wrapped; else from the first frame of the block after the pointer's
// block to the end of the flash, then [0, that block). Closes the dialog with result 1 (the
// cancel result when the flash is empty or the file is declined).
void SavePackedFlash(CopyState& state);

// The packed address of the first frame header that lies whole in the 128 KiB block at
// blockStart (one request for the block), or nothing. Throws FTDException and UserAbort,
// FlashReplyError when the block came short or with bytes after it, and CopyStopped when stop
// (when given) cut it off.
std::optional<uint32_t> FindFirstFrameInBlock(FTD2xx& link, uint32_t blockStart,
                                              const std::atomic<int>* stop = nullptr);

}  // namespace bf
