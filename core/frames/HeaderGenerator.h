#pragma once
#include <cstdint>
#include <vector>

#include "frames/JpegEncoder.h"
#include "frames/JpegHeaderTable.h"

namespace bf {

// Our own "headers.dat" for the simulated camera (a real one comes with a real camera): ten
// leading parts produced by FramePayloadEncoder's settings for `size`, each padded with a
// comment segment after the JFIF APP0 to exactly 688 (black-and-white) or 698 (colour) bytes,
// so that entry + FramePayloadEncoder::Encode(...) is a complete JPEG.
// Returns JpegHeaderTable::kFileSize bytes. Throws std::runtime_error if the encoder's natural
// leading part ever outgrows its entry.
std::vector<uint8_t> GenerateHeaderTableBytes(PictureSize size);
JpegHeaderTable GenerateHeaderTable(PictureSize size);

// The leading part libjpeg writes for these settings, before padding (for tests and reports).
std::vector<uint8_t> NaturalLeadingPart(PictureSize size, bool monochrome, uint8_t compression);

}  // namespace bf
