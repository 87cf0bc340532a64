#pragma once
#include <cstdint>

#include "link/FTD2xx.h"

namespace bf {

// The camera's clock: an unsigned 32-bit count of seconds since 1970-01-01 00:00:00 UTC, least
// significant byte first on the link. Both calls throw FTDException on a failed device call.
// Called on the GUI thread (the window) or bfk's only thread.

// CMD_GET_CLOCK, then one read of 4 bytes, bounded by the link's 200 ms read timeout; a reply
// that came only in part is completed by reading on until 200 ms pass without a byte. Bytes fill
// the value from its least significant end, so missing ones are the most significant and stay 0:
// such a value is not the camera's time, and callers check bytesRead (the count that came).
uint32_t ReadCameraClock(FTD2xx& link, uint32_t* bytesRead = nullptr);

// CMD_SET_CLOCK, then the 4 value bytes as a separate write. Nothing is read back: the camera
// does not acknowledge.
void WriteCameraClock(FTD2xx& link, uint32_t value);

}  // namespace bf
