#pragma once
#include <optional>
#include <string>

namespace bf {

enum class MessageIcon { None, Error, Information, Warning, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// A file dialog request, in the terms of the original dialogs. The filter is the platform-neutral
// MFC form ("Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||"); implementations translate it.
struct FileDialogRequest {
  std::string filter;
  std::string defaultExtension;  // without the dot; added to a name typed without one
  std::string initialDirectory;  // empty: the current directory
  bool confirmOverwrite = false;
  bool hideReadOnly = false;
};

// Everything a flow may ask of the person at the screen. The Qt implementation shows real
// dialogs; tests use a scripted one. Called on the GUI thread only; a flow on the link thread
// asks through GuiThreadPrompts.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // An empty caption means the application name ("BrindleFlash 1.1.3").
  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    MessageIcon icon,
                                    MessageButtons buttons = MessageButtons::Ok) = 0;
  // The chosen full path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  // A folder, starting in initialDirectory (empty: the current one); nothing when cancelled.
  // Prompts that cannot ask answer nothing.
  virtual std::optional<std::string> ChooseFolder(const std::string& initialDirectory) {
    (void)initialDirectory;
    return std::nullopt;
  }
  // True: the window's controls are disabled for a wait that takes no input (the erase), while
  // the window goes on painting. False: the controls are as they were before. The default does
  // nothing.
  virtual void SetInputLocked(bool locked) { (void)locked; }
  // Busy cursor on (true) or back to normal (false).
  virtual void SetBusyCursor(bool busy) = 0;
};

}  // namespace bf
