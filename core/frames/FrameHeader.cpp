#include "frames/FrameHeader.h"

#include <cstring>

namespace bf {

FrameHeader FrameHeader::FromBytes(const uint8_t* sixteen) {
  FrameHeader h;
  std::memcpy(h.bytes.data(), sixteen, kFrameHeaderSize);
  return h;
}

FrameHeader FrameHeader::Make(uint16_t recordLength, uint32_t timestamp, uint8_t compression,
                              uint8_t monochrome, uint8_t frameRateIndex, uint8_t flags) {
  FrameHeader h;
  h.bytes = {0xFF,
             0xFE,
             'J',
             'P',
             'E',
             'G',
             static_cast<uint8_t>(recordLength >> 8),
             static_cast<uint8_t>(recordLength),
             static_cast<uint8_t>(timestamp),
             static_cast<uint8_t>(timestamp >> 8),
             static_cast<uint8_t>(timestamp >> 16),
             static_cast<uint8_t>(timestamp >> 24),
             compression,
             monochrome,
             frameRateIndex,
             flags};
  return h;
}

bool IsFrameHeader(const uint8_t* p) {
  return p[0] == 0xFF && p[1] == 0xFE && p[2] == 'J' && p[3] == 'P' && p[4] == 'E' && p[5] == 'G';
}

}  // namespace bf
