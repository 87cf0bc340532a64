#include "clock/SetClockFlow.h"

#include "clock/CameraClock.h"
#include "link/CommandSet.h"

namespace bf {

void RunSetClockFlow(FTD2xx& link, UserPrompts& prompts, const TimeDialogRunner& runDialog) {
  RunGuarded(prompts, [&] {
    uint32_t count = 0;
    const uint32_t value = ReadCameraClock(link, &count);
    if (count < 4) {
      prompts.ShowMessage(kClockReadFailedText, kClockReadFailedCaption, MessageIcon::Error,
                          MessageButtons::Ok);
      return;
    }
    const std::optional<UtcSeconds> chosen = runDialog(static_cast<UtcSeconds>(value));
    if (!chosen) return;
    WriteCameraClock(link, static_cast<uint32_t>(*chosen));
  });
}

}  // namespace bf
