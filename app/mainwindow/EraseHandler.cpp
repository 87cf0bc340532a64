// "Стереть": the flash erase over the window's link. The window takes no input for the wait,
// which can last a minute; the prompts keep it painted meanwhile.
#include "flash/EraseFlash.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::OnFlashErase() {
  EraseFlash(*link_, services_.prompts);
}

}  // namespace bf::ui
