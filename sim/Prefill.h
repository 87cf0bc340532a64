#pragma once
#include "sim/FrameMaker.h"
#include "sim/SimFlash.h"
#include "sim/SimOptions.h"

namespace bf::sim {

// Lays the options' prefilled recordings into the flash. Not wrapped: from the start of the
// data space. Wrapped: the recordings run over the end of the data space and the wrap flag is
// set; everything else in the data space holds older frames generated on demand, so a wrapped
// 1 GiB flash costs no more memory than the recordings themselves. The first bytes after the
// pointer are then the cut tail of an old frame, as on a camera that went round.
void PrefillFlash(SimFlash& flash, const SimOptions& options, FrameMaker& maker);

}  // namespace bf::sim
