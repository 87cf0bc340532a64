#pragma once
#include <QDialog>

namespace bf::ui {

// The About box: caption "About BrindleFlash02", the application icon, the version line and
// one "OK" button that closes it. Shown modally on the GUI thread.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

inline constexpr const char* kAboutMenuText = "&About BrindleFlash02...";

}  // namespace bf::ui
