#pragma once
#include "host/GuiQueue.h"
#include "host/UserPrompts.h"

namespace bf {

// The operator's prompts as a flow on the link thread sees them: every question (a message box,
// a file dialog) is asked on the GUI thread through the queue while the link thread waits for
// the answer; the busy cursor and the input lock are posted there in order and not waited for.
//
// Threads: any thread; `gui` is called only on the GUI thread (through the queue).
class GuiThreadPrompts final : public UserPrompts {
 public:
  GuiThreadPrompts(UserPrompts& gui, GuiQueue& queue) : gui_(gui), queue_(queue) {}

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const std::string& initialDirectory) override;
  void SetInputLocked(bool locked) override;
  void SetBusyCursor(bool busy) override;

 private:
  UserPrompts& gui_;
  GuiQueue& queue_;
};

}  // namespace bf
