#pragma once
#include <string>

#include "frames/FrameHeader.h"

namespace bf {

// The line painted above the picture: local date and time of the shown frame, its compression,
// colour mode, frame rate and motion-detector state, e.g.
// "06.12.26, 14:03:05 / 2q / COL / 4 fps / MD    ". Empty when `shown` is not a valid header.
// Pure function of the header and the process's time zone; any thread.
std::string BuildOverlayText(const FrameHeader& shown);

}  // namespace bf
