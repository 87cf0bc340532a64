#include "link/StatusHandshake.h"

#include <string>
#include <vector>

#include "link/CommandSet.h"

namespace bf {

namespace {

// True when a whole, valid record came. A short reply leaves the rest of the buffer as it was,
// and the cleared bytes would read as compression 0, colour, one frame in 10 s and the detector
// off: a record cut short is never taken, whatever its first bytes say.
bool AskForStatus(FTD2xx& link, CameraStatus& status) {
  SendCommand(link, CMD_GET_STATUS);
  const auto size = static_cast<uint32_t>(status.bytes.size());
  return link.Read(status.bytes.data(), size) == size && status.IsValid();
}

}  // namespace

std::optional<CameraStatus> RunStatusHandshake(
    FTD2xx& link, UserPrompts& prompts, TickSource& ticks,
    const std::function<void(const CameraStatus&)>& applyStatus) {
  try {
    link.Open(0);
    link.ResetDevice();

    CameraStatus status;
    status.bytes[0] = 0;
    status.bytes[1] = 0;
    for (size_t i = 6; i < status.bytes.size(); ++i) status.bytes[i] = 0;
    bool valid = AskForStatus(link, status);

    // A camera still streaming from an earlier run answers with frame data: stop it, let the
    // bytes in flight arrive and throw them away, then ask again.
    for (int retry = 0; retry < kStatusRetries && !valid; ++retry) {
      SendCommand(link, CMD_STOP_STREAM);
      ticks.SleepMs(kStatusRetryPauseMs);
      std::vector<uint8_t> scratch(kStatusDrainBytes);
      link.ReadWithTimeout(scratch.data(), kStatusDrainBytes);
      valid = AskForStatus(link, status);
    }
    if (!valid) {
      prompts.ShowMessage("Перезапустите камеру", "Ошибка", MessageIcon::Error, MessageButtons::Ok);
      return std::nullopt;
    }

    if (applyStatus) applyStatus(status);
    if (status.MotionDetectorOn()) SendCommandWithValue(link, CMD_SET_SENSITIVITY, 5);
    SendCommand(link, CMD_LEDS_ON);
    SendCommand(link, CMD_EXT_RECORDING_OFF);
    SendCommand(link, CMD_AUTONOMOUS_OFF);
    return status;
  } catch (const FTDException& e) {
    prompts.ShowMessage(std::string("Ошибка инициализации камеры.\n") + e.GetText(), "",
                        MessageIcon::Error, MessageButtons::Ok);
    return std::nullopt;
  }
}

}  // namespace bf
