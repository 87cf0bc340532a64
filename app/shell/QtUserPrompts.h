#pragma once
#include <QPointer>
#include <QWidget>

#include "host/UserPrompts.h"

class QMessageBox;

namespace bf::ui {

// The width a window needs for its caption to show whole in its title bar.
int CaptionWidth(const QWidget& window);
// Widens a message box to CaptionWidth before it is shown.
void KeepCaptionWhole(QMessageBox& box);

// UserPrompts shown with real Qt dialogs: message boxes titled with the application name when
// no caption is given, the open and save file dialogs, the event pump and the busy cursor.
// GUI thread only. The busy cursor is a single override, restored by SetBusyCursor(false) or
// at destruction, so it can never be left on.
class QtUserPrompts final : public UserPrompts {
 public:
  QtUserPrompts() = default;
  ~QtUserPrompts() override;
  QtUserPrompts(const QtUserPrompts&) = delete;
  QtUserPrompts& operator=(const QtUserPrompts&) = delete;

  // Window the dialogs are shown over (may be null).
  void SetParentWindow(QWidget* parent) { parent_ = parent; }

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& initialDirectory) override;
  // Disables the parent window, and with it every control on it, for a wait that takes no
  // input (clicks meanwhile are dropped as they come); unlocking gives the window back its
  // enabled state (its controls keep their own states throughout).
  void SetInputLocked(bool locked) override;
  void SetBusyCursor(bool busy) override;

 private:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save);

  QPointer<QWidget> parent_;
  bool busy_ = false;
  QPointer<QWidget> locked_;  // the window disabled by SetInputLocked(true)
  bool lockedWasEnabled_ = true;
};

}  // namespace bf::ui
