#include "host/GuiThreadPrompts.h"

namespace bf {

MessageAnswer GuiThreadPrompts::ShowMessage(const std::string& text, const std::string& caption,
                                            MessageIcon icon, MessageButtons buttons) {
  MessageAnswer answer = MessageAnswer::Cancel;
  queue_.Ask([&] { answer = gui_.ShowMessage(text, caption, icon, buttons); });
  return answer;
}

std::optional<std::string> GuiThreadPrompts::ChooseSaveFile(const FileDialogRequest& request) {
  std::optional<std::string> chosen;
  queue_.Ask([&] { chosen = gui_.ChooseSaveFile(request); });
  return chosen;
}

std::optional<std::string> GuiThreadPrompts::ChooseOpenFile(const FileDialogRequest& request) {
  std::optional<std::string> chosen;
  queue_.Ask([&] { chosen = gui_.ChooseOpenFile(request); });
  return chosen;
}

std::optional<std::string> GuiThreadPrompts::ChooseFolder(const std::string& initialDirectory) {
  std::optional<std::string> chosen;
  queue_.Ask([&] { chosen = gui_.ChooseFolder(initialDirectory); });
  return chosen;
}

void GuiThreadPrompts::SetInputLocked(bool locked) {
  queue_.Post([this, locked] { gui_.SetInputLocked(locked); });
}

void GuiThreadPrompts::SetBusyCursor(bool busy) {
  queue_.Post([this, busy] { gui_.SetBusyCursor(busy); });
}

}  // namespace bf
