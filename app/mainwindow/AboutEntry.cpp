// The way to the About box: the window's system menu where the platform has one (Windows),
// and everywhere the window's context menu and F1.
#include "mainwindow/AboutEntry.h"

#include <QAction>
#include <QWidget>

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

void AddAboutEntry(QWidget& window) {
  auto* about = new QAction(QString::fromUtf8(kAboutMenuText), &window);
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setShortcut(QKeySequence(Qt::Key_F1));
  about->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(about, &QAction::triggered, &window, [&window] { ShowAboutBox(&window); });
  window.addAction(about);
  window.setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AddAboutToSystemMenu([[maybe_unused]] QWidget& window) {
#ifdef _WIN32
  HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
  if (menu != nullptr) {
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kAboutCommand, L"&About BrindleFlash02...");
  }
#endif
}

#ifdef _WIN32
bool IsAboutCommand(const void* message) {
  const MSG* msg = static_cast<const MSG*>(message);
  return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand;
}
#endif

void ShowAboutBox(QWidget* parent) {
  CAboutDlg about(parent);
  about.setWindowIcon(LoadAppIcon(IDR_MAINFRAME));
  about.exec();
}

}  // namespace bf::ui
