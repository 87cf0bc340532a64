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
// dialogs; tests use a scripted one. Called on the GUI thread only.
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
  // Dispatches every pending event of the GUI thread (the original's peek/dispatch loop).
  virtual void PumpEvents() = 0;
  // For a wait that must not take input: keeps the windows painted and the desktop's liveness
  // checks answered, but handles no user input and no request to close, so no handler can run
  // nested inside the wait. Input made meanwhile is dropped, not handled after the wait; the
  // wait says so beforehand by the busy cursor and by the window's disabled controls
  // (SetInputLocked). The default does nothing (the window then stays frozen for the wait).
  virtual void PumpPaintOnly() {}
  // True: the window's controls are disabled for a wait that takes no input. False: input
  // that came during the wait is dropped and the controls are as they were before. The default
  // does nothing.
  virtual void SetInputLocked(bool locked) { (void)locked; }
  // Busy cursor on (true) or back to normal (false).
  virtual void SetBusyCursor(bool busy) = 0;
};

}  // namespace bf
