// "Установить время...": the camera clock read, the date-and-time dialog and the clock write.
#include "clock/CTimeDlg.h"
#include "clock/SetClockFlow.h"
#include "host/GuiQueue.h"
#include "host/GuiThreadPrompts.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {

void CBrindleFlashDlg::OnSetClock() {
  // While the camera streams (live view or autonomous recording with the button pushed in), a
  // clock reply would mix with frame data.
  if (Camera().State().Streaming()) return;
  // The exchange runs on the link thread; the dialog is shown here while it waits.
  PostToLink([this] {
    RunSetClockFlow(*link_, *linkPrompts_,
                    [this](UtcSeconds cameraTime) -> std::optional<UtcSeconds> {
                      std::optional<UtcSeconds> chosen;
                      gui_->Ask([&] {
                        CTimeDlg dialog(this, services_.prompts);
                        dialog.SetTime(cameraTime);
                        if (dialog.exec() == QDialog::Accepted) chosen = dialog.Time();
                      });
                      return chosen;
                    });
  });
}

}  // namespace bf::ui
