// "Сохранить на диск...": the flash copy in its own modal dialog, over the window's link.
#include "flash/CProgressDlg.h"
#include "flash/RangeDialog.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::OnFlashSave() {
  // The copy borrows the link on this thread: what was posted to the link thread goes out
  // first. The modal dialog then keeps this window from posting anything while the copy runs;
  // its result is of no interest here, every outcome has been shown inside it.
  WaitForLink();
  RangeDialogChooser rangeChooser;
  ProgressDlgServices services{*link_, services_.prompts, rangeChooser};
  services.readCameraClock = true;
  // A file holding an unfinished copy of this very flash may be continued instead.
  services.offerResume = true;
  CProgressDlg dialog(services, this);
  dialog.exec();
}

}  // namespace bf::ui
