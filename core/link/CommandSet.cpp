#include "link/CommandSet.h"

#include <array>

namespace bf {

uint32_t SendCommand(FTD2xx& link, CameraCommand command) {
  return link.WriteByte(command);
}

uint32_t SendCommandWithValue(FTD2xx& link, CameraCommand command, uint8_t value) {
  const std::array<uint8_t, 2> bytes = {static_cast<uint8_t>(command), value};
  return link.WriteBuffer(bytes.data(), 2);
}

void SendTestCommand(FTD2xx& link) {
  link.WriteByte(CMD_TEST);
  link.WriteByte(1);
}

}  // namespace bf
