#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "frames/FrameHeader.h"

namespace bf {

// An exported still: the table entry for the frame's kind, the payload, then the frame's own
// 16-byte header as stored, and nothing else.
//
// The file is written under a new name in the target's folder, flushed to disk, closed and only
// then renamed over the target. So a failure never leaves a half-written target behind, and a
// target that is open right now (the open recording itself may be chosen) is never truncated
// under its reader. Callers refuse the recording the frame comes from as target. A symbolic link as
// target is followed. Returns 0 or the system error code (errno) of the step that failed; every
// write, flush and close is checked. With deferSync the file is not flushed to disk: one of a
// batch that its writer synchronises as a whole. Any thread; touches only its arguments and the
// file system.
uint32_t WriteStillFile(std::span<const uint8_t> tableEntry, const FrameHeader& header,
                        std::span<const uint8_t> payload, const std::string& path,
                        bool deferSync = false);

// Payload bytes the header promises that the recording does not hold (its file ends inside the
// record); 0 for a whole frame. Such a still is written with the bytes present, and the user is
// told that the picture is cut short.
std::size_t MissingPayloadBytes(const FrameHeader& header, std::size_t presentPayloadBytes);

}  // namespace bf
