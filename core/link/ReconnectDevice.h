#pragma once
#include "link/FTD2xx.h"

namespace bf {

// The hidden "CUB" button: empties both directions of the bridge, resets it, closes the handle
// and opens device 0 again, for a camera that stopped answering. Throws the link's failure.
// Called on the thread that owns the link.
void ReconnectDevice(FTD2xx& link);

}  // namespace bf
