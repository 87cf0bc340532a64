// The way to the About box: the window's system menu where the platform has one (Windows),
// and everywhere the window's context menu and F1.
#include <QAction>

#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "shell/CAboutDlg.h"
#include "shell/Icons.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bf::ui {
namespace {

// Command id of the system-menu item; the platform keeps the low four bits for itself.
[[maybe_unused]] constexpr unsigned kAboutCommand = 0x0010;

}  // namespace

void CBrindleFlashDlg::SetUpAboutEntry() {
  auto* about = new QAction(QString::fromUtf8(kAboutMenuText), this);
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  connect(about, &QAction::triggered, this, [this] { ShowAboutBox(); });
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CBrindleFlashDlg::AddAboutToSystemMenu() {
#ifdef _WIN32
  HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
  if (menu != nullptr) {
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kAboutCommand, L"&About BrindleFlash02...");
  }
#endif
}

#ifdef _WIN32
bool CBrindleFlashDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  const MSG* msg = static_cast<const MSG*>(message);
  if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand) {
    ShowAboutBox();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

void CBrindleFlashDlg::ShowAboutBox() {
  CAboutDlg about(this);
  about.setWindowIcon(LoadAppIcon(IDR_MAINFRAME));
  about.exec();
}

}  // namespace bf::ui
