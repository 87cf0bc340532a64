#include "sim/CommandParser.h"

#include "sim/FlashLayout.h"

namespace bf::sim {

std::size_t CommandParser::ArgumentCount(uint8_t code, CameraType type) {
  switch (code) {
    case CMD_SET_CLOCK:
      return 4;
    case CMD_SET_FRAME_RATE:
    case CMD_SET_COMPRESSION:
    case CMD_SET_SENSITIVITY:
    case CMD_TEST:  // the byte 1 that follows it
      return 1;
    case CMD_READ_FLASH:
      return LayoutOf(type).boundBytes * 2;
    default:
      return 0;
  }
}

void CommandParser::Feed(const uint8_t* data, std::size_t n, uint64_t nowMs,
                         const Handler& handler) {
  if (n == 0) return;
  if (inCommand_ && nowMs - lastByteMs_ > kArgumentTimeoutMs) inCommand_ = false;
  lastByteMs_ = nowMs;
  for (std::size_t i = 0; i < n; ++i) {
    if (!inCommand_) {
      code_ = data[i];
      needed_ = ArgumentCount(code_, type_);
      have_ = 0;
      inCommand_ = true;
    } else {
      args_[have_++] = data[i];
    }
    if (have_ == needed_) {
      inCommand_ = false;
      handler(code_, args_.data(), have_);
    }
  }
}

}  // namespace bf::sim
