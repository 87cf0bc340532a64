#pragma once
#include <array>
#include <cstdint>

namespace bf {

// The camera's one-byte command codes. A command is its code byte followed by fixed-width
// little-endian arguments; only the commands noted below are answered. Code 24 is never sent.
enum CameraCommand : uint8_t {
  CMD_SET_CLOCK = 1,       // + 4-byte clock value (separate write); no reply
  CMD_SET_FRAME_RATE = 2,  // + 1 byte 0..7 (one 2-byte write)
  CMD_GET_CLOCK = 3,       // reply 4 bytes
  CMD_SET_MONOCHROME = 4,
  CMD_SET_COLOUR = 5,
  CMD_SET_COMPRESSION = 6,  // + 1 byte 0..4 (one 2-byte write)
  CMD_MOTION_DETECT_ON = 7,
  CMD_MOTION_DETECT_OFF = 8,
  CMD_START_STREAM = 9,  // reply: frame records back to back until CMD_STOP_STREAM
  CMD_GET_STATUS = 10,   // reply 16 bytes, CameraStatus
  CMD_AUTONOMOUS_OFF = 11,
  CMD_AUTONOMOUS_ON = 12,
  CMD_READ_FLASH = 13,         // + start, end in the camera type's address form; raw flash bytes
  CMD_SET_SENSITIVITY = 14,    // + 1 byte 0..5 (one 2-byte write)
  CMD_GET_FLASH_POINTER = 15,  // reply 4 bytes (types 0, 1) or 5 bytes (type 2)
  CMD_ERASE_FLASH = 16,        // reply 1 byte, 0x80 when erased
  CMD_LEDS_OFF = 17,
  CMD_LEDS_ON = 18,
  CMD_EXT_RECORDING_ON = 19,
  CMD_EXT_RECORDING_OFF = 20,
  CMD_GET_CAMERA_TYPE = 21,  // reply 1 byte: 0, 1 or 2
  CMD_GET_WRAP_FLAG = 22,    // reply 1 byte
  CMD_TEST = 23,             // followed by the byte 1 as a separate write; no reply
  CMD_STOP_STREAM = 25,
};

// Camera types, the reply of CMD_GET_CAMERA_TYPE.
enum CameraType : uint8_t {
  CAMERA_SECTORS = 0,
  CAMERA_PACKED_PAGES = 1,
  CAMERA_NAND_PAGES = 2,
};

// The 16-byte reply of CMD_GET_STATUS, laid out like a FrameHeader: FF FE "JPEG", six bytes
// not interpreted, compression, picture mode (0 = colour), frame-rate index, flags.
struct CameraStatus {
  static constexpr uint8_t kStatusNotReady = 0x80;    // bit 7 of byte 15
  static constexpr uint8_t kMotionDetectorOn = 0x01;  // bit 0 of byte 15

  std::array<uint8_t, 16> bytes{};

  uint8_t Compression() const { return bytes[12]; }
  bool Colour() const { return bytes[13] == 0; }
  uint8_t FrameRateIndex() const { return bytes[14]; }
  bool MotionDetectorOn() const { return (bytes[15] & kMotionDetectorOn) != 0; }
  bool IsValid() const {
    return (bytes[15] & kStatusNotReady) == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE &&
           bytes[2] == 'J' && bytes[3] == 'P' && bytes[4] == 'E' && bytes[5] == 'G';
  }
};

// Item texts of the frame-rate list (index = CMD_SET_FRAME_RATE argument).
inline constexpr std::array<const char*, 8> kFrameRateTexts = {
    "1 кадр в 10 сек.", "1 кадр в 5 сек.", "1 кадр в 2 сек.", "1 кадр в сек.",
    "2 кадра в сек.",   "3 кадра в сек.",  "4 кадра в сек.",  "макс. скорость"};

// Item texts of the colour list: 0 sends CMD_SET_MONOCHROME, 1 CMD_SET_COLOUR.
inline constexpr std::array<const char*, 2> kColourTexts = {"Черно-белый", "Цветной"};

}  // namespace bf
