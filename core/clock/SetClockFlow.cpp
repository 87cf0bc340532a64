#include "clock/SetClockFlow.h"

#include "clock/CameraClock.h"
#include "link/CommandSet.h"

namespace bf {

void RunSetClockFlow(FTD2xx& link, UserPrompts& prompts, const TimeDialogRunner& runDialog) {
  RunGuarded(prompts, [&] {
    const uint32_t value = ReadCameraClock(link);
    const std::optional<UtcSeconds> chosen = runDialog(static_cast<UtcSeconds>(value));
    if (!chosen) return;
    WriteCameraClock(link, static_cast<uint32_t>(*chosen));
  });
}

}  // namespace bf
