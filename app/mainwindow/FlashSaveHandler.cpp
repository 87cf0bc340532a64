// "Сохранить на диск...": the flash copy on the link thread, shown in its own window-modal
// dialog.
#include "flash/CProgressDlg.h"
#include "host/GuiThreadPrompts.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {

void CBrindleFlashDlg::OnFlashSave() {
  // The copy goes to the link thread behind whatever waits there; the dialog keeps this window
  // from posting anything while it runs. Its result is of no interest here, every outcome has
  // been shown during the copy.
  ProgressDlgServices services{*link_, *linkPrompts_, *gui_, *linkThread_};
  services.readCameraClock = true;
  // A file holding an unfinished copy of this very flash may be continued instead.
  services.offerResume = true;
  auto* dialog = new CProgressDlg(services, this);
  dialog->setObjectName(QStringLiteral("copyDialog"));
  connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
  dialog->Start();
}

}  // namespace bf::ui
