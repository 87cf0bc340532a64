// "Стереть": the flash erase on the link thread. The window takes no input for the wait, which
// can last a minute (its controls are disabled meanwhile), and goes on painting.
#include "flash/EraseFlash.h"
#include "host/GuiThreadPrompts.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::OnFlashErase() {
  PostToLink([this] { EraseFlash(*link_, *linkPrompts_); });
}

}  // namespace bf::ui
