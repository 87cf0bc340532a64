#include "clock/CameraClock.h"

#include <array>

#include "link/CameraCommands.h"

namespace bf {

uint32_t ReadCameraClock(FTD2xx& link, uint32_t* bytesRead) {
  link.WriteByte(CMD_GET_CLOCK);
  std::array<uint8_t, 4> bytes{};
  uint32_t count = link.Read(bytes.data(), 4);
  // The bridge may hand over part of the reply when its read timeout runs out; the rest is on
  // its way, so it is collected the way variable-length data is.
  if (count < 4) count += link.ReadWithTimeout(bytes.data() + count, 4 - count);
  if (bytesRead != nullptr) *bytesRead = count;
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void WriteCameraClock(FTD2xx& link, uint32_t value) {
  link.WriteByte(CMD_SET_CLOCK);
  link.WriteDword(value);
}

}  // namespace bf
