#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "flash/CopyOutput.h"
#include "frames/FrameHeader.h"
#include "link/FTD2xx.h"
#include "recordings/WrappedPair.h"

namespace bf {

class CopyState;

// The copy of a type 2 camera: the person picks a range of 4 MiB sectors in the range chooser;
// the start moves to the first frame of the start sector, the end to the last JPEG end in the
// end sector (or to the write pointer when the end sector holds it and the flash has not
// wrapped); a range past the end of the flash goes into two files. The copying thread.
void SaveNandFlash(CopyState& state);

// Looks for the first frame header lying whole in the 65,535 bytes from address (one
// request). Found: address moves to it and its 16 bytes go to header (when given). Throws
// FlashReadError when fewer bytes arrive or more are waiting after them, CopyStopped when
// stop (when given) cut the window off, and FTDException.
bool FindFrameHeader(FTD2xx& link, uint32_t& address, uint8_t* header,
                     const std::atomic<int>* stop = nullptr);

// Looks backwards through the 65,535 bytes ending at address (from 0 below that) for the last
// FF D9 pair; found: address moves to its D9. Throws FlashReadError when fewer bytes arrive or
// more are waiting after them, CopyStopped as FindFrameHeader, and FTDException.
bool FindJpegEnd(FTD2xx& link, uint32_t& address, const std::atomic<int>* stop = nullptr);

// Copies the inclusive linear range [first, last] into file in requests of at most 524,289
// bytes, while Running is set. A chunk that came short or overlong throws FlashReplyError
// before it is written. Returns, once the file holds every chunk handed to it, whether it
// reached last.
bool CopyNandRange(CopyState& state, uint32_t first, uint32_t last, CopyOutput& file,
                   uint32_t fileIndex);

namespace nand {
// The range chooser's lookup: the frame header in the first 65,535 bytes of the sector. A
// failure is kept for the flow (reported when the chooser returns) and answers nothing, as does
// every later call.
std::optional<FrameHeader> LookUpSectorHeader(CopyState& state, uint8_t sector);
}  // namespace nand

}  // namespace bf
