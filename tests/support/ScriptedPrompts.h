#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/RequestPoint.h"
#include "host/UserPrompts.h"

namespace bf {

// A UserPrompts that plays a script instead of showing dialogs. Every message shown is recorded
// with its text, caption, icon and buttons; answers, chosen file names and busy-cursor changes
// come from / go to public members the test sets up and inspects. It is also the request point
// of a flow run on the test's own thread: onPump plays the operator's requests (a Stop click, a
// Cancel) at the points where the flow takes them. Single-threaded like the GUI.
class ScriptedPrompts : public UserPrompts, public RequestPoint {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
  };

  std::vector<Shown> shown;
  // Answers handed out in order; when empty, Ok (or Yes for a Yes/No question).
  std::deque<MessageAnswer> answers;
  // File dialog results in order; when empty, the dialog counts as cancelled.
  std::deque<std::optional<std::string>> saveFiles;
  std::deque<std::optional<std::string>> openFiles;
  std::deque<std::optional<std::string>> folders;
  // File dialog requests as they arrived.
  std::vector<FileDialogRequest> saveRequests;
  std::vector<FileDialogRequest> openRequests;
  // Times the flow took requests; onPump is called each time, e.g. to press a button while a
  // flow is busy.
  int pumps = 0;
  std::function<void()> onPump;
  std::vector<bool> busyCursor;
  std::vector<bool> inputLocked;

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override {
    shown.push_back(Shown{text, caption, icon, buttons});
    if (!answers.empty()) {
      MessageAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
  }

  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return Next(saveFiles);
  }

  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    return Next(openFiles);
  }

  std::optional<std::string> ChooseFolder(const std::string&) override { return Next(folders); }

  void TakeRequests() override {
    ++pumps;
    if (onPump) onPump();
  }

  void SetBusyCursor(bool busy) override { busyCursor.push_back(busy); }
  void SetInputLocked(bool locked) override { inputLocked.push_back(locked); }

  // Convenience for assertions: the texts of all messages shown so far.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Shown& s : shown) texts.push_back(s.text);
    return texts;
  }

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
    if (queue.empty()) return std::nullopt;
    std::optional<std::string> next = queue.front();
    queue.pop_front();
    return next;
  }
};

// Also reachable as bf::test::ScriptedPrompts.
namespace test {
using ScriptedPrompts = bf::ScriptedPrompts;
}  // namespace test

}  // namespace bf
