#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace bf {

inline constexpr std::size_t kFrameHeaderSize = 16;

// The 16-byte record header in front of every picture: live, in flash, in recording files and
// as the trailer of exported stills. Bytes FF FE "JPEG", big-endian record length (header
// included), little-endian camera timestamp, compression, monochrome, frame-rate index, flags.
// Kept as raw bytes so that it is always copied byte for byte as stored.
struct FrameHeader {
  std::array<uint8_t, kFrameHeaderSize> bytes{};

  static FrameHeader FromBytes(const uint8_t* sixteen);
  static FrameHeader Make(uint16_t recordLength, uint32_t timestamp, uint8_t compression,
                          uint8_t monochrome, uint8_t frameRateIndex, uint8_t flags);

  uint16_t Marker() const { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }
  uint16_t RecordLength() const { return static_cast<uint16_t>(bytes[6] << 8 | bytes[7]); }
  uint32_t Timestamp() const {
    return static_cast<uint32_t>(bytes[8]) | static_cast<uint32_t>(bytes[9]) << 8 |
           static_cast<uint32_t>(bytes[10]) << 16 | static_cast<uint32_t>(bytes[11]) << 24;
  }
  uint8_t Compression() const { return bytes[12]; }
  uint8_t Monochrome() const { return bytes[13]; }
  uint8_t FrameRateIndex() const { return bytes[14]; }
  uint8_t Flags() const { return bytes[15]; }
  bool MotionDetectorOn() const { return (bytes[15] & 0x01) != 0; }
};

// FF FE "JPEG" at the start, compared byte for byte; nothing else is checked.
bool IsFrameHeader(const uint8_t* sixteen);
inline bool IsFrameHeader(const FrameHeader& h) {
  return IsFrameHeader(h.bytes.data());
}

// recordLength - 16 in 16-bit arithmetic: a length below 16 wraps to 65520 + length.
inline uint16_t PayloadLength(const FrameHeader& h) {
  return static_cast<uint16_t>(h.RecordLength() - 16u);
}

}  // namespace bf
