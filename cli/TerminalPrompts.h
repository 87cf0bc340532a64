#pragma once
#include <cstdio>
#include <string>

#include "host/UserPrompts.h"

namespace bf::cli {

// UserPrompts on a terminal, so bfk runs the window's flows unchanged: messages go to the error
// stream prefixed with the command ("bfk erase: Ошибка! ..."), questions are answered with a line
// on the input stream (y, yes, д or да for Yes; anything else, or the end of input, for No or
// Cancel), a file dialog reads a path (an empty line cancels). There are no windows to pump and
// no cursor to change. bfk's only thread.
class TerminalPrompts final : public UserPrompts {
 public:
  explicit TerminalPrompts(std::string prefix, std::FILE* in = stdin, std::FILE* out = stderr)
      : prefix_(std::move(prefix)), in_(in), out_(out) {}

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  void SetBusyCursor(bool) override {}

  // Whether the input stream is a terminal a person can answer on.
  bool CanAsk() const;

 private:
  std::optional<std::string> ReadLine();
  std::optional<std::string> AskPath(const char* what);

  std::string prefix_;
  std::FILE* in_;
  std::FILE* out_;
};

}  // namespace bf::cli
