#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"

namespace bf {

// The complete JPEG of a frame record: the table entry chosen by the header's compression and
// colour flag, followed by PayloadLength(header) payload bytes. The length is entry + payload,
// up to 698 + 65535 = 66233, never reduced to 16 bits. One allocation per call.
//
// Robustness: when `payload` holds fewer bytes than the header announces (a recording whose last
// frame runs past the end of the file), only the bytes present are copied. A compression above
// 4 has no table entry and is never rebuilt: the result is empty.
//
// Threads: any; reads only the (immutable) table and its arguments.
std::vector<uint8_t> RebuildJpeg(const JpegHeaderTable& table, const FrameHeader& header,
                                 std::span<const uint8_t> payload);

}  // namespace bf
