#pragma once
#include <string>

#include "recordings/FrameIndex.h"

namespace bf::cli {

// What `bfk info --timeline` prints: the recordings of an index (start and end in local time,
// frame count, compression and colour mode), the gaps between them (start, length) and the
// damaged stretches of the file (offset, length). Text, or one JSON object with the same
// content and the camera times as numbers besides the local texts. Reads only the index.
std::string TimelineText(const FrameIndex& index);
std::string TimelineJson(const FrameIndex& index);

}  // namespace bf::cli
