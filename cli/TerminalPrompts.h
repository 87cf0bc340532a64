#pragma once
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "host/UserPrompts.h"

namespace bf::cli {

// UserPrompts on a terminal, so bfk runs the window's flows unchanged: messages go to the error
// stream prefixed with the command ("bfk erase: Ошибка! ..."), questions are answered with a line
// on the input stream (y, yes, д or да for Yes; anything else, or the end of input, for No or
// Cancel), a file dialog reads a path (an empty line cancels). There are no windows to pump and
// no cursor to change. A command told up front where to write (bfk copy -o) has the save dialog
// answered with that file and its questions answered yes without asking. The thread that runs
// the flow, alone.
class TerminalPrompts final : public UserPrompts {
 public:
  explicit TerminalPrompts(std::string prefix, std::FILE* in = stdin, std::FILE* out = stderr)
      : prefix_(std::move(prefix)), in_(in), out_(out) {}

  // The file the save dialog answers with; nothing is asked from then on.
  void SaveTo(std::string path) { savePath_ = std::move(path); }
  // What runs before a message is written (the copy ends its progress line).
  void SetBeforeMessage(std::function<void()> work) { beforeMessage_ = std::move(work); }

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  void SetBusyCursor(bool) override {}

  // Whether the input stream is a terminal a person can answer on.
  bool CanAsk() const;
  // Whether a message with the error icon was shown: the flow failed and said why.
  bool ShowedError() const { return showedError_; }

 private:
  std::optional<std::string> ReadLine();
  std::optional<std::string> AskPath(const char* what);

  std::string prefix_;
  std::FILE* in_;
  std::FILE* out_;
  std::optional<std::string> savePath_;
  std::function<void()> beforeMessage_;
  bool showedError_ = false;
};

}  // namespace bf::cli
