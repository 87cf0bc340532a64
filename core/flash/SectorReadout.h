#pragma once
#include <cstdint>
#include <optional>

#include "link/FTD2xx.h"

namespace bf {

class CopyState;

// The copy of a type 0 camera: pointer, wrap flag, file, the range of data sectors, then the
// sectors zone by zone. However it ends, the dialog is asked to close with the cancel result.
// The copying thread.
void SaveSectorFlash(CopyState& state);

// The first of up to 256 data sectors from `sector` on (stepping with NextDataSector) that
// begins with a frame header; one sector read per probe (a probe the camera does not answer
// finds nothing). Throws FTDException, and FlashReplyError for a probe answered with the wrong
// length. The thread that holds the link.
std::optional<uint32_t> FindFirstFrameSector(FTD2xx& link, uint32_t sector);

}  // namespace bf
