#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"

namespace bf {

// Whether frame `payload` rebuilt with `table` is a picture: libjpeg decodes it without an
// error, and without a warning either, unless the recording ends inside the frame (a picture
// known to be cut short still shows its top part, and is reported as cut elsewhere). A table
// for another picture size than the camera's gives warnings for every frame (the scan runs
// short or long), so such frames count as not decoding. Any thread.
bool FrameDecodes(const JpegHeaderTable& table, const FrameHeader& header,
                  std::span<const uint8_t> payload);

// Frame numbers for a message: "3, 5, 9", or "3, 5, 9, ... (12 in all)" for a long list.
std::string FrameListText(const std::vector<uint32_t>& frames);

}  // namespace bf
