#pragma once
#include <cstdint>
#include <vector>

#include "recordings/video/VideoExport.h"

namespace bf::video {

// The time base of the video in ms per tick, for frames shown for these durations (ms). AVI has
// no timestamps, only a fixed frame period: the largest one every duration is a multiple of
// (longer holds become empty chunks, as AVI writers do it). The other containers count in ms.
int64_t VideoTickMs(VideoContainer container, const std::vector<uint32_t>& durations);

}  // namespace bf::video
