// "Установить время...": the camera clock read, the date-and-time dialog and the clock write.
#include "clock/CTimeDlg.h"
#include "clock/SetClockFlow.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::OnSetClock() {
  // While the camera streams (live view or autonomous recording with the button pushed in), a
  // clock reply would mix with frame data.
  if (live_.streamingFlag != 0) return;
  RunSetClockFlow(*link_, services_.prompts,
                  [this](UtcSeconds cameraTime) -> std::optional<UtcSeconds> {
                    CTimeDlg dialog(this, services_.prompts);
                    dialog.SetTime(cameraTime);
                    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
                    return dialog.Time();
                  });
}

}  // namespace bf::ui
