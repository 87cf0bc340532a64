#pragma once
#include <functional>
#include <optional>

#include "clock/LocalTime.h"
#include "host/UserPrompts.h"
#include "link/FTD2xx.h"

namespace bf {

inline constexpr const char* kClockReadFailedText =
    "Не удалось прочитать время камеры.\nПроверьте подключена ли камера.";
inline constexpr const char* kClockReadFailedCaption = "Ошибка!";

// Runs the date-and-time dialog modally over the camera's time; the chosen time on OK, nothing
// on Cancel. The dialog is created for this one use and destroyed before it returns.
using TimeDialogRunner = std::function<std::optional<UtcSeconds>(UtcSeconds cameraTime)>;

// "Установить время...": reads the camera's clock, lets the operator pick a new time and, on OK,
// writes its low 32 bits back; Cancel sends nothing. A link failure ends the flow with its text
// and the stop icon: a failed read means the dialog never opens, a failed write leaves the
// camera's old time. A reply that does not come whole is no time of the camera's: the flow says
// so (kClockReadFailedText) and the dialog does not open, so that OK cannot send a made-up time.
// The caller refuses to start it while the live stream runs, so the clock reply never mixes with
// frame data. GUI thread only.
void RunSetClockFlow(FTD2xx& link, UserPrompts& prompts, const TimeDialogRunner& runDialog);

}  // namespace bf
